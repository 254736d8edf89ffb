// SPDX-License-Identifier: Apache-2.0
#pragma once

// The words Android's key layout reader compares against, and the versions that take each.

#include <string>

enum android_word_kind_t {
    k_word_label,        // a key label
    k_word_flag,         // a key flag
    k_word_line,         // a line's first word: key, axis, led, ...
    k_word_in_key,       // within a key line: usage
    k_word_in_led,       // within a led line: usage
    k_word_in_axis,      // within an axis line: invert, split, flat
    k_word_axis,         // an axis label
    k_word_led,          // a LED label
    k_word_sensor,       // a sensor type
    k_word_sensor_data,  // a sensor's data index: X, Y, Z
};

// The versions whose reader takes word as that kind, from *first to *last; false when none
// known here does.
bool android_word_versions(android_word_kind_t kind, const std::string &word, int *first,
                           int *last);
bool android_takes_word(android_word_kind_t kind, const std::string &word, int version);
// The value that version reads word as (an axis, LED or sensor value); -1 when it takes none.
int android_word_value(android_word_kind_t kind, const std::string &word, int version);
// The word that version names a value by, "" when none.
std::string android_word_named(android_word_kind_t kind, int value, int version);
// The words of a kind that version takes, as a message lists them: "WAKE, VIRTUAL, ...".
std::string android_words_of(android_word_kind_t kind, int version);
// Each key flag's bit, for telling a flag given twice; 0 for no flag.
unsigned android_flag_bit(const std::string &word);
