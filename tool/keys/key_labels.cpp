// SPDX-License-Identifier: Apache-2.0
#include <linux/input.h>
#include <string.h>

#include <algorithm>

#include "tool/keys/keys.h"
#include "tool/tables/tables.h"

int linux_key_code(const char *name) {
    const linux_key_t *end = k_linux_keys + k_linux_key_count;
    const linux_key_t *found = std::lower_bound(
        k_linux_keys, end, name,
        [](const linux_key_t &key, const char *wanted) { return strcmp(key.name, wanted) < 0; });
    return found != end && strcmp(found->name, name) == 0 ? found->code : -1;
}

namespace {

const char *label_of(const android_label_t *labels, int count, int code) {
    const android_label_t *end = labels + count;
    const android_label_t *found = std::lower_bound(
        labels, end, code,
        [](const android_label_t &label, int wanted) { return label.code < wanted; });
    return found != end && found->code == code ? found->label : nullptr;
}

}  // namespace

const char *android_label(int code) {
    // Android's generic layout leaves KEY_OK unmapped, yet remotes send it for the centre
    // button, and box layouts give it the centre's label, as the generic one does KEY_SELECT.
    if (code == KEY_OK) {
        return "DPAD_CENTER";
    }
    return generic_label(code);
}

const char *generic_label(int code) {
    return label_of(k_android_labels, k_android_label_count, code);
}

const char *remote_label(int code) {
    return label_of(k_remote_labels, k_remote_label_count, code);
}
