// SPDX-License-Identifier: Apache-2.0
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "core/kernel_calls.h"
#include "core/paths.h"
#include "core/poll_set.h"
#include "receiver/receiver.h"

namespace {

// Device names are asked for with one byte less than the buffer, which keeps its NUL.
constexpr size_t k_device_name_size = 80;

void ask_device(int fd, unsigned long request, void *field) {
    // A request the device refuses leaves its field zero-filled.
    g_kernel.ioctl(fd, request, field);
}

}  // namespace

int g_receiver_open_mode = O_RDWR;

int probe_device_name(const char *path, const char *name) {
    int fd = open(path, g_receiver_open_mode);
    if (fd < 0) {
        return -1;
    }
    // Zero-filled: a name cut at the size asked for arrives without its NUL.
    char found[k_device_name_size] = "";
    int length = g_kernel.ioctl(fd, EVIOCGNAME(sizeof(found) - 1), found);
    close(fd);
    if (length <= 0) {
        return -1;
    }
    return strcmp(found, name) == 0 ? 0 : -1;
}

int try_to_find_device(const char *name, char *path) {
    if (name == nullptr || path == nullptr) {
        return -1;
    }
    path[0] = '\0';
    DIR *dir = opendir(g_input_dir);
    if (dir == nullptr) {
        return -1;
    }
    char candidate[4096];
    const struct dirent *entry;
    while ((entry = readdir(dir)) != nullptr) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) {
            continue;
        }
        int length = snprintf(candidate, sizeof(candidate), "%s/%s", g_input_dir, entry->d_name);
        // A path that does not fit would name another node.
        if (length < 0 || static_cast<size_t>(length) >= sizeof(candidate)) {
            continue;
        }
        if (probe_device_name(candidate, name) == 0) {
            memcpy(path, candidate, static_cast<size_t>(length) + 1);
            break;
        }
    }
    closedir(dir);
    return 0;
}

void find_receiver(inputdev_info **receiver, const char *name, struct pollfd *poll_set) {
    if (*receiver != nullptr) {
        return;
    }
    char path[4096];
    if (try_to_find_device(name, path) == 0 && path[0] != '\0') {
        *receiver = open_device(path, poll_set);
    }
}

inputdev_info *open_device(const char *path, struct pollfd *poll_set) {
    if (path == nullptr) {
        return nullptr;
    }
    inputdev_info *device = static_cast<inputdev_info *>(calloc(1, sizeof(inputdev_info)));
    if (device == nullptr) {
        return nullptr;
    }
    // Blocking, and not grabbed: the loop reads only after POLLIN, and other readers of the
    // node keep its events.
    device->fd = open(path, g_receiver_open_mode);
    if (device->fd < 0) {
        free(device);
        return nullptr;
    }
    strncpy(device->path, path, sizeof(device->path) - 1);

    ask_device(device->fd, EVIOCGVERSION, &device->version);
    ask_device(device->fd, EVIOCGID, &device->id);
    ask_device(device->fd, EVIOCGNAME(sizeof(device->name) - 1), device->name);
    ask_device(device->fd, EVIOCGPHYS(sizeof(device->location) - 1), device->location);
    ask_device(device->fd, EVIOCGUNIQ(sizeof(device->unique_id) - 1), device->unique_id);

    poll_set[k_slot_receiver].fd = device->fd;
    poll_set[k_slot_receiver].events = POLLIN;
    // Readiness reported for an earlier descriptor must not be acted on.
    poll_set[k_slot_receiver].revents = 0;
    g_nfds = k_slot_receiver + 1;
    return device;
}
