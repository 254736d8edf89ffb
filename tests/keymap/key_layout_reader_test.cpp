#include <errno.h>
#include <gtest/gtest.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/kernel_calls.h"
#include "keymap/keymap.h"
#include "support/daemon_fixture.h"
#include "support/log_capture.h"

namespace {

using key_layout_reader = daemon_test;

// A table whose every entry shows whether the reader wrote it.
void fill_marked(keymap_t *table) {
    for (int i = 0; i < k_keymap_size; i++) {
        table[i].scancode = 1000 + i;
        snprintf(table[i].name, sizeof(table[i].name), "mark%d", i);
    }
}

// Entries the reader changed, as "N=NAME" with the stored scancode when it differs from N.
std::vector<std::string> changed_entries(const keymap_t *table) {
    std::vector<std::string> changed;
    for (int i = 0; i < k_keymap_size; i++) {
        char mark[32];
        snprintf(mark, sizeof(mark), "mark%d", i);
        if (table[i].scancode == 1000 + i && strcmp(table[i].name, mark) == 0) {
            continue;
        }
        std::string entry = std::to_string(i) + "=" + table[i].name;
        if (table[i].scancode != i) {
            entry += " (scancode " + std::to_string(table[i].scancode) + ")";
        }
        changed.push_back(entry);
    }
    return changed;
}

struct file_case_t {
    const char *what;
    std::string content;
    std::vector<std::string> changed;
};

TEST_F(key_layout_reader, reads_files_to_their_end) {
    const std::string pad1021(1021, 'x');
    const file_case_t cases[] = {
        {"empty file", "", {}},
        {"last line wins", "key 5 FIRST\nkey 6 OTHER\nkey 5 SECOND\n", {"5=SECOND", "6=OTHER"}},
        {"last line without newline", "key 4 END", {"4=END"}},
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
    for (const file_case_t &c : cases) {
        SCOPED_TRACE(c.what);
        write_file("layout.kl", c.content);
        keymap_t table[k_keymap_size];
        fill_marked(table);
        EXPECT_EQ(create_keymap_from_file(path("layout.kl").c_str(), table), 0);
        EXPECT_EQ(changed_entries(table), c.changed);
    }
}

TEST_F(key_layout_reader, crlf_gives_the_same_names_as_lf) {
    const std::string lines[] = {"key 1 POWER", "  key 2 HOME", "key 3 BACK extra", "# key 4 C",
                                 "key 5 " + std::string(40, 'N')};
    std::string lf;
    std::string crlf;
    for (const std::string &line : lines) {
        lf += line + "\n";
        crlf += line + "\r\n";
    }
    write_file("lf.kl", lf);
    write_file("crlf.kl", crlf);
    keymap_t from_lf[k_keymap_size];
    keymap_t from_crlf[k_keymap_size];
    fill_marked(from_lf);
    fill_marked(from_crlf);
    ASSERT_EQ(create_keymap_from_file(path("lf.kl").c_str(), from_lf), 0);
    ASSERT_EQ(create_keymap_from_file(path("crlf.kl").c_str(), from_crlf), 0);
    EXPECT_EQ(changed_entries(from_crlf), changed_entries(from_lf));
    EXPECT_EQ(changed_entries(from_lf), (std::vector<std::string>{"1=POWER", "2=HOME", "3=BACK",
                                                                  "5=" + std::string(31, 'N')}));
}

TEST_F(key_layout_reader, missing_file_leaves_table_untouched) {
    keymap_t table[k_keymap_size];
    fill_marked(table);
    EXPECT_EQ(create_keymap_from_file(path("absent.kl").c_str(), table), -1);
    EXPECT_TRUE(changed_entries(table).empty());
    std::vector<log_line_t> lines = take_logs();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].priority, ANDROID_LOG_ERROR);
    EXPECT_EQ(lines[0].tag, "dravoke");
    EXPECT_EQ(lines[0].text, "open '" + path("absent.kl") + "' fail, No such file or directory\n");
}

TEST_F(key_layout_reader, directory_reports_read_error) {
    ASSERT_EQ(mkdir(path("dir.kl").c_str(), 0755), 0);
    keymap_t table[k_keymap_size];
    fill_marked(table);
    EXPECT_EQ(create_keymap_from_file(path("dir.kl").c_str(), table), -1);
    EXPECT_TRUE(changed_entries(table).empty());
    EXPECT_EQ(logged_texts(ANDROID_LOG_ERROR),
              std::vector<std::string>{"reading '" + path("dir.kl") + "' error, Is a directory\n"});
    take_logs();
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
    if (step.error != 0) {
        errno = step.error;
        return -1;
    }
    size_t n = step.bytes.size() < count ? step.bytes.size() : count;
    memcpy(buf, step.bytes.data(), n);
    return static_cast<ssize_t>(n);
}

TEST_F(key_layout_reader, read_errors_keep_what_was_stored) {
    struct {
        const char *what;
        std::vector<read_step_t> script;
        int result;
        std::vector<std::string> changed;
        std::string error;
    } cases[] = {
        {"error after whole lines",
         {{"key 1 A\nkey 2 B\n", 0}, {"", EIO}},
         -1,
         {"1=A", "2=B"},
         "Input/output error"},
        // The piece in progress when the read failed is dropped.
        {"error inside a line",
         {{"key 1 A\nkey 2 B", 0}, {"", EIO}},
         -1,
         {"1=A"},
         "Input/output error"},
        {"error at once", {{"", EACCES}}, -1, {}, "Permission denied"},
        // A signal interrupting a read is no read error.
        {"interrupted read is retried",
         {{"key 1 A\nke", 0}, {"", EINTR}, {"y 2 B\n", 0}},
         0,
         {"1=A", "2=B"},
         ""},
    };
    write_file("layout.kl", "key 200 FROM_FILE\n");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        g_read_script = c.script;
        g_read_next = 0;
        g_kernel.read = scripted_read;
        keymap_t table[k_keymap_size];
        fill_marked(table);
        EXPECT_EQ(create_keymap_from_file(path("layout.kl").c_str(), table), c.result);
        EXPECT_EQ(changed_entries(table), c.changed);
        std::vector<std::string> expected_errors;
        if (!c.error.empty()) {
            expected_errors.push_back("reading '" + path("layout.kl") + "' error, " + c.error +
                                      "\n");
        }
        EXPECT_EQ(logged_texts(ANDROID_LOG_ERROR), expected_errors);
        take_logs();
    }
}

}  // namespace
