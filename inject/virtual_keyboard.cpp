// SPDX-License-Identifier: Apache-2.0
#include "inject/virtual_keyboard.h"

#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <string.h>
#include <unistd.h>

#include "core/kernel_calls.h"
#include "core/log.h"
#include "core/paths.h"

int g_uinputfd = -1;
struct uinput_user_dev g_uinput_dev;

namespace {

// Results of configuring writes are not looked at: a failure shows at UI_DEV_CREATE, and a
// lost key event is not retried.
void write_unchecked(int fd, const void *data, size_t size) {
    ssize_t n = write(fd, data, size);
    (void)n;
}

void request_with_value(int fd, unsigned long request, int value) {
    g_kernel.ioctl(fd, request, reinterpret_cast<void *>(static_cast<intptr_t>(value)));
}

}  // namespace

int setup_virtual_input_dev(const char *name) {
    log_debug("dravoke open uinput dev");
    int fd = open(g_uinput_path, O_WRONLY | O_NONBLOCK);
    if (fd <= 0) {
        log_error("could not open '%s', %s\n", g_uinput_path, strerror(errno));
        return fd;
    }

    memset(&g_uinput_dev, 0, sizeof(g_uinput_dev));
    // Bounded by the field; a name that fills it keeps no terminator, as the kernel allows.
    memcpy(g_uinput_dev.name, name, strnlen(name, sizeof(g_uinput_dev.name)));
    g_uinput_dev.id.bustype = BUS_HOST;
    g_uinput_dev.id.version = 4;

    request_with_value(fd, UI_SET_EVBIT, EV_KEY);
    request_with_value(fd, UI_SET_EVBIT, EV_MSC);
    request_with_value(fd, UI_SET_EVBIT, EV_REP);
    for (int code = 0; code <= 255; code++) {
        request_with_value(fd, UI_SET_KEYBIT, code);
    }
    write_unchecked(fd, &g_uinput_dev, sizeof(g_uinput_dev));

    if (g_kernel.ioctl(fd, UI_DEV_CREATE, nullptr) != 0) {
        log_error("could not create uinput device, %s\n", strerror(errno));
        close(fd);
        return -1;
    }
    g_uinputfd = fd;
    return fd;
}

void report_key_event(int fd, const struct input_event *event, int sync) {
    // One write for the event and its SYN_REPORT: the same records, one system call less.
    struct input_event records[2];
    memcpy(&records[0], event, sizeof(records[0]));
    memset(&records[1], 0, sizeof(records[1]));
    write_unchecked(fd, records, (sync ? 2 : 1) * sizeof(records[0]));
}
