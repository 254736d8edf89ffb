// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <linux/input.h>
#include <poll.h>

#include "core/poll_set.h"

struct inputdev_info;

// The poll set; an empty slot holds descriptor -1 and no events. g_nfds counts the slots
// handed to poll.
extern struct pollfd g_poll_set[k_poll_slots];

// The open receiver, or null. Only start-up and the hot-plug handler change it.
extern inputdev_info *g_current_receiver;

// Each event read from the receiver lands here.
extern struct input_event g_receive_buffer;

// Runs start-up in its fixed order. Returns 0 when the poll loop is to be entered, or -1
// when start-up ended the daemon; *exit_status then holds main's result.
int start_daemon(int *exit_status);

// One wake-up of the poll loop: waits, then serves slots 0, 2 and 1, each at most once.
void poll_loop_turn(void);
