// SPDX-License-Identifier: Apache-2.0
#include "core/kernel_calls.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

int real_ioctl(int fd, unsigned long request, void *arg) {
    return ioctl(fd, request, arg);
}

int real_gettimeofday(struct timeval *tv) {
    return gettimeofday(tv, nullptr);
}

}  // namespace

kernel_calls_t g_kernel = {real_ioctl, read, real_gettimeofday, recvfrom};

void reset_kernel_calls(void) {
    g_kernel = {real_ioctl, read, real_gettimeofday, recvfrom};
}
