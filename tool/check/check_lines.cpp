// SPDX-License-Identifier: Apache-2.0
// check's reading of each line: what the daemon passes over and why, and what a taken line
// does that its writer may not expect.
#include <ctype.h>
#include <stdlib.h>

#include "tool/check/diagnostics.h"
#include "tool/layouts/layouts.h"
#include "tool/print.h"

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

namespace {

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

}  // namespace

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
