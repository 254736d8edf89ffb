// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <stddef.h>
#include <stdint.h>

// CEC opcode of the Standby message, the only one the bridge acts on.
constexpr uint32_t k_cec_standby_opcode = 0x36;

// The HDMI device's "change" action, under either of the paths the device has had. A kernel
// uevent begins with such a field, "ACTION@DEVPATH".
inline constexpr const char *k_hdmi_headers[] = {
    "change@/devices/platform/soc/hdmi",
    "change@/devices/soc.0/1ee0000.hdmi",
};

// Reads the CEC opcode that the HDMI driver announces in one kernel uevent datagram: the
// "CEC_MSG" variable four fields after a field that equals the HDMI device's "change"
// header. Reads only data[0, length); the end of the data ends an unterminated last field.
// Returns the opcode, or 0 when the datagram is no HDMI announcement or the field does not
// parse.
uint32_t find_cec_opcode(const char *data, size_t length);
