// SPDX-License-Identifier: Apache-2.0
#pragma once

// What import builds from keymaps and writes: one customer layout a customer code.

#include <stdint.h>
#include <stdio.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tool/layouts/layouts.h"
#include "tool/library/library.h"
#include "tool/options.h"

struct import_line_t {
    std::string name;  // the standard layout's
    std::string key;   // the keymap's Linux key
    std::string origin;
};

// One customer layout to write.
struct import_file_t {
    int32_t protocol;
    int customer_code;
    std::vector<std::string> remotes;
    std::map<int, import_line_t> lines;  // by command
};

struct import_t {
    const layout_build_t *build;
    const tool_options_t *options;
    std::map<std::string, std::string> maps;  // Linux key -> standard name
    std::map<std::pair<int32_t, int>, import_file_t> files;
    FILE *out;  // null: names keys without a word (learn's recognition)
    int not_written;
    std::set<std::string> meanings_told;  // keys whose remote meaning was said
};

// Adds the keys of one protocol of a keymap to the files to write; every key not written is
// named with the reason.
void import_protocol(import_t *import, const std::string &path, const keytable_t &table,
                     const keytable_protocol_t &protocol);

// The standard layout's name for a Linux key code, without --map: the label Android's generic
// layout gives it when the layout has that, else its meaning on a remote when it has that; or
// null.
const char *imported_name(const layout_build_t *build, int code);

// Adds one key of a remote, at the code it lands on, to the file of that code, under the
// standard layout's name for it; or names the reason it is not written.
void import_key(import_t *import, const std::string &remote, const ir_code_t &code,
                const keytable_entry_t &entry, const std::string &origin);

// Writes each file whole or not at all, then checks those written. Exit status 0 only when
// every file was written.
int write_imported_files(import_t *import, const std::string &out_dir);
