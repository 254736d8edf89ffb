#pragma once

#include <stddef.h>
#include <stdint.h>

// A line buffer of this size takes at most 1023 characters of a line at a time; a longer
// line arrives in pieces, each handled as a line of its own.
constexpr size_t k_layout_line_size = 1024;

// Reads one line (NUL-terminated) of a key layout file. Returns 0 and fills *scancode and
// name (NUL-terminated, at most 31 characters) when the line is "key N NAME" with N decimal
// in 0..255; -1 for comments, other keywords, malformed and out-of-range lines.
int parse_key_layout_line(const char *line, int32_t *scancode, char name[32]);
