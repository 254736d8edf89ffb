// SPDX-License-Identifier: Apache-2.0
#pragma once

// check: what will not work as written in a key layout folder, as the daemon reads it; and
// what the service, as dravoke.rc runs it, may open.

#include <stdint.h>
#include <stdio.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "tool/options.h"

// What check found, in numbers and in its summary's words.
struct check_totals_t {
    int warnings;
    int errors;
    std::string summary;
    std::string first_error;  // its file's name and the text, "" when none
};

// Prints check's diagnostics and summary on out, when out is not null, and gives the totals,
// when totals is not null. Returns 1 when an error was found, else 0.
int run_check(const tool_options_t *options, FILE *out, check_totals_t *totals);

// Runs check's diagnostics on files just written to out_dir together with the standard
// layout of options->dir, each file under its own protocol, and prints them with the files'
// own paths. Returns run_check's result.
int check_written(const tool_options_t *options, const std::string &out_dir,
                  const std::vector<std::string> &files, const std::vector<int32_t> &protocols,
                  FILE *out);

// The service as dravoke.rc runs it, for messages: "the service (user nobody, ...)".
extern const char k_service_identity[];
// Whether the service may open st's file with these access bits (4 read, 2 write, 1 search).
bool service_may(const struct stat &st, unsigned access);
// "crw-rw---- root input", as ls shows a node.
std::string describe_node(const struct stat &st);
