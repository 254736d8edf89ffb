// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <stdint.h>

#include <string>

#include "tool/options.h"

// doctor's verdict on the keys Android delivers on the box, 0 ok, 1 warn or 2 FAIL, and its
// text.
int judge_android_delivery(const tool_options_t *options, int32_t protocol, std::string *text);
