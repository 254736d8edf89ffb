#include <string.h>

#include "core/hex_digit.h"

#include "core/protocol.h"
#include "keymap/keymap.h"

namespace {

// A customer layout file name: prefix, a fixed number of hexadecimal digits, ".kl".
struct customer_name_pattern_t {
    const char *prefix;
    int digits;
};

constexpr customer_name_pattern_t k_nec_pattern = {"customer_ir_", 4};
constexpr customer_name_pattern_t k_rc5_pattern = {"customer_rc5_ir_", 2};
constexpr char k_suffix[] = ".kl";

}  // namespace

int kl_filename_verify(const char *name) {
    const customer_name_pattern_t &pattern =
        ir_protocol_used == k_ir_protocol_rc5 ? k_rc5_pattern : k_nec_pattern;
    // Every comparison stops at the name's NUL, so a short name is never read past its end.
    size_t prefix_length = strlen(pattern.prefix);
    if (strncmp(name, pattern.prefix, prefix_length) != 0) {
        return -1;
    }
    const char *p = name + prefix_length;
    int code = 0;
    for (int i = 0; i < pattern.digits; i++, p++) {
        int digit = hex_digit_value(*p);
        if (digit < 0) {
            return -1;
        }
        code = code * 16 + digit;
    }
    if (strcmp(p, k_suffix) != 0) {
        return -1;
    }
    return code;
}
