// SPDX-License-Identifier: Apache-2.0
#include <errno.h>
#include <string.h>
#include <sys/inotify.h>

#include "cec/standby_bridge.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/protocol.h"
#include "daemon/daemon.h"
#include "inject/inject.h"
#include "keymap/keymap.h"
#include "receiver/receiver.h"

struct pollfd g_poll_set[k_poll_slots] = {{-1, 0, 0}, {-1, 0, 0}, {-1, 0, 0}};
inputdev_info *g_current_receiver = nullptr;
struct input_event g_receive_buffer;

namespace {

void empty_slot(struct pollfd *slot) {
    slot->fd = -1;
    slot->events = 0;
    slot->revents = 0;
}

}  // namespace

int start_daemon(int *exit_status) {
    select_ir_protocol();

    int uinputfd = setup_virtual_input_dev(k_virtual_keyboard_name);
    log_debug("uinputfd=%d\n", uinputfd);
    if (uinputfd < 1) {
        *exit_status = 0;
        return -1;
    }
    g_key_dev.fd = uinputfd;
    g_key_dev.event = &g_receive_buffer;

    g_customer_map_count = init_orvex_ir_map();
    if (g_customer_map_count < 0) {
        // The key layout directory could not be opened; the key maps logged why.
        *exit_status = -1;
        return -1;
    }
    if (g_customer_map_count == 0) {
        log_error("cant find any ir map");
        *exit_status = 0;
        return -1;
    }

    for (struct pollfd &slot : g_poll_set) {
        empty_slot(&slot);
    }
    g_nfds = 1;

    // A failed inotify_init shows up here: no watch can be added to descriptor -1.
    g_poll_set[k_slot_inotify].fd = inotify_init();
    g_poll_set[k_slot_inotify].events = POLLIN;
    if (inotify_add_watch(g_poll_set[k_slot_inotify].fd, g_input_dir, IN_CREATE | IN_DELETE) < 0) {
        log_error("could not add watch for '%s', %s", g_input_dir, strerror(errno));
        *exit_status = -1;
        return -1;
    }

    if (uevent_init(&g_poll_set[k_slot_uevent].fd) == 0) {
        g_poll_set[k_slot_uevent].events = POLLIN;
        log_debug("uevent listen start");
    } else {
        empty_slot(&g_poll_set[k_slot_uevent]);
    }
    // Counted whether or not the socket opened, so the receiver's slot is always in range.
    g_nfds = 2;

    char path[4096];
    if (try_to_find_device(k_receiver_name, path) == 0 && path[0] != '\0') {
        log_debug("find target device, path=%s", path);
        g_current_receiver = open_device(path, g_poll_set);
    }
    return 0;
}
