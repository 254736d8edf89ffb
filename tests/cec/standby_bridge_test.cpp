// SPDX-License-Identifier: Apache-2.0
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/netlink.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "cec/standby_bridge.h"
#include "core/kernel_calls.h"
#include "core/paths.h"
#include "inject/virtual_keyboard.h"
#include "support/daemon_fixture.h"
#include "support/log_capture.h"
#include "support/uevent_source.h"

namespace {

constexpr long k_t = 1700000000;

const std::string k_standby = hdmi_uevent(k_platform_header);

// The DEBUG lines of one announcement.
std::vector<std::string> standby_lines(bool acted_on, long interval) {
    std::vector<std::string> lines = {
        "receive CEC standy request, interval = " + std::to_string(interval) + " sec"};
    if (acted_on) {
        lines.insert(lines.begin(), "standby request from HDMI-CEC\n");
    }
    return lines;
}

// The POWER key of an announcement whose clock reading was at sec.usec: the clock is read for
// the interval, then for the press (t1), then after the press's SYN_REPORT for the release
// (t2), and each reading moves it on by 1 us.
std::string power_key(long sec, long usec) {
    std::string t1 = "time" + std::to_string(sec) + "." + std::to_string(usec + 1);
    std::string t2 = "time" + std::to_string(sec) + "." + std::to_string(usec + 2);
    return t1 + "/type1/code116/value1 " + t1 + "/type0/code0/value0 " + t2 +
           "/type1/code116/value0 " + t2 + "/type0/code0/value0";
}

// The bridge on a real uevent socket, fed by a second netlink socket, with a virtual
// keyboard on the stand-in file and the wall clock under the test's control.
class standby_bridge : public daemon_test {
   protected:
    void SetUp() override {
        daemon_test::SetUp();
        ASSERT_GT(setup_virtual_input_dev(k_virtual_keyboard_name), 0);
        take_logs();
        g_kernel.gettimeofday = fake_gettimeofday;
        int slot = -1;
        ASSERT_EQ(uevent_init(&slot), 0) << strerror(errno);
        if (!uevent_sending_permitted()) {
            GTEST_SKIP() << "sending to a uevent socket needs CAP_NET_ADMIN, which this "
                            "process lacks";
        }
        drain_uevents();
    }

    // Sends one datagram at sec.usec and serves everything queued, the kernel's own uevents
    // included. Returns the DEBUG lines logged and the keys written meanwhile.
    std::pair<std::vector<std::string>, std::string> announce(
        const std::string &datagram, long sec, long usec = 0,
        uevent_sender_t sender = k_as_kernel) {
        g_fake_now = {sec, usec};
        EXPECT_EQ(send_uevent(datagram, sender), 0) << strerror(errno);
        EXPECT_GE(drain_uevents(), 1);
        std::vector<std::string> lines;
        for (const log_line_t &line : take_logs()) {
            EXPECT_EQ(line.priority, ANDROID_LOG_DEBUG) << line.text;
            lines.push_back(line.text);
        }
        return {lines, new_keyboard_events()};
    }
};

TEST_F(standby_bridge, needs_six_whole_seconds_since_the_last_standby) {
    const struct {
        const char *name;
        // sec, usec, acted on, logged interval; a fifth value sends from user space, which
        // must give nothing and keep no time.
        std::vector<std::vector<long>> steps;
    } scenarios[] = {
        {"first after start, then 3 s, then 4 s",
         {{k_t, 0, 1, k_t}, {k_t + 3, 0, 0, 3}, {k_t + 7, 0, 0, 4}}},
        {"5.9 s, then exactly 6 s",
         {{k_t, 0, 1, k_t}, {k_t + 5, 900000, 0, 5}, {k_t + 11, 900000, 1, 6}}},
        {"6.2 s of seconds field is 5.2 s",
         {{k_t, 900000, 1, k_t}, {k_t + 6, 100000, 0, 5}, {k_t + 12, 100000, 1, 6}}},
        {"clock set back",
         {{k_t, 500000, 1, k_t}, {k_t - 10, 600000, 1, -10}, {k_t - 20, 0, 1, -11}}},
        {"user-space Standbys hold nothing back and press nothing",
         {{k_t, 0, 1, k_t}, {k_t + 3, 0, 0, 0, 1}, {k_t + 6, 0, 1, 6}, {k_t + 20, 0, 0, 0, 1}}},
    };
    for (const auto &scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        g_last_standby_time = timeval{};
        for (const std::vector<long> &step : scenario.steps) {
            SCOPED_TRACE("at " + std::to_string(step[0]) + "." + std::to_string(step[1]));
            const timeval before = g_last_standby_time;
            if (step.size() > 4) {
                EXPECT_EQ(announce(k_standby, step[0], step[1], k_from_user_space),
                          std::make_pair(std::vector<std::string>{}, std::string()));
                EXPECT_EQ(g_last_standby_time.tv_sec, before.tv_sec);
                EXPECT_EQ(g_last_standby_time.tv_usec, before.tv_usec);
                continue;
            }
            EXPECT_EQ(announce(k_standby, step[0], step[1]),
                      std::make_pair(standby_lines(step[2], step[3]),
                                     step[2] ? power_key(step[0], step[1]) : ""));
            // Moved by every Standby, acted on or not.
            EXPECT_EQ(g_last_standby_time.tv_sec, step[0]);
            EXPECT_EQ(g_last_standby_time.tv_usec, step[1]);
        }
    }
}

TEST_F(standby_bridge, other_opcodes_are_ignored_without_a_word) {
    EXPECT_EQ(announce(hdmi_uevent(k_platform_header, "CEC_MSG=04"), k_t),
              std::make_pair(std::vector<std::string>{}, std::string()));
    EXPECT_EQ(g_last_standby_time.tv_sec, 0);
    // Not even read: the clock only matters for a Standby.
    EXPECT_EQ(g_fake_now.tv_usec, 0);
}

TEST_F(standby_bridge, without_a_virtual_keyboard_only_logs_and_keeps_the_time) {
    close(g_uinputfd);
    g_uinputfd = -1;
    EXPECT_EQ(announce(hdmi_uevent(k_soc_header), k_t),
              std::make_pair(standby_lines(true, k_t), std::string()));
    EXPECT_EQ(g_last_standby_time.tv_sec, k_t);
}

// Header, three fields and then "CEC_MSG=36" starting at byte offset start; the third
// field is padded to get there, and a long field follows.
std::string standby_with_cec_msg_at(size_t start) {
    std::vector<std::string> fields = {k_platform_header, "ACTION=change", "SUBSYSTEM=hdmi"};
    fields.push_back("PAD=" + std::string(start - join_uevent_fields(fields).size() - 5, 'x'));
    fields.push_back("CEC_MSG=36");
    fields.push_back("TAIL=" + std::string(1200, 'y'));
    std::string datagram = join_uevent_fields(fields);
    EXPECT_EQ(datagram.compare(start, 10, "CEC_MSG=36"), 0);
    return datagram;
}

TEST_F(standby_bridge, datagrams_of_1024_bytes_or_more_are_cut_to_1023) {
    // Only "CEC_MSG=3" is kept when the "6" would be the 1024th byte.
    const std::pair<size_t, bool> cases[] = {{200, true}, {1023 - 10, true}, {1024 - 10, false}};
    long now = k_t;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.first);
        now += 100;
        EXPECT_EQ(announce(standby_with_cec_msg_at(c.first), now).second,
                  c.second ? power_key(now, 0) : "");
    }
}

// Opening the socket needs no privilege to send, so these run everywhere.
using uevent_socket = daemon_test;

int socket_option(int fd, int name) {
    int value = -1;
    socklen_t length = sizeof(value);
    EXPECT_EQ(getsockopt(fd, SOL_SOCKET, name, &value, &length), 0) << strerror(errno);
    return value;
}

TEST_F(uevent_socket, binds_a_blocking_uevent_socket_to_the_pid_and_every_group) {
    int slot = -1;
    ASSERT_EQ(uevent_init(&slot), 0) << strerror(errno);
    EXPECT_GT(slot, 0);
    EXPECT_EQ(g_uevent_sock, slot);
    struct sockaddr_nl bound = {};
    socklen_t length = sizeof(bound);
    ASSERT_EQ(getsockname(slot, reinterpret_cast<struct sockaddr *>(&bound), &length), 0);
    EXPECT_EQ(bound.nl_family, AF_NETLINK);
    EXPECT_EQ(bound.nl_pid, static_cast<__u32>(getpid()));
    EXPECT_EQ(bound.nl_groups, 0xFFFFFFFFu);
    EXPECT_EQ(socket_option(slot, SO_TYPE), SOCK_DGRAM);
    EXPECT_EQ(socket_option(slot, SO_PROTOCOL), NETLINK_KOBJECT_UEVENT);
    EXPECT_EQ(fcntl(slot, F_GETFL) & O_NONBLOCK, 0);

    // Where this process may force the size, the bridge's buffer is the forced 64 KiB.
    int scratch = socket(PF_NETLINK, SOCK_DGRAM, NETLINK_KOBJECT_UEVENT);
    int size = 65536;
    if (setsockopt(scratch, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof(size)) == 0) {
        EXPECT_EQ(socket_option(slot, SO_RCVBUF), socket_option(scratch, SO_RCVBUF));
    }
    close(scratch);
    EXPECT_TRUE(take_logs().empty());
}

TEST_F(uevent_socket, taken_port_closes_the_socket_and_stores_nothing) {
    int blocker = socket(PF_NETLINK, SOCK_DGRAM, NETLINK_KOBJECT_UEVENT);
    struct sockaddr_nl address = {};
    address.nl_family = AF_NETLINK;
    address.nl_pid = static_cast<__u32>(getpid());
    ASSERT_EQ(bind(blocker, reinterpret_cast<struct sockaddr *>(&address), sizeof(address)), 0);

    int before = open_descriptor_count();
    int slot = 77;
    EXPECT_EQ(uevent_init(&slot), -1);
    EXPECT_EQ(slot, 77);
    EXPECT_EQ(g_uevent_sock, -1);
    EXPECT_EQ(open_descriptor_count(), before);
    EXPECT_TRUE(take_logs().empty());
    close(blocker);
}

// The lowest free descriptor made the limit: no socket can be made.
TEST_F(uevent_socket, no_descriptor_left_stores_nothing) {
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    struct rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(fcntl(0, F_DUPFD, 0));
    close(static_cast<int>(tight.rlim_cur));
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    int slot = 77;
    int result = uevent_init(&slot);
    setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(slot, 77);
}

TEST_F(uevent_socket, descriptor_zero_counts_as_failure) {
    int saved_stdin = dup(0);
    ASSERT_GE(saved_stdin, 0);
    close(0);
    int slot = 77;
    int result = uevent_init(&slot);
    int stored = g_uevent_sock;
    // Give the test runner its standard input back before anything can fail.
    dup2(saved_stdin, 0);
    close(saved_stdin);
    g_uevent_sock = -1;
    EXPECT_EQ(result, -1);
    EXPECT_EQ(slot, 0);
    EXPECT_EQ(stored, 0);
}

}  // namespace
