// SPDX-License-Identifier: Apache-2.0
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

// Standard output is a pipe, fully buffered, as under a service manager; the daemon never
// exits, so the line must reach the pipe when written, not at exit.
TEST_F(protocol_selection, reads_four_bytes_and_falls_back_to_nec) {
    const std::string invalid = "WRONG : orvex only support rc5 or nec protocol now\n\n";
    const std::string unreadable = "can not read IR_PROTOCOL_USED\n";
    const std::string fallback =
        "WRONG:faied to get ir_protocol_used             default to use NEC protocol\n";
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
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
    fflush(stdout);
    int saved = dup(STDOUT_FILENO);
    dup2(fds[1], STDOUT_FILENO);
    static char buffer[BUFSIZ];
    setvbuf(stdout, buffer, _IOFBF, sizeof(buffer));
    // Checked once standard output is back, where a failure can be reported.
    std::vector<std::string> got;
    std::vector<std::string> expected;
    for (const auto &c : cases) {
        unlink(path("orvex_ir_protocol").c_str());
        if (c.file != nullptr) {
            write_file("orvex_ir_protocol", std::string(c.file, c.size));
        }
        ir_protocol_used = 0;
        select_ir_protocol();
        char line[64] = {};
        got.push_back(read(fds[0], line, sizeof(line) - 1) > 0 ? line : "nothing\n");
        got.back() += std::to_string(ir_protocol_used);
        for (const std::string &error : logged_texts(ANDROID_LOG_ERROR)) {
            got.back() += " | " + error;
        }
        take_logs();
        expected.push_back("IR_PROTOCOL_USED = " + std::to_string(c.printed) + "\n" +
                           std::to_string(c.selected));
        if (!c.error.empty()) {
            expected.back() += " | " + c.error + " | " + fallback;
        }
    }
    setvbuf(stdout, nullptr, _IOFBF, BUFSIZ);
    dup2(saved, STDOUT_FILENO);
    for (int fd : {saved, fds[0], fds[1]}) {
        close(fd);
    }
    EXPECT_EQ(got, expected);
}

}  // namespace
