// SPDX-License-Identifier: Apache-2.0
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cec/standby_bridge.h"
#include "core/kernel_calls.h"
#include "daemon/daemon.h"
#include "inject/inject.h"
#include "receiver/receiver.h"
#include "support/daemon_fixture.h"
#include "support/log_capture.h"
#include "support/uevent_source.h"

namespace {

constexpr int32_t k_press_volume_up = 0x0100ff03;
constexpr int32_t k_release_volume_up = 0x0000ff03;

std::vector<int> g_reads;

ssize_t recording_read(int fd, void *buf, size_t count) {
    g_reads.push_back(fd);
    return read(fd, buf, count);
}

// Start-up, then turns of the poll loop, with a stand-in receiver in the input directory.
class daemon_loop : public daemon_test {
   protected:
    void SetUp() override {
        daemon_test::SetUp();
        g_reads.clear();
        write_platform("key 115 VOLUME_UP\nkey 116 POWER\n", "key 3 VOLUME_UP\n");
        make_device_node("event0", "gpio-keys");
        make_device_node("event3", "orvex-ir");
        g_kernel.gettimeofday = fake_gettimeofday;
        g_fake_now = {1700000000, 0};
        ASSERT_EQ(start(), 0);
        g_kernel.read = recording_read;
    }

    // The driver's side of the stand-in receiver node; what it wrote stays queued, as the
    // receiver holds the node open.
    void send(int32_t value, const std::string &entry = "event3") {
        int writer = open(path("dev/input/" + entry).c_str(), O_WRONLY | O_NONBLOCK);
        write_raw_code(writer, value);
        close(writer);
    }

    void expect_no_receiver() const {
        EXPECT_EQ(g_current_receiver, nullptr);
        EXPECT_EQ(g_nfds, 2);
        EXPECT_EQ(g_poll_set[k_slot_receiver].fd, -1);
    }
};

TEST_F(daemon_loop, start_up_finds_receiver_and_translates_one_event_a_wake_up) {
    EXPECT_EQ(logged_texts(ANDROID_LOG_DEBUG).back(),
              "find target device, path=" + path("dev/input/event3"));
    ASSERT_NE(g_current_receiver, nullptr);
    EXPECT_EQ(g_nfds, 3);

    send(k_press_volume_up);
    send(k_release_volume_up);
    // A SYN_REPORT from the receiver carries customer 0, which no table has.
    send(0);
    poll_loop_turn();
    EXPECT_EQ(new_keyboard_events(), "+115 SYN");
    poll_loop_turn();
    poll_loop_turn();
    EXPECT_EQ(new_keyboard_events(), "-115 SYN");
    EXPECT_EQ(g_reads, std::vector<int>(3, g_poll_set[k_slot_receiver].fd));
}

TEST_F(daemon_loop, deletion_wake_up_frees_receiver_and_reads_nothing_from_it) {
    int inotify = g_poll_set[k_slot_inotify].fd;
    send(k_press_volume_up);
    ASSERT_EQ(unlink(path("dev/input/event3").c_str()), 0);

    // Both slots are ready; the deletion is served first and slot 2 is not read.
    poll_loop_turn();
    expect_no_receiver();
    EXPECT_EQ(g_reads, std::vector<int>{inotify});
    EXPECT_EQ(new_keyboard_events(), "");

    // The node comes back and its events are served again.
    make_device_node("event3", "orvex-ir");
    poll_loop_turn();
    ASSERT_NE(g_current_receiver, nullptr);
    EXPECT_EQ(g_nfds, 3);
    send(k_press_volume_up);
    poll_loop_turn();
    EXPECT_EQ(new_keyboard_events(), "+115 SYN");
}

TEST_F(daemon_loop, receiver_gone_before_its_deletion_record) {
    // A pipe whose writer closed reports hang-up; one whose reader closed, error.
    const struct {
        const char *title;
        bool keep_write_end;
        const char *other;  // another device of the receiver's name, listed at the loss
    } cases[] = {
        {"hang-up", false, ""},
        {"error", true, ""},
        {"hang-up, another of the name listed", false, "event5"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.title);
        if (g_current_receiver == nullptr) {
            make_device_node("event3", "orvex-ir");
            poll_loop_turn();
            ASSERT_NE(g_current_receiver, nullptr);
        }
        if (*c.other != '\0') {
            make_device_node(c.other, "orvex-ir");
            poll_loop_turn();
        }
        send(k_press_volume_up);
        poll_loop_turn();
        ASSERT_EQ(new_keyboard_events(), "+115 SYN");

        // The device goes away while its node stays; the node then fails the name query, as
        // a removed device's does, so the lookup that follows passes over it.
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        close(ends[c.keep_write_end ? 0 : 1]);
        ASSERT_EQ(dup2(ends[c.keep_write_end ? 1 : 0], g_current_receiver->fd),
                  g_current_receiver->fd);
        close(ends[c.keep_write_end ? 1 : 0]);
        device_names.erase(path("dev/input/event3"));
        g_reads.clear();

        poll_loop_turn();
        EXPECT_TRUE(g_reads.empty());
        EXPECT_EQ(new_keyboard_events(), "-115 SYN");
        EXPECT_EQ(g_key_dev.key_down, 0);
        if (*c.other != '\0') {
            // The other device takes over at once, without a creation record.
            ASSERT_NE(g_current_receiver, nullptr);
            EXPECT_EQ(std::string(g_current_receiver->path), path("dev/input/") + c.other);
            send(k_press_volume_up, c.other);
            poll_loop_turn();
            EXPECT_EQ(new_keyboard_events(), "+115 SYN");
        } else {
            expect_no_receiver();
            // Nothing is left to wake the loop again and again; the uevent slot is left out,
            // as the machine's own uevents may wake it at any time.
            struct pollfd inotify = g_poll_set[k_slot_inotify];
            EXPECT_EQ(poll(&inotify, 1, 0), 0);
        }

        // The late deletion record finds no receiver.
        ASSERT_EQ(unlink(path("dev/input/event3").c_str()), 0);
        poll_loop_turn();
        if (*c.other != '\0') {
            EXPECT_EQ(std::string(g_current_receiver->path), path("dev/input/") + c.other);
        } else {
            expect_no_receiver();
        }
    }
}

ssize_t refused_read(int fd, void *, size_t) {
    g_reads.push_back(fd);
    errno = EAGAIN;
    return -1;
}

TEST_F(daemon_loop, failed_poll_serves_nothing) {
    // Returned events left from an earlier wake-up must not be served again. A poll of more
    // slots than the process may open fails before it writes any returned events back.
    g_kernel.read = refused_read;
    g_poll_set[k_slot_receiver].revents = POLLIN;
    g_poll_set[k_slot_inotify].revents = POLLIN;
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    struct rlimit low = {2, saved.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    poll_loop_turn();
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_TRUE(g_reads.empty());
}

TEST_F(daemon_loop, standby_in_slot_one_becomes_a_power_press_and_release) {
    ASSERT_GT(g_uevent_sock, 0);
    std::vector<std::string> debug = logged_texts(ANDROID_LOG_DEBUG);
    EXPECT_EQ(std::count(debug.begin(), debug.end(), "uevent listen start"), 1);
    take_logs();
    if (!uevent_sending_permitted()) {
        GTEST_SKIP() << "sending to a uevent socket needs CAP_NET_ADMIN, which this process "
                        "lacks";
    }
    // Another process's Standby first: dropped, it neither presses POWER nor starts the quiet
    // period that would hold back the kernel's.
    ASSERT_EQ(send_uevent(hdmi_uevent(k_platform_header), k_from_user_space), 0) << strerror(errno);
    ASSERT_EQ(send_uevent(hdmi_uevent(k_platform_header)), 0) << strerror(errno);
    // One datagram a wake-up: the probe, the announcements and any kernel uevent each take
    // a turn. Only turns with something pending, since the loop's poll has no time-out.
    struct pollfd uevent = {g_uevent_sock, POLLIN, 0};
    for (int turns = 0; turns < 256 && poll(&uevent, 1, 0) == 1; turns++) {
        poll_loop_turn();
    }
    // Stamped by the clock, read once for the interval, then for the press and the release.
    EXPECT_EQ(new_keyboard_events(),
              "time1700000000.1/type1/code116/value1 time1700000000.1/type0/code0/value0 "
              "time1700000000.2/type1/code116/value0 time1700000000.2/type0/code0/value0");
    EXPECT_EQ(logged_texts(ANDROID_LOG_DEBUG),
              (std::vector<std::string>{"standby request from HDMI-CEC\n",
                                        "receive CEC standy request, interval = 1700000000 sec"}));
    take_logs();
}

}  // namespace
