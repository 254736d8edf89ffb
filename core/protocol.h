// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <stdint.h>
#include <sys/types.h>

// The IR protocol the receiver's driver decodes, settled once at start.
constexpr int32_t k_ir_protocol_nec = 0;
constexpr int32_t k_ir_protocol_rc5 = 1;

extern int32_t ir_protocol_used;

// What the driver's protocol file gave: the read's result (-1 when it could not be opened or
// read), the value its bytes make, and the protocol the daemon selects from them.
struct protocol_reading_t {
    ssize_t bytes;
    int32_t value;
    int32_t selected;
};

// Reads the driver's protocol file, silently: nothing is printed or logged.
void read_ir_protocol(protocol_reading_t *reading);

// Reads the driver's protocol file once into ir_protocol_used; anything but NEC or RC5
// falls back to NEC, with the reasons logged.
void select_ir_protocol(void);
