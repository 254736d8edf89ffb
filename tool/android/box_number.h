// SPDX-License-Identifier: Apache-2.0
#pragma once

// A number word as the box's C library reads it for Android's key layout reader.

#include <stddef.h>
#include <stdint.h>

#include <string>

struct box_number_t {
    int32_t value;  // the long's low 32 bits, which the reader keeps
    size_t used;    // the bytes strtol takes; 0 when it reads no number
    bool erange;    // beyond the long: strtol clamps it and sets ERANGE
    bool exact;     // value is the number written
};
// strtol(word, &end, 0) into a long of abi bits (32 or 64); binary: the C library reads a
// "0b" prefix, as bionic does from Android 14.
box_number_t read_box_number(const std::string &word, int abi, bool binary);
