#pragma once

// Tables the tool carries so that it needs no package on a box, generated from their sources
// by tool/tables/gen_tables.py. tool/keys/ looks names and labels up in them.

#include <stdint.h>

struct linux_key_t {
    const char *name;
    int code;
};
extern const linux_key_t k_linux_keys[];  // sorted by name
extern const int k_linux_key_count;

struct android_label_t {
    int code;
    const char *label;
};
extern const android_label_t k_android_labels[];  // sorted by code
extern const int k_android_label_count;
// Every label Android's key layout reader accepts in a "key" line, with its key code.
extern const android_label_t k_android_keycodes[];  // sorted by label
extern const int k_android_keycode_count;
// The labels of keys whose meaning on a remote is not a keyboard's (KEY_HOME: HOME, not
// MOVE_HOME), from the kernel's standard for IR keymaps.
extern const android_label_t k_remote_labels[];  // sorted by code
extern const int k_remote_label_count;

struct library_remote_t {
    int32_t protocol;
    int customer_code;
    const char *name;  // the keymap's file name without ".toml"
};
extern const library_remote_t k_library_remotes[];  // sorted by protocol and code
extern const int k_library_remote_count;

// One keymap protocol of the Linux keymap library that the receiver can take: NEC (its
// variants), RC5, or "unknown" with command bytes for scancodes.
struct library_key_t {
    uint32_t scancode;
    const char *key;  // a Linux key name, "KEY_POWER"
    int line;         // in the library's file
};
struct library_keymap_t {
    const char *name;      // the keymap's file name without ".toml"
    const char *protocol;  // "nec", "rc5" or "unknown"
    const char *variant;   // "" when the keymap gives none
    int line;              // of its [[protocols]] table
    const library_key_t *keys;
    int key_count;
};
extern const library_keymap_t k_library_keymaps[];  // sorted by name, then line
extern const int k_library_keymap_count;

// The Linux key name of a code from 0 to 255, "-" when it has none.
const char *linux_key_name(int code);
