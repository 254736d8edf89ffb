// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>
#include <string.h>

#include <random>
#include <string>

#include "keymap/pairing.h"

namespace {

// The pairing as a name-by-name scan: every standard entry that takes part, in ascending
// order, takes every customer entry not yet consumed that bears its name.
void pair_by_scanning(const keymap_t *base, keymap_t *scratch, int32_t *scancode_map) {
    for (int i = 0; i < k_keymap_size; i++) {
        for (int j = 0; j < k_keymap_size && base[i].scancode != 0; j++) {
            if (scratch[j].scancode != -1 && strcmp(base[i].name, scratch[j].name) == 0) {
                scancode_map[scratch[j].scancode] = base[i].scancode;
                scratch[j].scancode = -1;
            }
        }
    }
}

// Tables shaped as the build leaves them before pairing: the standard one reset to
// "!RESERVE", the customer one cleared, then some entries filled with their own index and a
// name from a small pool so that names repeat.
void fill_random_tables(std::mt19937 *rng, keymap_t *base, keymap_t *scratch) {
    static const char *const pool[] = {"POWER", "OK", "UP", "DOWN", "!RESERVE", "power",
                                       "A",     "B",  "C",  "D",    "E",        "F"};
    std::uniform_int_distribution<int> pick(0, sizeof(pool) / sizeof(pool[0]) - 1);
    std::uniform_int_distribution<int> percent(0, 99);
    int base_fill = percent(*rng);
    int scratch_fill = percent(*rng);
    memset(scratch, 0, sizeof(keymap_t) * k_keymap_size);
    for (int i = 0; i < k_keymap_size; i++) {
        base[i] = {0, "!RESERVE"};
        if (percent(*rng) < base_fill) {
            base[i].scancode = i;
            strcpy(base[i].name, pool[pick(*rng)]);
        }
        if (percent(*rng) < scratch_fill) {
            scratch[i].scancode = i;
            strcpy(scratch[i].name, pool[pick(*rng)]);
        }
    }
}

TEST(pairing, gives_what_a_name_by_name_scan_gives) {
    std::mt19937 rng(20240603);
    for (int round = 0; round < 500; round++) {
        SCOPED_TRACE("round " + std::to_string(round));
        keymap_t base[k_keymap_size];
        keymap_t scratch[k_keymap_size];
        fill_random_tables(&rng, base, scratch);
        keymap_t expected_scratch[k_keymap_size];
        memcpy(expected_scratch, scratch, sizeof(scratch));
        // Marked, so that a slot without a counterpart shows whether it was left alone.
        int32_t expected[k_keymap_size];
        int32_t paired[k_keymap_size];
        for (int i = 0; i < k_keymap_size; i++) {
            expected[i] = paired[i] = 500 + i;
        }
        pair_by_scanning(base, expected_scratch, expected);
        name_index_t index;
        index_standard_names(base, &index);
        pair_customer_keys(base, &index, scratch, paired);
        ASSERT_EQ(memcmp(paired, expected, sizeof(paired)), 0);
        for (int j = 0; j < k_keymap_size; j++) {
            ASSERT_EQ(scratch[j].scancode, expected_scratch[j].scancode) << "entry " << j;
        }
    }
}

}  // namespace
