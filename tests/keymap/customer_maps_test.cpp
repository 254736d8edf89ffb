// SPDX-License-Identifier: Apache-2.0
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "keymap/keymap.h"
#include "support/daemon_fixture.h"
#include "support/log_capture.h"

namespace {

using customer_maps = daemon_test;

// The non-zero slots of a translation table, customer scancode -> standard scancode.
std::map<int, int> translations(const customer_map_t &map) {
    std::map<int, int> slots;
    for (int i = 0; i < k_keymap_size; i++) {
        if (map.scancode_map[i] != 0) {
            slots[i] = map.scancode_map[i];
        }
    }
    return slots;
}

TEST_F(customer_maps, pairs_customer_scancodes_by_name) {
    const struct {
        const char *what;
        const char *standard;
        const char *customer;
        std::map<int, int> expected;
    } cases[] = {
        {"same name", "key 115 VOLUME_UP\n", "key 3 VOLUME_UP\n", {{3, 115}}},
        {"lowest standard scancode", "key 30 OK\nkey 20 OK\n", "key 7 OK\n", {{7, 20}}},
        {"standard 0 is skipped, not the name", "key 0 OK\nkey 40 OK\n", "key 5 OK\n", {{5, 40}}},
        {"customer scancode 0", "key 20 OK\n", "key 0 OK\n", {{0, 20}}},
        // Unset standard entries hold "!RESERVE" but take no part.
        {"reserve name", "key 20 A\n", "key 4 !RESERVE\n", {}},
        {"full range",
         "key 1 ONE\nkey 255 TOP\n",
         "key 255 ONE\nkey 1 TOP\nkey 128 TOP\n",
         {{255, 1}, {1, 255}, {128, 255}}},
        {"last line of the standard file wins",
         "key 20 OLD\nkey 20 NEW\n",
         "key 1 OLD\nkey 2 NEW\n",
         {{2, 20}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        write_file("keylayout/orvex-ir.kl", c.standard);
        write_file("keylayout/customer_ir_1234.kl", c.customer);
        ASSERT_EQ(init_orvex_ir_map(), 1);
        EXPECT_EQ(g_customer_maps[0].customer_code, 0x1234);
        EXPECT_EQ(translations(g_customer_maps[0]), c.expected);
    }
}

TEST_F(customer_maps, nineteenth_accepted_file_is_passed_over_silently) {
    write_file("keylayout/orvex-ir.kl", "key 100 K\n");
    for (int i = 0; i < 19; i++) {
        char name[32];
        snprintf(name, sizeof(name), "keylayout/customer_ir_%04x.kl", 0x100 + i);
        write_file(name, "key " + std::to_string(i) + " K\n");
    }
    // Foreign names in between count for nothing.
    write_file("keylayout/customer_rc5_ir_1f.kl", "key 1 K\n");
    write_file("keylayout/customer_ir_00ff.kl.bak", "key 1 K\n");
    std::vector<int> listed;
    DIR *dir = opendir(path("keylayout").c_str());
    for (struct dirent *e = readdir(dir); e != nullptr; e = readdir(dir)) {
        if (kl_filename_verify(e->d_name) >= 0) {
            listed.push_back(kl_filename_verify(e->d_name));
        }
    }
    closedir(dir);
    ASSERT_EQ(listed.size(), 19u);

    ASSERT_EQ(init_orvex_ir_map(), 18);
    for (int t = 0; t < 18; t++) {
        EXPECT_EQ(g_customer_maps[t].customer_code, listed[t]);
        EXPECT_EQ(translations(g_customer_maps[t]), (std::map<int, int>{{listed[t] - 0x100, 100}}));
    }
    EXPECT_TRUE(captured_logs().empty());
}

TEST_F(customer_maps, every_accepted_file_gives_a_table) {
    // Without the standard layout nothing translates; digits differing in case name two
    // files of one customer code, and files that cannot be read still give tables.
    write_file("keylayout/customer_ir_00ff.kl", "key 4 !RESERVE\n");
    write_file("keylayout/customer_ir_00FF.kl", "key 1 K\n");
    ASSERT_EQ(mkdir(path("keylayout/customer_ir_0001.kl").c_str(), 0755), 0);
    ASSERT_EQ(symlink("nowhere", path("keylayout/customer_ir_0002.kl").c_str()), 0);
    // A FIFO without a writer must not stall start-up.
    ASSERT_EQ(mkfifo(path("keylayout/customer_ir_0003.kl").c_str(), 0644), 0);
    ASSERT_EQ(init_orvex_ir_map(), 5);
    std::vector<int> codes;
    for (int t = 0; t < 5; t++) {
        codes.push_back(g_customer_maps[t].customer_code);
        EXPECT_TRUE(translations(g_customer_maps[t]).empty());
    }
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes, (std::vector<int>{1, 2, 3, 255, 255}));

    std::vector<std::string> errors = logged_texts(ANDROID_LOG_ERROR);
    std::sort(errors.begin(), errors.end());
    EXPECT_EQ(errors,
              (std::vector<std::string>{
                  "open '" + path("keylayout/customer_ir_0002.kl") +
                      "' fail, No such file or directory\n",
                  "open '" + path("keylayout/orvex-ir.kl") + "' fail, No such file or directory\n",
                  "reading '" + path("keylayout/customer_ir_0001.kl") + "' error, Is a directory\n",
              }));
    take_logs();
}

}  // namespace
