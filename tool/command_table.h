// SPDX-License-Identifier: Apache-2.0
#pragma once

// The tool's commands as its command line knows them: the help of each, which options it takes,
// and the function that runs it.

#include <stdio.h>

#include "tool/options.h"

struct command_t {
    const char *name;
    const char *help;
    int (*run)(const tool_options_t *options, FILE *out, FILE *err);
    bool takes_dir;         // check and show: the folder may be given as the argument
    const char *arguments;  // what one or more arguments are (decode, import), or null
    bool has_werror;
    bool writes_files;    // --out and --force
    bool imports;         // --map and --swap-address
    bool judges_android;  // --android
    bool chooses_abi;     // --abi
    bool reads_library;   // --library
    bool takes_root;      // --root
    bool recognises;      // --no-library
};

// The tool's own help, to be printed with the default folders and files filled in.
extern const char k_tool_usage[];
// The command of that name, or null.
const command_t *find_command(const char *name);
