// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <stdint.h>

// Fixed roles of the poll set's slots.
constexpr int k_slot_inotify = 0;
constexpr int k_slot_uevent = 1;
constexpr int k_slot_receiver = 2;
constexpr int k_poll_slots = 3;

// The number of slots handed to poll: 2 while no receiver is open, 3 while one is. The
// receiver's subsystem raises and lowers it as it fills and empties slot 2 of the poll set
// it is handed.
extern int32_t g_nfds;
