#include "core/kernel_calls.h"
#include "receiver/receiver.h"

// Placeholder until hot-plug handling lands: the batch is drained and ignored.
int notify_process(inputdev_info **receiver, const char *name, const char *dir, int inotify_fd,
                   struct pollfd *poll_set) {
    (void)receiver;
    (void)name;
    (void)dir;
    (void)poll_set;
    char batch[512];
    g_kernel.read(inotify_fd, batch, sizeof(batch));
    return 0;
}
