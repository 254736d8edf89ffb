// SPDX-License-Identifier: Apache-2.0
#pragma once

// Where the daemon meets the platform. Production never changes these; only tests
// re-point them at a temporary tree.
extern const char *g_protocol_file;  // "/proc/orvex_ir_protocol"
extern const char *g_uinput_path;    // "/dev/uinput"
extern const char *g_input_dir;      // "/dev/input"
extern const char *g_keylayout_dir;  // "/system/usr/keylayout"

// Fixed device names, never re-pointed.
constexpr const char k_virtual_keyboard_name[] = "orvex-ir-uinput";
constexpr const char k_receiver_name[] = "orvex-ir";
