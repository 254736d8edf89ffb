// SPDX-License-Identifier: Apache-2.0
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/paths.h"
#include "core/poll_set.h"
#include "receiver/receiver.h"
#include "tool/live/live.h"
#include "tool/print.h"

int start_following(receiver_follow_t *follow, FILE *err) {
    // The daemon's own poll set layout and receiver handling: slot 0 watches the input
    // directory, slot 2 holds the receiver, opened read-only and without a grab so the daemon
    // keeps it too. Slot 1, the daemon's uevent socket, is the caller's.
    g_receiver_open_mode = O_RDONLY;
    for (struct pollfd &slot : follow->slots) {
        slot = {-1, 0, 0};
    }
    follow->receiver = nullptr;
    follow->changes = 0;
    follow->slots[k_slot_inotify] = {inotify_init1(IN_CLOEXEC), POLLIN, 0};
    if (inotify_add_watch(follow->slots[k_slot_inotify].fd, g_input_dir, IN_CREATE | IN_DELETE) <
        0) {
        tool_print(err, "dravoke-keymap: cannot watch %s: %s\n", g_input_dir, strerror(errno));
        if (follow->slots[k_slot_inotify].fd >= 0) {
            close(follow->slots[k_slot_inotify].fd);
        }
        return -1;
    }
    g_nfds = k_slot_receiver;
    find_receiver(&follow->receiver, k_receiver_name, follow->slots);
    return 0;
}

std::string receiver_state(const receiver_follow_t *follow) {
    return follow->receiver != nullptr
               ? std::string(follow->receiver->path) + " (" + k_receiver_name + ")"
               : std::string("no ") + k_receiver_name + " device in " + g_input_dir +
                     " yet: waiting for it";
}

namespace {

// Which device the receiver is: its node and the node's inode, since a receiver closed and
// another opened in one turn may well get the same record address, descriptor and path. ""
// when none is open.
std::string receiver_identity(const inputdev_info *receiver) {
    struct stat st;
    if (receiver == nullptr || fstat(receiver->fd, &st) != 0) {
        return "";
    }
    return std::string(receiver->path) + ":" + std::to_string(st.st_ino);
}

}  // namespace

bool serve_receiver_slots(receiver_follow_t *follow) {
    struct pollfd *slots = follow->slots;
    std::string before = receiver_identity(follow->receiver);
    if (slots[k_slot_inotify].revents & POLLIN) {
        notify_process(&follow->receiver, k_receiver_name, g_input_dir, slots[k_slot_inotify].fd,
                       slots);
    }
    bool readable = (slots[k_slot_receiver].revents & POLLIN) != 0;
    if (slots[k_slot_receiver].revents & (POLLHUP | POLLERR)) {
        close_receiver(&follow->receiver, slots);
        find_receiver(&follow->receiver, k_receiver_name, slots);
        readable = false;
    }
    if (receiver_identity(follow->receiver) != before) {
        follow->changes++;
    }
    return readable;
}

void stop_following(receiver_follow_t *follow) {
    close_receiver(&follow->receiver, follow->slots);
    close(follow->slots[k_slot_inotify].fd);
}
