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
// ...", "Android 14 to 16 take it as 116". then: the layout used instead.
std::string verdict_text(android_verdict_t verdict, const std::string &as, const std::string &then,
                         android_readings_t readings, bool both) {
    auto verb = [&](const char *word) { return android_readings_verb(readings, both, word); };
    std::string who = android_readings_text(readings, both) + " ";
    if (verdict == k_android_refuses) {
        return who + verb("refuse") + " this file and " +
               (then.empty() ? verb("map") + " none of the device's keys"
                             : verb("use") + " " + then + " for every key of the device");
    }
    if (verdict == k_android_reads_otherwise) {
        return who + verb("take") + " it as " + as;
    }
    return who + verb("use") + " this file only on a kernel that has it (=y or =m), " + as;
}

// The remarks of a file's readings, each with the layout its reading uses instead when it
// refuses the file ("" for none).
void add_remarks(report_t *report, const tool_options_t *options, const std::string &path,
                 const std::vector<std::pair<android_layout_t, std::string>> &reads) {
    // What is wrong with a line is said once, with what each group of readings makes of it.
    std::map<std::tuple<int, std::string, std::string>,
             std::map<std::tuple<int, std::string, std::string>, android_readings_t>>
        remarks;
    for (const auto &read : reads) {
        for (const android_remark_t &r : read.first.remarks) {
            remarks[std::make_tuple(r.line, r.why, r.label)][std::make_tuple(
                r.verdict, r.as, r.verdict == k_android_refuses ? read.second : "")] |=
                android_reading_bit(read.first.version, read.first.abi);
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
            auto kind = static_cast<android_verdict_t>(std::get<0>(verdict.first));
            text += separator + verdict_text(kind, std::get<1>(verdict.first),
                                             std::get<2>(verdict.first), verdict.second, both);
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

// The layout a choice uses, as messages name it: the folder's own by its name.
std::string used_name(const layout_choice_t &c, const std::string &dir) {
    return c.through_aosp                                      ? "Generic.kl"
           : shown_name(c.path, dir) == keyboard_layout_file() ? keyboard_layout_file()
                                                               : c.shown;
}

void warn_delivery(report_t *report, const layout_build_t *build, const delivery_t &d, int scancode,
                   const android_key_t &got, android_readings_t readings) {
    // The versions, whatever the word size, for what turns on the labels alone.
    unsigned versions = static_cast<unsigned>(readings | readings >> 32);
    std::string name = build->base[scancode].name;
    std::string line = "\"key " + std::to_string(scancode) + " " + name + "\"";
    size_t first = 0;
    while ((readings & android_reading_bit(d.readings[first].version, d.readings[first].abi)) ==
           0) {
        first++;
    }
    const layout_choice_t &c = d.choices[first];
    std::string refused =
        c.refused.empty()
            ? ""
            : ", as " + readings_refuse(readings, d.both) + " " +
                  (c.refused == build->dir + "/" + keyboard_layout_file() ? keyboard_layout_file()
                                                                          : c.refused);
    std::string through;
    std::string fix = c.refused.empty() ? keyboard_layout_file() + " with " + line + " fixes it"
                                        : "mend it, with " + line;
    if (got.by_kcm) {
        through = c.kcm_shown + ":" + std::to_string(c.kcm_keys.at(scancode).second) +
                  ", a map key line, which Android asks before any layout";
        fix = "that line decides it";
    } else if (c.shown.empty()) {
        through = "no layout" + refused;
    } else {
        auto at = c.read.lines.find(scancode);
        through = used_name(c, build->dir) +
                  (c.through_aosp ? ""
                   : at != c.read.lines.end()
                       ? ":" + std::to_string(at->second)
                       : ", which does not map scancode " + std::to_string(scancode)) +
                  (c.own ? "" : refused);
        fix = c.own ? line + " there fixes it" : fix;
    }
    std::string lacking = undeliverable(name, versions);
    fix = lacking.empty() ? fix : lacking;
    add(report, standard_layout_path(build), standard_line_of(build, scancode), k_warning,
        "%s (scancode %d) reaches %s as %s, through %s: %s", name.c_str(), scancode,
        android_readings_text(readings, d.both).c_str(), delivered_text(got).c_str(),
        through.c_str(), fix.c_str());
}

// Which layout each reading takes and why, said at that file; and the character map's map key
// lines that decide a key the virtual keyboard sends.
void say_choices(report_t *report, const layout_build_t *build, const delivery_t &d) {
    std::map<std::pair<std::string, std::string>, android_readings_t> used;
    std::map<std::tuple<std::string, int, std::string>, android_readings_t> kcm_lines;
    for (size_t i = 0; i < d.choices.size(); i++) {
        const layout_choice_t &c = d.choices[i];
        android_readings_t bit = android_reading_bit(d.readings[i].version, d.readings[i].abi);
        std::string at = c.through_aosp || c.path.empty() ? build->dir : c.path;
        used[{at, (c.shown.empty() ? "" : used_name(c, build->dir)) + "\n" + c.why}] |= bit;
        for (const auto &key : c.kcm_keys) {
            if (d.reached.count(key.first) != 0) {
                kcm_lines[std::make_tuple(c.kcm, key.second.second,
                                          std::to_string(key.first) + " as " + key.second.first)] |=
                    bit;
            }
        }
    }
    for (const auto &u : used) {
        std::string file = u.first.second.substr(0, u.first.second.find('\n'));
        std::string why = u.first.second.substr(file.size() + 1);
        std::string who = android_readings_text(u.second, d.both) + " ";
        std::string text = file.empty() ? who + android_readings_verb(u.second, d.both, "map") +
                                              " none of the virtual keyboard's keys: " + why
                                        : who + android_readings_verb(u.second, d.both, "map") +
                                              " the virtual keyboard's keys through " +
                                              (u.first.first == build->dir ? file : "this file") +
                                              ": " + why;
        add(report, u.first.first, 0, k_note, "%s", text.c_str());
    }
    for (const auto &k : kcm_lines) {
        android_readings_t r = k.second;
        add(report, std::get<0>(k.first), std::get<1>(k.first), k_note,
            "%s %s scancode %s by this map key line, asking the character map before any "
            "layout; the rest of this file is not judged",
            android_readings_text(r, d.both).c_str(),
            android_readings_verb(r, d.both, "deliver").c_str(), std::get<2>(k.first).c_str());
    }
}

}  // namespace

void check_android(report_t *report, const layout_build_t *build, const tool_options_t *options) {
    // Android loads the standard layout too, for the receiver.
    std::string standard = standard_layout_path(build);
    std::vector<android_layout_t> reads;
    std::string why;
    if (read_android_layouts(standard, options, &reads, &why) == 0) {
        std::vector<std::pair<android_layout_t, std::string>> then;
        for (const android_layout_t &read : reads) {
            then.push_back({read, "Generic.kl"});
        }
        add_remarks(report, options, standard, then);
    }
    if (options->android_apart) {
        return;
    }
    delivery_t d;
    work_out_delivery(build, options, &d);
    for (const android_finding_t &f : delivery_findings(d)) {
        add(report, f.path, f.line, f.warning ? k_warning : k_note, "%s", f.text.c_str());
    }
    for (const layout_choice_t &c : d.choices) {
        if (!c.unreadable.empty()) {
            add(report, c.path, 0, k_warning,
                "cannot be read here (%s): what Android delivers through it is not checked",
                c.unreadable.c_str());
            return;
        }
    }
    // Each layout read on the way, with what each reading uses when it refuses it.
    std::map<std::string, std::vector<std::pair<android_layout_t, std::string>>> tried;
    for (const layout_choice_t &c : d.choices) {
        for (const auto &t : c.tried) {
            tried[t.first].push_back({t.second, c.shown});
        }
    }
    for (const auto &t : tried) {
        add_remarks(report, options, t.first, t.second);
    }
    say_choices(report, build, d);
    unsigned guessed = 0;  // versions judged through a Generic.kl not known here
    for (int scancode : d.reached) {
        // Versions that deliver alike, through the same file, are said once.
        std::map<std::string, std::pair<android_key_t, android_readings_t>> keys;
        for (size_t i = 0; i < d.readings.size(); i++) {
            android_key_t got = delivered(d, i, scancode);
            const layout_choice_t &c = d.choices[i];
            auto &alike =
                keys[got.label + "\n" + (got.by_kcm ? c.kcm : c.shown + "\n" + c.refused) +
                     (got.lacking ? "\n?" : "")];
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
