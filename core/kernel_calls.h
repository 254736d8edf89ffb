// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/types.h>

// The kernel calls that a file, pipe or socket cannot stand in for: the evdev and uinput
// requests, an interrupted read, the wall clock, a datagram that the kernel itself sent (no
// process can send from port 0). Production uses the real calls; tests replace single entries
// and restore the table with reset_kernel_calls().
struct kernel_calls_t {
    int (*ioctl)(int fd, unsigned long request, void *arg);
    ssize_t (*read)(int fd, void *buf, size_t count);
    int (*gettimeofday)(struct timeval *tv);
    ssize_t (*recvfrom)(int fd, void *buf, size_t count, int flags, struct sockaddr *from,
                        socklen_t *from_length);
};

extern kernel_calls_t g_kernel;

void reset_kernel_calls(void);
