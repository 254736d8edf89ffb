// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>

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
        for (int f = 0; row.files[f] != nullptr; f += 2) {
            make(root, row.files[f], row.files[f + 1]);
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

}  // namespace
