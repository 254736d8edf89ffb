// SPDX-License-Identifier: Apache-2.0
#pragma once

// The files one reading takes for the virtual keyboard, as Android's KeyMap::load chooses them,
// and what is said of the files on the way. Part of android.h, which includes it.

#include <map>
#include <string>
#include <utility>
#include <vector>

// What is said of a file (line 0) or a line on the way to the readings' choices.
struct android_finding_t {
    std::string path, text;
    int line;
    bool warning;
};
// The layout a reading takes for the virtual keyboard, and the character map asked first.
struct layout_choice_t {
    std::string path;     // as read here; "" for none, and for AOSP's Generic.kl
    std::string shown;    // as Android names it: "/system/usr/keylayout/Generic.kl"; "" for none
    std::string why;      // the step that chose it
    std::string refused;  // the virtual keyboard's own layout, found and refused; or ""
    std::string refusal;  // where and why: "path:line: text"
    bool own = false;     // the device's own: a key line there mends a key
    bool through_aosp = false;  // AOSP's Generic.kl stands in, there being no folder tree here
    std::string unreadable;     // why the file found cannot be read here, "" when it was
    android_layout_t read;      // path as the reading reads it
    std::string kcm;            // the character map's path as read here, "" when none
    std::string kcm_shown;      // and as Android names it
    std::map<int, std::pair<std::string, int>> kcm_keys;  // its map key lines: label and line
    // Each layout found and read on the way: path here, and the reading.
    std::vector<std::pair<std::string, android_layout_t>> tried;
    // What is said on the way, with its text after several versions ("does not search", "do
    // not search").
    std::vector<std::pair<android_finding_t, std::string>> findings;
};
