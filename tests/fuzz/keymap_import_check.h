// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>

// Imports a keymap, given as its text, into a key layout folder as 'import --dir FOLDER
// KEYMAP' does, then checks what must hold of what it wrote: through the daemon's own tables,
// every code of every file decodes to the standard key its line was written for, and no other
// code of those customer codes to any key. Aborts when that does not hold.
void import_and_check(const std::string &text);
