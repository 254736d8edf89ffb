// SPDX-License-Identifier: Apache-2.0
// A keymap in ir-keytable's TOML format, read through toml++ and imported into a key layout
// folder; the codes written must decode to their keys (see keymap_import_check.h).
//   input: the keymap's text
#include <stdint.h>

#include <string>

#include "keymap_import_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    import_and_check(std::string(reinterpret_cast<const char *>(data), size));
    return 0;
}
