// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <stdint.h>

#include "core/protocol.h"

// Layout of the raw IR code that the receiver's driver puts in each event's value.
// NEC: command bits 0-7, customer code bits 8-23. RC5: command bits 0-6, address bits 8-12.
// Both: bit 24 set while the button is pressed; every other bit is ignored.
constexpr uint32_t k_raw_pressed_bit = 0x1000000;
constexpr int k_raw_customer_shift = 8;
constexpr uint32_t k_nec_command_mask = 0xFF;
constexpr uint32_t k_nec_customer_mask = 0xFFFF;
constexpr uint32_t k_rc5_command_mask = 0x7F;
constexpr uint32_t k_rc5_customer_mask = 0x1F;

struct raw_code_t {
    int32_t customer_code;
    int32_t command;
    bool pressed;
};

// The bits of value that the protocol's decoding passes over.
inline uint32_t ignored_raw_bits(int32_t value, int32_t protocol) {
    bool rc5 = protocol == k_ir_protocol_rc5;
    uint32_t used = k_raw_pressed_bit | (rc5 ? k_rc5_command_mask : k_nec_command_mask) |
                    (rc5 ? k_rc5_customer_mask : k_nec_customer_mask) << k_raw_customer_shift;
    return static_cast<uint32_t>(value) & ~used;
}

inline raw_code_t decode_raw_code(int32_t value, int32_t protocol) {
    uint32_t bits = static_cast<uint32_t>(value);
    bool rc5 = protocol == k_ir_protocol_rc5;
    raw_code_t code;
    code.command = static_cast<int32_t>(bits & (rc5 ? k_rc5_command_mask : k_nec_command_mask));
    code.customer_code = static_cast<int32_t>((bits >> k_raw_customer_shift) &
                                              (rc5 ? k_rc5_customer_mask : k_nec_customer_mask));
    code.pressed = (bits & k_raw_pressed_bit) != 0;
    return code;
}
