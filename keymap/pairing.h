#pragma once

#include <stdint.h>

#include "keymap/keymap.h"

// Pairs a customer layout (scratch) with the standard layout (base) by key name, as
// create_keymap_from_file fills tables: each named customer scancode gets, in scancode_map,
// the lowest standard scancode above 0 that bears its name, and its scratch entry is marked
// consumed (scancode -1). Slots without a counterpart are left as they are. Allocates nothing.
void pair_customer_keys(const keymap_t *base, keymap_t *scratch, int32_t *scancode_map);
