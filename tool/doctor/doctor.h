// SPDX-License-Identifier: Apache-2.0
#pragma once

// doctor: whether the box is set up for the daemon, one line a check.

#include <stdio.h>

#include "tool/options.h"

int run_doctor(const tool_options_t *options, FILE *out, FILE *err);
