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

file_calls_t g_real;

int refuse(int error) {
    errno = error;
    return -1;
}

// Filesystems without the no-replace rename, or without hard links as well, a file made just
// before either; and a failure that no other call can mend.
int no_flag(const char *, const char *) {
    return refuse(EINVAL);
}
int race_then_no_flag(const char *, const char *to) {
    make_theirs(to);
    return refuse(EINVAL);
}
int no_links(const char *, const char *) {
    return refuse(EPERM);
}
int race_then_no_links(const char *, const char *to) {
    make_theirs(to);
    return refuse(EPERM);
}
int read_only(const char *, const char *) {
    return refuse(EROFS);
}

TEST_F(file_write, never_replaces_a_file_made_meanwhile_and_writes_new_ones_public) {
    reset_file_calls();
    g_real = g_file_calls;
    const struct {
        const char *what;
        mode_t before;  // the mode of a file there before the write; 0: none
        bool replace;
        mode_t mask;
        file_calls_t calls;
        int error;  // the write's errno; 0: written
        const char *after;
        mode_t mode;  // the file's afterwards; 0: none
    } rows[] = {
        {"new, under a restrictive umask", 0, false, 077, g_real, 0, "ours", 0644},
        {"replaced, keeping its mode", 0640, true, 022, g_real, 0, "ours", 0640},
        {"there already", 0640, false, 022, g_real, EEXIST, "theirs", 0640},
        {"made meanwhile",
         0,
         false,
         022,
         {rename_after_theirs, g_real.link},
         EEXIST,
         "theirs",
         0600},
        {"made meanwhile, replaced",
         0,
         true,
         022,
         {rename_after_theirs, g_real.link},
         0,
         "ours",
         0644},
        {"new, no flag: linked", 0, false, 077, {no_flag, g_real.link}, 0, "ours", 0644},
        {"made meanwhile, no flag",
         0,
         false,
         022,
         {race_then_no_flag, g_real.link},
         EEXIST,
         "theirs",
         0600},
        {"new, no flag nor links", 0, false, 022, {no_flag, no_links}, 0, "ours", 0644},
        {"made meanwhile, no flag nor links",
         0,
         false,
         022,
         {no_flag, race_then_no_links},
         EEXIST,
         "theirs",
         0600},
        {"a read-only folder: not linked",
         0,
         false,
         022,
         {read_only, g_real.link},
         EROFS,
         nullptr,
         0},
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
        mode_t mask = umask(row.mask);
        g_file_calls = row.calls;
        errno = 0;
        int result = write_file_atomically(dir, "customer_ir_80ff.kl", "ours", row.replace);
        int error = errno;
        reset_file_calls();
        umask(mask);
        EXPECT_EQ(result, row.error == 0 ? 0 : -1);
        if (row.error != 0) {
            EXPECT_EQ(error, row.error);
        }
        EXPECT_EQ(read_whole(target), row.after == nullptr ? "(missing)" : row.after);
        struct stat st;
        EXPECT_EQ(stat(target.c_str(), &st) == 0 ? st.st_mode & 07777 : 0, row.mode);
        // No temporary file is left behind.
        EXPECT_EQ(count_entries(dir), row.mode == 0 ? 0 : 1);
    }
}

}  // namespace
