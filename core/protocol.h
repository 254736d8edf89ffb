#pragma once

#include <stdint.h>

// The IR protocol the receiver's driver decodes, settled once at start.
constexpr int32_t k_ir_protocol_nec = 0;
constexpr int32_t k_ir_protocol_rc5 = 1;

extern int32_t ir_protocol_used;

// Reads the driver's protocol file once; anything but NEC or RC5 falls back to NEC.
void select_ir_protocol(void);
