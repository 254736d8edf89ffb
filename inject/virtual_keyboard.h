// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <linux/input.h>
#include <linux/uinput.h>

// Descriptor of the virtual keyboard; -1 until it has been created, never closed.
extern int g_uinputfd;
// The uinput set-up record, written whole to the device once.
extern struct uinput_user_dev g_uinput_dev;

// Creates the virtual keyboard. Returns its descriptor (above 0), -1 when the kernel
// refuses the device, or the failed open's own result.
int setup_virtual_input_dev(const char *name);

// Writes one event as the caller filled it, then a SYN_REPORT when sync is non-zero.
void report_key_event(int fd, const struct input_event *event, int sync);
