// SPDX-License-Identifier: Apache-2.0
#pragma once

// What Android makes of the keys: its reading of key layout files, version by version, the
// files it takes for the virtual keyboard, and the key it delivers for each standard scancode.

#include <stdint.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tool/layouts/layouts.h"
#include "tool/options.h"

// What a version's reader does at a line that is not plainly taken.
enum android_verdict_t {
    k_android_refuses,          // fails to load the whole file
    k_android_reads_otherwise,  // takes the line, but not as it is written
    k_android_needs_config,     // uses the file only on a kernel with a config not known here
};
struct android_remark_t {
    int line;
    android_verdict_t verdict;
    std::string why;    // what is wrong, every byte of the file shown printable
    std::string label;  // a word meant as a key label that none is, for a suggestion; or ""
    std::string as;     // what it is read as instead; for a config, why the kernel's is not known
};
// An axis line as read: an axis (AMOTION_EVENT_AXIS_*), inverted, or split at a value between
// a low one (axis) and a high one; and its flat value.
struct android_axis_t {
    int axis, split_value, high_axis, flat;
    bool invert, split, has_flat;
};
struct kernel_config_t;
// What a reading of a file turns on besides the text.
struct android_reading_t {
    int version;
    int abi;                        // the width of the box's long: 32 or 64
    const kernel_config_t *kernel;  // null: not known, off the box
};
// A key layout file as one version's reader takes it on a box of one word size. Android stops
// at its first refusal; the reader goes on, as a compiler does, to tell every line.
struct android_layout_t {
    int version = 0, abi = 0;
    std::map<int, std::string> labels;  // by scancode, from its key lines
    std::map<int, int> lines;           // the line of each scancode
    // What its other lines map: by usage, scancode, or the sensor's abs code.
    std::map<int, std::string> usages;
    std::map<int, android_axis_t> axes;
    std::map<int, int> leds;  // LED values (ALED_*)
    std::map<int, int> led_usages;
    std::map<int, std::pair<int, int>> sensors;  // sensor type and data index
    std::vector<android_remark_t> remarks;
    bool loads = false;  // no refusal
};
// The files a reading takes for the virtual keyboard.
#include "tool/android/layout_choice.h"

// Reads the file at path so for each reading options judge, when it is a regular file of a
// layout's size. Returns 0, or -1 with *why.
int read_android_layouts(const std::string &path, const tool_options_t *options,
                         std::vector<android_layout_t> *layouts, std::string *why);
// The readings judged: the oldest version first, a 32-bit box before a 64-bit one.
std::vector<android_reading_t> android_readings(const tool_options_t *options);

// Readings as a set: bit v for Android v on a 64-bit box, bit 32 + v on a 32-bit one.
typedef uint64_t android_readings_t;
android_readings_t android_reading_bit(int version, int abi);
// As android_versions_text, naming the word size where both are judged and they differ.
std::string android_readings_text(android_readings_t readings, bool both);
std::string android_readings_verb(android_readings_t readings, bool both, const std::string &verb);

// Versions as a set: bit v for Android v.
unsigned android_versions(int first, int last);
// "Android 15", "Android 9 to 13", "Android 9, 10 and 14 to 16"; "Android" for every one.
std::string android_versions_text(unsigned versions);
// A verb as versions take it: "refuse" for several, "refuses" for one or for Android as a whole.
std::string android_verb(unsigned versions, const std::string &verb);
// "since Android 14", "in Android 12 only": the versions that take a word.
std::string android_since_text(int first, int last);
// The versions options judge, oldest and newest.
void android_judged(const tool_options_t *options, int *first, int *last);
// Settles the versions and word size judged: --android N and --abi 32|64; on the box, its own
// and the tool's; elsewhere every version and both. Returns 0, or -1 with *why.
int settle_android_versions(tool_options_t *options, const char *given, const char *abi,
                            std::string *why);
// How the versions and word size judged were chosen, for the user.
std::string android_judged_text(const tool_options_t *options);
// The oldest version whose Generic.kl is known here.
int generic_kl_oldest(void);

// The standard layout's line that gives a scancode its name, 0 when none; the name Android
// looks for first: "orvex-ir-uinput.kl".
int standard_line_of(const layout_build_t *build, int scancode);
std::string keyboard_layout_file();

// The key a version delivers for a standard scancode, and through what.
// by_kcm: a map key line of the character map gives it; known: false when it rests on a
// Generic.kl not known here; lacking: that Generic.kl gives a label this version lacks.
struct android_key_t {
    std::string label;  // "" when no key
    bool by_kcm, known, lacking;
};
// What each reading judged takes and delivers for the standard scancodes that buttons reach.
struct delivery_t {
    std::vector<android_reading_t> readings;  // judged
    std::vector<layout_choice_t> choices;     // each reading's
    bool both;                                // both word sizes are judged
    bool tree;                                // the box's folders were searched
    std::set<int> reached;  // standard scancodes that some customer button reaches
};
void work_out_delivery(const layout_build_t *build, const tool_options_t *options, delivery_t *d);
// The choices' findings, each once with the versions it holds for.
std::vector<android_finding_t> delivery_findings(const delivery_t &d);
android_key_t delivered(const delivery_t &d, size_t reading, int scancode);
// A delivered key as a message says it.
std::string delivered_text(const android_key_t &key);
