// SPDX-License-Identifier: Apache-2.0
#pragma once

// The printing funnel every command's output goes through.

#include <stdio.h>

#include <string>

// text with every byte outside printable ASCII shown in the C style ("\t", "\xc2\xa0"), so
// that an invisible byte in a layout or a file name shows in a message. A backslash stays as
// it is, so text escaped once comes through again unchanged.
std::string printable(const std::string &text);
// Every line the tool prints goes through here: printf's format, with the result's bytes
// made printable but for the newlines that end lines.
void tool_print(FILE *out, const char *format, ...) __attribute__((format(printf, 2, 3)));
