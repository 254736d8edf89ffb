#include "receiver/receiver.h"

// Placeholder until receiver lookup lands: no receiver is found at start.
int try_to_find_device(const char *name, char *path) {
    (void)name;
    if (path != nullptr) {
        path[0] = '\0';
    }
    return -1;
}

inputdev_info *open_device(const char *path, struct pollfd *poll_set) {
    (void)path;
    (void)poll_set;
    return nullptr;
}
