// SPDX-License-Identifier: Apache-2.0
#pragma once

// learn: a new remote's customer layout from its presses on the receiver, one standard name
// after another, recognising the remotes of the Linux keymap library on the way. The file is
// written only where told, and never half.

#include <stdio.h>

#include "tool/options.h"

int run_learn(const tool_options_t *options, FILE *out, FILE *err);
