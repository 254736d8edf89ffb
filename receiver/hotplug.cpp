// SPDX-License-Identifier: Apache-2.0
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/inotify.h>
#include <unistd.h>

#include "core/kernel_calls.h"
#include "core/poll_set.h"
#include "inject/inject.h"
#include "receiver/receiver.h"

namespace {

// One read takes at most this much; records beyond it stay queued and wake poll again.
constexpr size_t k_batch_size = 512;

// A node of the wanted name arrived: it becomes the receiver unless one is open.
void handle_creation(inputdev_info **receiver, const char *name, const char *path,
                     struct pollfd *poll_set) {
    if (*receiver != nullptr) {
        return;
    }
    if (probe_device_name(path, name) != 0) {
        return;
    }
    *receiver = open_device(path, poll_set);
}

// Returns true when the deleted node was the receiver's, now closed.
bool handle_deletion(inputdev_info **receiver, const char *path, struct pollfd *poll_set) {
    if (*receiver == nullptr || strcmp((*receiver)->path, path) != 0) {
        return false;
    }
    close_receiver(receiver, poll_set);
    return true;
}

}  // namespace

void close_receiver(inputdev_info **receiver, struct pollfd *poll_set) {
    if (*receiver == nullptr) {
        return;
    }
    // Left down, the key would auto-repeat on the virtual keyboard until another receiver
    // happened to send a release.
    release_held_key(&g_key_dev);
    close((*receiver)->fd);
    free(*receiver);
    *receiver = nullptr;
    // The receiver is always the last counted slot.
    g_nfds = k_slot_receiver;
    poll_set[k_slot_receiver].fd = -1;
    poll_set[k_slot_receiver].events = 0;
    poll_set[k_slot_receiver].revents = 0;
}

int notify_process(inputdev_info **receiver, const char *name, const char *dir, int inotify_fd,
                   struct pollfd *poll_set) {
    alignas(struct inotify_event) char batch[k_batch_size];
    const size_t header_size = sizeof(struct inotify_event);
    ssize_t n = g_kernel.read(inotify_fd, batch, sizeof(batch));
    if (n < static_cast<ssize_t>(header_size)) {
        // Nothing to walk. An interrupted read left the records queued for the next wake-up.
        return n < 0 && errno == EINTR ? 0 : 1;
    }
    const size_t total = static_cast<size_t>(n);

    char path[4096];
    size_t dir_length = strnlen(dir, sizeof(path));
    // Room for the slash and at least one byte of name with its NUL.
    if (dir_length + 3 > sizeof(path)) {
        return 0;
    }
    memcpy(path, dir, dir_length);
    path[dir_length] = '/';
    char *name_slot = path + dir_length + 1;
    const size_t name_room = sizeof(path) - dir_length - 1;

    // The receiver is looked for once, after the batch: records later in it may bring it back.
    bool look_for_receiver = false;
    size_t offset = 0;
    while (offset + header_size <= total) {
        struct inotify_event record;
        memcpy(&record, batch + offset, header_size);
        // The kernel never splits a record, but nothing past what was read is looked at.
        if (record.len > total - offset - header_size) {
            break;
        }
        const char *entry = batch + offset + header_size;
        offset += header_size + record.len;
        // The kernel dropped records, a creation of the receiver's node among them maybe.
        look_for_receiver |= (record.mask & IN_Q_OVERFLOW) != 0;
        // The name is NUL-padded within len (0 for a record that names no entry); a name
        // without its NUL ends at len. An entry's name never holds a slash; one that did
        // could lead out of the folder.
        size_t entry_length = strnlen(entry, record.len);
        if (entry_length == 0 || entry_length + 1 > name_room ||
            memchr(entry, '/', entry_length) != nullptr) {
            continue;
        }
        memcpy(name_slot, entry, entry_length);
        name_slot[entry_length] = '\0';

        if (record.mask & IN_CREATE) {
            handle_creation(receiver, name, path, poll_set);
        } else {
            look_for_receiver |= handle_deletion(receiver, path, poll_set);
        }
    }
    if (look_for_receiver) {
        find_receiver(receiver, name, poll_set);
    }
    return 0;
}
