// SPDX-License-Identifier: Apache-2.0
// A key layout file as each Android version's reader takes it, on a box of each word size.
// What must hold: no crash; a file it surely loads maps no scancode twice, and every key line of
// it gives one entry; a message quotes no byte that does not print.
//   input: the file
#include <stdint.h>
#include <stdlib.h>

#include <set>
#include <string>

#include "tool/android/android.h"
#include "tool/android/reader.h"
#include "tool/tables/tables.h"

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\0';
}

// A key line's scancode as a box reads it, apart from the reader: the C library's strtoll,
// held to the range of a 32-bit long on such a box, and a "0b" prefix where it reads one.
int32_t scancode_of(const std::string &word, int abi, bool binary) {
    size_t at = 0;
    while (at < word.size() && (word[at] == '\v' || word[at] == '\f')) {
        at++;
    }
    size_t digits = at + (word.compare(at, 1, "-") == 0 || word.compare(at, 1, "+") == 0);
    long long value = strtoll(word.c_str(), nullptr, 0);
    if (binary && (word.compare(digits, 2, "0b") == 0 || word.compare(digits, 2, "0B") == 0) &&
        digits + 2 < word.size() && word[digits + 2] >= '0' && word[digits + 2] <= '9') {
        value = strtoll(word.c_str() + digits + 2, nullptr, 2);
        value = word[at] == '-' ? -value : value;
    }
    if (abi == 32) {
        value = value < INT32_MIN ? INT32_MIN : value > INT32_MAX ? INT32_MAX : value;
    }
    return static_cast<int32_t>(value);
}

// The scancodes of the file's "key CODE ..." lines, read apart from the reader: false when
// one comes twice. *lines: how many there are.
bool scancodes_once(const std::string &text, int abi, bool binary, size_t *lines) {
    std::set<int32_t> seen;
    *lines = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        std::string words[2];
        size_t w = 0;
        for (size_t i = 0; i < line.size() && w < 2;) {
            for (; i < line.size() && is_blank(line[i]); i++) {
            }
            for (; i < line.size() && !is_blank(line[i]); i++) {
                words[w] += line[i];
            }
            w++;
        }
        if (words[0] != "key" || words[1] == "usage") {
            continue;
        }
        (*lines)++;
        if (!seen.insert(scancode_of(words[1], abi, binary)).second) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    for (int version = k_android_oldest; version <= k_android_newest; version++) {
        for (int abi : {32, 64}) {
            android_layout_t read;
            read_android_layout(text, {version, abi, nullptr}, &read);
            bool doubted = false;
            for (const android_remark_t &remark : read.remarks) {
                doubted = doubted || remark.verdict == k_android_needs_config;
                for (char c : remark.why) {
                    if (c < 0x20 || c >= 0x7f) {
                        abort();
                    }
                }
            }
            size_t lines;
            bool binary = ((k_android_binary_numbers >> version) & 1) != 0;
            if (read.loads && !doubted &&
                (!scancodes_once(text, abi, binary, &lines) || read.labels.size() != lines)) {
                abort();
            }
        }
    }
    return 0;
}
