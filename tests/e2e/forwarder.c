// SPDX-License-Identifier: Apache-2.0
// The references the daemon's latency is compared with. The bare forwarder: read one event,
// and for each raw code write one key with its SYN_REPORT to a virtual keyboard of its own;
// no lookup, no poll, nothing else. With --poll, the design floor: the same with a poll
// before each read of one event, as the daemon's loop does.
#include <fcntl.h>
#include <linux/uinput.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

int main(int argc, char **argv) {
    int polls = argc == 3 && strcmp(argv[1], "--poll") == 0;
    if (argc != 2 + polls) {
        fprintf(stderr, "usage: e2e-forwarder [--poll] SOURCE-NODE\n");
        return 2;
    }
    int in = open(argv[1 + polls], O_RDONLY);
    int out = open("/dev/uinput", O_WRONLY);
    if (in < 0 || out < 0) {
        perror("e2e-forwarder: open");
        return 1;
    }
    struct uinput_setup setup;
    memset(&setup, 0, sizeof(setup));
    setup.id.bustype = BUS_VIRTUAL;
    snprintf(setup.name, sizeof(setup.name),
             polls ? "e2e-poll-forwarder-out" : "e2e-forwarder-out");
    ioctl(out, UI_SET_EVBIT, EV_KEY);
    for (int code = 1; code < 256; code++) {
        ioctl(out, UI_SET_KEYBIT, code);
    }
    if (ioctl(out, UI_DEV_SETUP, &setup) < 0 || ioctl(out, UI_DEV_CREATE) < 0) {
        perror("e2e-forwarder: uinput");
        return 1;
    }
    struct input_event ev;
    struct input_event key[2];
    memset(key, 0, sizeof(key));
    key[0].type = EV_KEY;
    struct pollfd ready = {in, POLLIN, 0};
    while ((!polls || poll(&ready, 1, -1) == 1) &&
           read(in, &ev, sizeof(ev)) == (ssize_t)sizeof(ev)) {
        if (ev.type != EV_MSC) {
            continue;
        }
        key[0].code = (unsigned short)(ev.value & 0xff);
        key[0].value = (ev.value >> 24) & 1;
        if (write(out, key, sizeof(key)) != (ssize_t)sizeof(key)) {
            perror("e2e-forwarder: write");
        }
    }
    return 0;
}
