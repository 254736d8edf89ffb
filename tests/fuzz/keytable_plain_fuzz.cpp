// SPDX-License-Identifier: Apache-2.0
// A keymap in ir-keytable's plain-text format, imported into a key layout folder; the codes
// written must decode to their keys (see keymap_import_check.h).
//   input: the keymap's text; one that does not begin "# table " gets that in front, so that
//   the plain-text reader takes it
#include <stdint.h>

#include <string>

#include "keymap_import_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    if (text.compare(0, 8, "# table ") != 0) {
        text.insert(0, "# table ");
    }
    import_and_check(text);
    return 0;
}
