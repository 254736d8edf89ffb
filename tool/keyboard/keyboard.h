// SPDX-License-Identifier: Apache-2.0
#pragma once

// The virtual keyboard's layout for Android, written only where told, and never half.

#include <stdio.h>

#include "tool/options.h"

// android-layout: writes the virtual keyboard's layout, so that Android delivers each standard
// scancode as the key the standard layout names.
int run_android_layout(const tool_options_t *options, FILE *out, FILE *err);
