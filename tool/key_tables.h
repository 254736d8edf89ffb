#pragma once

// Tables the tool carries so that it needs no package on a box, generated from their sources
// by tool/gen/gen_tables.py, and the lookups over them.

#include <stdint.h>

#include <string>

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

// The code of a Linux key or button name ("KEY_POWER"), aliases included, or -1.
int linux_key_code(const char *name);
// The Linux key name nearest to name, letter case ignored, or "" when none is near.
std::string nearest_linux_key(const std::string &name);
// Edits (insertions, deletions, substitutions) from a to b, letter case ignored.
size_t edit_distance(const std::string &a, const std::string &b);
// The Android key label for a Linux key code, or null when Android gives it none.
const char *android_label(int code);
// The label Android's generic key layout, Generic.kl, gives a Linux key code, or null.
const char *generic_label(int code);
// The Android label of a Linux key's meaning on a remote, or null when it is the generic one.
const char *remote_label(int code);
