#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/protocol.h"
#include "support/daemon_fixture.h"
#include "support/log_capture.h"

namespace {

using protocol_selection = daemon_test;

TEST_F(protocol_selection, reads_four_bytes_and_falls_back_to_nec) {
    const std::string invalid = "WRONG : orvex only support rc5 or nec protocol now\n\n";
    const std::string unreadable = "can not read IR_PROTOCOL_USED\n";
    const struct {
        const char *file;  // null: the file is missing
        size_t size;
        int printed;
        int32_t selected;
        std::string error;  // the first of the two ERROR lines; empty for none
    } cases[] = {
        {"\x01\x00\x00\x00", 4, 1, 1, ""},
        {"\x00\x00\x00\x00", 4, 0, 0, ""},
        {"", 0, 0, 0, ""},
        {"1", 1, 49, 0, invalid},
        {"\xff\xff\xff\xff", 4, -1, 0, invalid},
        {"\x01\x01", 2, 257, 0, invalid},
        {"\x01\x00\x00\x00\x07", 5, 1, 1, ""},
        {nullptr, 0, 0, 0, unreadable},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.file == nullptr ? "missing" : c.file));
        unlink(path("orvex_ir_protocol").c_str());
        if (c.file != nullptr) {
            write_file("orvex_ir_protocol", std::string(c.file, c.size));
        }
        testing::internal::CaptureStdout();
        select_ir_protocol();
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "IR_PROTOCOL_USED = " + std::to_string(c.printed) + "\n");
        EXPECT_EQ(ir_protocol_used, c.selected);
        std::vector<std::string> errors;
        if (!c.error.empty()) {
            errors = {c.error,
                      "WRONG:faied to get ir_protocol_used             default to use NEC "
                      "protocol\n"};
        }
        EXPECT_EQ(logged_texts(ANDROID_LOG_ERROR), errors);
        take_logs();
        ir_protocol_used = 0;
    }
}

// Under a service manager stdout is a pipe, fully buffered, and the daemon never exits:
// the line must reach the pipe when written, not at exit.
TEST_F(protocol_selection, line_reaches_a_pipe_without_exit) {
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
    fflush(stdout);
    int saved = dup(STDOUT_FILENO);
    dup2(fds[1], STDOUT_FILENO);
    static char buffer[BUFSIZ];
    setvbuf(stdout, buffer, _IOFBF, sizeof(buffer));

    select_ir_protocol();
    char got[64] = {};
    ssize_t n = read(fds[0], got, sizeof(got) - 1);

    setvbuf(stdout, nullptr, _IOFBF, BUFSIZ);
    dup2(saved, STDOUT_FILENO);
    for (int fd : {saved, fds[0], fds[1]}) {
        close(fd);
    }
    EXPECT_EQ(n, 21);
    EXPECT_STREQ(got, "IR_PROTOCOL_USED = 0\n");
    take_logs();
}

}  // namespace
