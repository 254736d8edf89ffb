// SPDX-License-Identifier: Apache-2.0
// android-layout: writes the virtual keyboard's key layout, orvex-ir-uinput.kl, so that
// Android delivers each standard scancode as the key the standard layout names.
#include <errno.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <string>

#include "core/paths.h"
#include "tool/android/android.h"
#include "tool/check/check.h"
#include "tool/files/files.h"
#include "tool/keyboard/keyboard.h"
#include "tool/keys/keys.h"
#include "tool/layouts/layouts.h"
#include "tool/options.h"
#include "tool/print.h"

namespace {

bool same_file(const std::string &a, const std::string &b) {
    struct stat sa;
    struct stat sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// Where the file was written among the box's folders (--root's, or the box's own): each version
// that takes another for the virtual keyboard, as an .idc or an earlier folder makes it.
void say_others(const layout_build_t *build, const tool_options_t *options,
                const std::string &out_dir, const std::string &path, FILE *out) {
    tool_options_t where = *options;
    where.dir = out_dir;
    delivery_t d;
    work_out_delivery(build, &where, &d);
    std::map<std::string, android_readings_t> others;
    for (size_t i = 0; d.tree && i < d.choices.size(); i++) {
        const layout_choice_t &c = d.choices[i];
        if (!same_file(c.path, path)) {
            others[(c.shown.empty() ? "no layout" : c.shown) + " (" + c.why + ")"] |=
                android_reading_bit(d.readings[i].version, d.readings[i].abi);
        }
    }
    for (const auto &other : others) {
        tool_print(out, "%s: warning: %s %s %s for the virtual keyboard instead\n", path.c_str(),
                   android_readings_text(other.second, d.both).c_str(),
                   android_readings_verb(other.second, d.both, "take").c_str(),
                   other.first.c_str());
    }
}

}  // namespace

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
    int oldest;
    int newest;
    android_judged(options, &oldest, &newest);
    for (int scancode = 1; scancode < k_keymap_size; scancode++) {
        const char *name = build->base[scancode].name;
        if (build->base[scancode].scancode == 0) {
            continue;
        }
        int first;
        int last;
        bool label = android_label_versions(name, &first, &last);
        if (label && first <= oldest && newest <= last) {
            text += "key " + std::to_string(scancode) + " " + name + "\n";
            keys++;
            continue;
        }
        std::string why;
        if (label) {
            // A label of other versions: written only for those that take it.
            unsigned lacking = android_versions(oldest, newest) & ~android_versions(first, last);
            why = android_versions_text(lacking) + " " + android_verb(lacking, "lack") +
                  " it, an Android key label " + android_since_text(first, last) +
                  ", and would refuse the file (--android " + std::to_string(first) + " writes it)";
        } else {
            std::string nearest = nearest_android_label(name);
            why = "not an Android key label" +
                  (nearest.empty() ? "" : " (did you mean \"" + nearest + "\"?)");
        }
        tool_print(out, "%s:%d: note: \"%s\" (scancode %d) not written: %s\n", standard.c_str(),
                   standard_line_of(build.get(), scancode), name, scancode, why.c_str());
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
    say_others(build.get(), options, out_dir, path, out);
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
