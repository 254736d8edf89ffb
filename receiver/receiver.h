#pragma once

#include <linux/input.h>
#include <poll.h>
#include <stdint.h>

// An opened evdev device: the receiver.
struct inputdev_info {
    char path[4096];
    char name[80];
    char location[80];
    char unique_id[80];
    struct input_id id;
    int32_t version;
    int32_t fd;
};

// Looks in the input directory for the node whose device name is name. Returns 0 with the
// node's path in path (4096 bytes), empty when none matched; -1 on bad arguments or an
// unreadable directory.
int try_to_find_device(const char *name, char *path);

// Opens path as the receiver into slot 2 of poll_set and raises g_nfds. Returns the new
// record, owned by the caller, or null.
inputdev_info *open_device(const char *path, struct pollfd *poll_set);

// Handles one batch of inotify records from the watched input directory: closes the
// receiver when its node is deleted, opens a created node of the wanted name.
int notify_process(inputdev_info **receiver, const char *name, const char *dir, int inotify_fd,
                   struct pollfd *poll_set);
