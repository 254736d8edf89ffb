// SPDX-License-Identifier: Apache-2.0
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

// How input nodes are opened to probe and to read them: read-write by the daemon, as the
// receiver's driver expects; read-only by the inspection tool beside it, which writes to no
// device and which, run from a box's shell, may open input devices for reading only.
extern int g_receiver_open_mode;

// Looks in the input directory for the node whose device name is name. Returns 0 with the
// node's path in path (4096 bytes), empty when none matched; -1 on bad arguments or an
// unreadable directory.
int try_to_find_device(const char *name, char *path);

// Unless a receiver is open, looks for it by name as start-up does and opens the first node
// found into *receiver. Run whenever the receiver may have been missed: after it was closed,
// for whatever reason, another device of the name may be there already, and an inotify queue
// overflow may have lost the creation of its node. A node still listed for a device that is
// gone fails the name query, so the lookup passes over it rather than reopening it.
void find_receiver(inputdev_info **receiver, const char *name, struct pollfd *poll_set);

// Opens path as the receiver into slot 2 of poll_set and raises g_nfds. Returns the new
// record, owned by the caller, or null.
inputdev_info *open_device(const char *path, struct pollfd *poll_set);

// Returns 0 when the node at path opens read-write and its device name is name (compared
// whole, over at most 79 bytes), -1 otherwise. The probing descriptor is always closed.
int probe_device_name(const char *path, const char *name);

// Handles one batch of inotify records from the watched input directory: closes the
// receiver when its node is deleted, opens a created node of the wanted name. When the batch
// closed the receiver, or reports that the kernel's queue overflowed and lost records, and no
// receiver is open at its end, looks for one by name (find_receiver). The input directory
// looked in is g_input_dir, which dir names. Returns 0, also for an interrupted read; 1 when
// the read gave less than one record.
int notify_process(inputdev_info **receiver, const char *name, const char *dir, int inotify_fd,
                   struct pollfd *poll_set);

// The receiver is gone: releases the key it left down, closes and frees it, empties the
// holder and slot 2, and lowers g_nfds. Does nothing when *receiver is null.
void close_receiver(inputdev_info **receiver, struct pollfd *poll_set);
