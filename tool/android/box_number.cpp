// SPDX-License-Identifier: Apache-2.0
// strtol as the box's C library runs it, apart from the machine the tool runs on: the box's
// long may be 32 bits where the tool's is 64, and bionic's prefixes are not glibc's.
#include "tool/android/box_number.h"

#include <stdint.h>

#include <string>

namespace {

// A character's digit value, 99 for one that is none.
int digit_of(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 10;
    }
    return c >= 'A' && c <= 'Z' ? c - 'A' + 10 : 99;
}

}  // namespace

box_number_t read_box_number(const std::string &word, int abi, bool binary) {
    box_number_t n = {0, 0, false, true};
    auto at = [&](size_t i) { return i < word.size() ? word[i] : '\0'; };
    size_t i = 0;
    // isspace: the tokenizer leaves only \v and \f within a word, yet strtol skips them.
    while (at(i) == ' ' || (at(i) >= '\t' && at(i) <= '\r')) {
        i++;
    }
    bool negative = at(i) == '-';
    i += at(i) == '-' || at(i) == '+' ? 1 : 0;
    // A prefix counts only before a digit of its base (bionic's "0b": before any decimal one).
    uint64_t base = 10;
    bool zero = at(i) == '0';
    if (zero && (at(i + 1) == 'x' || at(i + 1) == 'X') && digit_of(at(i + 2)) < 16) {
        base = 16;
        i += 2;
    } else if (zero && binary && (at(i + 1) == 'b' || at(i + 1) == 'B') &&
               digit_of(at(i + 2)) < 10) {
        base = 2;
        i += 2;
    } else if (zero) {
        base = 8;
    }
    // The largest magnitude the long holds on this side of 0.
    uint64_t limit = (uint64_t{1} << (abi - 1)) - (negative ? 0 : 1);
    uint64_t magnitude = 0;
    size_t first = i;
    for (; static_cast<uint64_t>(digit_of(at(i))) < base; i++) {
        uint64_t d = static_cast<uint64_t>(digit_of(at(i)));
        n.erange = n.erange || magnitude > (limit - d) / base;
        magnitude = n.erange ? limit : magnitude * base + d;
    }
    if (i == first) {
        return n;
    }
    n.used = i;
    uint64_t bits = negative ? 0 - magnitude : magnitude;
    n.value = static_cast<int32_t>(static_cast<uint32_t>(bits));
    n.exact = !n.erange && magnitude <= (negative ? uint64_t{1} << 31 : (uint64_t{1} << 31) - 1);
    return n;
}
