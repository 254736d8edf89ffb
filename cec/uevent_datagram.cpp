// SPDX-License-Identifier: Apache-2.0
#include "cec/uevent_datagram.h"

#include <string.h>

#include "core/hex_digit.h"

namespace {

// ACTION, DEVPATH and SUBSYSTEM follow the header; the driver's first variable comes next.
constexpr int k_fields_to_opcode = 4;

constexpr char k_cec_msg_prefix[] = "CEC_MSG=";

size_t field_length(const char *field, const char *end) {
    return strnlen(field, static_cast<size_t>(end - field));
}

// The field after this one, or the end when this one runs up to it.
const char *next_field(const char *field, const char *end) {
    size_t length = field_length(field, end);
    return field + length < end ? field + length + 1 : end;
}

bool is_hdmi_header(const char *field, size_t length) {
    for (const char *header : k_hdmi_headers) {
        if (length == strlen(header) && memcmp(field, header, length) == 0) {
            return true;
        }
    }
    return false;
}

bool is_scanf_space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Reads "CEC_MSG=%x" as scanf does (leading blanks, a sign, a 0x prefix, trailing text
// ignored), but bounded by the field rather than by a NUL. A number wider than 32 bits is
// no opcode: scanf leaves that case undefined, and glibc would keep only its low bits.
uint32_t parse_cec_msg(const char *field, size_t length) {
    const size_t prefix_length = sizeof(k_cec_msg_prefix) - 1;
    if (length < prefix_length || memcmp(field, k_cec_msg_prefix, prefix_length) != 0) {
        return 0;
    }
    const char *p = field + prefix_length;
    const char *end = field + length;
    while (p < end && is_scanf_space(*p)) {
        p++;
    }
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        p++;
    }
    if (end - p >= 3 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && hex_digit_value(p[2]) >= 0) {
        p += 2;
    }
    uint64_t value = 0;
    bool any_digit = false;
    for (; p < end && hex_digit_value(*p) >= 0; p++) {
        any_digit = true;
        value = value * 16 + static_cast<uint64_t>(hex_digit_value(*p));
        if (value > UINT32_MAX) {
            return 0;
        }
    }
    if (!any_digit) {
        return 0;
    }
    uint32_t opcode = static_cast<uint32_t>(value);
    return negative ? 0u - opcode : opcode;
}

}  // namespace

uint32_t find_cec_opcode(const char *data, size_t length) {
    const char *end = data + length;
    const char *field = data;
    while (field < end && !is_hdmi_header(field, field_length(field, end))) {
        field = next_field(field, end);
    }
    if (field >= end) {
        return 0;
    }
    // With fewer fields after the header this lands on the end: an empty field.
    for (int step = 0; step < k_fields_to_opcode && field < end; step++) {
        field = next_field(field, end);
    }
    return parse_cec_msg(field, field_length(field, end));
}
