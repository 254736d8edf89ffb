// SPDX-License-Identifier: Apache-2.0
#include "cec/standby_bridge.h"
#include "core/paths.h"
#include "daemon/daemon.h"
#include "inject/inject.h"
#include "receiver/receiver.h"

void poll_loop_turn(void) {
    // poll can fail before it writes the returned events back (no memory for its table);
    // those of the previous wake-up would then be served again, and a read on a descriptor
    // with nothing to read would block the daemon.
    if (poll(g_poll_set, g_nfds, -1) < 0) {
        return;
    }

    if (g_poll_set[k_slot_inotify].revents & POLLIN) {
        notify_process(&g_current_receiver, k_receiver_name, g_input_dir,
                       g_poll_set[k_slot_inotify].fd, g_poll_set);
    }
    // Emptied or refilled by the hot-plug handler above, this slot has no returned events.
    // A receiver whose device went away reports hang-up or error, without POLLIN, until its
    // node's deletion arrives, which may be long after; left open it would wake poll at
    // once, again and again. It is gone now, and its deletion record will find nothing.
    // Another device of its name may take over at once.
    if (g_poll_set[k_slot_receiver].revents & (POLLHUP | POLLERR)) {
        close_receiver(&g_current_receiver, g_poll_set);
        find_receiver(&g_current_receiver, k_receiver_name, g_poll_set);
    } else if (g_poll_set[k_slot_receiver].revents & POLLIN) {
        if (input_event_process(g_poll_set[k_slot_receiver].fd, &g_receive_buffer) == 0) {
            detect_key_input(&g_key_dev);
        }
    }
    if (g_poll_set[k_slot_uevent].revents & POLLIN) {
        uevent_process_event();
    }
}
