#include <string.h>
#include <strings.h>

#include <algorithm>

#include "tool/keys/edit_distance.h"
#include "tool/keys/keys.h"
#include "tool/tables/tables.h"

bool is_android_label(const std::string &label) {
    const android_label_t *end = k_android_keycodes + k_android_keycode_count;
    const android_label_t *found = std::lower_bound(
        k_android_keycodes, end, label.c_str(), [](const android_label_t &key, const char *wanted) {
            return strcmp(key.label, wanted) < 0;
        });
    return found != end && label == found->label;
}

std::string nearest_android_label(const std::string &name) {
    // A Linux key name written for a label: its meaning on a remote, else the label import
    // gives it.
    int code = linux_key_code(name.c_str());
    for (const char *label : {remote_label(code), android_label(code)}) {
        if (code >= 0 && label != nullptr) {
            return label;
        }
    }
    // Android's own name for a label carries a prefix ("KEYCODE_BACK").
    std::string wanted = name;
    if (wanted.size() > 8 && strncasecmp(wanted.c_str(), "keycode_", 8) == 0) {
        wanted.erase(0, 8);
    }
    // A slip of a letter or two, not another word; short names only differ in letter case.
    size_t most = wanted.size() > 2 ? std::max<size_t>(1, wanted.size() / 4) : 0;
    return nearest_name(wanted, most, k_android_keycodes, k_android_keycode_count,
                        [](const android_label_t &key) { return key.label; });
}
