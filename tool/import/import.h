#pragma once

// The files a box needs: a new remote's customer layout, imported from the Linux keymap
// library or learned from the receiver, and the virtual keyboard's layout for Android. Each is
// written only where told, and never half.

#include <stdio.h>

#include "tool/options.h"

int run_import(const tool_options_t *options, FILE *out, FILE *err);
int run_learn(const tool_options_t *options, FILE *out, FILE *err);
// export: writes each customer layout given as an ir-keytable keymap.
int run_export(const tool_options_t *options, FILE *out, FILE *err);
// android-layout: writes the virtual keyboard's layout, so that Android delivers each standard
// scancode as the key the standard layout names.
int run_android_layout(const tool_options_t *options, FILE *out, FILE *err);
