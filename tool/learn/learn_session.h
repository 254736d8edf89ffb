// SPDX-License-Identifier: Apache-2.0
#pragma once

// A learning session: the standard names walked one after another, the presses and answers
// that fill them, and the lines they make.

#include <stddef.h>
#include <stdio.h>

#include <map>
#include <string>
#include <vector>

#include "inject/inject.h"
#include "tool/layouts/layouts.h"
#include "tool/learn/library_match.h"
#include "tool/library/library.h"
#include "tool/options.h"

struct learn_t {
    const tool_options_t *options;
    const layout_build_t *build;
    std::string out_dir;
    std::vector<std::string> names;       // the standard layout's, in the order asked
    size_t at;                            // the name asked for; names.size() when done
    int customer_code;                    // -1 until the first press
    std::map<int, std::string> assigned;  // command -> name: the file's lines
    bool held;                            // a button is down: its repeats are not presses
    raw_code_t held_code;
    bool done;
    int status;  // when done without writing
    FILE *out;
    std::string file_name;  // set at the first press: the existing file's, else the daemon's
    library_match_t match;  // recognition of the library's remotes, when started
    const keymap_library_t *library;  // the Linux keymap library, as far as it was found
};

// The names a customer button can be given: those with a standard scancode above 0, once
// each, in the order the standard layout's lines name them.
std::vector<std::string> learnable_names(const layout_build_t *build);
// Asks for the name at hand, unless the session is done.
void learn_prompt(learn_t *learn);
// A press of a button, which the first press makes the new remote's.
void learn_press(learn_t *learn, const raw_code_t &raw);
// A line of standard input: Enter, n (no such button), b or q; or the answer to an offer.
void learn_answer(learn_t *learn, std::string answer);
