// SPDX-License-Identifier: Apache-2.0
#include <string.h>
#include <unistd.h>

#include <cutils/properties.h>

#include "core/kernel_calls.h"
#include "core/log.h"
#include "core/protocol.h"
#include "inject/inject.h"
#include "keymap/keymap.h"

key_dev_t g_key_dev;

namespace {

void write_key(const key_dev_t *dev, int code, int value) {
    struct input_event event;
    memset(&event, 0, sizeof(event));
    event.type = EV_KEY;
    event.code = static_cast<uint16_t>(code);
    event.value = value;
    report_key_event(dev->fd, &event, 1);
}

// The first table carrying the customer code decides, even where its entry is empty.
int find_customer_map(int32_t customer_code) {
    for (int i = 0; i < g_customer_map_count && i < k_max_customer_maps; i++) {
        if (g_customer_maps[i].customer_code == customer_code) {
            return i;
        }
    }
    return -1;
}

}  // namespace

int input_event_process(int fd, struct input_event *buf) {
    ssize_t n = g_kernel.read(fd, buf, sizeof(*buf));
    return n == static_cast<ssize_t>(sizeof(*buf)) ? 0 : -1;
}

void plan_key_report(const struct input_event *event, key_report_t *report) {
    report->table = -1;
    report->scancode = 0;
    report->action = k_key_none;
    // The one event not decoded: the kernel's queue for the daemon overflowed and dropped
    // events, perhaps the release of the key that is down, which would auto-repeat.
    if (event->type == EV_SYN && event->code == SYN_DROPPED) {
        report->raw = raw_code_t{0, 0, false};
        report->action = k_key_release;
        return;
    }
    // Type, code and time are not looked at otherwise: the driver puts everything into
    // value, and even a SYN_REPORT is decoded from its value.
    report->raw = decode_raw_code(event->value, ir_protocol_used);
    report->table = find_customer_map(report->raw.customer_code);
    if (report->table < 0) {
        return;
    }
    // The command is at most 0xFF, inside the 256-entry table.
    report->scancode = g_customer_maps[report->table].scancode_map[report->raw.command];
    if (report->scancode < 1) {
        report->scancode = 0;
        return;
    }
    report->action = report->raw.pressed ? k_key_press : k_key_release;
}

void write_key_report(key_dev_t *dev, const key_report_t *report) {
    if (report->action == k_key_press) {
        ir_key_down(dev, report->scancode);
    } else if (report->action == k_key_release) {
        release_held_key(dev);
    }
}

void detect_key_input(key_dev_t *dev) {
    key_report_t report;
    plan_key_report(dev->event, &report);
    // The property is set before the key is written, so the TV is asked to switch to the box
    // by the time the key arrives.
    if (report.action == k_key_press && report.scancode == k_one_touch_play_scancode) {
        property_set(k_one_touch_play_property, "1");
        log_debug("trigger one touch play.");
    }
    write_key_report(dev, &report);
}

void ir_key_down(key_dev_t *dev, int code) {
    // A press with a key still down (a lost release, or the same button again) is a new
    // stroke: the key that is down goes up first.
    release_held_key(dev);
    write_key(dev, code, 1);
    dev->key_down = code;
}

void release_held_key(key_dev_t *dev) {
    if (dev->key_down == 0) {
        return;
    }
    write_key(dev, dev->key_down, 0);
    dev->key_down = 0;
}
