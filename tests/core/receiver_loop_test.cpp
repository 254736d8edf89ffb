#include <fcntl.h>
#include <gtest/gtest.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/daemon.h"
#include "core/kernel_calls.h"
#include "inject/inject.h"
#include "keymap/keymap.h"
#include "receiver/receiver.h"
#include "support/daemon_fixture.h"
#include "support/log_capture.h"

namespace {

constexpr int32_t k_press_volume_up = 0x0100ff03;
constexpr int32_t k_release_volume_up = 0x0000ff03;

std::vector<int> g_reads;

ssize_t recording_read(int fd, void *buf, size_t count) {
    g_reads.push_back(fd);
    return read(fd, buf, count);
}

// Start-up and turns of the poll loop with a stand-in receiver in the input directory.
class receiver_loop : public daemon_test {
   protected:
    void SetUp() override {
        daemon_test::SetUp();
        g_reads.clear();
        write_file("orvex_ir_protocol", std::string("\x00\x00\x00\x00", 4));
        write_file("keylayout/orvex-ir.kl", "key 115 VOLUME_UP\n");
        write_file("keylayout/customer_ir_00ff.kl", "key 3 VOLUME_UP\n");
        make_device_node("event0", "gpio-keys");
        make_device_node("event3", "orvex-ir");
    }

    void TearDown() override {
        if (writer_ >= 0) {
            close(writer_);
        }
        daemon_test::TearDown();
    }

    void start() {
        int status = 0;
        testing::internal::CaptureStdout();
        ASSERT_EQ(start_daemon(&status), 0);
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(g_customer_map_count, 1);
        g_kernel.read = recording_read;
    }

    // The driver's side of the stand-in receiver node.
    void send(int32_t value) {
        if (writer_ < 0) {
            writer_ = open(path("dev/input/event3").c_str(), O_WRONLY | O_NONBLOCK);
            ASSERT_GE(writer_, 0);
        }
        struct input_event event;
        memset(&event, 0, sizeof(event));
        event.type = EV_MSC;
        event.code = MSC_SCAN;
        event.value = value;
        ASSERT_EQ(write(writer_, &event, sizeof(event)), static_cast<ssize_t>(sizeof(event)));
    }

    void reopen_writer() {
        if (writer_ >= 0) {
            close(writer_);
            writer_ = -1;
        }
    }

    std::string keys() const { return render_events(keyboard_events()); }

    // Whether poll would return at once for the inotify or receiver slot. The uevent slot
    // is left out: the machine's own uevents may wake it at any time.
    static bool loop_would_wake() {
        struct pollfd slots[2] = {g_poll_set[k_slot_inotify], g_poll_set[k_slot_receiver]};
        return poll(slots, g_nfds > k_slot_receiver ? 2 : 1, 0) > 0;
    }

    int writer_ = -1;
};

TEST_F(receiver_loop, start_up_finds_receiver_and_translates_its_events) {
    start();
    std::vector<std::string> debug = logged_texts(ANDROID_LOG_DEBUG);
    EXPECT_EQ(debug.back(), "find target device, path=" + path("dev/input/event3"));
    ASSERT_NE(g_current_receiver, nullptr);
    EXPECT_EQ(std::string(g_current_receiver->path), path("dev/input/event3"));
    EXPECT_EQ(g_nfds, 3);
    EXPECT_EQ(g_poll_set[k_slot_receiver].fd, g_current_receiver->fd);

    send(k_press_volume_up);
    send(k_release_volume_up);
    // A SYN_REPORT from the receiver carries customer 0, which no table has.
    send(0);
    for (int turn = 0; turn < 3; turn++) {
        poll_loop_turn();
    }
    EXPECT_EQ(keys(), "+115 SYN -115 SYN");
    EXPECT_EQ(g_reads, std::vector<int>(3, g_poll_set[k_slot_receiver].fd));
}

TEST_F(receiver_loop, deletion_wake_up_frees_receiver_and_reads_nothing_from_it) {
    start();
    int inotify = g_poll_set[k_slot_inotify].fd;
    send(k_press_volume_up);
    reopen_writer();
    ASSERT_EQ(unlink(path("dev/input/event3").c_str()), 0);

    // Both slots are ready; the deletion is served first and slot 2 is not read.
    poll_loop_turn();
    EXPECT_EQ(g_current_receiver, nullptr);
    EXPECT_EQ(g_nfds, 2);
    EXPECT_EQ(g_poll_set[k_slot_receiver].fd, -1);
    EXPECT_EQ(g_reads, std::vector<int>{inotify});
    EXPECT_EQ(keys(), "");

    // The node comes back and its events are served again.
    make_device_node("event3", "orvex-ir");
    poll_loop_turn();
    ASSERT_NE(g_current_receiver, nullptr);
    EXPECT_EQ(g_nfds, 3);
    send(k_press_volume_up);
    poll_loop_turn();
    EXPECT_EQ(keys(), "+115 SYN");
    EXPECT_EQ(g_key_dev.key_down, 115);
}

struct gone_case_t {
    const char *title;
    bool write_end;  // slot 2 gets this end of a pipe whose other end is closed
};

TEST_F(receiver_loop, receiver_gone_before_its_deletion_record) {
    // A pipe whose writer closed reports hang-up; one whose reader closed, error.
    const gone_case_t cases[] = {{"hang_up", false}, {"error", true}};
    for (const gone_case_t &c : cases) {
        SCOPED_TRACE(c.title);
        if (g_current_receiver == nullptr) {
            start();
        }
        send(k_press_volume_up);
        poll_loop_turn();
        ASSERT_EQ(g_key_dev.key_down, 115);
        size_t keys_before = keyboard_events().size();

        // The device goes away while its node stays.
        int pipe_ends[2];
        ASSERT_EQ(pipe(pipe_ends), 0);
        int kept = c.write_end ? pipe_ends[1] : pipe_ends[0];
        close(c.write_end ? pipe_ends[0] : pipe_ends[1]);
        ASSERT_EQ(dup2(kept, g_current_receiver->fd), g_current_receiver->fd);
        close(kept);
        g_reads.clear();

        poll_loop_turn();
        EXPECT_EQ(g_current_receiver, nullptr);
        EXPECT_EQ(g_nfds, 2);
        EXPECT_EQ(g_poll_set[k_slot_receiver].fd, -1);
        EXPECT_TRUE(g_reads.empty());
        std::vector<struct input_event> written = keyboard_events();
        written.erase(written.begin(), written.begin() + static_cast<long>(keys_before));
        EXPECT_EQ(render_events(written), "-115 SYN");
        EXPECT_EQ(g_key_dev.key_down, 0);
        // Nothing is left to wake the loop again and again.
        EXPECT_FALSE(loop_would_wake());

        // The late deletion record finds no receiver.
        reopen_writer();
        ASSERT_EQ(unlink(path("dev/input/event3").c_str()), 0);
        poll_loop_turn();
        EXPECT_EQ(g_current_receiver, nullptr);
        EXPECT_EQ(g_nfds, 2);
        EXPECT_EQ(keyboard_events().size(), keys_before + 2);

        // A new node of the receiver's name is opened as usual.
        make_device_node("event3", "orvex-ir");
        poll_loop_turn();
        ASSERT_NE(g_current_receiver, nullptr);
        EXPECT_EQ(g_nfds, 3);
        send(k_release_volume_up);
        send(k_press_volume_up);
        poll_loop_turn();
        poll_loop_turn();
        EXPECT_EQ(g_key_dev.key_down, 115);
        EXPECT_EQ(keyboard_events().size(), keys_before + 4);
    }
}

}  // namespace
