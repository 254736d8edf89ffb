// SPDX-License-Identifier: Apache-2.0
#pragma once

// What the targets of the tool's readers share: a folder holding a standard layout, as a box's
// key layout folder would, and the tool's options for it.

#include <stdio.h>

#include <string>

#include "tool/library/library.h"
#include "tool/options.h"

// The standard layout's names, one a scancode from 100 on, the first a line.
extern const char *const k_fuzz_standard_names[];
extern const int k_fuzz_standard_name_count;

// Makes a temporary folder holding orvex-ir.kl, removed with everything in it at exit. Aborts
// when it cannot.
std::string make_layout_folder(void);

// Removes every file of dir but the standard layout.
void remove_written_files(const std::string &dir);

// The options of a command run with --dir dir; the driver's protocol file unread, so both
// protocols.
tool_options_t fuzz_options(const std::string &dir);

// Where the tool's messages go: nowhere, but through the printing funnel all the same.
FILE *fuzz_output(void);

// The copy of the Linux keymap library in the source tree, read once, as the tool reads it on a
// box: the same library whatever the machine has installed.
const keymap_library_t *fuzz_library(void);
