// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "core/kernel_calls.h"
#include "core/paths.h"
#include "keymap/keymap.h"
#include "support/daemon_fixture.h"
#include "support/log_capture.h"
#include "tool/android/android.h"
#include "tool/android/reader.h"
#include "tool/keys/keys.h"
#include "tool/tool_run.h"

namespace {

using keymap_tool = daemon_test;

// The tool's tables are the daemon's: random folders, built by the daemon's start-up and
// shown by the tool, must give the same bytes.
TEST_F(keymap_tool, show_prints_the_daemons_tables) {
    std::mt19937 random(20261208);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const char *names[] = {"POWER", "BACK", "HOME", "DPAD_UP", "Dpad_Up", "MENU", "OK", "x74"};
    auto layout = [&](int lines) {
        std::string text;
        for (int i = 0; i < lines; i++) {
            const char *forms[] = {"key %d %s\n",    "  key %d %s extra\n", "KEY %d %s\n",
                                   "key %d\t%s\r\n", "# key %d %s\n",       "key 0x%d %s\n"};
            char line[96];
            snprintf(line, sizeof(line), forms[pick(6)], pick(300) - 20, names[pick(8)]);
            text += line;
        }
        return text;
    };
    std::string dir_path;
    for (int round = 0; round < 60; round++) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::string dir = "keylayout" + std::to_string(round);
        ASSERT_EQ(mkdir(path(dir).c_str(), 0755), 0);
        dir_path = path(dir);
        g_keylayout_dir = dir_path.c_str();
        if (pick(8) != 0) {
            write_file(dir + "/orvex-ir.kl", layout(pick(40)));
        }
        for (int files = pick(22); files > 0; files--) {
            const char *patterns[] = {"customer_ir_%04x.kl", "customer_ir_%04X.kl",
                                      "customer_rc5_ir_%02x.kl", "customer_ir_%03x.kl"};
            char name[64];
            snprintf(name, sizeof(name), patterns[pick(4)], pick(4) == 0 ? pick(64) : pick(8));
            write_file(dir + "/" + name, layout(pick(12)));
        }
        // The driver's value, or an empty file, read as 0: NEC.
        int32_t protocol = pick(2);
        write_file("orvex_ir_protocol",
                   std::string(reinterpret_cast<char *>(&protocol), pick(5) == 0 ? 0 : 4));

        reset_daemon_state();
        // The stand-in virtual keyboard accepts every request; no receiver answers a name.
        g_kernel.ioctl = [](int, unsigned long, void *) { return 0; };
        int status = 0;
        start(&status);
        take_logs();
        int count = g_customer_map_count;
        std::vector<customer_map_t> daemon(g_customer_maps, g_customer_maps + count);

        tool_run_t shown = run_tool({"show"});
        std::vector<customer_map_t> tool;
        for (const std::string &line : lines_of(shown.out)) {
            int table;
            unsigned code;
            int command;
            int scancode;
            if (sscanf(line.c_str(), "%*s table %d: customer 0x%x,", &table, &code) == 2) {
                // A later table of a customer code is said to be never used, naming the first.
                std::string first;
                for (size_t e = 0; e < tool.size() && first.empty(); e++) {
                    if (tool[e].customer_code == static_cast<int32_t>(code)) {
                        first = "(never used: table " + std::to_string(e) + " has this";
                    }
                }
                EXPECT_EQ(line.find("has this customer code") != std::string::npos, !first.empty())
                    << line;
                EXPECT_TRUE(first.empty() || line.find(first) != std::string::npos) << line;
                tool.emplace_back();
                memset(&tool.back(), 0, sizeof(customer_map_t));
                tool.back().customer_code = static_cast<int32_t>(code);
            } else if (sscanf(line.c_str(), " %d (0x%*x) -> %d", &command, &scancode) == 2) {
                ASSERT_FALSE(tool.empty());
                tool.back().scancode_map[command] = scancode;
            }
        }
        ASSERT_EQ(tool.size(), daemon.size()) << shown.out;
        for (size_t t = 0; t < daemon.size(); t++) {
            EXPECT_EQ(memcmp(&tool[t], &daemon[t], sizeof(customer_map_t)), 0) << shown.out;
        }

        // The virtual keyboard's layout written from it reads back, by every Android version's
        // rules, as the daemon's every standard name that each version takes as a label, and
        // check finds it right.
        tool_run_t made = run_tool({"android-layout", "--dir", dir_path, "--force"});
        std::ifstream written(dir_path + "/orvex-ir-uinput.kl");
        std::string text(std::istreambuf_iterator<char>(written), {});
        int labels = 0;
        for (int version : {9, 13, 16}) {
            android_layout_t read;
            read_android_layout(text, {version, version == 13 ? 32 : 64, nullptr}, &read);
            EXPECT_TRUE(read.loads && read.remarks.empty()) << version;
            labels = 0;
            for (int i = 1; i < k_keymap_size; i++) {
                const char *name = g_base_keymap[i].name;
                bool label = g_base_keymap[i].scancode != 0 && android_accepts_label(name, 9) &&
                             android_accepts_label(name, 16);
                labels += label;
                EXPECT_EQ(read.labels[i], label ? name : "") << made.out;
            }
        }
        EXPECT_EQ(made.status, labels > 0 ? 0 : 1);
        for (const std::string &line : lines_of(made.out)) {
            // Nothing said of it but that Android takes it.
            bool chosen =
                line.find("the virtual keyboard's keys through this file") != std::string::npos;
            EXPECT_TRUE(chosen || line.compare(0, dir_path.size() + 19,
                                               dir_path + "/orvex-ir-uinput.kl") != 0)
                << line;
            if (line.find("reaches Android") != std::string::npos) {
                EXPECT_NE(line.find("no layout can deliver"), std::string::npos) << line;
            }
        }
    }
}

}  // namespace
