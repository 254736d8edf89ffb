#include <string.h>
#include <unistd.h>

#include <cutils/properties.h>

#include "core/kernel_calls.h"
#include "core/log.h"
#include "core/protocol.h"
#include "inject/inject.h"
#include "keymap/keymap.h"
#include "receiver/raw_code.h"

key_dev_t g_key_dev;

namespace {

// Pressing this standard scancode also asks the TV to switch to the box.
constexpr int k_one_touch_play_scancode = 223;

void write_key(const key_dev_t *dev, int code, int value) {
    struct input_event event;
    memset(&event, 0, sizeof(event));
    event.type = EV_KEY;
    event.code = static_cast<uint16_t>(code);
    event.value = value;
    report_key_event(dev->fd, &event, 1);
}

// The first table carrying the customer code decides, even where its entry is empty.
const customer_map_t *find_customer_map(int32_t customer_code) {
    for (int i = 0; i < g_customer_map_count && i < k_max_customer_maps; i++) {
        if (g_customer_maps[i].customer_code == customer_code) {
            return &g_customer_maps[i];
        }
    }
    return nullptr;
}

}  // namespace

int input_event_process(int fd, struct input_event *buf) {
    ssize_t n = g_kernel.read(fd, buf, sizeof(*buf));
    return n == static_cast<ssize_t>(sizeof(*buf)) ? 0 : -1;
}

void detect_key_input(key_dev_t *dev) {
    // The one event not decoded: the kernel's queue for the daemon overflowed and dropped
    // events, perhaps the release of the key that is down, which would auto-repeat.
    if (dev->event->type == EV_SYN && dev->event->code == SYN_DROPPED) {
        release_held_key(dev);
        return;
    }
    // Type, code and time are not looked at: the driver puts everything into value, and
    // even a SYN_REPORT is decoded from its value.
    raw_code_t raw = decode_raw_code(dev->event->value, ir_protocol_used);
    const customer_map_t *map = find_customer_map(raw.customer_code);
    if (map == nullptr) {
        return;
    }
    // The command is at most 0xFF, inside the 256-entry table.
    int scancode = map->scancode_map[raw.command];
    if (scancode < 1) {
        return;
    }

    if (!raw.pressed) {
        release_held_key(dev);
        return;
    }
    if (scancode == k_one_touch_play_scancode) {
        property_set("hdmi_cts.one_touch_play", "1");
        log_debug("trigger one touch play.");
    }
    ir_key_down(dev, scancode);
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
