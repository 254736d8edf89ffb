// SPDX-License-Identifier: Apache-2.0
#pragma once

// Attaches to the socket a classic BPF filter that lets the kernel queue only datagrams whose
// first field is one of the HDMI headers, with its NUL, and drops every other one before it
// is queued. Returns 0, or -1 with errno.
int attach_uevent_filter(int fd);
