// SPDX-License-Identifier: Apache-2.0
#include <string.h>

#include <memory>

#include "core/protocol.h"
#include "tool/layouts/layouts.h"
#include "tool/options.h"
#include "tool/print.h"
#include "tool/tables/tables.h"

namespace {

// Why a table the daemon built is never consulted, or "".
std::string unused_because(const layout_build_t *build, int table) {
    const customer_map_t &map = build->maps[table];
    for (int earlier = 0; earlier < table; earlier++) {
        if (build->maps[earlier].customer_code == map.customer_code) {
            return " (never used: table " + std::to_string(earlier) + " has this customer code)";
        }
    }
    if (build->protocol == k_ir_protocol_rc5 && map.customer_code > 0x1f) {
        return " (never used: an RC5 address has 5 bits)";
    }
    return "";
}

}  // namespace

int run_show(const tool_options_t *options, FILE *out) {
    int shown = 0;
    for (int32_t protocol : options->protocols) {
        auto build = std::make_unique<layout_build_t>();
        if (build_layouts(options->dir.c_str(), protocol, build.get()) != 0) {
            tool_print(out, "%s: cannot list the key layout folder: %s\n", options->dir.c_str(),
                       strerror(build->dir_error));
            return 1;
        }
        if (build->count == 0) {
            tool_print(out, "%s: no customer table\n", protocol_name(protocol));
        }
        // In the daemon's order: the first table of a customer code is the one it consults.
        for (int t = 0; t < build->count; t++) {
            const customer_map_t &map = build->maps[t];
            tool_print(out, "%s table %d: customer 0x%s, %s%s\n", protocol_name(protocol), t,
                       customer_code_text(protocol, map.customer_code).c_str(),
                       build->table_path[t].c_str(), unused_because(build.get(), t).c_str());
            for (int command = 0; command < k_keymap_size; command++) {
                int scancode = map.scancode_map[command];
                if (scancode == 0) {
                    continue;
                }
                tool_print(out, "  %3d (0x%02x) -> %3d %-24s %s\n", command, command, scancode,
                           build->base[scancode].name, linux_key_name(scancode));
            }
            shown++;
        }
    }
    return shown > 0 ? 0 : 1;
}
