#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/netlink.h>
#include <string.h>
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

const std::string k_platform_header = "change@/devices/platform/soc/hdmi";
const std::string k_soc_header = "change@/devices/soc.0/1ee0000.hdmi";

std::string standby_from(const std::string &header, const std::string &cec_msg = "CEC_MSG=36") {
    return join_uevent_fields({header, "ACTION=change", "DEVPATH=/devices/platform/soc/hdmi",
                               "SUBSYSTEM=hdmi", cec_msg, "SEQNUM=88"});
}

std::string interval_line(long seconds) {
    return "receive CEC standy request, interval = " + std::to_string(seconds) + " sec";
}

struct timeval at(long sec, long usec) {
    struct timeval tv = {};
    tv.tv_sec = sec;
    tv.tv_usec = usec;
    return tv;
}

int next_free_descriptor() {
    int fd = dup(0);
    close(fd);
    return fd;
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

    // Sends one datagram and serves everything queued, the kernel's own uevents included.
    void announce(const std::string &datagram) {
        ASSERT_EQ(send_uevent(datagram), 0) << strerror(errno);
        ASSERT_GE(drain_uevents(), 1);
    }

    // The DEBUG lines of one announcement, taken.
    std::vector<std::string> take_debug_lines() {
        std::vector<std::string> texts;
        for (const log_line_t &line : take_logs()) {
            EXPECT_EQ(line.priority, ANDROID_LOG_DEBUG) << line.text;
            texts.push_back(line.text);
        }
        return texts;
    }
};

void expect_record(const struct input_event &event, const struct timeval &time, int type, int code,
                   int value) {
    EXPECT_EQ(event.input_event_sec, time.tv_sec);
    EXPECT_EQ(event.input_event_usec, time.tv_usec);
    EXPECT_EQ(event.type, type);
    EXPECT_EQ(event.code, code);
    EXPECT_EQ(event.value, value);
}

TEST_F(standby_bridge, standby_from_either_header_presses_and_releases_power) {
    const std::string headers[] = {k_platform_header, k_soc_header};
    long previous = 0;
    for (size_t i = 0; i < 2; i++) {
        SCOPED_TRACE(headers[i]);
        const long now = k_t + 100 * static_cast<long>(i);
        g_fake_now = at(now, 250000);
        size_t before = keyboard_events().size();

        announce(standby_from(headers[i]));

        // The clock is read for the interval, then for the press (t1), then after the
        // press's SYN_REPORT for the release (t2); each reading moves it on by 1 us.
        std::vector<struct input_event> events = keyboard_events();
        ASSERT_EQ(events.size(), before + 4);
        expect_record(events[before + 0], at(now, 250001), EV_KEY, KEY_POWER, 1);
        expect_record(events[before + 1], at(now, 250001), EV_SYN, SYN_REPORT, 0);
        expect_record(events[before + 2], at(now, 250002), EV_KEY, KEY_POWER, 0);
        expect_record(events[before + 3], at(now, 250002), EV_SYN, SYN_REPORT, 0);
        EXPECT_EQ(take_debug_lines(), (std::vector<std::string>{"standby request from HDMI-CEC\n",
                                                                interval_line(now - previous)}));
        EXPECT_EQ(g_last_standby_time.tv_sec, now);
        EXPECT_EQ(g_last_standby_time.tv_usec, 250000);
        previous = now;
    }
}

TEST_F(standby_bridge, other_datagrams_are_ignored_without_a_word) {
    const struct {
        const char *name;
        std::string datagram;
    } cases[] = {
        {"other opcode", standby_from(k_platform_header, "CEC_MSG=04")},
        {"input device added",
         join_uevent_fields({"add@/devices/virtual/input/input9", "ACTION=add",
                             "DEVPATH=/devices/virtual/input/input9", "SUBSYSTEM=input"})},
    };
    g_fake_now = at(k_t, 0);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        announce(c.datagram);
        EXPECT_TRUE(keyboard_events().empty());
        EXPECT_TRUE(take_logs().empty());
        EXPECT_EQ(g_last_standby_time.tv_sec, 0);
        EXPECT_EQ(g_last_standby_time.tv_usec, 0);
        // Not even read: the clock only matters for a Standby.
        EXPECT_EQ(g_fake_now.tv_sec, k_t);
        EXPECT_EQ(g_fake_now.tv_usec, 0);
    }
}

struct standby_step_t {
    long sec;
    long usec;
    bool acted_on;
    long interval;
};

TEST_F(standby_bridge, needs_six_whole_seconds_since_the_last_standby) {
    const struct {
        const char *name;
        std::vector<standby_step_t> steps;
    } scenarios[] = {
        {"first after start, then 3 s, then 4 s",
         {{k_t, 0, true, k_t}, {k_t + 3, 0, false, 3}, {k_t + 7, 0, false, 4}}},
        {"5.9 s, then exactly 6 s",
         {{k_t, 0, true, k_t}, {k_t + 5, 900000, false, 5}, {k_t + 11, 900000, true, 6}}},
        {"6.2 s of seconds field is 5.2 s",
         {{k_t, 900000, true, k_t}, {k_t + 6, 100000, false, 5}, {k_t + 12, 100000, true, 6}}},
        {"clock set back",
         {{k_t, 500000, true, k_t}, {k_t - 10, 600000, true, -10}, {k_t - 20, 0, true, -11}}},
    };
    for (const auto &scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        g_last_standby_time = timeval{};
        for (const standby_step_t &step : scenario.steps) {
            SCOPED_TRACE("at " + std::to_string(step.sec) + "." + std::to_string(step.usec));
            g_fake_now = at(step.sec, step.usec);
            size_t before = keyboard_events().size();

            announce(standby_from(k_platform_header));

            std::vector<std::string> expected;
            if (step.acted_on) {
                expected.push_back("standby request from HDMI-CEC\n");
            }
            expected.push_back(interval_line(step.interval));
            EXPECT_EQ(take_debug_lines(), expected);
            EXPECT_EQ(keyboard_events().size(), before + (step.acted_on ? 4 : 0));
            // Moved by every Standby, acted on or not.
            EXPECT_EQ(g_last_standby_time.tv_sec, step.sec);
            EXPECT_EQ(g_last_standby_time.tv_usec, step.usec);
        }
    }
}

TEST_F(standby_bridge, without_a_virtual_keyboard_only_logs_and_keeps_the_time) {
    close(g_uinputfd);
    g_uinputfd = -1;
    g_fake_now = at(k_t, 0);

    announce(standby_from(k_soc_header));

    EXPECT_TRUE(keyboard_events().empty());
    EXPECT_EQ(take_debug_lines(),
              (std::vector<std::string>{"standby request from HDMI-CEC\n", interval_line(k_t)}));
    EXPECT_EQ(g_last_standby_time.tv_sec, k_t);
}

// Header, three fields and then "CEC_MSG=36" starting at byte offset start; the third
// field is padded to get there, and a long field follows.
std::string standby_with_cec_msg_at(size_t start) {
    std::string head = join_uevent_fields({k_platform_header, "ACTION=change", "SUBSYSTEM=hdmi"});
    std::string pad = "PAD=" + std::string(start - head.size() - 1 - 4, 'x');
    std::string datagram =
        join_uevent_fields({k_platform_header, "ACTION=change", "SUBSYSTEM=hdmi", pad, "CEC_MSG=36",
                            "TAIL=" + std::string(1200, 'y')});
    EXPECT_EQ(datagram.compare(start, 10, "CEC_MSG=36"), 0);
    return datagram;
}

TEST_F(standby_bridge, datagrams_of_1024_bytes_or_more_are_cut_to_1023) {
    const struct {
        const char *name;
        std::string datagram;
        bool acted_on;
    } cases[] = {
        {"opcode well inside", standby_with_cec_msg_at(200), true},
        {"opcode ends on byte 1023", standby_with_cec_msg_at(1023 - 10), true},
        // Only "CEC_MSG=3" is kept: the "6" would be the 1024th byte.
        {"opcode cut by the limit", standby_with_cec_msg_at(1024 - 10), false},
    };
    long now = k_t;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_GT(c.datagram.size(), 1024u);
        now += 100;
        g_fake_now = at(now, 0);
        size_t before = keyboard_events().size();

        announce(c.datagram);

        EXPECT_EQ(keyboard_events().size(), before + (c.acted_on ? 4 : 0));
        EXPECT_EQ(take_logs().size(), c.acted_on ? 2u : 0u);
    }
}

// Opening the socket needs no privilege to send, so these run everywhere.
class uevent_socket : public daemon_test {};

int socket_option(int fd, int level, int name) {
    int value = -1;
    socklen_t length = sizeof(value);
    EXPECT_EQ(getsockopt(fd, level, name, &value, &length), 0) << strerror(errno);
    return value;
}

TEST_F(uevent_socket, binds_a_blocking_uevent_socket_to_the_pid_and_every_group) {
    int slot = -1;
    ASSERT_EQ(uevent_init(&slot), 0) << strerror(errno);
    EXPECT_GT(slot, 0);
    EXPECT_EQ(g_uevent_sock, slot);

    struct sockaddr_nl bound;
    socklen_t length = sizeof(bound);
    memset(&bound, 0, sizeof(bound));
    ASSERT_EQ(getsockname(slot, reinterpret_cast<struct sockaddr *>(&bound), &length), 0);
    EXPECT_EQ(bound.nl_family, AF_NETLINK);
    EXPECT_EQ(bound.nl_pid, static_cast<__u32>(getpid()));
    EXPECT_EQ(bound.nl_groups, 0xFFFFFFFFu);
    EXPECT_EQ(socket_option(slot, SOL_SOCKET, SO_TYPE), SOCK_DGRAM);
    EXPECT_EQ(socket_option(slot, SOL_SOCKET, SO_PROTOCOL), NETLINK_KOBJECT_UEVENT);
    EXPECT_EQ(fcntl(slot, F_GETFL) & O_NONBLOCK, 0);

    // Where this process may force the size, the bridge's buffer is the forced 64 KiB.
    int scratch = socket(PF_NETLINK, SOCK_DGRAM, NETLINK_KOBJECT_UEVENT);
    int size = 65536;
    if (setsockopt(scratch, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof(size)) == 0) {
        EXPECT_EQ(socket_option(slot, SOL_SOCKET, SO_RCVBUF),
                  socket_option(scratch, SOL_SOCKET, SO_RCVBUF));
    }
    close(scratch);
    EXPECT_TRUE(take_logs().empty());
}

TEST_F(uevent_socket, taken_port_closes_the_socket_and_stores_nothing) {
    int blocker = socket(PF_NETLINK, SOCK_DGRAM, NETLINK_KOBJECT_UEVENT);
    struct sockaddr_nl address;
    memset(&address, 0, sizeof(address));
    address.nl_family = AF_NETLINK;
    address.nl_pid = static_cast<__u32>(getpid());
    ASSERT_EQ(bind(blocker, reinterpret_cast<struct sockaddr *>(&address), sizeof(address)), 0);

    int free_before = next_free_descriptor();
    int slot = 77;
    EXPECT_EQ(uevent_init(&slot), -1);
    EXPECT_EQ(slot, 77);
    EXPECT_EQ(g_uevent_sock, -1);
    EXPECT_EQ(next_free_descriptor(), free_before);
    EXPECT_TRUE(take_logs().empty());
    close(blocker);
}

TEST_F(uevent_socket, descriptor_zero_counts_as_failure) {
    int saved_stdin = dup(0);
    ASSERT_GE(saved_stdin, 0);
    close(0);

    int slot = 77;
    int result = uevent_init(&slot);
    int stored = g_uevent_sock;
    // Give the test runner its standard input back before anything can fail.
    close(0);
    dup2(saved_stdin, 0);
    close(saved_stdin);
    g_uevent_sock = -1;

    EXPECT_EQ(result, -1);
    EXPECT_EQ(slot, 0);
    EXPECT_EQ(stored, 0);
}

}  // namespace
