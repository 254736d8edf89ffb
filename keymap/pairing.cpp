// SPDX-License-Identifier: Apache-2.0
#include "keymap/pairing.h"

#include <stddef.h>
#include <string.h>

namespace {

constexpr size_t k_name_size = sizeof(keymap_t{}.name);
constexpr uint32_t k_slot_bits = 9;
constexpr uint32_t k_slot_mask = k_name_index_slots - 1;
static_assert(1 << k_slot_bits == k_name_index_slots, "slot index and table size agree");

// A shift-and-add hash over the name, then a multiply whose top bits pick the slot: key names
// are short and often differ only in their last characters, which the low bits of a
// shift-and-add hash spread badly.
uint32_t hash_name(const char *name) {
    uint32_t hash = 5381;
    for (size_t i = 0; i < k_name_size && name[i] != '\0'; i++) {
        hash = ((hash << 5) + hash) ^ static_cast<unsigned char>(name[i]);
    }
    return (hash * 2654435761u) >> (32 - k_slot_bits);
}

bool same_name(const char *a, const char *b) {
    return strncmp(a, b, k_name_size) == 0;
}

// The slot that holds name, or the empty slot where it would go.
uint32_t find_slot(const keymap_t *base, const name_index_t *index, const char *name) {
    uint32_t slot = hash_name(name);
    while (index->slots[slot] != 0 && !same_name(base[index->slots[slot] - 1].name, name)) {
        slot = (slot + 1) & k_slot_mask;
    }
    return slot;
}

}  // namespace

void index_standard_names(const keymap_t *base, name_index_t *index) {
    memset(index, 0, sizeof(*index));
    // Ascending order and first-come keep the lowest standard scancode for each name, the one
    // a name-by-name scan of the standard table would reach first.
    for (int i = 0; i < k_keymap_size; i++) {
        if (base[i].scancode == 0) {
            continue;  // never a target: unset, or filled at scancode 0
        }
        uint32_t slot = find_slot(base, index, base[i].name);
        if (index->slots[slot] == 0) {
            index->slots[slot] = static_cast<uint16_t>(i + 1);
        }
    }
}

void pair_customer_keys(const keymap_t *base, const name_index_t *index, keymap_t *scratch,
                        int32_t *scancode_map) {
    for (int j = 0; j < k_keymap_size; j++) {
        int32_t customer_scancode = scratch[j].scancode;
        if (customer_scancode < 0 || customer_scancode >= k_keymap_size) {
            continue;  // consumed already
        }
        uint32_t slot = find_slot(base, index, scratch[j].name);
        if (index->slots[slot] != 0) {
            scancode_map[customer_scancode] = base[index->slots[slot] - 1].scancode;
            scratch[j].scancode = -1;
        }
    }
}
