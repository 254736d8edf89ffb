// SPDX-License-Identifier: Apache-2.0
#pragma once

// Recognising a remote of the Linux keymap library while learn runs: the keymaps that agree
// with every press and answer so far, the standard name that best tells them apart, and the
// offer of the whole layout once they all write the same file. It answers the session (which
// name to ask next, whether to offer) and leaves the asking to it.

#include <stddef.h>
#include <stdio.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tool/layouts/layouts.h"
#include "tool/library/library.h"
#include "tool/options.h"

// One file a keymap of the library gives under the standard layout.
struct library_candidate_t {
    std::vector<std::string> remotes;  // the keymaps that give this very file
    int customer_code;                 // -1: command bytes alone, under any customer code
    std::map<int, std::string> lines;  // command -> standard name, as import writes them
    std::vector<int> command_of;       // by name, in the layout's order: its lowest command, or -1
    size_t file;                       // the same for candidates of the same lines
};

struct library_match_t {
    bool on;  // recognising: not --no-library, and no press or answer has ruled every file out
    std::vector<library_candidate_t> candidates;
    std::vector<size_t> left;                  // the candidates that agree with everything so far
    std::map<int, std::string> pressed;        // command -> name: this session's presses
    std::set<std::string> absent;              // names the remote has no button for
    std::map<std::string, size_t> name_index;  // in the standard layout's order
    size_t asked;                              // names[0, asked) have been prompted
    bool offered;                              // the offer waits for its answer
};

// Whether the candidates left all write one file, after enough presses to offer it: two, or
// three when a keymap of command bytes alone is among them.
bool offer_reached(const library_match_t &match, const std::vector<size_t> &left, size_t presses);

// Makes every file the library gives under the standard layout, for the build's protocol, a
// candidate; names are the session's, in the layout's order.
void start_library_match(library_match_t *match, const layout_build_t *build,
                         const tool_options_t *options, const keymap_library_t &library,
                         const std::vector<std::string> &names, FILE *out);
// After a press or an answer that tells about the remote (customer_code -1 before the first
// press): what is left, said briefly on out; the end of recognition, said once, when nothing
// is; whether the offer is due, in match->offered.
void match_evidence(library_match_t *match, int customer_code, FILE *out);
// The name that best tells the candidates apart, by its index among names[at, end), when
// names[at] is asked for the first time; else at.
size_t choose_next_name(library_match_t *match, const std::vector<std::string> &names, size_t at,
                        int customer_code);
// "this is NAME (N buttons): take them? [Y/n]"
void print_offer(const library_match_t &match, FILE *out);
// The lines of the file offered: command -> standard name.
const std::map<int, std::string> &offered_lines(const library_match_t &match);
