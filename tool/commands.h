// SPDX-License-Identifier: Apache-2.0
#pragma once

// dravoke-keymap: shows integrators what the daemon makes of their key layouts and of the
// receiver's raw codes, through the daemon's own reading, table-building, lookup and
// translation code. Each command's work is in the folder of its subject.

#include <stdio.h>

// The whole tool: argv as main has it; the result is the exit status.
int run_keymap_tool(int argc, char **argv, FILE *out, FILE *err);
