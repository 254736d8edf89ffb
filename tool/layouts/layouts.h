// SPDX-License-Identifier: Apache-2.0
#pragma once

// The daemon's tables as the tool builds them, by the daemon's own start-up code, with what
// the build met on the way, also for the commands that write from the standard layout; and the
// names the daemon gives files and customer codes, and the customer files a folder holds.

#include <stdint.h>
#include <stdio.h>

#include <map>
#include <string>
#include <vector>

#include "keymap/key_layout_line.h"
#include "keymap/keymap.h"
#include "tool/options.h"

// One line piece of a layout file as the daemon's reader saw it.
struct seen_line_t {
    int number;
    std::string text;  // as in the file, NUL bytes included
    key_line_note_t note;
    int32_t scancode;  // the entry it filled when taken, -1 when not taken
    std::string name;
};

// A key layout directory entry as the daemon's build met it.
struct listed_entry_t {
    std::string name;
    int customer_code;  // -1: no customer file of the protocol
    int table;          // -1: no table built from it
};

// The daemon's tables for one protocol, and what its build saw on the way.
struct layout_build_t {
    int32_t protocol;
    std::string dir;
    int dir_error;  // errno when the folder could not be listed, else 0
    int count;      // tables built
    keymap_t base[k_keymap_size];
    customer_map_t maps[k_max_customer_maps];
    keymap_t customer[k_max_customer_maps][k_keymap_size];  // each table's layout as read
    std::string table_path[k_max_customer_maps];
    std::vector<listed_entry_t> entries;                    // in listing order
    std::map<std::string, std::vector<seen_line_t>> lines;  // by path
    std::map<std::string, std::string> failures;            // path: why it was not read whole
};

// Builds the tables from dir as the daemon's start-up does. Returns 0, or -1 when dir could
// not be listed.
int build_layouts(const char *dir, int32_t protocol, layout_build_t *build);
// Makes a build the daemon's live tables and protocol, for its lookup and translation code.
void use_layouts(const layout_build_t *build);

std::string standard_layout_path(const layout_build_t *build);
std::string base_name(const std::string &path);
const char *protocol_name(int32_t protocol);
// The customer layout file name that a customer code would need.
std::string customer_file_name(int32_t protocol, int customer_code);
// The name every customer layout file of the protocol has: "customer_ir_XXXX.kl" for NEC.
std::string customer_file_pattern(int32_t protocol);
// The customer code as file names write it: 4 hexadecimal digits (NEC), 2 (RC5).
std::string customer_code_text(int32_t protocol, int customer_code);
// The lowest standard scancode above 0 bearing name, or 0; *at_zero tells whether the
// standard layout gives it to scancode 0.
int standard_scancode_of(const layout_build_t *build, const char *name, bool *at_zero);
// Whether a button of that name gets a standard scancode; false for null.
bool standard_has(const layout_build_t *build, const char *name);
// A standard name equal to name but for letter case or one edit away, or "".
std::string nearest_standard_name(const layout_build_t *build, const char *name);

// Builds the tables of options->dir for its first protocol, for a command that takes names from
// the standard layout. Returns 0, or -1 having said on err why not: the folder cannot be
// listed, or the standard layout read (use: what the command makes of it).
int build_from_standard(const tool_options_t *options, layout_build_t *build, const char *use,
                        FILE *err);
// Where such a command writes: --out, else the folder of --dir when given, else the current one.
std::string output_folder(const tool_options_t *options);

// The customer layout files a folder already holds, as the daemon would take them: the digits
// of a name may be of either case, so one customer code may have a file under several
// spellings, of which the daemon uses only the first it lists.
// The names in dir that the daemon takes as customer files of the protocol, in listing order,
// with their customer codes; none when dir cannot be listed.
struct customer_file_t {
    std::string name;
    int customer_code;
};
std::vector<customer_file_t> list_customer_files(const std::string &dir, int32_t protocol);
// What writing a customer file into out_dir meets: the files of its customer code in out_dir
// and, when it is another folder, in the key layout folder layout_dir.
struct customer_target_t {
    std::string name;                   // what to write: the existing file's name, else the
                                        // daemon's own spelling
    std::vector<std::string> existing;  // their paths, out_dir's first
};
customer_target_t find_customer_target(const std::string &out_dir, const std::string &layout_dir,
                                       int32_t protocol, int customer_code);

// show: the customer tables the daemon builds, in its order.
int run_show(const tool_options_t *options, FILE *out);
