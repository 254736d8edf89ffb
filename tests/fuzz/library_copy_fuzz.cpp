// SPDX-License-Identifier: Apache-2.0
// The copy of the Linux keymap library in the tool's plain form, damaged anywhere. What must
// hold besides no crash: reading for protocols alone keeps the same keymaps and tells the same
// problems; and the keymaps kept, written out again, read back the same without a problem, so
// each has a protocol and exactly the keys its lines count, each a printable word.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "tool/library/library.h"

namespace {

std::string written(const std::vector<library_keymap_t> &keymaps) {
    std::string text = "format dravoke-keymaps 1\n";
    for (const library_keymap_t &keymap : keymaps) {
        text += "keymap " + keymap.file + " " + keymap.table.name + "\n";
        for (const keytable_protocol_t &p : keymap.table.protocols) {
            text += "protocol " + std::to_string(p.line) + " " + std::to_string(p.entries.size()) +
                    " " + p.protocol + (p.variant.empty() ? "" : " " + p.variant) + "\n";
            for (const keytable_entry_t &e : p.entries) {
                char scancode[16];
                snprintf(scancode, sizeof(scancode), "0x%x", e.scancode);
                text += std::to_string(e.line) + " " + scancode + " " + e.key + "\n";
            }
        }
    }
    return text + "end\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    std::vector<library_keymap_t> keymaps;
    std::vector<std::string> problems;
    parse_library_copy(text, "fuzz", true, &keymaps, &problems);
    std::vector<library_keymap_t> headers;
    std::vector<std::string> told;
    parse_library_copy(text, "fuzz", false, &headers, &told);
    if (told != problems || headers.size() != keymaps.size()) {
        abort();
    }
    std::vector<library_keymap_t> again;
    std::vector<std::string> none;
    parse_library_copy(written(keymaps), "fuzz", true, &again, &none);
    if (!none.empty() || written(again) != written(keymaps)) {
        abort();
    }
    return 0;
}
