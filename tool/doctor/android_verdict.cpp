// SPDX-License-Identifier: Apache-2.0
// doctor's verdict on the keys Android delivers on the box.
#include <string.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "keymap/keymap.h"
#include "tool/android/android.h"
#include "tool/doctor/android_verdict.h"
#include "tool/layouts/layouts.h"
#include "tool/options.h"

namespace {

// One reading's verdict: 0 ok, 1 warn, 2 FAIL, and its text; *guessed: it rests on a Generic.kl
// not known here.
int judge_reading(const layout_build_t *build, const delivery_t &d, size_t reading,
                  std::string *text, bool *guessed) {
    std::string wrong;
    int wrong_count = 0;
    *guessed = false;
    for (int scancode : d.reached) {
        android_key_t got = delivered(d, reading, scancode);
        *guessed = *guessed || !got.known;
        if (got.label != build->base[scancode].name) {
            wrong += std::string(wrong_count++ == 0 ? "" : ", ") + build->base[scancode].name +
                     " (" + std::to_string(scancode) + ") as " + delivered_text(got);
        }
    }
    std::string verdict =
        "of the " + std::to_string(d.reached.size()) +
        (d.reached.size() == 1 ? " standard key" : " standard keys") +
        " that customer buttons reach, Android delivers " +
        (wrong_count == 0 ? std::string("each as ") + k_standard_layout_file + " names it"
                          : std::to_string(wrong_count) +
                                (wrong_count == 1 ? " as another key: " : " as other keys: ") +
                                wrong + "; 'dravoke-keymap android-layout' writes " +
                                keyboard_layout_file() + " from " + k_standard_layout_file);
    const layout_choice_t &c = d.choices[reading];
    std::string used = c.through_aosp ? "Generic.kl" : c.shown;
    if (!c.refusal.empty()) {
        *text = c.refusal + ": Android refuses this file and " +
                (used.empty() ? "maps none of the device's keys"
                              : "uses " + used + " for every key of the device") +
                "; " + verdict;
        return 2;
    }
    *text = (used.empty() ? "no layout maps the virtual keyboard's keys"
                          : "the virtual keyboard's keys map through " + used) +
            " (" + c.why + "); " + verdict;
    return wrong_count == 0 ? 0 : 1;
}

}  // namespace

int judge_android_delivery(const tool_options_t *options, int32_t protocol, std::string *text) {
    auto build = std::make_unique<layout_build_t>();
    // No verdict without the layouts it rests on.
    if (build_layouts(options->dir.c_str(), protocol, build.get()) != 0) {
        *text = "cannot judge what Android delivers: " + options->dir + " cannot be listed (" +
                strerror(build->dir_error) + ")";
        return 1;
    }
    auto failure = build->failures.find(standard_layout_path(build.get()));
    if (failure != build->failures.end()) {
        *text = "cannot judge what Android delivers: " + failure->first + ": " + failure->second;
        return 1;
    }
    delivery_t d;
    tool_options_t box = *options;
    box.on_box = true;
    work_out_delivery(build.get(), &box, &d);
    for (const layout_choice_t &c : d.choices) {
        if (!c.unreadable.empty()) {
            *text = c.path + " cannot be read here (" + c.unreadable + "): run as root";
            return 1;
        }
    }
    if (d.reached.empty()) {
        // The key layouts' line says why; no key reaches Android to be judged.
        *text = "no customer button reaches a standard key: nothing for Android to deliver";
        return 0;
    }
    // Readings that fare alike are said once, the oldest first.
    std::vector<std::pair<std::string, android_readings_t>> texts;
    int worst = 0;
    unsigned guessed = 0;
    for (size_t i = 0; i < d.readings.size(); i++) {
        std::string one;
        bool guess;
        int verdict = judge_reading(build.get(), d, i, &one, &guess);
        guessed |= guess ? 1u << d.readings[i].version : 0;
        worst = verdict > worst ? verdict : worst;
        auto same = std::find_if(
            texts.begin(), texts.end(),
            [&](const std::pair<std::string, android_readings_t> &t) { return t.first == one; });
        if (same == texts.end()) {
            texts.push_back({one, 0});
            same = texts.end() - 1;
        }
        same->second |= android_reading_bit(d.readings[i].version, d.readings[i].abi);
    }
    *text = android_judged_text(options) + ": ";
    for (size_t i = 0; i < texts.size(); i++) {
        *text += (i == 0 ? "" : "; ") +
                 (texts.size() == 1 ? "" : android_readings_text(texts[i].second, d.both) + ": ") +
                 texts[i].first;
    }
    if (guessed != 0) {
        *text += " (" + android_versions_text(guessed) + ": through Generic.kl as Android " +
                 std::to_string(generic_kl_oldest()) + " ships it, theirs not being known here)";
    }
    return worst;
}
