#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/daemon.h"
#include "receiver/receiver.h"
#include "support/daemon_fixture.h"

namespace {

using receiver_lookup = daemon_test;

struct node_t {
    const char *entry;
    std::string device_name;  // empty: the node reports no name
};

struct lookup_case_t {
    const char *title;
    std::vector<node_t> nodes;
    std::vector<const char *> directories;  // entries that cannot be opened read-write
    std::string wanted;
    const char *found;  // entry name, empty when none matched
};

TEST_F(receiver_lookup, finds_node_by_whole_device_name) {
    const std::string long_name(79, 'r');
    const lookup_case_t cases[] = {
        {"among_others",
         {{"event0", "gpio-keys"}, {"event3", "orvex-ir"}},
         {},
         "orvex-ir",
         "event3"},
        {"prefix_is_not_a_match", {{"event1", "orvex-ir-uinput"}}, {}, "orvex-ir", ""},
        {"name_is_not_a_prefix", {{"event1", "orvex"}}, {}, "orvex-ir", ""},
        {"case_counts", {{"event1", "ORVEX-IR"}}, {}, "orvex-ir", ""},
        {"nameless_node", {{"event1", ""}}, {}, "orvex-ir", ""},
        {"empty_directory", {}, {}, "orvex-ir", ""},
        {"unopenable_entry_skipped",
         {{"event4", "orvex-ir"}},
         {"event2", "by-path"},
         "orvex-ir",
         "event4"},
        {"dot_names_tried", {{".event9", "orvex-ir"}}, {}, "orvex-ir", ".event9"},
        // Only 79 bytes of a name are asked for.
        {"long_name_cut_at_79", {{"event7", long_name + "tail"}}, {}, long_name, "event7"},
    };
    for (const lookup_case_t &c : cases) {
        SCOPED_TRACE(c.title);
        std::string dir = path("dev/input");
        std::string clear = "rm -rf '" + dir + "' && mkdir '" + dir + "'";
        ASSERT_EQ(system(clear.c_str()), 0);
        device_names.clear();
        for (const node_t &node : c.nodes) {
            make_device_node(node.entry, node.device_name);
        }
        for (const char *entry : c.directories) {
            std::string node = path("dev/input/") + entry;
            ASSERT_EQ(mkdir(node.c_str(), 0755), 0);
            device_names[node] = c.wanted;
        }

        int before = open_descriptor_count();
        char found[4096];
        memset(found, 'x', sizeof(found));
        EXPECT_EQ(try_to_find_device(c.wanted.c_str(), found), 0);
        EXPECT_EQ(std::string(found), *c.found == '\0' ? "" : dir + "/" + c.found);
        // Every probing descriptor was closed.
        EXPECT_EQ(open_descriptor_count(), before);
    }
}

std::string descriptor_target(int fd) {
    char link[64];
    char target[4096];
    snprintf(link, sizeof(link), "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, target, sizeof(target) - 1);
    return n < 0 ? "" : std::string(target, static_cast<size_t>(n));
}

TEST_F(receiver_lookup, first_match_in_directory_order_wins) {
    for (const char *entry : {"event1", "event2", "event3", "event4", "event5"}) {
        make_device_node(entry, "");
    }
    const std::string dir = path("dev/input");
    // Which nodes carry the name: the second and the fourth in the order the directory
    // lists them.
    std::vector<std::string> order;
    DIR *listing = opendir(dir.c_str());
    ASSERT_NE(listing, nullptr);
    while (const struct dirent *entry = readdir(listing)) {
        if (entry->d_name[0] != '.') {
            order.push_back(dir + "/" + entry->d_name);
        }
    }
    closedir(listing);
    ASSERT_EQ(order.size(), 5u);
    device_names[order[1]] = "orvex-ir";
    device_names[order[3]] = "orvex-ir";

    std::vector<std::string> probed;
    ioctl_handler = [&](int fd, unsigned long, void *arg) {
        probed.push_back(descriptor_target(fd));
        auto found = device_names.find(probed.back());
        if (found == device_names.end()) {
            return -1;
        }
        strcpy(static_cast<char *>(arg), found->second.c_str());
        return static_cast<int>(found->second.size() + 1);
    };
    char found[4096];
    ASSERT_EQ(try_to_find_device("orvex-ir", found), 0);
    EXPECT_EQ(std::string(found), order[1]);
    // The scan ends at the first match.
    EXPECT_EQ(probed, std::vector<std::string>(order.begin(), order.begin() + 2));
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

TEST_F(receiver_lookup, open_device_fills_slot_two_with_the_device_identity) {
    std::string node = make_device_node("event3", "orvex-ir");
    g_nfds = 2;
    // Readiness of an earlier descriptor must not survive.
    g_poll_set[k_slot_receiver] = {-1, 0, POLLIN};
    std::vector<unsigned long> requests;
    ioctl_handler = [&](int, unsigned long request, void *arg) {
        requests.push_back(request);
        if (request == EVIOCGVERSION) {
            *static_cast<int *>(arg) = 0x10001;
        } else if (request == EVIOCGID) {
            *static_cast<struct input_id *>(arg) = {BUS_HOST, 1, 2, 3};
        } else if (request == EVIOCGNAME(79)) {
            strcpy(static_cast<char *>(arg), "orvex-ir");
        } else if (request == EVIOCGPHYS(79)) {
            strcpy(static_cast<char *>(arg), "orvex-ir/input0");
        } else {
            // The unique id is refused and stays empty.
            return -1;
        }
        return 0;
    };

    inputdev_info *device = open_device(node.c_str(), g_poll_set);
    ASSERT_NE(device, nullptr);
    g_current_receiver = device;
    EXPECT_EQ(std::string(device->path), node);
    EXPECT_STREQ(device->name, "orvex-ir");
    EXPECT_STREQ(device->location, "orvex-ir/input0");
    EXPECT_STREQ(device->unique_id, "");
    EXPECT_EQ(device->version, 0x10001);
    EXPECT_EQ(device->id.bustype, BUS_HOST);
    EXPECT_EQ(device->id.version, 3);
    EXPECT_EQ(fcntl(device->fd, F_GETFL) & O_ACCMODE, O_RDWR);
    // Asked in this order, and never grabbed.
    const std::vector<unsigned long> expected = {EVIOCGVERSION, EVIOCGID, EVIOCGNAME(79),
                                                 EVIOCGPHYS(79), EVIOCGUNIQ(79)};
    EXPECT_EQ(requests, expected);

    EXPECT_EQ(g_poll_set[k_slot_receiver].fd, device->fd);
    EXPECT_EQ(g_poll_set[k_slot_receiver].events, POLLIN);
    EXPECT_EQ(g_poll_set[k_slot_receiver].revents, 0);
    EXPECT_EQ(g_nfds, 3);
}

TEST_F(receiver_lookup, open_device_failure_leaves_poll_set_alone) {
    g_nfds = 2;
    int before = open_descriptor_count();
    const char *paths[] = {nullptr, "missing", "directory"};
    ASSERT_EQ(mkdir(path("dev/input/directory").c_str(), 0755), 0);
    for (const char *entry : paths) {
        std::string node = entry == nullptr ? "" : path("dev/input/") + entry;
        SCOPED_TRACE(node);
        EXPECT_EQ(open_device(entry == nullptr ? nullptr : node.c_str(), g_poll_set), nullptr);
        EXPECT_EQ(g_poll_set[k_slot_receiver].fd, -1);
        EXPECT_EQ(g_poll_set[k_slot_receiver].events, 0);
        EXPECT_EQ(g_nfds, 2);
    }
    EXPECT_EQ(open_descriptor_count(), before);
}

}  // namespace
