// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <map>
#include <string>

#include <cutils/properties.h>

#include "core/paths.h"
#include "tool/android/layout_search.h"
#include "tool/android/layout_search_table.h"
#include "tool/android/reader.h"

namespace {

// Makes path's folders below root, then the file or, for the content "/", a folder.
void make(const std::string &root, const std::string &path, const std::string &content) {
    for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
        mkdir((root + path.substr(0, at)).c_str(), 0755);
    }
    if (content == "/") {
        ASSERT_EQ(mkdir((root + path).c_str(), 0755), 0) << path;
        return;
    }
    FILE *f = fopen((root + path).c_str(), "we");
    ASSERT_NE(f, nullptr) << path;
    fwrite(content.data(), 1, content.size(), f);
    fclose(f);
}

// A box path as the facts write it, or its negation ("!PATH"), against what was taken.
void expect_taken(const char *want, const std::string &taken) {
    if (want != nullptr && want[0] == '!') {
        EXPECT_NE(taken, want + 1);
    } else if (want != nullptr) {
        EXPECT_EQ(taken, want);
    }
}

// Every example of the facts of Android's file choice that is a folder tree of the virtual
// keyboard: made under a root here, each version of its row takes there what the row says, on
// a kernel known to have no config.
TEST(android_layout_search, takes_the_file_of_every_example_of_the_facts) {
    kernel_config_t kernel = {true, "", {}};
    int choices = 0;
    for (int i = 0; i < k_layout_search_row_count; i++) {
        const layout_search_row_t &row = k_layout_search_rows[i];
        std::string root = testing::TempDir() + "dravoke-search-XXXXXX";
        ASSERT_NE(mkdtemp(&root[0]), nullptr);
        std::map<std::string, std::string> files;
        for (int f = 0; k_layout_search_base[f] != nullptr; f += 2) {
            files[k_layout_search_base[f]] = k_layout_search_base[f + 1];
        }
        for (int f = 0; row.files[f] != nullptr; f += 2) {
            files[row.files[f]] = row.files[f + 1];
        }
        for (const auto &file : files) {
            if (file.second != "-") {
                make(root, file.first, file.second);
            }
        }
        box_tree_t tree = {false, root, root + "/system/usr/keylayout", true, row.apex};
        for (int version = 9; version <= 16; version++) {
            if ((row.versions & (1u << version)) == 0) {
                continue;
            }
            SCOPED_TRACE(std::string(row.rule) + " (row " + std::to_string(i) + ") as Android " +
                         std::to_string(version));
            file_cache_t cache;
            layout_choice_t choice;
            choose_layout(tree, {version, 64, &kernel}, &cache, &choice);
            choices++;
            expect_taken(row.layout, choice.shown);
            expect_taken(row.kcm, choice.kcm_shown);
            bool rejected = false;
            for (const auto &finding : choice.findings) {
                rejected = rejected || finding.first.text.find("rejects this .idc") == 0;
            }
            if (row.idc_rejected >= 0) {
                EXPECT_EQ(rejected, row.idc_rejected == 1);
            }
            EXPECT_TRUE(choice.unreadable.empty()) << choice.unreadable;
        }
        ASSERT_EQ(system(("rm -rf '" + root + "'").c_str()), 0);
    }
    // Not a table left empty.
    EXPECT_GT(choices, 3 * k_layout_search_row_count);
}

// Where the search looks: under --root, the folders there, the property not known; on the box,
// its own, the property read; elsewhere the folder alone, whatever it is called.
TEST(android_layout_search, searches_the_root_the_box_or_the_folder_alone) {
    const struct {
        const char *sdk;  // "" off the box
        const char *root;
        bool doctor;
        const char *dir;  // "SYSTEM": the daemon's key layout folder
        box_tree_t want;
    } runs[] = {
        {"",
         "/out/dev",
         false,
         "/out/dev/system/usr/keylayout",
         {false, "/out/dev", "/out/dev/system/usr/keylayout", false, ""}},
        {"", "/", false, "SYSTEM", {false, "", "/system/usr/keylayout", true, "com.x.input"}},
        {"", "", true, "SYSTEM", {true, "", "SYSTEM", false, ""}},
        {"", "", false, "/tmp/kl", {true, "", "/tmp/kl", false, ""}},
        {"34", "", false, "SYSTEM", {false, "", "SYSTEM", true, "com.x.input"}},
        {"34", "", true, "/data/kl", {false, "", "/data/kl", true, "com.x.input"}},
        {"34", "", false, "/data/kl", {true, "", "/data/kl", false, ""}},
    };
    ASSERT_EQ(property_set("input_device.config_file.apex", "com.x.input"), 0);
    // A folder that is there stands for the daemon's.
    std::string system_dir = testing::TempDir();
    const char *saved = g_keylayout_dir;
    g_keylayout_dir = system_dir.c_str();
    for (const auto &run : runs) {
        tool_options_t options;
        options.on_android = run.sdk[0] != '\0';
        options.root = run.root;
        options.on_box = run.doctor;
        auto system = [](const std::string &dir) {
            return dir == "SYSTEM" ? g_keylayout_dir : dir;
        };
        options.dir = system(run.dir);
        box_tree_t tree;
        settle_box_tree(&options, &tree);
        SCOPED_TRACE(std::string(run.sdk) + " " + run.root + " " + run.dir);
        EXPECT_EQ(tree.bare, run.want.bare);
        EXPECT_EQ(tree.root, run.want.root);
        EXPECT_EQ(tree.keylayout, system(run.want.keylayout));
        EXPECT_EQ(tree.apex_known, run.want.apex_known);
        EXPECT_EQ(tree.apex, run.want.apex);
        // The system's key layouts are the daemon's folder; the rest lies under the root.
        EXPECT_EQ(tree_path(tree, "/system/usr/keylayout/Generic.kl"),
                  system(run.want.keylayout) + "/Generic.kl");
        EXPECT_EQ(tree_path(tree, "/vendor/usr/idc/x.idc"), tree.root + "/vendor/usr/idc/x.idc");
    }
    host_properties_clear();
    g_keylayout_dir = saved;
}

}  // namespace
