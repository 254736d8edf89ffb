// SPDX-License-Identifier: Apache-2.0
#include <string.h>
#include <strings.h>

#include <algorithm>

#include "tool/keys/edit_distance.h"
#include "tool/keys/keys.h"
#include "tool/tables/tables.h"

namespace {

const android_word_t *find_label(const std::string &label) {
    const android_word_t *end = k_android_key_labels + k_android_key_label_count;
    const android_word_t *found = std::lower_bound(
        k_android_key_labels, end, label.c_str(),
        [](const android_word_t &key, const char *wanted) { return strcmp(key.word, wanted) < 0; });
    return found != end && label == found->word ? found : nullptr;
}

}  // namespace

bool android_label_versions(const std::string &label, int *first, int *last) {
    const android_word_t *found = find_label(label);
    if (found == nullptr) {
        return false;
    }
    *first = found->first_version;
    *last = found->last_version != 0 ? found->last_version : k_android_newest;
    return true;
}

bool android_accepts_label(const std::string &label, int version) {
    int first;
    int last;
    return android_label_versions(label, &first, &last) && first <= version && version <= last;
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
    return nearest_name(wanted, most, k_android_key_labels, k_android_key_label_count,
                        [](const android_word_t &key) { return key.word; });
}
