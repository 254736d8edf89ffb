// SPDX-License-Identifier: Apache-2.0
#include <string.h>

#include "core/hex_digit.h"

#include "core/protocol.h"
#include "keymap/keymap.h"

namespace {

constexpr customer_name_pattern_t k_nec_pattern = {"customer_ir_", 4};
constexpr customer_name_pattern_t k_rc5_pattern = {"customer_rc5_ir_", 2};

}  // namespace

const customer_name_pattern_t *customer_name_pattern(int32_t protocol) {
    return protocol == k_ir_protocol_rc5 ? &k_rc5_pattern : &k_nec_pattern;
}

int match_kl_filename(const char *name, int32_t protocol, kl_name_note_t *note) {
    kl_name_note_t ignored;
    if (note == nullptr) {
        note = &ignored;
    }
    const customer_name_pattern_t &pattern = *customer_name_pattern(protocol);
    // Every comparison stops at the name's NUL, so a short name is never read past its end.
    size_t prefix_length = strlen(pattern.prefix);
    if (strncmp(name, pattern.prefix, prefix_length) != 0) {
        *note = k_name_prefix;
        return -1;
    }
    const char *p = name + prefix_length;
    int code = 0;
    for (int i = 0; i < pattern.digits; i++, p++) {
        int digit = hex_digit_value(*p);
        if (digit < 0) {
            *note = k_name_digits;
            return -1;
        }
        code = code * 16 + digit;
    }
    if (strcmp(p, k_customer_name_suffix) != 0) {
        *note = hex_digit_value(*p) >= 0 ? k_name_digits : k_name_suffix;
        return -1;
    }
    *note = k_name_accepted;
    return code;
}

int kl_filename_verify(const char *name) {
    return match_kl_filename(name, ir_protocol_used, nullptr);
}
