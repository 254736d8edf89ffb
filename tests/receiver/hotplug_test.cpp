// SPDX-License-Identifier: Apache-2.0
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "core/kernel_calls.h"
#include "core/paths.h"
#include "daemon/daemon.h"
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
        ASSERT_GE(inotify_add_watch(inotify_, path("dev/input").c_str(), IN_CREATE | IN_DELETE), 0);
        g_poll_set[k_slot_inotify] = {inotify_, POLLIN, 0};
        g_nfds = 2;
        use_keyboard();
    }

    // A receiver opened before the test's records, as start-up would have opened it.
    void open_receiver(const std::string &entry) {
        std::string node = make_device_node(entry, "orvex-ir");
        g_current_receiver = open_device(node.c_str(), g_poll_set);
        ASSERT_NE(g_current_receiver, nullptr);
        char batch[4096];
        while (read(inotify_, batch, sizeof(batch)) > 0) {
        }
    }

    int handle_batch() {
        return notify_process(&g_current_receiver, "orvex-ir", g_input_dir, inotify_, g_poll_set);
    }

    // Receiver absent: no record, slot 2 empty, two slots counted. Open: all three agree,
    // on the node now in the directory, not one deleted before.
    void expect_receiver(const std::string &entry) const {
        bool open = !entry.empty();
        EXPECT_EQ(g_nfds, open ? 3 : 2);
        EXPECT_EQ(g_poll_set[k_slot_receiver].events, open ? POLLIN : 0);
        EXPECT_EQ(g_poll_set[k_slot_receiver].revents, 0);
        ASSERT_EQ(g_current_receiver != nullptr, open);
        if (!open) {
            EXPECT_EQ(g_poll_set[k_slot_receiver].fd, -1);
            return;
        }
        EXPECT_EQ(std::string(g_current_receiver->path), path("dev/input/" + entry));
        EXPECT_EQ(g_poll_set[k_slot_receiver].fd, g_current_receiver->fd);
        struct stat opened;
        struct stat listed;
        ASSERT_EQ(fstat(g_current_receiver->fd, &opened), 0);
        ASSERT_EQ(stat(g_current_receiver->path, &listed), 0);
        EXPECT_EQ(opened.st_ino, listed.st_ino);
    }

    int inotify_ = -1;
};

struct hotplug_case_t {
    const char *title;
    const char *receiver;  // entry of the receiver open at the start, empty for none
    int32_t key_down;      // the key down at the start
    const char *steps;     // changes to the input directory, in one batch
    const char *after;     // entry of the receiver after one batch, empty for none
    const char *keys;      // written to the virtual keyboard
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
    change_input_dir(c.steps);
    // Whatever the receiver holds, no other descriptor stays open.
    int before = open_descriptor_count() - (g_current_receiver != nullptr ? 1 : 0);

    EXPECT_EQ(handle_batch(), 0);
    expect_receiver(c.after);
    EXPECT_EQ(new_keyboard_events(), c.keys);
    EXPECT_EQ(open_descriptor_count() - (g_current_receiver != nullptr ? 1 : 0), before);
    // Nothing is left queued for the next wake-up.
    EXPECT_EQ(handle_batch(), 1);
}

const hotplug_case_t k_hotplug_cases[] = {
    // The key left down is released before the receiver goes.
    {"receiver_deleted", "event3", 115, "-event3", "", "-115 SYN"},
    {"receiver_created", "", 0, "+event3:orvex-ir", "event3", ""},
    {"deleted_and_created", "event3", 0, "-event3 +event4:orvex-ir", "event4", ""},
    {"same_node_recreated", "event3", 0, "-event3 +event3:orvex-ir", "event3", ""},
    {"second_receiver_while_open", "event3", 114, "+event4:orvex-ir", "event3", ""},
    // Ignored while the receiver was open, the other takes over when it goes.
    {"receiver_deleted_another_listed", "event3", 115, "+event4:orvex-ir -event3", "event4",
     "-115 SYN"},
    {"other_devices_created", "", 0, "+event4:gpio-keys +event5 +event6:orvex-ir-uinput", "", ""},
    {"other_node_deleted", "event3", 114, "+event0:gpio-keys -event0", "event3", ""},
    // Not yet openable read-write: passed over, no retry.
    {"unopenable_creation", "", 0, "/event3:orvex-ir", "", ""},
    {"deletion_without_receiver", "", 0, "+event0:gpio-keys -event0", "", ""},
};

INSTANTIATE_TEST_SUITE_P(cases, hotplug_batches, ::testing::ValuesIn(k_hotplug_cases),
                         [](const ::testing::TestParamInfo<hotplug_case_t> &info) {
                             return info.param.title;
                         });

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

// One inotify record: header, then the name NUL-padded to len bytes. The kernel's record of
// a queue overflow has watch descriptor -1 and no name.
std::string record(uint32_t mask, const std::string &name, uint32_t len) {
    struct inotify_event header = {mask == IN_Q_OVERFLOW ? -1 : 1, mask, 0, len};
    std::string padded = name.substr(0, len);
    padded.resize(len, '\0');
    return std::string(reinterpret_cast<const char *>(&header), sizeof(header)) + padded;
}

TEST_F(hotplug, walks_only_records_inside_what_was_read) {
    const ssize_t header = sizeof(struct inotify_event);
    const ssize_t whole = header + 16;
    const std::string deletion = record(IN_DELETE, "event3", 16);
    const struct {
        std::string bytes;
        ssize_t returned;  // how many of the bytes the read reports, or -1
        int error;         // errno after the read
        int result;
        bool receiver_kept;
    } cases[] = {
        {deletion, whole, 0, 0, false},
        // Records without a name are skipped.
        {record(IN_DELETE, "", 0) + record(IN_CREATE, "", 0) + deletion, 2 * header + whole, 0, 0,
         false},
        // The receiver's name lies in the buffer, but past what the read returned.
        {deletion, header + 8, 0, 0, true},
        {record(IN_DELETE, "event0", 16) + deletion, whole + header + 4, 0, 0, true},
        {deletion + std::string(header - 1, 'x'), whole + header - 1, 0, 0, false},
        // A name filling its whole length, without a NUL, ends at the length.
        {record(IN_DELETE, "event3", 6) + "5", header + 6, 0, 0, false},
        // A read short of a record changes nothing; only an interrupted one gives 0, and
        // errno is the read's answer only when the read failed.
        {deletion, -1, EINTR, 0, true},
        {deletion, -1, EAGAIN, 1, true},
        {deletion, -1, EBADF, 1, true},
        {deletion, 0, 0, 1, true},
        {deletion, header - 1, EINTR, 1, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << &c - cases);
        open_receiver("event3");
        // Its device is gone, as the deletion record says: a lookup passes over its node.
        device_names.erase(path("dev/input/event3"));
        g_kernel.read = crafted_read;
        g_crafted = c.bytes;
        g_returned = c.returned;
        g_read_errno = c.error;
        EXPECT_EQ(handle_batch(), c.result);
        expect_receiver(c.receiver_kept ? "event3" : "");

        g_kernel.read = read;
        close_receiver(&g_current_receiver, g_poll_set);
        unlink(path("dev/input/event3").c_str());
    }
}

// In a folder whose path leaves room for 9 bytes of name and its NUL, a record of a 9-byte
// name is followed; a longer name cannot name a node there and is passed over.
TEST_F(hotplug, names_that_exactly_fill_the_path_and_longer_ones) {
    const std::string dir = use_deep_input_dir(4085);
    const std::string node = dir + "/" + std::string(9, 'e');
    ASSERT_EQ(mkfifo(node.c_str(), 0600), 0) << strerror(errno);
    const struct {
        size_t name_length;  // of the deletion record's name, of 'e's
        bool receiver_kept;
    } cases[] = {{9, false}, {10, true}, {255, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name_length);
        device_names[node] = "orvex-ir";
        g_current_receiver = open_device(node.c_str(), g_poll_set);
        ASSERT_NE(g_current_receiver, nullptr);
        device_names.erase(node);
        g_kernel.read = crafted_read;
        g_crafted = record(IN_DELETE, std::string(c.name_length, 'e'), (c.name_length + 4) & ~3u);
        g_returned = static_cast<ssize_t>(g_crafted.size());
        g_read_errno = 0;
        EXPECT_EQ(handle_batch(), 0);
        g_kernel.read = read;
        EXPECT_EQ(g_current_receiver != nullptr, c.receiver_kept);
        close_receiver(&g_current_receiver, g_poll_set);
    }
}

TEST_F(hotplug, queue_overflow_looks_for_the_receiver) {
    const std::string overflow = record(IN_Q_OVERFLOW, "", 0);
    const struct {
        const char *receiver;  // open at the start, empty for none
        const char *listed;    // the input directory's other nodes
        std::string batch;
        const char *after;
    } cases[] = {
        // The creation of event3 was among the records lost.
        {"", "+event3:orvex-ir", overflow, "event3"},
        {"", "+event0:gpio-keys +event3:orvex-ir", record(IN_CREATE, "event0", 16) + overflow,
         "event3"},
        {"", "+event0:gpio-keys +event3", overflow, ""},
        {"event4", "+event3:orvex-ir", overflow, "event4"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.listed);
        if (*c.receiver != '\0') {
            open_receiver(c.receiver);
        }
        change_input_dir(c.listed);
        g_kernel.read = crafted_read;
        g_crafted = c.batch;
        g_returned = static_cast<ssize_t>(c.batch.size());
        EXPECT_EQ(handle_batch(), 0);
        expect_receiver(c.after);

        g_kernel.read = read;
        close_receiver(&g_current_receiver, g_poll_set);
        ASSERT_EQ(system(("rm -f '" + path("dev/input") + "'/*").c_str()), 0);
        device_names.clear();
    }
}

TEST_F(hotplug, records_beyond_one_read_wait_for_the_next_call) {
    // Each of these records takes 64 bytes, so one read of 512 bytes holds eight.
    for (int i = 0; i < 20; i++) {
        make_device_node("other-device-with-a-long-node-name-" + std::to_string(100 + i), "gpio");
    }
    make_device_node("event3", "orvex-ir");
    int calls = 0;
    while (calls < 10 && handle_batch() == 0) {
        expect_receiver(++calls < 3 ? "" : "event3");
    }
    EXPECT_EQ(calls, 3);
}

}  // namespace
