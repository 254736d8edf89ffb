// SPDX-License-Identifier: Apache-2.0
// What Android delivers for each standard scancode that a customer button reaches: through the
// character map's map key lines, else the layout each version takes for the virtual keyboard,
// whose vendor and product are 0 (layout_search.cpp).
#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/paths.h"
#include "tool/android/android.h"
#include "tool/android/layout_search.h"
#include "tool/android/reader.h"
#include "tool/keys/keys.h"
#include "tool/layouts/layouts.h"
#include "tool/options.h"

void work_out_delivery(const layout_build_t *build, const tool_options_t *options, delivery_t *d) {
    box_tree_t tree;
    settle_box_tree(options, &tree);
    d->tree = !tree.bare;
    d->readings = android_readings(options);
    d->both = options->abi == 0;
    kernel_config_t kernel;
    read_kernel_config(options, &kernel);
    file_cache_t cache;
    for (android_reading_t &reading : d->readings) {
        reading.kernel = &kernel;
        d->choices.emplace_back();
        choose_layout(tree, reading, &cache, &d->choices.back());
        reading.kernel = nullptr;
    }
    for (int t = 0; t < build->count; t++) {
        for (int scancode : build->maps[t].scancode_map) {
            if (scancode != 0) {
                d->reached.insert(scancode);
            }
        }
    }
}

std::vector<android_finding_t> delivery_findings(const delivery_t &d) {
    // Each finding once, with the readings it holds for, in the order first met.
    std::vector<std::pair<std::pair<android_finding_t, std::string>, android_readings_t>> found;
    for (size_t i = 0; i < d.choices.size(); i++) {
        for (const auto &f : d.choices[i].findings) {
            auto same = std::find_if(found.begin(), found.end(), [&](const auto &g) {
                return g.first.first.path == f.first.path && g.first.first.line == f.first.line &&
                       g.first.first.text == f.first.text;
            });
            if (same == found.end()) {
                found.push_back({f, 0});
                same = found.end() - 1;
            }
            same->second |= android_reading_bit(d.readings[i].version, d.readings[i].abi);
        }
    }
    std::vector<android_finding_t> findings;
    for (const auto &f : found) {
        android_finding_t finding = f.first.first;
        bool one = android_readings_verb(f.second, d.both, "") == "s";
        finding.text =
            android_readings_text(f.second, d.both) + " " + (one ? finding.text : f.first.second);
        findings.push_back(finding);
    }
    return findings;
}

android_key_t delivered(const delivery_t &d, size_t at, int scancode) {
    int version = d.readings[at].version;
    const layout_choice_t &c = d.choices[at];
    // The character map is asked before the layout.
    auto mapped = c.kcm_keys.find(scancode);
    if (mapped != c.kcm_keys.end()) {
        return {mapped->second.first, true, true, false};
    }
    if (!c.through_aosp) {
        auto label = c.read.labels.find(scancode);
        bool loads = !c.path.empty() && c.unreadable.empty();
        return {loads && label != c.read.labels.end() ? label->second : "", false, true, false};
    }
    android_key_t key = {"", false, true, false};
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
