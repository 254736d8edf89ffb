#pragma once

// The routes to a new remote's customer layout: import from the Linux keymap library, and
// learn from the receiver. Both write files only where told, and never half.

#include <stdio.h>

#include "tool/options.h"

int run_import(const tool_options_t *options, FILE *out, FILE *err);
int run_learn(const tool_options_t *options, FILE *out, FILE *err);
