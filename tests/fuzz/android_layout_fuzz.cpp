// A key layout file as each Android version's reader takes it. What must hold: no crash; a
// file it surely loads maps no scancode twice, and every key line of it gives one entry; a
// message quotes no byte that does not print.
//   input: the file
#include <stdint.h>
#include <stdlib.h>

#include <set>
#include <string>

#include "tool/android/android.h"
#include "tool/tables/tables.h"

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\0';
}

// The scancodes of the file's "key CODE ..." lines, read apart from the reader: false when
// one comes twice. *lines: how many there are.
bool scancodes_once(const std::string &text, size_t *lines) {
    std::set<long long> seen;
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
        if (!seen.insert(static_cast<int32_t>(strtoll(words[1].c_str(), nullptr, 0))).second) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    for (int version = k_android_oldest; version <= k_android_newest; version++) {
        android_layout_t read;
        read_android_layout(text, version, &read);
        bool doubted = false;
        for (const android_remark_t &remark : read.remarks) {
            doubted = doubted || remark.verdict == k_android_may_refuse;
            for (char c : remark.why) {
                if (c < 0x20 || c >= 0x7f) {
                    abort();
                }
            }
        }
        size_t lines;
        if (read.loads && !doubted &&
            (!scancodes_once(text, &lines) || read.labels.size() != lines)) {
            abort();
        }
    }
    return 0;
}
