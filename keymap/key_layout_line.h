// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <stddef.h>
#include <stdint.h>

// A line buffer of this size takes at most 1023 characters of a line at a time; a longer
// line arrives in pieces, each handled as a line of its own.
constexpr size_t k_layout_line_size = 1024;

// What the reader made of a line. The daemon looks only at whether the line was taken; the
// reason is for tools that explain a layout to the people who write it.
enum key_line_note_t {
    k_line_taken,               // "key N NAME" as written
    k_line_taken_glued,         // taken, but the number ran on into the name: "0x74" is 0, "x74"
    k_line_taken_name_cut,      // taken, the name cut after 31 characters
    k_line_blank,               // white space only
    k_line_comment,             // "#" after spaces only
    k_line_tab_before_comment,  // "#" after a tab: scanned as a line, its first word not "key"
    k_line_android_keyword,     // one of Android's other key layout lines ("axis", "led", ...)
    k_line_not_key,             // any other first word: "kye", "18", "\xc2\xa0key"
    k_line_keyword_mistyped,    // first word like "key" but not it: "KEY", "keys", "key10"
    k_line_incomplete,          // "key" without a decimal number and a name after it
    k_line_out_of_range,        // the number lies outside 0..255
};

// Reads one line (NUL-terminated) of a key layout file. Returns 0 and fills *scancode and
// name (NUL-terminated, at most 31 characters) when the line is "key N NAME" with N decimal
// in 0..255; -1 for comments, other keywords, malformed and out-of-range lines. When note is
// not null it receives the reason either way.
int parse_key_layout_line(const char *line, int32_t *scancode, char name[32],
                          key_line_note_t *note);
