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

// Accepted names in the order the directory lists them.
std::vector<std::string> listed_names(const std::string &dir) {
    std::vector<std::string> names;
    DIR *d = opendir(dir.c_str());
    for (struct dirent *e = readdir(d); e != nullptr; e = readdir(d)) {
        if (kl_filename_verify(e->d_name) >= 0) {
            names.push_back(e->d_name);
        }
    }
    closedir(d);
    return names;
}

struct pairing_case_t {
    const char *what;
    const char *standard;
    const char *customer;
    std::map<int, int> expected;
};

TEST_F(customer_maps, pairs_customer_scancodes_by_name) {
    const pairing_case_t cases[] = {
        {"same name", "key 115 VOLUME_UP\n", "key 3 VOLUME_UP\n", {{3, 115}}},
        {"lowest standard scancode", "key 30 OK\nkey 20 OK\n", "key 7 OK\n", {{7, 20}}},
        {"several customer scancodes", "key 20 OK\n", "key 7 OK\nkey 9 OK\n", {{7, 20}, {9, 20}}},
        {"standard name only at 0", "key 0 ZERO\n", "key 5 ZERO\n", {}},
        {"standard 0 is skipped, not the name", "key 0 OK\nkey 40 OK\n", "key 5 OK\n", {{5, 40}}},
        {"customer scancode 0", "key 20 OK\n", "key 0 OK\n", {{0, 20}}},
        {"letter case counts", "key 20 Ok\n", "key 7 OK\n", {}},
        {"no shared name", "key 20 A\nkey 21 B\n", "key 7 C\nkey 8 D\n", {}},
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
    for (const pairing_case_t &c : cases) {
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
    std::vector<std::string> order = listed_names(path("keylayout"));
    ASSERT_EQ(order.size(), 19u);

    ASSERT_EQ(init_orvex_ir_map(), 18);
    for (int t = 0; t < 18; t++) {
        SCOPED_TRACE(order[t]);
        int code = kl_filename_verify(order[t].c_str());
        EXPECT_EQ(g_customer_maps[t].customer_code, code);
        EXPECT_EQ(translations(g_customer_maps[t]), (std::map<int, int>{{code - 0x100, 100}}));
    }
    EXPECT_TRUE(captured_logs().empty());
}

TEST_F(customer_maps, digits_differing_in_case_give_two_tables) {
    write_file("keylayout/orvex-ir.kl", "key 100 K\n");
    write_file("keylayout/customer_ir_00ff.kl", "key 1 K\n");
    write_file("keylayout/customer_ir_00FF.kl", "key 2 K\n");
    ASSERT_EQ(init_orvex_ir_map(), 2);
    EXPECT_EQ(g_customer_maps[0].customer_code, 255);
    EXPECT_EQ(g_customer_maps[1].customer_code, 255);
    std::map<int, int> first = translations(g_customer_maps[0]);
    std::map<int, int> second = translations(g_customer_maps[1]);
    EXPECT_NE(first, second);
    EXPECT_TRUE((first == std::map<int, int>{{1, 100}} && second == std::map<int, int>{{2, 100}}) ||
                (first == std::map<int, int>{{2, 100}} && second == std::map<int, int>{{1, 100}}));
}

TEST_F(customer_maps, unreadable_accepted_files_still_count) {
    write_file("keylayout/orvex-ir.kl", "key 100 K\n");
    ASSERT_EQ(mkdir(path("keylayout/customer_ir_0001.kl").c_str(), 0755), 0);
    ASSERT_EQ(symlink("nowhere", path("keylayout/customer_ir_0002.kl").c_str()), 0);
    // A FIFO without a writer must not stall start-up.
    ASSERT_EQ(mkfifo(path("keylayout/customer_ir_0003.kl").c_str(), 0644), 0);
    ASSERT_EQ(init_orvex_ir_map(), 3);

    std::map<int, std::map<int, int>> by_code;
    for (int t = 0; t < 3; t++) {
        by_code[g_customer_maps[t].customer_code] = translations(g_customer_maps[t]);
    }
    std::map<int, std::map<int, int>> expected = {{1, {}}, {2, {}}, {3, {}}};
    EXPECT_EQ(by_code, expected);

    std::vector<std::string> errors = logged_texts(ANDROID_LOG_ERROR);
    std::sort(errors.begin(), errors.end());
    EXPECT_EQ(errors,
              (std::vector<std::string>{
                  "open '" + path("keylayout/customer_ir_0002.kl") +
                      "' fail, No such file or directory\n",
                  "reading '" + path("keylayout/customer_ir_0001.kl") + "' error, Is a directory\n",
              }));
    take_logs();
}

TEST_F(customer_maps, missing_standard_file_gives_all_zero_tables) {
    write_file("keylayout/customer_ir_0001.kl", "key 1 K\n");
    write_file("keylayout/customer_ir_0002.kl", "key 2 !RESERVE\n");
    ASSERT_EQ(init_orvex_ir_map(), 2);
    for (int t = 0; t < 2; t++) {
        EXPECT_TRUE(translations(g_customer_maps[t]).empty());
    }
    EXPECT_EQ(logged_texts(ANDROID_LOG_ERROR),
              std::vector<std::string>{"open '" + path("keylayout/orvex-ir.kl") +
                                       "' fail, No such file or directory\n"});
    take_logs();
}

TEST_F(customer_maps, unopenable_directory_is_reported) {
    struct {
        const char *what;
        bool make_file;
        const char *error;
    } cases[] = {
        {"missing", false, "No such file or directory"},
        {"not a directory", true, "Not a directory"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        rmdir(path("keylayout").c_str());
        unlink(path("keylayout").c_str());
        if (c.make_file) {
            write_file("keylayout", "");
        }
        EXPECT_EQ(init_orvex_ir_map(), -1);
        std::string dir = path("keylayout");
        EXPECT_EQ(logged_texts(ANDROID_LOG_ERROR),
                  (std::vector<std::string>{
                      "open '" + dir + "/orvex-ir.kl' fail, " + c.error + "\n",
                      "Open directory '" + dir + "' error, " + c.error + "\n",
                  }));
        take_logs();
    }
}

}  // namespace
