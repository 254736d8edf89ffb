// SPDX-License-Identifier: Apache-2.0
// What Android delivers for each standard scancode that a customer button reaches: the
// virtual keyboard's vendor and product are 0, so Android maps its scancodes through the first
// orvex-ir-uinput.kl of its key layout folders, or, when there is none or it fails to load,
// through Generic.kl.
#include <unistd.h>

#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "core/paths.h"
#include "tool/android/android.h"
#include "tool/keys/keys.h"
#include "tool/layouts/layouts.h"
#include "tool/options.h"

const char *const k_box_keylayout_dirs[k_box_keylayout_dir_count] = {
    "/product/usr/keylayout", "/system_ext/usr/keylayout", "/odm/usr/keylayout",
    "/vendor/usr/keylayout"};

void work_out_delivery(const layout_build_t *build, const std::string &layout,
                       const tool_options_t *options, delivery_t *d) {
    d->layout = layout;
    d->readings = android_readings(options);
    d->both = options->abi == 0;
    if (!layout.empty()) {
        read_android_layouts(layout, options, &d->reads, &d->unreadable);
    }
    for (int t = 0; t < build->count; t++) {
        for (int scancode : build->maps[t].scancode_map) {
            if (scancode != 0) {
                d->reached.insert(scancode);
            }
        }
    }
}

android_key_t delivered(const delivery_t &d, size_t at, int scancode) {
    int version = d.readings[at].version;
    if (at < d.reads.size() && d.reads[at].loads) {
        auto label = d.reads[at].labels.find(scancode);
        return {label != d.reads[at].labels.end() ? label->second : "", k_through_layout, true,
                false};
    }
    android_key_t key = {"", d.layout.empty() ? k_generic_no_layout : k_generic_refused, true,
                         false};
    key.label = generic_kl_label(version, scancode, &key.known);
    // Another version's Generic.kl cannot give a label this version lacks.
    if (!key.known && !key.label.empty() && !android_accepts_label(key.label, version)) {
        key.label.clear();
        key.lacking = true;
    }
    return key;
}

std::string delivered_text(const android_key_t &key) {
    if (key.label.empty()) {
        return key.lacking ? "a key not known here" : "no key (KEYCODE_UNKNOWN)";
    }
    return key.label;
}

int standard_line_of(const layout_build_t *build, int scancode) {
    int number = 0;
    auto lines = build->lines.find(standard_layout_path(build));
    for (size_t i = 0; lines != build->lines.end() && i < lines->second.size(); i++) {
        number = lines->second[i].scancode == scancode ? lines->second[i].number : number;
    }
    return number;
}

std::string keyboard_layout_file() {
    return std::string(k_virtual_keyboard_name) + ".kl";
}

std::string find_keyboard_layout(const std::string &dir, bool on_box) {
    std::vector<std::string> dirs;
    if (on_box) {
        dirs.assign(std::begin(k_box_keylayout_dirs), std::end(k_box_keylayout_dirs));
    }
    dirs.push_back(dir);
    for (const std::string &folder : dirs) {
        std::string path = folder + "/" + keyboard_layout_file();
        if (access(path.c_str(), F_OK) == 0) {
            return path;
        }
    }
    return "";
}
