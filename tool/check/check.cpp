// SPDX-License-Identifier: Apache-2.0
#include <string.h>

#include <algorithm>
#include <memory>

#include "core/paths.h"
#include "core/protocol.h"
#include "tool/android/android.h"
#include "tool/check/check.h"
#include "tool/check/diagnostics.h"
#include "tool/files/files.h"
#include "tool/layouts/layouts.h"
#include "tool/options.h"
#include "tool/print.h"

namespace {

int translated_count(const customer_map_t &map) {
    int translated = 0;
    for (int slot : map.scancode_map) {
        translated += slot != 0;
    }
    return translated;
}

void check_standard(report_t *report, const layout_build_t *build) {
    std::string path = standard_layout_path(build);
    auto failure = build->failures.find(path);
    if (failure != build->failures.end()) {
        add(report, path, 0, k_error,
            "%s: the standard layout is needed, without it no customer button is translated",
            failure->second.c_str());
    }
    auto lines = build->lines.find(path);
    if (lines == build->lines.end()) {
        return;
    }
    std::map<int, int> line_of = check_lines(report, path, lines->second);
    for (const auto &entry : line_of) {
        const keymap_t &key = build->base[entry.first];
        bool at_zero;
        int target = standard_scancode_of(build, key.name, &at_zero);
        if (entry.first == 0) {
            add(report, path, entry.second, k_warning,
                "scancode 0 is never a translation target: customer buttons named \"%s\" %s",
                key.name,
                target != 0 ? ("get scancode " + std::to_string(target)).c_str() : "do nothing");
        } else if (target != entry.first) {
            add(report, path, entry.second, k_warning,
                "\"%s\" is also scancode %d (line %d), the lowest, which wins: customer buttons "
                "of that name never get %d",
                key.name, target, line_of[target], entry.first);
        }
    }
}

// A line of the standard layout that names name but gives it no scancode: one the daemon
// passed over, or one whose scancode a later line names again. Returns "orvex-ir.kl:6, which
// ..." for a message, or "" when no line of it names name.
std::string standard_line_lost(const layout_build_t *build, const char *name) {
    auto lines = build->lines.find(standard_layout_path(build));
    if (lines == build->lines.end()) {
        return "";
    }
    std::map<int, int> last_line_of;
    for (const seen_line_t &line : lines->second) {
        if (line.scancode >= 0) {
            last_line_of[line.scancode] = line.number;
        }
    }
    for (const seen_line_t &line : lines->second) {
        std::string place = std::string(k_standard_layout_file) + ":" + std::to_string(line.number);
        if (line.scancode >= 0 && line.name == name && last_line_of[line.scancode] != line.number) {
            return place + ", whose scancode " + std::to_string(line.scancode) + " line " +
                   std::to_string(last_line_of[line.scancode]) + " names again";
        }
        std::string reason = ignored_reason(line);
        if (reason.empty()) {
            continue;
        }
        for (int word = 1; !nth_word(line.text, word).empty(); word++) {
            if (nth_word(line.text, word) == name) {
                return place + ", which is ignored (" + reason + ")";
            }
        }
    }
    return "";
}

// The word after the name on a line the daemon took, "" when there is none.
std::string word_after_name(const std::vector<seen_line_t> &lines, int number) {
    for (const seen_line_t &line : lines) {
        if (line.number == number && line.scancode >= 0) {
            return nth_word(line.text, 3);
        }
    }
    return "";
}

bool only_comments(const std::vector<seen_line_t> &lines) {
    for (const seen_line_t &line : lines) {
        if (line.note != k_line_blank && line.note != k_line_comment) {
            return false;
        }
    }
    return true;
}

void check_customer_table(report_t *report, const layout_build_t *build, int table) {
    const std::string &path = build->table_path[table];
    const customer_map_t &map = build->maps[table];
    int32_t protocol = build->protocol;
    std::map<int, int> line_of;
    auto lines = build->lines.find(path);
    if (lines != build->lines.end()) {
        line_of = check_lines(report, path, lines->second);
    }
    auto failure = build->failures.find(path);
    if (failure != build->failures.end()) {
        add(report, path, 0, k_error, "%s: the daemon builds an empty table for customer 0x%s",
            failure->second.c_str(), customer_code_text(protocol, map.customer_code).c_str());
    }
    if (protocol == k_ir_protocol_rc5 && map.customer_code > 0x1f) {
        add(report, path, 0, k_warning,
            "customer code 0x%02x never arrives: an RC5 address has 5 bits (00 to 1f), so this "
            "table is never used",
            map.customer_code);
    }
    if (build->failures.count(standard_layout_path(build)) != 0) {
        return;  // without the standard layout no name is in it: said once, at its path
    }
    if (line_of.empty() && failure == build->failures.end()) {
        add(report, path, 0, k_error, "translates no button: the file has no \"key\" line%s",
            lines == build->lines.end() || only_comments(lines->second) ? ""
                                                                        : " that the daemon takes");
    } else if (translated_count(map) == 0 && failure == build->failures.end()) {
        add(report, path, 0, k_error, "translates no button: none of its names is in %s",
            k_standard_layout_file);
    }
    // Entries the pairing did not consume: their names have no standard target.
    for (int j = 0; j < k_keymap_size; j++) {
        const keymap_t &key = build->customer[table][j];
        if (key.scancode < 0 || key.name[0] == '\0') {
            continue;
        }
        bool at_zero;
        standard_scancode_of(build, key.name, &at_zero);
        std::string nearest = nearest_standard_name(build, key.name);
        std::string lost = standard_line_lost(build, key.name);
        std::string after =
            lines != build->lines.end() ? word_after_name(lines->second, line_of[j]) : "";
        if (!lost.empty()) {
            add(report, path, line_of[j], k_warning, "\"%s\" is on %s: button %d does nothing",
                key.name, lost.c_str(), j);
        } else if (at_zero) {
            add(report, path, line_of[j], k_warning,
                "%s names \"%s\" only at scancode 0, never a target: button %d does nothing",
                k_standard_layout_file, key.name, j);
        } else if (standard_has(build, after.c_str())) {
            // "key 5 = DPAD_UP": the name is the word after the number.
            add(report, path, line_of[j], k_warning,
                "\"%s\" is not in %s: button %d does nothing (did you mean \"key %d %s\"?)",
                key.name, k_standard_layout_file, j, j, after.c_str());
        } else if (!nearest.empty()) {
            add(report, path, line_of[j], k_warning,
                "\"%s\" is not in %s: button %d does nothing (did you mean \"%s\"?)", key.name,
                k_standard_layout_file, j, nearest.c_str());
        } else {
            add(report, path, line_of[j], k_warning, "\"%s\" is not in %s: button %d does nothing",
                key.name, k_standard_layout_file, j);
        }
    }
}

int translated_buttons(const layout_build_t *build) {
    int translated = 0;
    for (int t = 0; t < build->count; t++) {
        translated += translated_count(build->maps[t]);
    }
    return translated;
}

}  // namespace

int run_check(const tool_options_t *options, FILE *out, check_totals_t *totals) {
    report_t report;
    bool single = options->protocols.size() == 1;
    int tables = 0;
    std::string summary;
    for (int32_t protocol : options->protocols) {
        auto build = std::make_unique<layout_build_t>();
        if (build_layouts(options->dir.c_str(), protocol, build.get()) != 0) {
            add(&report, options->dir, 0, k_error, "cannot list the key layout folder: %s",
                strerror(build->dir_error));
            break;
        }
        std::set<std::string> names;
        for (const listed_entry_t &entry : build->entries) {
            names.insert(entry.name);
        }
        check_standard(&report, build.get());
        check_android(&report, build.get(), options);
        for (const listed_entry_t &entry : build->entries) {
            check_name(&report, build.get(), entry, single, names);
        }
        for (int t = 0; t < build->count; t++) {
            check_customer_table(&report, build.get(), t);
        }
        check_listing(&report, build.get());
        if (options->on_box || same_folder(options->dir, g_keylayout_dir)) {
            check_service_access(&report, build.get());
        }
        std::string pattern = customer_file_pattern(protocol);
        if (build->count == 0 && single) {
            add(&report, options->dir, 0, k_error,
                "no %s customer layout (%s): the daemon stops at start (\"cant find any ir map\")",
                protocol_name(protocol), pattern.c_str());
        } else if (build->count == 0) {
            add(&report, options->dir, 0, k_note, "no %s customer layout (%s)",
                protocol_name(protocol), pattern.c_str());
        }
        tables += build->count;
        char part[128];
        int buttons = translated_buttons(build.get());
        snprintf(part, sizeof(part), "%s%s: %d table%s, %d button%s translated",
                 summary.empty() ? "" : "; ", protocol_name(protocol), build->count,
                 build->count == 1 ? "" : "s", buttons, buttons == 1 ? "" : "s");
        summary += part;
    }
    if (!single && tables == 0 && !summary.empty()) {
        add(&report, options->dir, 0, k_error,
            "no customer layout of either protocol: the daemon stops at start (\"cant find any "
            "ir map\")");
    }

    // The standard layout first, as the daemon reads it; the folder's own findings last, as
    // conclusions.
    std::string standard = options->dir + "/" + k_standard_layout_file;
    auto rank = [&](const diagnostic_t &d) {
        return d.path == standard ? 0 : d.path == options->dir ? 2 : 1;
    };
    std::vector<diagnostic_t> sorted(report.diagnostics.begin(), report.diagnostics.end());
    std::stable_sort(
        sorted.begin(), sorted.end(),
        [&](const diagnostic_t &a, const diagnostic_t &b) { return rank(a) < rank(b); });
    int warnings = 0;
    int errors = 0;
    for (const diagnostic_t &d : sorted) {
        severity_t severity = d.severity == k_warning && options->werror ? k_error : d.severity;
        warnings += severity == k_warning;
        errors += severity == k_error;
        const char *label = severity == k_error     ? "error"
                            : severity == k_warning ? "warning"
                                                    : "note";
        if (out != nullptr && d.line > 0) {
            tool_print(out, "%s:%d: %s: %s\n", d.path.c_str(), d.line, label, d.text.c_str());
        } else if (out != nullptr) {
            tool_print(out, "%s: %s: %s\n", d.path.c_str(), label, d.text.c_str());
        }
    }
    char counts[64];
    snprintf(counts, sizeof(counts), "%d warning%s, %d error%s", warnings, warnings == 1 ? "" : "s",
             errors, errors == 1 ? "" : "s");
    if (out != nullptr) {
        tool_print(out, "%s%s(%s; %s); %s\n", summary.c_str(), summary.empty() ? "" : " ",
                   options->protocol_origin.c_str(), android_judged_text(options).c_str(), counts);
    }
    if (totals != nullptr) {
        totals->first_error.clear();
        for (const diagnostic_t &d : sorted) {
            if (totals->first_error.empty() && d.severity == k_error) {
                totals->first_error =
                    (d.path == options->dir ? "" : base_name(d.path) + ": ") + d.text;
            }
        }
        totals->warnings = warnings;
        totals->errors = errors;
        totals->summary = summary + (summary.empty() ? "" : "; ") + counts;
    }
    return errors > 0 ? 1 : 0;
}
