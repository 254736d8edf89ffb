// doctor's verdict on the keys Android delivers on the box.
#include <memory>
#include <string>

#include "keymap/keymap.h"
#include "tool/android/android.h"
#include "tool/doctor/android_verdict.h"
#include "tool/layouts/layouts.h"
#include "tool/options.h"

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
        dirs +=
            dir +
            std::string(dir == k_box_keylayout_dirs[k_box_keylayout_dir_count - 1] ? " or " : ", ");
    }
    std::string through = "the virtual keyboard's keys map through ";
    *text = (d.layout.empty() ? "no " + keyboard_layout_file() + " in " + dirs + options->dir +
                                    ": " + through + "Generic.kl"
                              : through + d.layout) +
            "; " + verdict;
    return wrong_count == 0 ? 0 : 1;
}
