// SPDX-License-Identifier: Apache-2.0
#pragma once

// How live describes raw codes and the receivers it follows.

#include <linux/input.h>
#include <stdint.h>
#include <stdio.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tool/layouts/layouts.h"
#include "tool/library/library.h"
#include "tool/options.h"

// Describes raw codes the way the daemon would handle them one after the other, keeping the
// virtual keyboard's key state for each protocol.
struct raw_describer_t {
    std::vector<std::unique_ptr<layout_build_t>> builds;  // one per protocol
    std::vector<int> key_down;                // per build: the standard scancode held, 0 when none
    std::vector<std::set<uint32_t>> offered;  // per build: customer << 8 | command given "key N ?"
    const tool_options_t *options;
    std::unique_ptr<keymap_library_t> library;  // read when first needed
};
// Builds the tables of each protocol the options name. Returns 0, or -1 when the folder
// cannot be listed, which is reported on err.
int start_describer(raw_describer_t *describer, const tool_options_t *options, FILE *err);
// One line per protocol for one receiver event, each ending in a newline; "" when the event
// is a synchronisation record that changes nothing.
std::string describe_event(raw_describer_t *describer, const struct input_event *event);
// Prints described lines, each but the "key N ?" offers after prefix.
void print_described(FILE *out, const std::string &prefix, const std::string &text);

// What to do about a customer code without a file: the file to create, or the file that has
// the code with its two bytes swapped, and the remotes of the Linux keymap library that use it.
std::string missing_file_advice(const layout_build_t *build, const keymap_library_t &library,
                                int customer_code);
