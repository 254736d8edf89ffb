#pragma once

#include <linux/input.h>
#include <stdint.h>

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

// Reads one whole event from the receiver into buf. Returns 0, or -1 for anything less.
int input_event_process(int fd, struct input_event *buf);

// Translates the event in dev->event and writes its key to the virtual keyboard. A
// SYN_DROPPED releases the key that is down instead.
void detect_key_input(key_dev_t *dev);

// Writes the press of a standard scancode (1..255), releasing first the key that is down.
void ir_key_down(key_dev_t *dev, int code);

// Writes the release of the key that is down, if any, and clears the key state.
void release_held_key(key_dev_t *dev);
