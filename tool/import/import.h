// SPDX-License-Identifier: Apache-2.0
#pragma once

// A new remote's customer layouts from keymaps of the Linux keymap library, and a customer
// layout given back as a keymap; each file is written only where told, and never half. And the
// library's remotes as import names them, which learn recognises.

#include <stdio.h>

#include <map>
#include <string>
#include <vector>

#include "tool/layouts/layouts.h"
#include "tool/library/library.h"
#include "tool/options.h"

int run_import(const tool_options_t *options, FILE *out, FILE *err);
// import --list: prints the names of the library's keymaps that import writes, and on err the
// keymaps left out. Returns 0, or 1 when there is no library.
int list_library_keymaps(const tool_options_t *options, FILE *out, FILE *err);
// export: writes each customer layout given as an ir-keytable keymap.
int run_export(const tool_options_t *options, FILE *out, FILE *err);

// One file that a keymap of the library gives under the standard layout.
struct library_file_t {
    std::string remote;                // the keymap's name
    int customer_code;                 // -1: command bytes alone, under any customer code
    std::map<int, std::string> lines;  // command -> standard name
};
// The files of the build's protocol that the library's keymaps give, keymap by keymap, each
// named quietly as import names it.
std::vector<library_file_t> library_files(const layout_build_t *build,
                                          const tool_options_t *options,
                                          const keymap_library_t &library);
