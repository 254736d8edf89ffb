// SPDX-License-Identifier: Apache-2.0
// check's part of what Android makes of the keys: the lines at which it refuses the standard
// layout or the virtual keyboard's, and each standard key a customer button reaches that it
// delivers as another.
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

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

// "Android 9 to 13 refuse", "Android 15 on a 32-bit box refuses".
std::string readings_refuse(android_readings_t readings, bool both) {
    return android_readings_text(readings, both) + " " +
           android_readings_verb(readings, both, "refuse");
}

// What readings make of a line, after what is wrong with it: "Android 9 to 13 refuse this file
// ...", "Android 14 to 16 take it as 116".
std::string verdict_text(android_verdict_t verdict, const std::string &as,
                         android_readings_t readings, bool both) {
    auto verb = [&](const char *word) { return android_readings_verb(readings, both, word); };
    std::string who = android_readings_text(readings, both) + " ";
    if (verdict == k_android_refuses) {
        return who + verb("refuse") + " this file and " + verb("use") +
               " Generic.kl for every key of the device";
    }
    if (verdict == k_android_reads_otherwise) {
        return who + verb("take") + " it as " + as;
    }
    return who + verb("use") + " this file only on a kernel that has it (=y or =m), " + as;
}

void add_remarks(report_t *report, const tool_options_t *options, const std::string &path,
                 const std::vector<android_layout_t> &reads) {
    // What is wrong with a line is said once, with what each group of readings makes of it.
    std::map<std::tuple<int, std::string, std::string>,
             std::map<std::pair<int, std::string>, android_readings_t>>
        remarks;
    for (const android_layout_t &read : reads) {
        for (const android_remark_t &r : read.remarks) {
            remarks[std::make_tuple(r.line, r.why, r.label)][{r.verdict, r.as}] |=
                android_reading_bit(read.version, read.abi);
        }
    }
    bool both = options->abi == 0;
    // The newest version judged refusing too makes it an error; else it holds for some.
    int first;
    int last;
    android_judged(options, &first, &last);
    android_readings_t newest = android_reading_bit(last, 32) | android_reading_bit(last, 64);
    for (const auto &entry : remarks) {
        std::string text = std::get<1>(entry.first);
        severity_t severity = k_warning;
        const char *separator = ": ";
        for (const auto &verdict : entry.second) {
            auto kind = static_cast<android_verdict_t>(verdict.first.first);
            text += separator + verdict_text(kind, verdict.first.second, verdict.second, both);
            separator = "; ";
            severity =
                kind == k_android_refuses && (verdict.second & newest) != 0 ? k_error : severity;
        }
        std::string nearest =
            std::get<2>(entry.first).empty() ? "" : nearest_android_label(std::get<2>(entry.first));
        text += nearest.empty() ? "" : " (did you mean \"" + nearest + "\"?)";
        add(report, path, std::get<0>(entry.first), severity, "%s", text.c_str());
    }
}

// Why no layout can deliver name on some of versions, "" when it is a label for all of them.
std::string undeliverable(const std::string &name, unsigned versions) {
    int first;
    int last;
    if (!android_label_versions(name, &first, &last)) {
        return "no layout can deliver \"" + name + "\", which is not an Android key label";
    }
    unsigned lacking = versions & ~android_versions(first, last);
    if (lacking == 0) {
        return "";
    }
    return "no layout can deliver \"" + name + "\" on " + android_versions_text(lacking) +
           ", which " + android_verb(lacking, "lack") + " the label";
}

void warn_delivery(report_t *report, const layout_build_t *build, const delivery_t &d, int scancode,
                   const android_key_t &got, android_readings_t readings) {
    // The versions, whatever the word size, for what turns on the labels alone.
    unsigned versions = static_cast<unsigned>(readings | readings >> 32);
    std::string name = build->base[scancode].name;
    std::string file = shown_name(d.layout, build->dir);
    std::string line = "\"key " + std::to_string(scancode) + " " + name + "\"";
    std::string through;
    std::string fix;
    if (got.route == k_through_layout) {
        size_t first = 0;
        while ((readings & android_reading_bit(d.readings[first].version, d.readings[first].abi)) ==
               0) {
            first++;
        }
        const android_layout_t &read = d.reads[first];
        auto at = read.lines.find(scancode);
        through = file + (at != read.lines.end()
                              ? ":" + std::to_string(at->second)
                              : ", which does not map scancode " + std::to_string(scancode));
        fix = line + " there fixes it";
    } else if (got.route == k_generic_no_layout) {
        through = "Generic.kl";
        fix = keyboard_layout_file() + " with " + line + " fixes it";
    } else {
        through = "Generic.kl, as " + readings_refuse(readings, d.both) + " " + file;
        fix = "mend it, with " + line;
    }
    std::string lacking = undeliverable(name, versions);
    fix = lacking.empty() ? fix : lacking;
    add(report, standard_layout_path(build), standard_line_of(build, scancode), k_warning,
        "%s (scancode %d) reaches %s as %s, through %s: %s", name.c_str(), scancode,
        android_readings_text(readings, d.both).c_str(), delivered_text(got).c_str(),
        through.c_str(), fix.c_str());
}

}  // namespace

void check_android(report_t *report, const layout_build_t *build, const tool_options_t *options) {
    // Android loads the standard layout too, for the receiver.
    std::string standard = standard_layout_path(build);
    std::vector<android_layout_t> reads;
    std::string why;
    if (read_android_layouts(standard, options, &reads, &why) == 0) {
        add_remarks(report, options, standard, reads);
    }
    if (options->android_apart) {
        return;
    }
    bool on_box = options->on_box || same_folder(options->dir, g_keylayout_dir);
    delivery_t d;
    work_out_delivery(build, find_keyboard_layout(build->dir, on_box), options, &d);
    if (!d.unreadable.empty()) {
        add(report, d.layout, 0, k_warning,
            "cannot be read here (%s): what Android delivers through it is not checked",
            d.unreadable.c_str());
        return;
    }
    add_remarks(report, options, d.layout, d.reads);
    unsigned guessed = 0;  // versions judged through a Generic.kl not known here
    for (int scancode : d.reached) {
        // Versions that deliver alike are said once.
        std::map<std::tuple<std::string, int, bool>, std::pair<android_key_t, android_readings_t>>
            keys;
        for (size_t i = 0; i < d.readings.size(); i++) {
            android_key_t got = delivered(d, i, scancode);
            auto &alike = keys[std::make_tuple(got.label, got.route, got.lacking)];
            alike.first = got;
            alike.second |= android_reading_bit(d.readings[i].version, d.readings[i].abi);
            guessed |= got.known ? 0 : 1u << d.readings[i].version;
        }
        for (const auto &entry : keys) {
            if (entry.second.first.label != build->base[scancode].name) {
                warn_delivery(report, build, d, scancode, entry.second.first, entry.second.second);
            }
        }
    }
    if (guessed != 0) {
        add(report, standard, 0, k_note,
            "%s's Generic.kl is not known here: what it delivers through Generic.kl is judged "
            "by Android %d's",
            android_versions_text(guessed).c_str(), generic_kl_oldest());
    }
}
