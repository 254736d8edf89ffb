#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/daemon.h"
#include "core/kernel_calls.h"
#include "core/paths.h"
#include "inject/inject.h"
#include "receiver/receiver.h"
#include "support/daemon_fixture.h"

namespace {

class hotplug : public daemon_test {
   protected:
    void SetUp() override {
        daemon_test::SetUp();
        // Non-blocking here only, so that a test expecting a record it never gets fails
        // instead of hanging.
        inotify_ = inotify_init1(IN_NONBLOCK);
        ASSERT_GE(inotify_, 0);
        ASSERT_GE(inotify_add_watch(inotify_, path("dev/input").c_str(), IN_CREATE | IN_DELETE), 0);
        g_poll_set[k_slot_inotify] = {inotify_, POLLIN, 0};
        g_nfds = 2;

        int fds[2];
        ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
        keyboard_reader_ = fds[0];
        g_key_dev.fd = fds[1];
        g_key_dev.event = &g_receive_buffer;
    }

    void TearDown() override {
        close(keyboard_reader_);
        daemon_test::TearDown();
    }

    // A receiver opened before the test's records, as start-up would have opened it.
    void open_receiver(const std::string &entry) {
        std::string node = make_device_node(entry, "orvex-ir");
        g_current_receiver = open_device(node.c_str(), g_poll_set);
        ASSERT_NE(g_current_receiver, nullptr);
        drain_records();
    }

    void drain_records() {
        char batch[4096];
        while (read(inotify_, batch, sizeof(batch)) > 0) {
        }
    }

    int handle_batch() {
        return notify_process(&g_current_receiver, "orvex-ir", g_input_dir, inotify_, g_poll_set);
    }

    std::string written_keys() const {
        std::vector<struct input_event> events;
        struct input_event event;
        while (read(keyboard_reader_, &event, sizeof(event)) ==
               static_cast<ssize_t>(sizeof(event))) {
            events.push_back(event);
        }
        return render_events(events);
    }

    // Receiver absent: no record, slot 2 empty, two slots counted. Open: all three agree.
    void expect_receiver(const std::string &entry) const {
        if (entry.empty()) {
            EXPECT_EQ(g_current_receiver, nullptr);
            EXPECT_EQ(g_nfds, 2);
            EXPECT_EQ(g_poll_set[k_slot_receiver].fd, -1);
            EXPECT_EQ(g_poll_set[k_slot_receiver].events, 0);
        } else {
            ASSERT_NE(g_current_receiver, nullptr);
            EXPECT_EQ(std::string(g_current_receiver->path), path("dev/input/" + entry));
            EXPECT_EQ(g_nfds, 3);
            EXPECT_EQ(g_poll_set[k_slot_receiver].fd, g_current_receiver->fd);
            EXPECT_EQ(g_poll_set[k_slot_receiver].events, POLLIN);
            // The descriptor is the node now in the directory, not one deleted before.
            struct stat opened;
            struct stat listed;
            ASSERT_EQ(fstat(g_current_receiver->fd, &opened), 0);
            ASSERT_EQ(stat(g_current_receiver->path, &listed), 0);
            EXPECT_EQ(opened.st_ino, listed.st_ino);
        }
        EXPECT_EQ(g_poll_set[k_slot_receiver].revents, 0);
    }

    int inotify_ = -1;
    int keyboard_reader_ = -1;
};

enum step_kind_t { k_create, k_remove, k_make_directory };

struct step_t {
    step_kind_t kind;
    const char *entry;
    const char *device_name;  // for creations; empty: the node reports no name
};

struct hotplug_case_t {
    const char *title;
    const char *receiver;  // entry of the receiver open at the start, empty for none
    int32_t key_down;      // the key down at the start
    std::vector<step_t> steps;
    const char *after;  // entry of the receiver after one batch, empty for none
    const char *keys;   // written to the virtual keyboard
};

void PrintTo(const hotplug_case_t &c, std::ostream *os) {
    *os << c.title;
}

class hotplug_batches : public hotplug, public ::testing::WithParamInterface<hotplug_case_t> {};

TEST_P(hotplug_batches, one_batch_follows_the_receiver) {
    const hotplug_case_t &c = GetParam();
    if (*c.receiver != '\0') {
        open_receiver(c.receiver);
    }
    g_key_dev.key_down = c.key_down;

    for (const step_t &step : c.steps) {
        std::string node = path("dev/input/") + step.entry;
        switch (step.kind) {
            case k_create:
                make_device_node(step.entry, step.device_name);
                break;
            case k_remove:
                ASSERT_EQ(unlink(node.c_str()), 0) << node;
                break;
            case k_make_directory:
                device_names[node] = step.device_name;
                ASSERT_EQ(mkdir(node.c_str(), 0755), 0);
                break;
        }
    }
    // Whatever the receiver holds, no other descriptor stays open.
    int before = open_descriptor_count() - (g_current_receiver != nullptr ? 1 : 0);

    EXPECT_EQ(handle_batch(), 0);
    expect_receiver(c.after);
    EXPECT_EQ(written_keys(), c.keys);
    EXPECT_EQ(open_descriptor_count() - (g_current_receiver != nullptr ? 1 : 0), before);
    // Nothing is left queued for the next wake-up.
    EXPECT_EQ(handle_batch(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    cases, hotplug_batches,
    ::testing::Values(
        hotplug_case_t{"receiver_deleted", "event3", 0, {{k_remove, "event3", ""}}, "", ""},
        // The key left down is released before the receiver goes.
        hotplug_case_t{"receiver_deleted_with_key_down",
                       "event3",
                       115,
                       {{k_remove, "event3", ""}},
                       "",
                       "-115 SYN"},
        hotplug_case_t{"receiver_created", "", 0, {{k_create, "event3", "orvex-ir"}}, "event3", ""},
        hotplug_case_t{"deleted_and_created_in_one_batch",
                       "event3",
                       0,
                       {{k_remove, "event3", ""}, {k_create, "event4", "orvex-ir"}},
                       "event4",
                       ""},
        hotplug_case_t{"same_node_recreated",
                       "event3",
                       0,
                       {{k_remove, "event3", ""}, {k_create, "event3", "orvex-ir"}},
                       "event3",
                       ""},
        hotplug_case_t{"second_receiver_while_open",
                       "event3",
                       114,
                       {{k_create, "event4", "orvex-ir"}},
                       "event3",
                       ""},
        hotplug_case_t{"other_devices_created",
                       "",
                       0,
                       {{k_create, "event4", "gpio-keys"},
                        {k_create, "event5", ""},
                        {k_create, "event6", "orvex-ir-uinput"}},
                       "",
                       ""},
        hotplug_case_t{"other_node_deleted",
                       "event3",
                       114,
                       {{k_create, "event0", "gpio-keys"}, {k_remove, "event0", ""}},
                       "event3",
                       ""},
        // Not yet openable read-write: passed over, no retry.
        hotplug_case_t{
            "unopenable_creation", "", 0, {{k_make_directory, "event3", "orvex-ir"}}, "", ""},
        hotplug_case_t{"deletion_without_receiver",
                       "",
                       0,
                       {{k_create, "event0", "gpio-keys"}, {k_remove, "event0", ""}},
                       "",
                       ""}),
    [](const ::testing::TestParamInfo<hotplug_case_t> &info) { return info.param.title; });

// What the faked read of the inotify descriptor delivers: every byte of crafted goes into
// the buffer, but only returned of them are reported as read.
std::string g_crafted;
ssize_t g_returned = 0;
int g_read_errno = 0;

ssize_t crafted_read(int, void *buf, size_t count) {
    memcpy(buf, g_crafted.data(), std::min(count, g_crafted.size()));
    errno = g_read_errno;
    return g_returned;
}

// One inotify record: header, then the name NUL-padded to len bytes.
std::string record(uint32_t mask, const std::string &name, uint32_t len) {
    struct inotify_event header;
    memset(&header, 0, sizeof(header));
    header.wd = 1;
    header.mask = mask;
    header.len = len;
    std::string bytes(reinterpret_cast<const char *>(&header), sizeof(header));
    std::string padded = name.substr(0, len);
    padded.resize(len, '\0');
    return bytes + padded;
}

struct crafted_case_t {
    const char *title;
    std::string bytes;
    size_t returned;  // how many of the bytes the read reports
    bool receiver_kept;
};

TEST_F(hotplug, walks_only_records_inside_what_was_read) {
    const size_t header = sizeof(struct inotify_event);
    const std::string deletion = record(IN_DELETE, "event3", 16);
    const std::string other = record(IN_DELETE, "event0", 16);
    const crafted_case_t cases[] = {
        {"whole_deletion", deletion, deletion.size(), false},
        {"nameless_record_skipped", record(IN_DELETE, "", 0) + record(IN_CREATE, "", 0) + deletion,
         2 * header + deletion.size(), false},
        // The receiver's name lies in the buffer, but past what the read returned.
        {"name_cut_short", deletion, header + 8, true},
        {"second_record_cut_short", other + deletion, other.size() + header + 4, true},
        {"tail_shorter_than_a_header", deletion + std::string(header - 1, 'x'),
         deletion.size() + header - 1, false},
        // A name filling its whole length, without a NUL, ends at the length.
        {"name_without_nul", record(IN_DELETE, "event3", 6) + "5", header + 6, false},
    };
    for (const crafted_case_t &c : cases) {
        SCOPED_TRACE(c.title);
        open_receiver("event3");
        g_kernel.read = crafted_read;
        g_crafted = c.bytes;
        g_returned = static_cast<ssize_t>(c.returned);
        g_read_errno = 0;
        EXPECT_EQ(handle_batch(), 0);
        expect_receiver(c.receiver_kept ? "event3" : "");

        reset_kernel_calls();
        if (g_current_receiver != nullptr) {
            close_receiver(&g_current_receiver, g_poll_set);
        }
        unlink(path("dev/input/event3").c_str());
        drain_records();
    }
}

struct failed_read_case_t {
    const char *title;
    ssize_t returned;
    int error;
    int result;
};

TEST_F(hotplug, read_short_of_a_record_changes_nothing) {
    const failed_read_case_t cases[] = {
        {"interrupted", -1, EINTR, 0},
        {"nothing_queued", -1, EAGAIN, 1},
        {"bad_descriptor", -1, EBADF, 1},
        {"end_of_file", 0, 0, 1},
        // errno is only the read's answer when the read failed.
        {"partial_header", static_cast<ssize_t>(sizeof(struct inotify_event)) - 1, EINTR, 1},
    };
    open_receiver("event3");
    // Were it walked, this batch would delete the receiver.
    g_crafted = record(IN_DELETE, "event3", 16);
    g_kernel.read = crafted_read;
    for (const failed_read_case_t &c : cases) {
        SCOPED_TRACE(c.title);
        g_returned = c.returned;
        g_read_errno = c.error;
        EXPECT_EQ(handle_batch(), c.result);
        expect_receiver("event3");
    }
}

TEST_F(hotplug, records_beyond_one_read_wait_for_the_next_call) {
    // Each of these records takes 64 bytes, so one read of 512 bytes holds eight.
    for (int i = 0; i < 20; i++) {
        std::string entry = "other-device-with-a-long-node-name-" + std::to_string(100 + i);
        make_device_node(entry, "gpio-keys");
    }
    make_device_node("event3", "orvex-ir");

    EXPECT_EQ(handle_batch(), 0);
    expect_receiver("");
    int calls = 1;
    while (handle_batch() == 0) {
        calls++;
    }
    EXPECT_EQ(calls, 3);
    expect_receiver("event3");
}

}  // namespace
