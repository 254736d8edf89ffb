// SPDX-License-Identifier: Apache-2.0
// Which remotes of the library use a customer code: where their scancodes land, as import
// writes them.
#include <string>
#include <vector>

#include "tool/library/library.h"

std::vector<std::string> library_remotes_of(const keymap_library_t &library, int32_t protocol,
                                            int customer_code) {
    std::vector<std::string> names;
    for (const library_keymap_t &keymap : library.keymaps) {
        bool uses = false;
        for (const keytable_protocol_t &table : keymap.table.protocols) {
            int nec_bits;
            if (receiver_protocol_of(table, &nec_bits) != protocol) {
                continue;
            }
            for (const keytable_entry_t &entry : table.entries) {
                ir_code_t code;
                std::string why;
                uses |=
                    scancode_to_code(protocol, nec_bits, entry.scancode, false, &code, &why) == 0 &&
                    code.customer_code == customer_code;
            }
        }
        if (uses) {
            names.push_back(keymap.name);
        }
    }
    return names;
}
