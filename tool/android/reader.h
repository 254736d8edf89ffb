// SPDX-License-Identifier: Apache-2.0
#pragma once

// Inside the room: a key layout's text as one version's reader takes it, and what the reading
// turns on besides the text (the running kernel's configuration).

#include <set>
#include <string>

#include "tool/android/android.h"
#include "tool/options.h"

// The running kernel's configuration, as far as the tool can read it.
struct kernel_config_t {
    bool known;
    std::string unknown;           // why not, when not known
    std::set<std::string> config;  // the options set to y or m: "CONFIG_HID_X"
};

// Reads text as that reading does.
void read_android_layout(const std::string &text, const android_reading_t &reading,
                         android_layout_t *layout);

// Where the running kernel's configuration is read: /proc/config.gz. Tests re-point it.
extern const char *g_kernel_config_file;
// The running kernel's configuration, when options judge a box whose readers look at it.
void read_kernel_config(const tool_options_t *options, kernel_config_t *kernel);

// The Android version of an SDK level (ro.build.version.sdk: 28 is 9, 32 is 12L, read as
// 12), 0 when it is not one known here.
int android_version_of_sdk(int sdk);
// Generic.kl's label for a scancode on that version, "" when unmapped. Versions whose
// Generic.kl is not known here take the nearest known one's; *known then is false.
std::string generic_kl_label(int version, int scancode, bool *known);
