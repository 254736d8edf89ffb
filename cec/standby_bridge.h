// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <sys/time.h>

// The kernel uevent socket; -1 until bound, never closed.
extern int g_uevent_sock;
// One received datagram and the NUL after it.
extern char g_uevent_buf[1024];
// Wall-clock time of the last Standby announcement, acted on or not.
extern struct timeval g_last_standby_time;

// Opens and binds the uevent socket, which the kernel lets have only the HDMI device's
// "change" uevents, storing its descriptor in *out. Returns 0 or -1.
int uevent_init(int *out);

// Handles one datagram; a CEC Standby announcement sent by the kernel may become a POWER
// key. Datagrams from any other sender are dropped unread. Returns 0.
int uevent_process_event(void);

// Writes a POWER press and release to the virtual keyboard.
void report_standby_request(void);
