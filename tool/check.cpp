#include <ctype.h>
#include <stdarg.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <set>
#include <tuple>

#include "core/protocol.h"
#include "tool/keymap_tool.h"

namespace {

enum severity_t { k_note, k_warning, k_error };

struct diagnostic_t {
    std::string path;
    int line;  // 0: about the whole file or folder
    severity_t severity;
    std::string text;
    bool operator<(const diagnostic_t &o) const {
        return std::tie(path, line, severity, text) < std::tie(o.path, o.line, o.severity, o.text);
    }
};

// Diagnostics of every protocol checked; a file read for both is reported once.
struct report_t {
    std::set<diagnostic_t> diagnostics;
};

void add(report_t *report, const std::string &path, int line, severity_t severity,
         const char *format, ...) __attribute__((format(printf, 5, 6)));
void add(report_t *report, const std::string &path, int line, severity_t severity,
         const char *format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    report->diagnostics.insert({path, line, severity, text});
}

// Word n (from 0) of a line as written, to show what the daemon read instead.
std::string nth_word(const std::string &text, int n) {
    const char *blanks = " \t\r\n\v\f";
    size_t start = text.find_first_not_of(blanks);
    for (; n > 0 && start != std::string::npos; n--) {
        start = text.find_first_not_of(blanks, text.find_first_of(blanks, start));
    }
    if (start == std::string::npos) {
        return "";
    }
    size_t end = text.find_first_of(blanks, start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

int translated_count(const customer_map_t &map) {
    int translated = 0;
    for (int slot : map.scancode_map) {
        translated += slot != 0;
    }
    return translated;
}

// Why the daemon passed over a line, in words that fit after "line ignored: "; "" for a line
// it took, a blank line and a comment. Every reason the reader gives has its words here.
std::string ignored_reason(const seen_line_t &line) {
    switch (line.note) {
        case k_line_taken:
        case k_line_taken_glued:
        case k_line_taken_name_cut:
        case k_line_blank:
        case k_line_comment:
            return "";
        case k_line_tab_before_comment:
            return "\"#\" after a tab is not a comment: only spaces may come before one, and "
                   "the first word is not \"key\"";
        case k_line_android_keyword:
            return "an Android \"" + printable(nth_word(line.text, 0)) +
                   "\" line, which the daemon does not read";
        case k_line_not_key:
            return "its first word is \"" + printable(nth_word(line.text, 0)) + "\", not \"key\"";
        case k_line_keyword_mistyped:
            return "\"" + printable(nth_word(line.text, 0)) +
                   "\" is not \"key\" (lower case, on its own)";
        case k_line_incomplete: {
            std::string number = printable(nth_word(line.text, 1));
            if (number.empty()) {
                return "not \"key N NAME\" with a decimal N: nothing follows \"key\"";
            }
            if (!isdigit(
                    static_cast<unsigned char>(number[number[0] == '-' || number[0] == '+']))) {
                return "not \"key N NAME\" with a decimal N: \"" + number + "\" stands for N";
            }
            return "not \"key N NAME\" with a decimal N: no name after " + number;
        }
        case k_line_out_of_range:
            return "scancode " + printable(nth_word(line.text, 1)) + " is outside 0 to 255";
    }
    return "the daemon's reader did not take it";
}

bool has_unprintable(const std::string &text) {
    return printable(text) != text;
}

// What a line piece will do that its writer may not expect. Every piece the daemon passes
// over, but for blank lines and comments, gets a message here.
void check_line(report_t *report, const std::string &path, const seen_line_t &line) {
    if (line.number == 1 && line.text.compare(0, 3, "\xef\xbb\xbf") == 0) {
        add(report, path, line.number, k_warning,
            "the file begins with a UTF-8 byte-order mark, which the daemon reads as part of the "
            "first word: save it without one");
    }
    if (line.text.find('\0') != std::string::npos) {
        add(report, path, line.number, k_warning,
            "a NUL byte: the daemon reads this line only up to it");
    }
    std::string reason = ignored_reason(line);
    if (line.note == k_line_android_keyword) {
        add(report, path, line.number, k_note, "line ignored: %s", reason.c_str());
    } else if (!reason.empty()) {
        std::string first = nth_word(line.text, 0);
        std::string hint;
        if (line.note == k_line_not_key && has_unprintable(first)) {
            hint = " (it holds bytes that do not print)";
        } else if (line.note == k_line_not_key && isdigit(static_cast<unsigned char>(first[0]))) {
            hint = " (\"key\" left out?)";
        }
        add(report, path, line.number, k_warning, "line ignored: %s%s", reason.c_str(),
            hint.c_str());
    }
    switch (line.note) {
        case k_line_taken_glued: {
            std::string written = nth_word(line.text, 1);
            std::string hint;
            if (written.size() > 2 && written[0] == '0' &&
                (written[1] == 'x' || written[1] == 'X')) {
                hint = " (" + written + " is " +
                       std::to_string(strtol(written.c_str(), nullptr, 16)) + ")";
            }
            add(report, path, line.number, k_warning,
                "\"%s\" is read as scancode %d named \"%s\": scancodes are decimal%s",
                written.c_str(), line.scancode, line.name.c_str(), hint.c_str());
            break;
        }
        case k_line_taken_name_cut:
            add(report, path, line.number, k_warning,
                "name longer than 31 characters, cut to \"%s\"", line.name.c_str());
            break;
        default:
            break;
    }
    if (line.scancode >= 0 && has_unprintable(line.name)) {
        add(report, path, line.number, k_warning,
            "the name \"%s\" holds bytes outside printable ASCII, which no key name of "
            "Android has",
            line.name.c_str());
    }
}

// Line notes, overlong lines and scancodes named twice (the last line wins). Returns the
// line that gave each entry its final name.
std::map<int, int> check_lines(report_t *report, const std::string &path,
                               const std::vector<seen_line_t> &lines) {
    std::map<int, int> line_of;
    std::map<int, int> pieces;
    for (const seen_line_t &line : lines) {
        if (++pieces[line.number] == 2) {
            add(report, path, line.number, k_warning,
                "line longer than 1023 characters: the daemon reads the rest as another line");
        }
        check_line(report, path, line);
        if (line.scancode < 0) {
            continue;  // not taken
        }
        auto earlier = line_of.find(line.scancode);
        if (earlier != line_of.end() && earlier->second != line.number) {
            add(report, path, earlier->second, k_warning,
                "scancode %d is named again at line %d, which wins: this line has no effect",
                line.scancode, line.number);
        }
        line_of[line.scancode] = line.number;
    }
    return line_of;
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
    for (int earlier = 0; earlier < table; earlier++) {
        if (build->maps[earlier].customer_code == map.customer_code) {
            add(report, path, 0, k_error,
                "customer code 0x%s is also %s's, which the daemon lists first and uses: this "
                "file is never used",
                customer_code_text(protocol, map.customer_code).c_str(),
                base_name(build->table_path[earlier]).c_str());
            break;
        }
    }
    if (translated_count(map) == 0 && failure == build->failures.end()) {
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
        if (!lost.empty()) {
            add(report, path, line_of[j], k_warning, "\"%s\" is on %s: button %d does nothing",
                key.name, lost.c_str(), j);
        } else if (at_zero) {
            add(report, path, line_of[j], k_warning,
                "%s names \"%s\" only at scancode 0, never a target: button %d does nothing",
                k_standard_layout_file, key.name, j);
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

std::string lower_dashless(const std::string &name) {
    std::string s = name;
    for (char &c : s) {
        c = c == '-' || c == ' ' ? '_' : static_cast<char>(tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

// A name that was meant as a customer layout: what it should have been, or "".
std::string repaired_name(const std::string &name, int32_t *protocol) {
    std::string s = lower_dashless(name);
    std::string rc5_prefix = customer_name_pattern(k_ir_protocol_rc5)->prefix;
    *protocol =
        s.compare(0, rc5_prefix.size(), rc5_prefix) == 0 ? k_ir_protocol_rc5 : k_ir_protocol_nec;
    std::string prefix = customer_name_pattern(*protocol)->prefix;
    size_t digits_wanted = static_cast<size_t>(customer_name_pattern(*protocol)->digits);
    if (s.compare(0, prefix.size(), prefix) != 0) {
        return "";
    }
    size_t end = s.find('.', prefix.size());
    std::string digits =
        s.substr(prefix.size(), end == std::string::npos ? end : end - prefix.size());
    while (digits.size() > digits_wanted && digits[0] == '0') {
        digits.erase(0, 1);
    }
    if (digits.empty() || digits.size() > digits_wanted ||
        digits.find_first_not_of("0123456789abcdef") != std::string::npos) {
        return "";
    }
    std::string repaired =
        prefix + std::string(digits_wanted - digits.size(), '0') + digits + k_customer_name_suffix;
    return match_kl_filename(repaired.c_str(), *protocol, nullptr) >= 0 ? repaired : "";
}

// Names the daemon passes over that look meant as customer layouts.
void check_name(report_t *report, const layout_build_t *build, const listed_entry_t &entry,
                bool single_protocol, const std::set<std::string> &names) {
    std::string path = build->dir + "/" + entry.name;
    if (entry.customer_code >= 0) {
        if (entry.table < 0) {
            add(report, path, 0, k_warning,
                "not read: the daemon builds at most %d customer tables, from the first files in "
                "directory order, and this one comes after them",
                k_max_customer_maps);
        }
        return;
    }
    if (lower_dashless(entry.name).compare(0, 8, "customer") != 0) {
        return;
    }
    int32_t other = build->protocol == k_ir_protocol_rc5 ? k_ir_protocol_nec : k_ir_protocol_rc5;
    if (match_kl_filename(entry.name.c_str(), other, nullptr) >= 0) {
        if (single_protocol) {
            add(report, path, 0, k_warning,
                "not read: a layout for %s remotes, and the receiver "
                "decodes %s",
                protocol_name(other), protocol_name(build->protocol));
        }
        return;
    }
    int32_t meant;
    std::string repaired = repaired_name(entry.name, &meant);
    kl_name_note_t why;
    match_kl_filename(entry.name.c_str(), meant, &why);
    const customer_name_pattern_t *pattern = customer_name_pattern(meant);
    std::string reason =
        why == k_name_prefix   ? std::string("begin with \"") + pattern->prefix + "\" exactly"
        : why == k_name_digits ? "carry the customer code in exactly " +
                                     std::to_string(pattern->digits) + " hexadecimal digits"
                               : std::string("end in \".kl\", in lower case");
    std::string hint;
    if (!repaired.empty() && names.count(repaired) != 0) {
        hint = " (" + repaired + " exists beside it)";
    } else if (!repaired.empty()) {
        hint = " (did you mean " + repaired + "?)";
    }
    add(report, path, 0, k_warning, "not read: the name of a %s customer layout must %s%s",
        protocol_name(meant), reason.c_str(), hint.c_str());
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
        for (const listed_entry_t &entry : build->entries) {
            check_name(&report, build.get(), entry, single, names);
        }
        for (int t = 0; t < build->count; t++) {
            check_customer_table(&report, build.get(), t);
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
        tool_print(out, "%s%s(%s); %s\n", summary.c_str(), summary.empty() ? "" : " ",
                   options->protocol_origin.c_str(), counts);
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
