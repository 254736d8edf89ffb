// android-layout: writes the virtual keyboard's key layout, orvex-ir-uinput.kl, so that
// Android delivers each standard scancode as the key the standard layout names.
#include <errno.h>
#include <string.h>
#include <unistd.h>

#include <memory>

#include "core/paths.h"
#include "tool/android/android.h"
#include "tool/check/check.h"
#include "tool/files/files.h"
#include "tool/keys/keys.h"
#include "tool/layouts/layouts.h"
#include "tool/onboard/onboard.h"
#include "tool/onboard/standard_build.h"
#include "tool/options.h"
#include "tool/print.h"

int run_android_layout(const tool_options_t *options, FILE *out, FILE *err) {
    auto build = std::make_unique<layout_build_t>();
    if (build_from_standard(options, build.get(), "the virtual keyboard's layout is made of it",
                            err) != 0) {
        return 1;
    }
    std::string standard = standard_layout_path(build.get());
    // The scancodes the daemon writes, under the names it reads: 0 it never writes.
    std::string text = std::string("# Android's key layout for dravoke's virtual keyboard ") +
                       k_virtual_keyboard_name + ": the keys of " + k_standard_layout_file +
                       ", by dravoke-keymap android-layout\n";
    int keys = 0;
    int left_out = 0;
    for (int scancode = 1; scancode < k_keymap_size; scancode++) {
        const char *name = build->base[scancode].name;
        if (build->base[scancode].scancode == 0) {
            continue;
        }
        if (is_android_label(name)) {
            text += "key " + std::to_string(scancode) + " " + name + "\n";
            keys++;
            continue;
        }
        std::string nearest = nearest_android_label(name);
        tool_print(out,
                   "%s:%d: note: \"%s\" (scancode %d) not written: not an Android key label%s\n",
                   standard.c_str(), standard_line_of(build.get(), scancode), name, scancode,
                   nearest.empty() ? "" : (" (did you mean \"" + nearest + "\"?)").c_str());
        left_out++;
    }
    std::string lines_left = left_out == 0 ? ""
                                           : "; " + std::to_string(left_out) + " standard line" +
                                                 (left_out == 1 ? "" : "s") + " not written";
    if (keys == 0) {
        tool_print(out, "android-layout: nothing to write: no name of %s is an Android key label\n",
                   standard.c_str());
        return 1;
    }
    std::string out_dir = output_folder(options);
    std::string name = keyboard_layout_file();
    std::string path = out_dir + "/" + name;
    // Looked for first, and refused by the kernel too when it appears while writing.
    bool exists = !options->force && access(path.c_str(), F_OK) == 0;
    if (exists || write_file_atomically(out_dir, name, text, options->force) != 0) {
        std::string why = exists || errno == EEXIST
                              ? "exists; --force overwrites it"
                              : std::string("cannot write: ") + strerror(errno);
        tool_print(out, "%s: error: %s\nandroid-layout: nothing written\n", path.c_str(),
                   why.c_str());
        return 1;
    }
    tool_print(out, "wrote %s: %d key%s, each delivered as %s names it%s\n", path.c_str(), keys,
               keys == 1 ? "" : "s", k_standard_layout_file, lines_left.c_str());
    if (same_folder(out_dir, options->dir)) {
        // Beside the layouts it serves: what Android now delivers for every customer button.
        run_check(options, out, nullptr);
    }
    std::string install =
        same_folder(out_dir, g_keylayout_dir)
            ? ""
            : std::string("to install it: put it in ") + g_keylayout_dir + " beside " +
                  k_standard_layout_file +
                  " (or in the vendor or odm keylayout folder), or add it to PRODUCT_COPY_FILES; ";
    tool_print(out,
               "%sAndroid reads it when the virtual keyboard appears: adb shell 'stop dravoke; "
               "start dravoke'\n",
               install.c_str());
    return 0;
}
