// SPDX-License-Identifier: Apache-2.0
#pragma once

// What Android makes of the keys: its reading of key layout files, version by version, and the
// key it delivers for each standard scancode of the virtual keyboard, whose vendor and product
// are 0: through the first orvex-ir-uinput.kl of its key layout folders, or else through
// Generic.kl.

#include <stdint.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tool/layouts/layouts.h"
#include "tool/options.h"

// What a version's reader does at a line that is not plainly taken.
enum android_verdict_t {
    k_android_refuses,          // fails to load the whole file; it then uses Generic.kl
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
// An axis line as read: an axis, inverted, or split at a value between a low and a high axis.
struct android_axis_t {
    int axis;  // the axis value (AMOTION_EVENT_AXIS_*); a split's low one
    bool invert;
    bool split;
    int split_value;
    int high_axis;
    bool has_flat;
    int flat;
};
// The running kernel's configuration, as far as the tool can read it.
struct kernel_config_t {
    bool known;
    std::string unknown;           // why not, when not known
    std::set<std::string> config;  // the options set to y or m: "CONFIG_HID_X"
};
// What a reading of a file turns on besides the text.
struct android_reading_t {
    int version;
    int abi;                        // the width of the box's long: 32 or 64
    const kernel_config_t *kernel;  // null: not known, off the box
};
// A key layout file as one Android version's reader takes it on a box of one word size.
// Android stops at its first refusal; the reader goes on, as a compiler does, to tell every
// line.
struct android_layout_t {
    int version;
    int abi;
    std::map<int, std::string> labels;  // by scancode, from its key lines
    std::map<int, int> lines;           // the line of each scancode
    // What its other lines map: by usage, scancode, or the sensor's abs code.
    std::map<int, std::string> usages;
    std::map<int, android_axis_t> axes;
    std::map<int, int> leds;  // LED values (ALED_*)
    std::map<int, int> led_usages;
    std::map<int, std::pair<int, int>> sensors;  // sensor type and data index
    std::vector<android_remark_t> remarks;
    bool loads;  // no refusal
};
// Reads text as that reading does.
void read_android_layout(const std::string &text, const android_reading_t &reading,
                         android_layout_t *layout);
// Reads the file at path so for each reading options judge, when it is a regular file of a
// layout's size. Returns 0, or -1 with *why.
int read_android_layouts(const std::string &path, const tool_options_t *options,
                         std::vector<android_layout_t> *layouts, std::string *why);
// The readings options judge: the oldest version first, a 32-bit box before a 64-bit one.
std::vector<android_reading_t> android_readings(const tool_options_t *options);

// Where the running kernel's configuration is read: /proc/config.gz. Tests re-point it.
extern const char *g_kernel_config_file;
// The running kernel's configuration, when options judge a box whose readers look at it.
void read_kernel_config(const tool_options_t *options, kernel_config_t *kernel);

// Readings as a set: bit v for Android v on a 64-bit box, bit 32 + v on a 32-bit one.
typedef uint64_t android_readings_t;
android_readings_t android_reading_bit(int version, int abi);
// As android_versions_text, naming the word size where both are judged (both) and the
// readings of the two differ: "Android 14 to 16 on a 32-bit box".
std::string android_readings_text(android_readings_t readings, bool both);
std::string android_readings_verb(android_readings_t readings, bool both, const std::string &verb);

// Versions as a set: bit v for Android v.
unsigned android_versions(int first, int last);
// "Android 15", "Android 9 to 13", "Android 9, 10 and 14 to 16"; plain "Android" for every
// version known here.
std::string android_versions_text(unsigned versions);
// A verb as versions take it: "refuse" for several, "refuses" for one or for Android as a whole.
std::string android_verb(unsigned versions, const std::string &verb);
// "since Android 14", "in Android 12 only": the versions that take a word.
std::string android_since_text(int first, int last);
// The Android version of an SDK level (ro.build.version.sdk: 28 is 9, 32 is 12L, read as
// 12), 0 when it is not one known here.
int android_version_of_sdk(int sdk);
// The versions options judge, oldest and newest.
void android_judged(const tool_options_t *options, int *first, int *last);
// Settles the versions and the word size a command judges: --android N and --abi 32|64; on the
// box, the box's and the tool's own; elsewhere every version known here and both word sizes.
// Returns 0, or -1 with *why for a bad value.
int settle_android_versions(tool_options_t *options, const char *given, const char *abi,
                            std::string *why);
// How the versions and word size judged were chosen, for the user.
std::string android_judged_text(const tool_options_t *options);
// Generic.kl's label for a scancode on that version, "" when unmapped. Versions whose
// Generic.kl is not known here take the nearest known one's; *known then is false.
std::string generic_kl_label(int version, int scancode, bool *known);
// The oldest version whose Generic.kl is known here.
int generic_kl_oldest(void);

// Android's key layout folders before the system's, in the order it searches them.
constexpr int k_box_keylayout_dir_count = 4;
extern const char *const k_box_keylayout_dirs[k_box_keylayout_dir_count];
// The file name Android looks for: "orvex-ir-uinput.kl".
std::string keyboard_layout_file();
// The virtual keyboard's layout that Android takes: the first orvex-ir-uinput.kl of its search
// order when on_box (the daemon's key layout folder, dir, last), else dir's; "" when none.
std::string find_keyboard_layout(const std::string &dir, bool on_box);
// The standard layout's line that gives a scancode its name, 0 when none.
int standard_line_of(const layout_build_t *build, int scancode);

// How a version delivers a standard scancode.
enum android_route_t {
    k_through_layout,     // the keyboard layout, which it loads
    k_generic_no_layout,  // Generic.kl: there is no keyboard layout
    k_generic_refused,    // Generic.kl: it refuses the keyboard layout
};
struct android_key_t {
    std::string label;  // "" when no key
    android_route_t route;
    bool known;    // false when it rests on a Generic.kl not known here
    bool lacking;  // that Generic.kl gives a label this version lacks: its key is not known
};
// What each judged version delivers for the standard scancodes that customer buttons reach.
struct delivery_t {
    std::string layout;                       // the keyboard layout Android takes, "" when none
    std::string unreadable;                   // why it could not be read here, "" when it was
    std::vector<android_reading_t> readings;  // judged
    std::vector<android_layout_t> reads;      // as each reading reads it, when there is one
    bool both;                                // both word sizes are judged
    std::set<int> reached;  // standard scancodes that some customer button reaches
};
void work_out_delivery(const layout_build_t *build, const std::string &layout,
                       const tool_options_t *options, delivery_t *d);
// What the reading at index delivers.
android_key_t delivered(const delivery_t &d, size_t reading, int scancode);
// A delivered key as a message says it.
std::string delivered_text(const android_key_t &key);
