// SPDX-License-Identifier: Apache-2.0
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "daemon/daemon.h"
#include "receiver/receiver.h"
#include "support/daemon_fixture.h"

namespace {

using receiver_lookup = daemon_test;

TEST_F(receiver_lookup, finds_node_by_whole_device_name) {
    const std::string long_name(79, 'r');
    const struct {
        std::string nodes;  // the input directory's entries
        std::string wanted;
        const char *found;  // entry name, empty when none matched
    } cases[] = {
        {"+event0:gpio-keys +event3:orvex-ir", "orvex-ir", "event3"},
        // Whole names: neither may be a prefix of the other, and case counts.
        {"+event1:orvex-ir-uinput +event2:orvex +event3:ORVEX-IR", "orvex-ir", ""},
        {"+event1", "orvex-ir", ""},
        {"", "orvex-ir", ""},
        {"/event2:orvex-ir /by-path:orvex-ir +event4:orvex-ir", "orvex-ir", "event4"},
        {"+.event9:orvex-ir", "orvex-ir", ".event9"},
        // Only 79 bytes of a name are asked for.
        {"+event7:" + long_name + "tail", long_name, "event7"},
    };
    const std::string dir = path("dev/input");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.nodes);
        ASSERT_EQ(system(("rm -rf '" + dir + "' && mkdir '" + dir + "'").c_str()), 0);
        device_names.clear();
        change_input_dir(c.nodes);
        int before = open_descriptor_count();
        char found[4096];
        memset(found, 'x', sizeof(found));
        EXPECT_EQ(try_to_find_device(c.wanted.c_str(), found), 0);
        EXPECT_EQ(std::string(found), *c.found == '\0' ? "" : dir + "/" + c.found);
        // Every probing descriptor was closed.
        EXPECT_EQ(open_descriptor_count(), before);
    }
}

TEST_F(receiver_lookup, first_match_in_directory_order_wins) {
    for (const char *entry : {"event1", "event2", "event3", "event4", "event5"}) {
        make_device_node(entry, "orvex-ir");
    }
    DIR *listing = opendir(path("dev/input").c_str());
    const struct dirent *entry = readdir(listing);
    while (entry->d_name[0] == '.') {
        entry = readdir(listing);
    }
    const std::string first = path("dev/input/") + entry->d_name;
    closedir(listing);
    char found[4096];
    ASSERT_EQ(try_to_find_device("orvex-ir", found), 0);
    EXPECT_EQ(std::string(found), first);
    // The scan ends at the first match.
    EXPECT_EQ(ioctl_calls.size(), 1u);
}

TEST_F(receiver_lookup, bad_arguments_and_missing_directory) {
    char found[4096] = "untouched";
    EXPECT_EQ(try_to_find_device(nullptr, found), -1);
    EXPECT_STREQ(found, "untouched");
    EXPECT_EQ(try_to_find_device("orvex-ir", nullptr), -1);
    ASSERT_EQ(rmdir(path("dev/input").c_str()), 0);
    EXPECT_EQ(try_to_find_device("orvex-ir", found), -1);
    EXPECT_STREQ(found, "");
}

// A node whose path fills the 4096-byte buffer with its NUL is found; one byte longer it
// cannot be named (the kernel's limit too) and is passed over.
TEST_F(receiver_lookup, a_path_that_exactly_fills_the_buffer) {
    const std::string dir = use_deep_input_dir(4084);
    int folder = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    for (size_t length : {10, 11}) {
        const std::string entry(length, 'e');
        ASSERT_EQ(mkfifoat(folder, entry.c_str(), 0600), 0) << strerror(errno);
        device_names[dir + "/" + entry] = "orvex-ir";
        char found[4096];
        EXPECT_EQ(try_to_find_device("orvex-ir", found), 0);
        EXPECT_EQ(std::string(found), length == 10 ? dir + "/" + entry : "") << length;
        ASSERT_EQ(unlinkat(folder, entry.c_str(), 0), 0);
    }
    close(folder);
}

TEST_F(receiver_lookup, open_device_fills_slot_two_with_the_device_identity) {
    std::string node = make_device_node("event3", "orvex-ir");
    g_nfds = 2;
    // Readiness of an earlier descriptor must not survive.
    g_poll_set[k_slot_receiver] = {-1, 0, POLLIN};
    g_current_receiver = open_device(node.c_str(), g_poll_set);
    const inputdev_info *device = g_current_receiver;
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(std::string(device->path), node);
    EXPECT_STREQ(device->name, "orvex-ir");
    // Requests the device refuses leave their fields empty.
    EXPECT_STREQ(device->location, "");
    EXPECT_EQ(device->version, 0);
    EXPECT_EQ(fcntl(device->fd, F_GETFL) & O_ACCMODE, O_RDWR);
    // Asked in this order, and never grabbed.
    const unsigned long expected[] = {EVIOCGVERSION, EVIOCGID, EVIOCGNAME(79), EVIOCGPHYS(79),
                                      EVIOCGUNIQ(79)};
    ASSERT_EQ(ioctl_calls.size(), 5u);
    for (size_t i = 0; i < 5; i++) {
        EXPECT_EQ(ioctl_calls[i].request, expected[i]) << i;
    }
    EXPECT_EQ(g_poll_set[k_slot_receiver].fd, device->fd);
    EXPECT_EQ(g_poll_set[k_slot_receiver].events, POLLIN);
    EXPECT_EQ(g_poll_set[k_slot_receiver].revents, 0);
    EXPECT_EQ(g_nfds, 3);
}

TEST_F(receiver_lookup, open_device_failure_leaves_poll_set_alone) {
    g_nfds = 2;
    int before = open_descriptor_count();
    ASSERT_EQ(mkdir(path("dev/input/directory").c_str(), 0755), 0);
    const std::string missing = path("dev/input/missing");
    const std::string directory = path("dev/input/directory");
    for (const char *node :
         {static_cast<const char *>(nullptr), missing.c_str(), directory.c_str()}) {
        EXPECT_EQ(open_device(node, g_poll_set), nullptr);
        EXPECT_EQ(g_poll_set[k_slot_receiver].fd, -1);
        EXPECT_EQ(g_nfds, 2);
    }
    EXPECT_EQ(open_descriptor_count(), before);
}

}  // namespace
