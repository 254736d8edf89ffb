// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <linux/input.h>
#include <stdint.h>

#include "core/raw_code.h"
#include "inject/virtual_keyboard.h"

// The virtual keyboard's key state.
struct key_dev_t {
    int32_t fd;                 // the virtual keyboard
    struct input_event *event;  // the receive buffer: the receiver's event read last
    // The standard scancode written as pressed and not yet released, 0 when none. Kept as
    // the scancode rather than a flag so that the key released is the key that is down:
    // the virtual keyboard auto-repeats any key left pressed.
    int32_t key_down;
};

extern key_dev_t g_key_dev;

// Pressing this standard scancode also asks the TV to switch to the box, through this
// property.
constexpr int k_one_touch_play_scancode = 223;
constexpr char k_one_touch_play_property[] = "hdmi_cts.one_touch_play";

// What one receiver event asks of the virtual keyboard.
enum key_action_t {
    k_key_none,     // nothing is written
    k_key_press,    // the standard scancode goes down, after any key that is down goes up
    k_key_release,  // the key that is down goes up (also after a SYN_DROPPED: the receiver's
                    // queue overflowed, and the release may be what was lost)
};

struct key_report_t {
    raw_code_t raw;  // the event's value, decoded for the active protocol
    int table;       // the customer table that decided; -1 when none carries the code
    int scancode;    // the standard scancode, 0 when the table has none for the command
    key_action_t action;
};

// Reads one whole event from the receiver into buf. Returns 0, or -1 for anything less.
int input_event_process(int fd, struct input_event *buf);

// Translates the event in dev->event and writes its key to the virtual keyboard. A
// SYN_DROPPED releases the key that is down instead.
void detect_key_input(key_dev_t *dev);

// What the event means under the active protocol and customer tables; writes nothing.
void plan_key_report(const struct input_event *event, key_report_t *report);

// Writes what the report asks for to dev's virtual keyboard and keeps dev's key state.
void write_key_report(key_dev_t *dev, const key_report_t *report);

// Writes the press of a standard scancode (1..255), releasing first the key that is down.
void ir_key_down(key_dev_t *dev, int code);

// Writes the release of the key that is down, if any, and clears the key state.
void release_held_key(key_dev_t *dev);
