// SPDX-License-Identifier: Apache-2.0
// A device's .idc and character map as Android reads them for the virtual keyboard.
// What must hold: no crash; an .idc taken has keys that are never empty, values without a
// blank, '\' or '"', each at a line of the file; one rejected names a line of the file; a map
// key line read is a line of the file, with a label that version takes.
//   input: the file
#include <stdint.h>
#include <stdlib.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>

#include "tool/android/layout_search.h"
#include "tool/android/reader_words.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    int lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
    idc_keys_t keys;
    int line = 0;
    std::string why;
    if (parse_idc(text, &keys, &line, &why) != 0) {
        if (line < 1 || line > lines || why.empty()) {
            abort();
        }
    } else {
        for (const auto &key : keys) {
            const std::string &value = key.second.first;
            if (key.first.empty() ||
                value.find_first_of(std::string(" \t\r\\\"\0", 6)) != std::string::npos ||
                key.second.second < 1 || key.second.second > lines) {
                abort();
            }
        }
    }
    for (int version : {9, 16}) {
        std::map<int, std::pair<std::string, int>> mapped;
        read_kcm_map_keys(text, version, &mapped);
        for (const auto &m : mapped) {
            if (m.first == 0 || m.second.second < 1 || m.second.second > lines ||
                !android_takes_word(k_word_label, m.second.first, version)) {
                abort();
            }
        }
    }
    return 0;
}
