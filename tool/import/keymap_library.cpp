// SPDX-License-Identifier: Apache-2.0
// import --list: the keymaps of the Linux keymap library that import writes.
#include "tool/import/import.h"
#include "tool/library/library.h"
#include "tool/print.h"

// Those of a protocol the receiver decodes; the rest give commands alone, or nothing the
// receiver takes, and only learn uses the first.
int list_library_keymaps(const tool_options_t *options, FILE *out, FILE *err) {
    keymap_library_t library;
    read_keymap_library(options, false, &library);
    print_library_problems(library, err);
    if (!library.found) {
        tool_print(err, "dravoke-keymap: %s\n", no_library_text(library, options).c_str());
        return 1;
    }
    for (const library_keymap_t &keymap : library.keymaps) {
        for (const keytable_protocol_t &protocol : keymap.table.protocols) {
            int nec_bits;
            if (receiver_protocol_of(protocol, &nec_bits) >= 0) {
                tool_print(out, "%s\n", keymap.name.c_str());
                break;
            }
        }
    }
    return 0;
}
