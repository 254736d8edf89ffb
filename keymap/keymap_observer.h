// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "keymap/key_layout_line.h"
#include "keymap/keymap.h"

// What the key layout reader and the table build see, told as they see it, for tools that
// show integrators what the daemon makes of their files. The daemon never sets an observer;
// a tool sets one, with every hook, around its own call of the build.
struct keymap_observer_t {
    // One line piece of a layout file (lines are counted from 1; the pieces of an overlong
    // line share its number), length bytes of text with any NUL bytes of the file in them
    // (the reader's parse stops at the first), what the reader made of it, and the entry it
    // filled if taken (scancode -1 and an empty name when not).
    void (*line_read)(const char *path, int line_number, const char *text, size_t length,
                      key_line_note_t note, int32_t scancode, const char *name);
    // The file could not be opened (at_open) or a read failed; error_number is errno's value.
    void (*file_failed)(const char *path, int error_number, bool at_open);
    // A key layout directory entry as the build meets it: the customer code its name carries
    // (-1 when it is no customer file of the protocol) and the table built from it (-1 when
    // none: the name was rejected, or the tables were full).
    void (*entry_listed)(const char *name, int customer_code, int table);
    // Customer table number table has been built from path: the customer layout as read
    // (entries consumed by the pairing hold scancode -1).
    void (*table_built)(int table, const char *path, const keymap_t *customer_keymap);
};

extern const keymap_observer_t *g_keymap_observer;
