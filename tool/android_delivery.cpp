// What Android delivers for each standard scancode that a customer button reaches: the
// virtual keyboard's vendor and product are 0, so Android maps its scancodes through the first
// orvex-ir-uinput.kl of its key layout folders, or, when there is none or it fails to load,
// through Generic.kl.
#include <unistd.h>

#include <memory>
#include <set>

#include "core/paths.h"
#include "tool/android_keys.h"
#include "tool/check.h"
#include "tool/safe_files.h"

namespace {

// Android's key layout folders before the system's, in the order it searches them.
const char *const k_box_keylayout_dirs[] = {"/product/usr/keylayout", "/system_ext/usr/keylayout",
                                            "/odm/usr/keylayout", "/vendor/usr/keylayout"};

// Key layouts are a few KiB; a limit far above them keeps a device from filling memory.
constexpr size_t k_max_layout_bytes = 1 << 20;

struct delivery_t {
    std::string layout;      // the keyboard layout Android takes, "" when none
    std::string unreadable;  // why it could not be read here, "" when it was
    android_layout_t read;   // as Android reads it
    bool loads;              // there is one and Android loads it
    std::set<int> reached;   // standard scancodes that some customer button reaches
};

void work_out_delivery(const layout_build_t *build, const std::string &layout, delivery_t *d) {
    d->layout = layout;
    std::string text;
    if (!layout.empty() &&
        read_regular_file(layout, k_max_layout_bytes, &text, &d->unreadable) == 0) {
        read_android_layout(text, &d->read);
    }
    d->loads = !layout.empty() && d->unreadable.empty() && d->read.refusals.empty();
    for (int t = 0; t < build->count; t++) {
        for (int scancode : build->maps[t].scancode_map) {
            if (scancode != 0) {
                d->reached.insert(scancode);
            }
        }
    }
}

// The label Android delivers for a standard scancode, "" when none.
std::string delivered(const delivery_t &d, int scancode) {
    if (d.loads) {
        auto label = d.read.labels.find(scancode);
        return label != d.read.labels.end() ? label->second : "";
    }
    const char *label = generic_label(scancode);
    return label != nullptr ? label : "";
}

std::string delivered_text(const std::string &label) {
    return label.empty() ? "no key (KEYCODE_UNKNOWN)" : label;
}

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

void check_android(report_t *report, const layout_build_t *build, const tool_options_t *options) {
    // Android loads the standard layout too, for the receiver.
    std::string standard = standard_layout_path(build);
    std::string text;
    std::string why;
    if (read_regular_file(standard, k_max_layout_bytes, &text, &why) == 0) {
        android_layout_t read;
        read_android_layout(text, &read);
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

int judge_android_delivery(const tool_options_t *options, int32_t protocol, std::string *text) {
    auto build = std::make_unique<layout_build_t>();
    build_layouts(options->dir.c_str(), protocol, build.get());
    delivery_t d;
    work_out_delivery(build.get(), find_keyboard_layout(options->dir, true), &d);
    if (!d.unreadable.empty()) {
        *text = d.layout + " cannot be read here (" + d.unreadable + "): run as root";
        return 1;
    }
    std::string wrong;
    int wrong_count = 0;
    for (int scancode : d.reached) {
        std::string got = delivered(d, scancode);
        if (got != build->base[scancode].name) {
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
    if (!d.layout.empty() && !d.loads) {
        const android_refusal_t &first = d.read.refusals[0];
        *text = d.layout + ":" + std::to_string(first.line) + ": " + first.why + "; " + verdict;
        return 2;
    }
    std::string dirs;
    for (const char *dir : k_box_keylayout_dirs) {
        dirs += dir + std::string(dir == k_box_keylayout_dirs[3] ? " or " : ", ");
    }
    std::string through = "the virtual keyboard's keys map through ";
    *text = (d.layout.empty() ? "no " + keyboard_layout_file() + " in " + dirs + options->dir +
                                    ": " + through + "Generic.kl"
                              : through + d.layout) +
            "; " + verdict;
    return wrong_count == 0 ? 0 : 1;
}
