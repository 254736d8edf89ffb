#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "core/protocol.h"
#include "support/daemon_fixture.h"
#include "support/log_capture.h"

namespace {

const char k_fallback[] =
    "WRONG:faied to get ir_protocol_used             default to use NEC protocol\n";

struct protocol_case_t {
    const char *title;
    std::optional<std::string> file;  // nullopt: the file is missing
    const char *stdout_line;
    int32_t selected;
    std::vector<std::string> errors;
};

void PrintTo(const protocol_case_t &c, std::ostream *os) {
    *os << c.title;
}

class protocol_selection : public daemon_test,
                           public ::testing::WithParamInterface<protocol_case_t> {};

TEST_P(protocol_selection, reads_four_bytes_and_falls_back_to_nec) {
    const protocol_case_t &c = GetParam();
    if (c.file) {
        write_file("orvex_ir_protocol", *c.file);
    }
    testing::internal::CaptureStdout();
    select_ir_protocol();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.stdout_line);
    EXPECT_EQ(ir_protocol_used, c.selected);
    EXPECT_EQ(logged_texts(ANDROID_LOG_ERROR), c.errors);
    take_logs();
}

INSTANTIATE_TEST_SUITE_P(
    cases, protocol_selection,
    ::testing::Values(
        protocol_case_t{"rc5", std::string("\x01\x00\x00\x00", 4), "IR_PROTOCOL_USED = 1\n", 1, {}},
        protocol_case_t{"nec", std::string("\x00\x00\x00\x00", 4), "IR_PROTOCOL_USED = 0\n", 0, {}},
        protocol_case_t{"character_one",
                        std::string("1"),
                        "IR_PROTOCOL_USED = 49\n",
                        0,
                        {"WRONG : orvex only support rc5 or nec protocol now\n\n", k_fallback}},
        protocol_case_t{"empty", std::string(), "IR_PROTOCOL_USED = 0\n", 0, {}},
        protocol_case_t{"all_ones",
                        std::string("\xff\xff\xff\xff", 4),
                        "IR_PROTOCOL_USED = -1\n",
                        0,
                        {"WRONG : orvex only support rc5 or nec protocol now\n\n", k_fallback}},
        protocol_case_t{"two_bytes_little_endian",
                        std::string("\x01\x01", 2),
                        "IR_PROTOCOL_USED = 257\n",
                        0,
                        {"WRONG : orvex only support rc5 or nec protocol now\n\n", k_fallback}},
        protocol_case_t{"fifth_byte_not_read",
                        std::string("\x01\x00\x00\x00\x07", 5),
                        "IR_PROTOCOL_USED = 1\n",
                        1,
                        {}},
        protocol_case_t{"missing",
                        std::nullopt,
                        "IR_PROTOCOL_USED = 0\n",
                        0,
                        {"can not read IR_PROTOCOL_USED\n", k_fallback}}),
    [](const ::testing::TestParamInfo<protocol_case_t> &info) { return info.param.title; });

using protocol_line = daemon_test;

// Under a service manager stdout is a pipe, fully buffered, and the daemon never exits:
// the line must reach the pipe when written, not at exit.
TEST_F(protocol_line, reaches_a_pipe_without_exit) {
    write_file("orvex_ir_protocol", std::string("\x01\x00\x00\x00", 4));
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
    close(saved);
    close(fds[0]);
    close(fds[1]);
    EXPECT_EQ(n, 21);
    EXPECT_STREQ(got, "IR_PROTOCOL_USED = 1\n");
}

}  // namespace
