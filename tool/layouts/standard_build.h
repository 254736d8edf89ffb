#pragma once

#include <stdio.h>

#include <string>

#include "tool/layouts/layouts.h"
#include "tool/options.h"

// Builds the tables of options->dir for its first protocol, for a command that takes names from
// the standard layout. Returns 0, or -1 having said on err why not: the folder cannot be
// listed, or the standard layout read (use: what the command makes of it).
int build_from_standard(const tool_options_t *options, layout_build_t *build, const char *use,
                        FILE *err);

// Where such a command writes: --out, else the folder of --dir when given, else the current one.
std::string output_folder(const tool_options_t *options);
