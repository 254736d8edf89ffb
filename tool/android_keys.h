#pragma once

// What Android makes of the keys: the labels its key layout reader accepts, the key layout
// files as it reads them, and the key it delivers for each standard scancode of the virtual
// keyboard.

#include <stdio.h>

#include <map>
#include <string>
#include <vector>

#include "tool/key_tables.h"
#include "tool/keymap_tool.h"

extern const android_label_t k_android_keycodes[];  // sorted by label
extern const int k_android_keycode_count;

// Whether Android's key layout reader accepts label in a key line.
bool is_android_label(const std::string &label);
// The Android label a name was probably meant as, or "" when none is near.
std::string nearest_android_label(const std::string &name);

// A line at which Android fails to load a key layout file as a whole; it then uses Generic.kl.
struct android_refusal_t {
    int line;
    std::string why;  // ending in what Android does then
};
// A key layout file as Android's reader takes it.
struct android_layout_t {
    std::map<int, std::string> labels;  // by scancode, from its "key" lines
    std::map<int, int> lines;           // the line of each scancode
    std::vector<android_refusal_t> refusals;
};
// Reads text by Android's rules for "key" lines and first words; "axis", "led", "sensor" and
// "requires_kernel_config" lines are taken as they stand.
void read_android_layout(const std::string &text, android_layout_t *layout);
// The virtual keyboard's layout that Android takes: the first orvex-ir-uinput.kl of its search
// order when on_box (the daemon's key layout folder, dir, last), else dir's; "" when none.
std::string find_keyboard_layout(const std::string &dir, bool on_box);

// The file name Android looks for: "orvex-ir-uinput.kl".
std::string keyboard_layout_file();
// The standard layout's line that gives a scancode its name, 0 when none.
int standard_line_of(const layout_build_t *build, int scancode);

struct report_t;
// check's part: the lines of the standard layout and of the virtual keyboard's layout at which
// Android refuses them, and each standard key that a customer button reaches and Android
// delivers as another.
void check_android(report_t *report, const layout_build_t *build, const tool_options_t *options);

int run_android_layout(const tool_options_t *options, FILE *out, FILE *err);
// doctor's verdict on the keys Android delivers, 0 ok, 1 warn or 2 FAIL, and its text.
int judge_android_delivery(const tool_options_t *options, int32_t protocol, std::string *text);
