// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <stdint.h>

#include "keymap/keymap.h"

// The standard layout's names, for finding each one's lowest standard scancode without
// scanning the table: open addressing, at most 256 names in 512 slots so probes stay short.
// A slot holds a standard entry's index plus one, 0 when empty.
constexpr int k_name_index_slots = 512;
struct name_index_t {
    uint16_t slots[k_name_index_slots];
};

// Indexes the standard entries that can be translation targets (scancode not 0), keeping
// the lowest scancode for a name that appears more than once.
void index_standard_names(const keymap_t *base, name_index_t *index);

// Pairs a customer layout (scratch) with the standard layout (base, indexed by index) by key
// name, as create_keymap_from_file fills tables: each named customer scancode gets, in
// scancode_map, the lowest standard scancode above 0 that bears its name, and its scratch
// entry is marked consumed (scancode -1). Slots without a counterpart are left as they are.
// Allocates nothing.
void pair_customer_keys(const keymap_t *base, const name_index_t *index, keymap_t *scratch,
                        int32_t *scancode_map);
