// SPDX-License-Identifier: Apache-2.0
// The tool's copy of the Linux keymap library, for a box or a build without the library or a
// TOML reader: its keymaps read as parse_keytable reads their files.
#include <string.h>

#include "tool/import/import.h"
#include "tool/library/library.h"
#include "tool/print.h"
#include "tool/tables/tables.h"

namespace {

void add_protocol(const library_keymap_t &keymap, keytable_t *table) {
    keytable_protocol_t protocol = {keymap.protocol, keymap.variant, keymap.line, {}};
    for (int k = 0; k < keymap.key_count; k++) {
        const library_key_t &key = keymap.keys[k];
        protocol.entries.push_back({key.scancode, key.key, key.line});
    }
    table->protocols.push_back(protocol);
}

}  // namespace

bool find_library_keymap(std::string name, keytable_t *table) {
    if (name.size() > 5 && name.compare(name.size() - 5, 5, ".toml") == 0) {
        name.resize(name.size() - 5);
    }
    table->name = name;
    table->protocols.clear();
    for (int i = 0; i < k_library_keymap_count; i++) {
        if (name == k_library_keymaps[i].name) {
            add_protocol(k_library_keymaps[i], table);
        }
    }
    return !table->protocols.empty();
}

std::vector<keytable_t> library_keymaps(void) {
    std::vector<keytable_t> tables;
    for (int i = 0; i < k_library_keymap_count; i++) {
        const library_keymap_t &keymap = k_library_keymaps[i];
        if (tables.empty() || tables.back().name != keymap.name) {
            tables.push_back({keymap.name, {}});
        }
        add_protocol(keymap, &tables.back());
    }
    return tables;
}

// import --list: the keymaps of the tool's copy of the Linux keymap library that import writes,
// those of a protocol the receiver decodes; the rest give commands alone, which only learn uses.
int list_library_keymaps(FILE *out) {
    const char *listed = "";
    for (int i = 0; i < k_library_keymap_count; i++) {
        const library_keymap_t &keymap = k_library_keymaps[i];
        if (strcmp(keymap.protocol, "unknown") != 0 && strcmp(keymap.name, listed) != 0) {
            tool_print(out, "%s\n", keymap.name);
            listed = keymap.name;
        }
    }
    return 0;
}
