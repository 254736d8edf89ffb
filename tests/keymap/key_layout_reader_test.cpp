// SPDX-License-Identifier: Apache-2.0
#include <errno.h>
#include <gtest/gtest.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/kernel_calls.h"
#include "keymap/keymap.h"
#include "support/daemon_fixture.h"
#include "support/log_capture.h"

namespace {

using key_layout_reader = daemon_test;

TEST_F(key_layout_reader, reads_files_to_their_end) {
    const std::string pad1021(1021, 'x');
    const struct {
        const char *what;
        std::string content;
        std::vector<std::string> changed;
    } cases[] = {
        {"empty file", "", {}},
        {"last line wins", "key 5 FIRST\nkey 6 OTHER\nkey 5 SECOND\n", {"5=SECOND", "6=OTHER"}},
        {"last line without newline", "key 4 END", {"4=END"}},
        {"CRLF",
         "key 1 POWER\r\n  key 2 HOME\r\nkey 3 BACK x\r\n# key 4 C\r\nkey 5 " +
             std::string(40, 'N') + "\r\n",
         {"1=POWER", "2=HOME", "3=BACK", "5=" + std::string(31, 'N')}},
        // A read takes 1023 characters at most; the rest of the line is a line of its own.
        {"piece starts at key", std::string(1023, 'x') + "key 8 NEXT\n", {"8=NEXT"}},
        {"piece boundary after blank", std::string(1022, 'x') + " key 8 NEXT\n", {"8=NEXT"}},
        {"piece boundary inside key", pad1021 + " key 8 NEXT\n", {}},
        {"first piece is a line too",
         "key 7 FIRST " + std::string(1011, 'x') + "key 8 NEXT\n",
         {"7=FIRST", "8=NEXT"}},
        // A NUL byte ends what the line says; the next line is read as usual.
        {"NUL inside a name",
         std::string("key 9 NA\0ME\nkey 10 AFTER\n", 25),
         {"9=NA", "10=AFTER"}},
        {"NUL before key", std::string("\0key 11 HIDDEN\nkey 12 SEEN\n", 27), {"12=SEEN"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        write_file("layout.kl", c.content);
        keymap_t table[k_keymap_size];
        fill_marked(table);
        EXPECT_EQ(create_keymap_from_file(path("layout.kl").c_str(), table), 0);
        EXPECT_EQ(changed_entries(table), c.changed);
    }
}

// Reads answered from a script: each step delivers bytes or fails with an errno.
struct read_step_t {
    std::string bytes;
    int error;
};
std::vector<read_step_t> g_read_script;
size_t g_read_next;

ssize_t scripted_read(int, void *buf, size_t count) {
    if (g_read_next == g_read_script.size()) {
        return 0;
    }
    const read_step_t &step = g_read_script[g_read_next++];
    errno = step.error;
    size_t n = std::min(step.bytes.size(), count);
    memcpy(buf, step.bytes.data(), n);
    return step.error != 0 ? -1 : static_cast<ssize_t>(n);
}

TEST_F(key_layout_reader, read_errors_keep_what_was_stored) {
    write_file("layout.kl", "key 200 FROM_FILE\n");
    g_kernel.read = scripted_read;
    const struct {
        std::vector<read_step_t> script;
        std::vector<std::string> changed;
    } cases[] = {
        {{{"key 1 A\nkey 2 B\n", 0}, {"", EIO}}, {"1=A", "2=B"}},
        // The piece in progress when the read failed is dropped.
        {{{"key 1 A\nkey 2 B", 0}, {"", EIO}}, {"1=A"}},
        // A signal interrupting a read is no read error.
        {{{"key 1 A\nke", 0}, {"", EINTR}, {"y 2 B\n", 0}}, {"1=A", "2=B"}},
    };
    for (const auto &c : cases) {
        g_read_script = c.script;
        g_read_next = 0;
        keymap_t table[k_keymap_size];
        fill_marked(table);
        bool failed = c.script[1].error == EIO;
        EXPECT_EQ(create_keymap_from_file(path("layout.kl").c_str(), table), failed ? -1 : 0);
        EXPECT_EQ(changed_entries(table), c.changed);
        std::vector<std::string> errors;
        if (failed) {
            errors.push_back("reading '" + path("layout.kl") + "' error, Input/output error\n");
        }
        EXPECT_EQ(logged_texts(ANDROID_LOG_ERROR), errors);
        take_logs();
    }
}

}  // namespace
