// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <stdint.h>

constexpr int k_keymap_size = 256;
constexpr int k_max_customer_maps = 18;

// The box's standard remote, in the key layout directory.
constexpr char k_standard_layout_file[] = "orvex-ir.kl";

// One entry of a scancode-indexed key layout table.
struct keymap_t {
    int32_t scancode;  // its own index once a line filled it; -1 once paired
    char name[32];
};

// One customer remote's translation table.
struct customer_map_t {
    int32_t customer_code;
    int32_t scancode_map[k_keymap_size];  // customer scancode -> standard scancode, 0 = none
};

extern keymap_t g_base_keymap[k_keymap_size];
extern keymap_t g_customer_keymap[k_keymap_size];
extern customer_map_t g_customer_maps[k_max_customer_maps];
extern int g_customer_map_count;

// Reads one key layout file into table. Returns 0 at end of file, -1 on open or read error.
int create_keymap_from_file(const char *path, keymap_t *table);

// A customer layout file name: prefix, a fixed number of hexadecimal digits, ".kl".
struct customer_name_pattern_t {
    const char *prefix;
    int digits;
};
constexpr char k_customer_name_suffix[] = ".kl";

// The customer layout file names of a protocol, 0 (NEC) or 1 (RC5).
const customer_name_pattern_t *customer_name_pattern(int32_t protocol);

// Returns the customer code carried by a customer layout file name of the active
// protocol, or -1.
int kl_filename_verify(const char *name);

// Where a name parted from the customer layout file name of a protocol, for tools that
// explain why a file is not read.
enum kl_name_note_t {
    k_name_accepted,
    k_name_prefix,  // does not begin with the protocol's prefix, letter case included
    k_name_digits,  // too few or too many hexadecimal digits, or another character among them
    k_name_suffix,  // the digits are not followed by ".kl" alone, in lower case
};

// kl_filename_verify for a given protocol; when note is not null it says where a rejected
// name parted from the pattern.
int match_kl_filename(const char *name, int32_t protocol, kl_name_note_t *note);

// Builds the customer tables. Returns their number, or -1 (logged) when the key layout
// directory cannot be opened.
int init_orvex_ir_map(void);
