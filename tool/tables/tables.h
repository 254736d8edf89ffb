// SPDX-License-Identifier: Apache-2.0
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

// Android's key layout reader, version by version: the words it accepts and the versions whose
// reader accepts each (from first_version to last_version, 0: up to the newest known).
extern const int k_android_oldest;
extern const int k_android_newest;
struct android_word_t {
    const char *word;
    int code;  // a key label's key code; 0 for a flag
    int first_version;
    int last_version;
};
extern const android_word_t k_android_key_labels[];  // sorted by word
extern const int k_android_key_label_count;
extern const android_word_t k_android_key_flags[];  // sorted by word
extern const int k_android_key_flag_count;
struct android_keyword_t {
    const char *context;  // "line": a line's first word; "key", "led", "axis": within such a line
    const char *word;
    int first_version;
    int last_version;
};
extern const android_keyword_t k_android_keywords[];
extern const int k_android_keyword_count;
// The words of axis, LED and sensor lines, each with its value (code), in the order of value.
extern const android_word_t k_android_axes[];
extern const int k_android_axis_count;
extern const android_word_t k_android_leds[];
extern const int k_android_led_count;
extern const android_word_t k_android_sensor_types[];
extern const int k_android_sensor_type_count;
extern const android_word_t k_android_sensor_indexes[];
extern const int k_android_sensor_index_count;
// The versions (bit v: Android v) that follow each rule by which the readers differ.
extern const unsigned k_android_whole_word_numbers;
extern const unsigned k_android_binary_numbers;
extern const unsigned k_android_unknown_labels_read_as_0;
extern const unsigned k_android_kernel_configs_checked;
// Generic.kl as the versions of k_generic_kl_versions ship it: each scancode's label, "" where
// a version leaves it unmapped.
constexpr int k_generic_kl_version_count = 2;
extern const int k_generic_kl_versions[k_generic_kl_version_count];
struct generic_kl_key_t {
    int scancode;
    const char *labels[k_generic_kl_version_count];
};
extern const generic_kl_key_t k_generic_kl[];  // sorted by scancode
extern const int k_generic_kl_count;
// The folders each group of versions (bit v: Android v) searches for a device's files, in
// order, as box paths ending in '/', up to a null; "<value>" stands for the value of the
// system property k_android_apex_property, and that folder counts only while it is set.
struct android_search_folders_t {
    unsigned versions;
    const char *prefixes[8];
};
extern const android_search_folders_t k_android_search_folders[];
extern const int k_android_search_folder_count;
extern const char k_android_apex_property[];
// The versions that replace a layout that fails to load by the device's _fallback layout, and
// those that convert an .idc's file names as they convert the device's name.
extern const unsigned k_android_layout_fallback;
extern const unsigned k_android_idc_names_converted;
// The labels of keys whose meaning on a remote is not a keyboard's (KEY_HOME: HOME, not
// MOVE_HOME), from the kernel's standard for IR keymaps.
extern const android_label_t k_remote_labels[];  // sorted by code
extern const int k_remote_label_count;

// The Linux key name of a code from 0 to 255, "-" when it has none.
const char *linux_key_name(int code);
