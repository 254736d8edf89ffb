// SPDX-License-Identifier: Apache-2.0
// One line of a key layout file, as the reader hands it over: NUL-terminated, in a heap
// copy of exactly its size so that a read past the NUL is reported.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "keymap/key_layout_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<char> line(data, data + size);
    line.push_back('\0');
    int32_t scancode = -1;
    char name[32];
    memset(name, 0x7f, sizeof(name));
    key_line_note_t note = k_line_blank;
    int result = parse_key_layout_line(line.data(), &scancode, name, &note);
    // The reason given agrees with the answer.
    bool taken_note =
        note == k_line_taken || note == k_line_taken_glued || note == k_line_taken_name_cut;
    if ((result == 0) != taken_note) {
        abort();
    }
    if (result != 0) {
        return 0;
    }
    // An accepted line names a scancode the tables hold and a name that fits its field,
    // one word long.
    size_t length = strnlen(name, sizeof(name));
    if (scancode < 0 || scancode > 255 || length < 1 || length > 31 ||
        strpbrk(name, " \t\n\v\f\r") != nullptr) {
        abort();
    }
    return 0;
}
