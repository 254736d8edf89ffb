#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/time.h>
#include <unistd.h>

#include <vector>

#include "core/daemon.h"
#include "core/kernel_calls.h"
#include "inject/inject.h"
#include "support/daemon_fixture.h"

namespace {

std::vector<int> g_reads;

ssize_t recording_read(int fd, void *buf, size_t count) {
    g_reads.push_back(fd);
    return read(fd, buf, count);
}

class poll_loop : public daemon_test {
   protected:
    void SetUp() override {
        daemon_test::SetUp();
        g_reads.clear();
        g_kernel.read = recording_read;
        // As start-up leaves it: translation reads the receive buffer.
        g_key_dev.event = &g_receive_buffer;
    }

    // A pipe whose read end sits in a slot; the write end is returned.
    int fill_slot(int slot) {
        int fds[2];
        EXPECT_EQ(pipe2(fds, O_NONBLOCK), 0);
        g_poll_set[slot] = {fds[0], POLLIN, 0};
        writers_.push_back(fds[1]);
        return fds[1];
    }

    void TearDown() override {
        for (int fd : writers_) {
            close(fd);
        }
        daemon_test::TearDown();
    }

    std::vector<int> writers_;
};

int pending_bytes(int fd) {
    int n = -1;
    ioctl(fd, FIONREAD, &n);
    return n;
}

void write_event(int fd, int value) {
    struct input_event event;
    memset(&event, 0, sizeof(event));
    event.type = EV_MSC;
    event.code = MSC_SCAN;
    event.value = value;
    ASSERT_EQ(write(fd, &event, sizeof(event)), static_cast<ssize_t>(sizeof(event)));
}

TEST_F(poll_loop, reads_one_receiver_event_per_wake_up) {
    g_nfds = 3;
    int receiver = fill_slot(k_slot_receiver);
    write_event(receiver, 0x0100ff01);
    write_event(receiver, 0x0000ff01);

    poll_loop_turn();
    EXPECT_EQ(g_receive_buffer.value, 0x0100ff01);
    EXPECT_EQ(pending_bytes(g_poll_set[k_slot_receiver].fd),
              static_cast<int>(sizeof(struct input_event)));

    poll_loop_turn();
    EXPECT_EQ(g_receive_buffer.value, 0x0000ff01);
    EXPECT_EQ(pending_bytes(g_poll_set[k_slot_receiver].fd), 0);
    EXPECT_EQ(g_reads.size(), 2u);
}

TEST_F(poll_loop, serves_inotify_before_receiver_and_only_counted_slots) {
    g_nfds = 3;
    int inotify = fill_slot(k_slot_inotify);
    int receiver = fill_slot(k_slot_receiver);
    ASSERT_EQ(write(inotify, "x", 1), 1);
    write_event(receiver, 1);

    poll_loop_turn();
    ASSERT_EQ(g_reads.size(), 2u);
    EXPECT_EQ(g_reads[0], g_poll_set[k_slot_inotify].fd);
    EXPECT_EQ(g_reads[1], g_poll_set[k_slot_receiver].fd);

    // With two slots counted, a ready descriptor in slot 2 is not looked at.
    g_reads.clear();
    g_nfds = 2;
    write_event(receiver, 2);
    g_poll_set[k_slot_receiver].revents = 0;
    ASSERT_EQ(write(inotify, "x", 1), 1);
    poll_loop_turn();
    EXPECT_EQ(g_reads, std::vector<int>{g_poll_set[k_slot_inotify].fd});
}

void ignore_signal(int) {}

TEST_F(poll_loop, interrupted_poll_serves_nothing) {
    g_nfds = 3;
    fill_slot(k_slot_receiver);
    // Returned events left from an earlier wake-up must not be served again.
    g_poll_set[k_slot_receiver].revents = POLLIN;

    struct sigaction action = {};
    struct sigaction previous = {};
    action.sa_handler = ignore_signal;
    sigaction(SIGALRM, &action, &previous);
    struct itimerval timer = {};
    timer.it_value.tv_usec = 20000;
    setitimer(ITIMER_REAL, &timer, nullptr);

    poll_loop_turn();

    sigaction(SIGALRM, &previous, nullptr);
    EXPECT_TRUE(g_reads.empty());
}

}  // namespace
