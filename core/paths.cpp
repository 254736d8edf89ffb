// SPDX-License-Identifier: Apache-2.0
#include "core/paths.h"

const char *g_protocol_file = "/proc/orvex_ir_protocol";
const char *g_uinput_path = "/dev/uinput";
const char *g_input_dir = "/dev/input";
const char *g_keylayout_dir = "/system/usr/keylayout";
