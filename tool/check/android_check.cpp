// check's part of what Android makes of the keys: the lines at which it refuses the standard
// layout or the virtual keyboard's, and each standard key a customer button reaches that it
// delivers as another.
#include <string>

#include "core/paths.h"
#include "keymap/keymap.h"
#include "tool/android/android.h"
#include "tool/check/diagnostics.h"
#include "tool/files/files.h"
#include "tool/keys/keys.h"
#include "tool/layouts/layouts.h"
#include "tool/options.h"

namespace {

// The layout's name as messages give it: its path when it is not in the folder checked.
std::string shown_name(const std::string &layout, const std::string &dir) {
    return layout == dir + "/" + keyboard_layout_file() ? keyboard_layout_file() : layout;
}

void add_refusals(report_t *report, const std::string &path, const android_layout_t &read) {
    for (const android_refusal_t &refusal : read.refusals) {
        add(report, path, refusal.line, k_error, "%s", refusal.why.c_str());
    }
}

void warn_delivery(report_t *report, const layout_build_t *build, const delivery_t &d,
                   int scancode) {
    std::string name = build->base[scancode].name;
    std::string got = delivered(d, scancode);
    if (got == name) {
        return;
    }
    std::string file = shown_name(d.layout, build->dir);
    std::string line = "\"key " + std::to_string(scancode) + " " + name + "\"";
    std::string through;
    std::string fix;
    if (d.loads) {
        auto at = d.read.lines.find(scancode);
        through = file + (at != d.read.lines.end()
                              ? ":" + std::to_string(at->second)
                              : ", which does not map scancode " + std::to_string(scancode));
        fix = line + " there fixes it";
    } else if (d.layout.empty()) {
        through = "Generic.kl";
        fix = keyboard_layout_file() + " with " + line + " fixes it";
    } else {
        through = "Generic.kl, as Android refuses " + file;
        fix = "mend it, with " + line;
    }
    if (!is_android_label(name)) {
        fix = "no layout can deliver \"" + name + "\", which is not an Android key label";
    }
    add(report, standard_layout_path(build), standard_line_of(build, scancode), k_warning,
        "%s (scancode %d) reaches Android as %s, through %s: %s", name.c_str(), scancode,
        delivered_text(got).c_str(), through.c_str(), fix.c_str());
}

}  // namespace

void check_android(report_t *report, const layout_build_t *build, const tool_options_t *options) {
    // Android loads the standard layout too, for the receiver.
    std::string standard = standard_layout_path(build);
    android_layout_t read;
    std::string why;
    if (read_android_layout_file(standard, &read, &why) == 0) {
        add_refusals(report, standard, read);
    }
    if (options->android_apart) {
        return;
    }
    bool on_box = options->on_box || same_folder(options->dir, g_keylayout_dir);
    delivery_t d;
    work_out_delivery(build, find_keyboard_layout(build->dir, on_box), &d);
    if (!d.unreadable.empty()) {
        add(report, d.layout, 0, k_warning,
            "cannot be read here (%s): what Android delivers through it is not checked",
            d.unreadable.c_str());
        return;
    }
    add_refusals(report, d.layout, d.read);
    for (int scancode : d.reached) {
        warn_delivery(report, build, d, scancode);
    }
}
