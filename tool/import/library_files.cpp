// SPDX-License-Identifier: Apache-2.0
// The library's remotes as import names them, for learn's recognition: its keymaps of NEC and
// RC5 at the codes their scancodes land on, and those of command bytes alone at their commands.
#include <map>
#include <string>
#include <vector>

#include "core/protocol.h"
#include "tool/import/import.h"
#include "tool/import/import_files.h"

namespace {

// The keys of a command-byte keymap, at the commands its scancodes are; none under RC5 when a
// command is beyond the receiver's 7 bits.
void import_commands(import_t *import, int32_t protocol, const keytable_t &table,
                     const keytable_protocol_t &commands) {
    for (const keytable_entry_t &entry : commands.entries) {
        if (protocol == k_ir_protocol_rc5 && entry.scancode > 0x7f) {
            import->files.clear();
            return;
        }
        ir_code_t code = {protocol, -1, static_cast<int>(entry.scancode)};
        import_key(import, table.name, code, entry, table.name);
    }
}

}  // namespace

std::vector<library_file_t> library_files(const layout_build_t *build,
                                          const tool_options_t *options,
                                          const keymap_library_t &library) {
    std::vector<library_file_t> files;
    int32_t protocol = build->protocol;
    // Named quietly, exactly as import names them.
    import_t import = {build, options, {}, {}, nullptr, 0, {}};
    for (const library_keymap_t &keymap : library.keymaps) {
        // Its remotes are called by the library's name for them, as import --list gives it.
        keytable_t table = keymap.table;
        table.name = keymap.name;
        for (const keytable_protocol_t &p : table.protocols) {
            if (p.protocol == "unknown") {
                if (scancodes_are_commands(p)) {
                    import_commands(&import, protocol, table, p);
                }
            } else {
                import_protocol(&import, table.name, table, p);
            }
        }
        for (const auto &entry : import.files) {
            const import_file_t &file = entry.second;
            if (file.protocol != protocol || file.lines.empty()) {
                continue;
            }
            library_file_t named = {table.name, file.customer_code, {}};
            for (const auto &line : file.lines) {
                named.lines[line.first] = line.second.name;
            }
            files.push_back(named);
        }
        import.files.clear();
    }
    return files;
}
