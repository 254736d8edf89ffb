// SPDX-License-Identifier: Apache-2.0
// Every keymap of the Linux keymap library that the receiver can decode, imported and then
// decoded through the daemon's own tables.
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/protocol.h"
#include "inject/inject.h"
#include "keymap/keymap.h"
#include "support/daemon_fixture.h"
#include "tool/keys/keys.h"
#include "tool/layouts/layouts.h"
#include "tool/library/library.h"
#include "tool/tables/tables.h"
#include "tool/tool_run.h"

namespace {

using keymap_import = daemon_test;

const tool_options_t options_on_host{};

// Where the receiver puts a library scancode, by the rules as the README gives them: written
// here again so that the import is checked against them, not against itself.
bool raw_code_of(const keytable_protocol_t &p, uint32_t sc, int32_t *protocol, uint32_t *raw) {
    *raw = k_raw_pressed_bit | (sc & 0xff);
    if (p.protocol == "rc5") {
        *protocol = k_ir_protocol_rc5;
        *raw |= sc & 0xff00;
        return (sc >> 8) <= 0x1f && (sc & 0xff) <= 0x7f;
    }
    *protocol = k_ir_protocol_nec;
    std::string form = p.variant;
    uint32_t limit = form == "nec" ? 0xffff : form == "necx" ? 0xffffff : 0xffffffff;
    if (form.empty() || sc > limit) {
        form = sc <= 0xffff ? "nec" : sc <= 0xffffff ? "necx" : "nec32";
    }
    uint32_t a = sc >> 8 & 0xff;
    uint32_t customer = form == "nec"    ? (0xff & ~a) << 8 | a
                        : form == "necx" ? a << 8 | (sc >> 16 & 0xff)
                                         : sc >> 16;
    *raw |= customer << 8;
    return true;
}

TEST_F(keymap_import, every_library_keymap_decodes_through_the_daemons_tables) {
    std::string folder = ir_keytable_folder();
    if (folder.empty()) {
        GTEST_SKIP() << "no /lib/udev/rc_keymaps: the ir-keytable package";
    }
    // ir-keytable's folder alone, then the copy alone.
    library_places_t places({folder.c_str()}, "/nonexistent");
    keymap_library_t toml_library;
    read_keymap_library(&options_on_host, true, &toml_library);
    DIR *library = opendir(folder.c_str());
    std::vector<std::string> names;
    for (struct dirent *e = readdir(library); e != nullptr; e = readdir(library)) {
        std::string name = e->d_name;
        if (name.size() > 5 && name.compare(name.size() - 5, 5, ".toml") == 0) {
            names.push_back(name);
        }
    }
    closedir(library);
    std::sort(names.begin(), names.end());

    // Standard scancodes that are not the keys' Linux codes: only the labels can match.
    std::istringstream labels(
        "POWER DPAD_UP DPAD_DOWN DPAD_LEFT DPAD_RIGHT DPAD_CENTER BACK HOME MENU VOLUME_UP "
        "VOLUME_DOWN VOLUME_MUTE 0 1 5 9 CHANNEL_UP MEDIA_PLAY_PAUSE MEDIA_STOP MEDIA_REWIND "
        "PROG_RED INFO TV CAPTIONS GUIDE MEDIA_NEXT MEDIA_PREVIOUS");
    std::string standard;
    std::map<std::string, int> scancode_of;
    for (std::string label; labels >> label;) {
        int scancode = 200 + static_cast<int>(scancode_of.size());
        scancode_of[label] = scancode;
        standard += "key " + std::to_string(scancode) + " " + label + "\n";
    }

    ASSERT_EQ(mkdir(path("lib").c_str(), 0755), 0);
    int keymaps = 0;
    int codes = 0;
    int keys = 0;
    int beyond = 0;
    int by_meaning = 0;
    int exported = 0;
    for (const std::string &name : names) {
        SCOPED_TRACE(name);
        keytable_t table;
        keytable_error_t error;
        std::string text = read_whole(folder + "/" + name);
        ASSERT_EQ(parse_keytable(text, name, &table, &error), 0) << error.line << error.text;
        bool decodable = false;
        for (const keytable_protocol_t &p : table.protocols) {
            decodable |= p.protocol == "nec" || p.protocol == "rc5";
        }
        if (!decodable) {
            continue;
        }
        keymaps++;
        std::string dir = "lib/" + name;
        ASSERT_EQ(mkdir(path(dir).c_str(), 0755), 0);
        write_file(dir + "/orvex-ir.kl", standard);
        // Named as the tool's hints name it, without ".toml".
        tool_run_t got = run_tool({"import", "--dir", path(dir), name.substr(0, name.size() - 5)});
        ASSERT_EQ(got.status, 0) << got.out << got.err;

        std::map<std::pair<int32_t, uint32_t>, int> expected;  // the first key of a code wins
        std::vector<std::pair<int32_t, uint32_t>> raws;
        std::set<std::pair<int32_t, int>> customers;
        for (const keytable_protocol_t &p : table.protocols) {
            if (p.protocol != "nec" && p.protocol != "rc5") {
                continue;
            }
            for (const keytable_entry_t &entry : p.entries) {
                int32_t protocol;
                uint32_t raw;
                if (!raw_code_of(p, entry.scancode, &protocol, &raw)) {
                    EXPECT_NE(got.out.find(":" + std::to_string(entry.line) +
                                           ": note: " + entry.key + " not written: RC5 scancode"),
                              std::string::npos);
                    beyond++;
                    continue;
                }
                // The generic layout's label, else the key's meaning on a remote.
                int code = linux_key_code(entry.key.c_str());
                const char *label = android_label(code);
                bool meaning = label == nullptr || scancode_of.count(label) == 0;
                label = meaning ? remote_label(code) : label;
                auto key = std::make_pair(protocol, raw);
                if (label != nullptr && scancode_of.count(label) != 0 && !expected.count(key)) {
                    expected[key] = scancode_of[label];
                    by_meaning += meaning;
                }
                raws.push_back(key);
                customers.insert({protocol, static_cast<int>(raw >> 8 & 0xffff)});
            }
        }
        layout_build_t build;
        for (const auto &code : raws) {
            build_layouts(path(dir).c_str(), code.first, &build);
            use_layouts(&build);
            struct input_event event = {};
            event.type = EV_MSC;
            event.value = static_cast<int32_t>(code.second);
            key_report_t report;
            plan_key_report(&event, &report);
            int want = expected.count(code) != 0 ? expected[code] : 0;
            EXPECT_EQ(report.scancode, want) << std::hex << "raw 0x" << code.second;
            codes++;
            keys += want != 0;
        }
        // Given back: each file written, exported and imported again, has the same lines; the
        // keymap is read by toml++.
        for (const char *folder : {"/back", "/again", "/copy"}) {
            ASSERT_EQ(mkdir(path(dir + folder).c_str(), 0755), 0);
        }
        // Where ir-keytable's folder is missing, as on a box, the tool's copy of the library
        // says the same and writes the same files.
        std::vector<std::string> again = {"import",
                                          "--dir",
                                          path(dir),
                                          "--force",
                                          "--out",
                                          path(dir + "/copy"),
                                          name.substr(0, name.size() - 5)};
        tool_run_t by_folder = run_tool(again);
        library_places_t hidden({});
        tool_run_t by_copy = run_tool(again);
        EXPECT_EQ(by_copy.status, by_folder.status);
        EXPECT_EQ(by_copy.out + by_copy.err, by_folder.out + by_folder.err);
        DIR *written = opendir(path(dir).c_str());
        for (struct dirent *e = readdir(written); e != nullptr; e = readdir(written)) {
            std::string file = e->d_name;
            if (file.compare(0, 9, "customer_") != 0) {
                continue;
            }
            std::string toml = path(dir + "/back/" + file.substr(0, file.size() - 3) + ".toml");
            tool_run_t back = run_tool({"export", "--dir", path(dir), "--out", path(dir + "/back"),
                                        path(dir + "/" + file)});
            EXPECT_EQ(back.status, 0) << back.out;
            tool_run_t again = run_tool(
                {"import", "--dir", path(dir), "--force", "--out", path(dir + "/again"), toml});
            std::string before = read_whole(path(dir + "/" + file));
            EXPECT_EQ(read_whole(path(dir + "/copy/" + file)), before);
            std::string after = read_whole(path(dir + "/again/" + file));
            EXPECT_EQ(after.substr(std::min(after.find('\n'), after.size())),
                      before.substr(before.find('\n')))
                << file << again.out;
            exported++;
        }
        closedir(written);
        // watch names this remote for each of its customer codes.
        for (const auto &customer : customers) {
            std::vector<std::string> remotes =
                library_remotes_of(toml_library, customer.first, customer.second);
            EXPECT_NE(std::find(remotes.begin(), remotes.end(), name.substr(0, name.size() - 5)),
                      remotes.end())
                << std::hex << customer.second;
        }
    }
    printf(
        "imported %d keymaps of the NEC family and RC5; %d codes decoded through the "
        "daemon's tables, %d of them to a key (%d by the key's meaning on a remote); %d RC5 "
        "scancodes beyond the receiver's bits named; %d files exported and imported again\n",
        keymaps, codes, keys, by_meaning, beyond, exported);
    EXPECT_GT(keymaps, 0);
}

}  // namespace
