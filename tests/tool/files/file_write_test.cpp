// SPDX-License-Identifier: Apache-2.0
#include <errno.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "support/daemon_fixture.h"
#include "tool/files/file_calls.h"
#include "tool/files/files.h"
#include "tool/tool_run.h"

namespace {

using file_write = daemon_test;

int refuse(int error) {
    errno = error;
    return -1;
}

// Filesystems without the no-replace rename, or without hard links as well; a file made just
// before either.
int no_flag(const char *, const char *) {
    return refuse(EINVAL);
}
int no_flag_after_theirs(const char *, const char *to) {
    make_theirs(to);
    return refuse(EINVAL);
}
int no_links(const char *, const char *) {
    return refuse(EPERM);
}
int no_links_after_theirs(const char *, const char *to) {
    make_theirs(to);
    return refuse(EPERM);
}

TEST_F(file_write, never_replaces_a_file_made_meanwhile_and_writes_new_ones_public) {
    reset_file_calls();
    const file_calls_t real = g_file_calls;
    const struct {
        const char *what;
        bool replace;
        file_calls_t calls;
        mode_t before;      // the mode of a file there before the write; 0: none
        const char *after;  // "theirs": the write failed with EEXIST
        mode_t mode;
    } rows[] = {
        {"new", false, real, 0, "ours", 0644},
        {"replaced", true, real, 0640, "ours", 0640},
        {"made meanwhile", false, {rename_after_theirs, real.link}, 0, "theirs", 0600},
        {"made meanwhile, replaced", true, {rename_after_theirs, real.link}, 0, "ours", 0644},
        {"no flag", false, {no_flag, real.link}, 0, "ours", 0644},
        {"no flag, made meanwhile", false, {no_flag_after_theirs, real.link}, 0, "theirs", 0600},
        {"no flag nor links", false, {no_flag, no_links}, 0, "ours", 0644},
        {"no flag nor links, made meanwhile",
         false,
         {no_flag, no_links_after_theirs},
         0,
         "theirs",
         0600},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        std::string dir = path(row.what);
        ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
        std::string target = dir + "/customer_ir_80ff.kl";
        if (row.before != 0) {
            make_theirs(target.c_str());
            ASSERT_EQ(chmod(target.c_str(), row.before), 0);
        }
        // Under the umask of many build machines.
        mode_t mask = umask(077);
        g_file_calls = row.calls;
        errno = 0;
        int result = write_file_atomically(dir, "customer_ir_80ff.kl", "ours", row.replace);
        int error = errno;
        reset_file_calls();
        umask(mask);
        bool refused = std::string(row.after) == "theirs";
        EXPECT_EQ(result, refused ? -1 : 0);
        if (refused) {
            EXPECT_EQ(error, EEXIST);
        }
        EXPECT_EQ(read_whole(target), row.after);
        struct stat st;
        ASSERT_EQ(stat(target.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, row.mode);
        // No temporary file is left behind.
        EXPECT_EQ(count_entries(dir), 1);
    }
}

}  // namespace
