#include "keymap/pairing.h"

#include <stddef.h>
#include <string.h>

namespace {

// Open addressing over the standard names: at most 256 of them in 512 slots, so probes stay
// short; a slot holds the standard entry's index plus one, 0 when empty.
constexpr size_t k_index_slots = 512;
constexpr size_t k_name_size = sizeof(keymap_t{}.name);

size_t hash_name(const char *name) {
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < k_name_size && name[i] != '\0'; i++) {
        hash = (hash ^ static_cast<unsigned char>(name[i])) * 16777619u;
    }
    return hash & (k_index_slots - 1);
}

bool same_name(const char *a, const char *b) {
    return strncmp(a, b, k_name_size) == 0;
}

}  // namespace

void pair_customer_keys(const keymap_t *base, keymap_t *scratch, int32_t *scancode_map) {
    // Ascending order and first-come keeps the lowest standard scancode for each name, which
    // is the one a name-by-name scan of the standard table would reach first.
    uint16_t index[k_index_slots] = {};
    for (int i = 0; i < k_keymap_size; i++) {
        if (base[i].scancode == 0) {
            continue;  // never a target: unset, or filled at scancode 0
        }
        size_t slot = hash_name(base[i].name);
        while (index[slot] != 0 && !same_name(base[index[slot] - 1].name, base[i].name)) {
            slot = (slot + 1) & (k_index_slots - 1);
        }
        if (index[slot] == 0) {
            index[slot] = static_cast<uint16_t>(i + 1);
        }
    }

    for (int j = 0; j < k_keymap_size; j++) {
        int32_t customer_scancode = scratch[j].scancode;
        if (customer_scancode < 0 || customer_scancode >= k_keymap_size) {
            continue;  // consumed already
        }
        size_t slot = hash_name(scratch[j].name);
        while (index[slot] != 0 && !same_name(base[index[slot] - 1].name, scratch[j].name)) {
            slot = (slot + 1) & (k_index_slots - 1);
        }
        if (index[slot] != 0) {
            scancode_map[customer_scancode] = base[index[slot] - 1].scancode;
            scratch[j].scancode = -1;
        }
    }
}
