#pragma once

// What Android makes of the keys: its reading of key layout files, and the key it delivers
// for each standard scancode of the virtual keyboard, whose vendor and product are 0: through
// the first orvex-ir-uinput.kl of its key layout folders, or else through Generic.kl.

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tool/layouts/layouts.h"

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
// Reads the file at path so, when it is a regular file of a layout's size. Returns 0, or -1
// with *why.
int read_android_layout_file(const std::string &path, android_layout_t *layout, std::string *why);

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

// What Android delivers for the standard scancodes that customer buttons reach.
struct delivery_t {
    std::string layout;      // the keyboard layout Android takes, "" when none
    std::string unreadable;  // why it could not be read here, "" when it was
    android_layout_t read;   // as Android reads it
    bool loads;              // there is one and Android loads it
    std::set<int> reached;   // standard scancodes that some customer button reaches
};
void work_out_delivery(const layout_build_t *build, const std::string &layout, delivery_t *d);
// The label Android delivers for a standard scancode, "" when none; and as a message says it.
std::string delivered(const delivery_t &d, int scancode);
std::string delivered_text(const std::string &label);
