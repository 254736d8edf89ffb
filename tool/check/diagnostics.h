// SPDX-License-Identifier: Apache-2.0
#pragma once

// What check's parts share: the diagnostics they collect, and how they read a line's words.

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "tool/layouts/layouts.h"
#include "tool/options.h"

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

// Adds one diagnostic; line 0 is about the whole file or folder.
void add(report_t *report, const std::string &path, int line, severity_t severity,
         const char *format, ...) __attribute__((format(printf, 5, 6)));

// Word n (from 0) of a line as written, to show what the daemon read instead.
std::string nth_word(const std::string &text, int n);

// Why the daemon passed over a line, in words that fit after "line ignored: "; "" for a line
// it took, a blank line and a comment.
std::string ignored_reason(const seen_line_t &line);

// Every line piece of a file: why a line is passed over, overlong lines and scancodes named
// twice (the last line wins). Returns the line that gave each entry its final name.
std::map<int, int> check_lines(report_t *report, const std::string &path,
                               const std::vector<seen_line_t> &lines);

// A folder entry the daemon passes over although it looks meant as a customer layout.
// names: every entry of the folder.
void check_name(report_t *report, const layout_build_t *build, const listed_entry_t &entry,
                bool single_protocol, const std::set<std::string> &names);

// Customer files whose use depends on the folder's listing order: two of one customer code,
// and more than the daemon reads.
void check_listing(report_t *report, const layout_build_t *build);

// Layouts the service cannot read, and a folder it cannot list or search. The daemon reads
// them as the service's user, whoever runs check: judged only where the modes are the box's.
void check_service_access(report_t *report, const layout_build_t *build);

// What Android makes of the keys: the lines at which it refuses the standard layout or the
// virtual keyboard's, and each standard key that a customer button reaches and that Android
// delivers as another.
void check_android(report_t *report, const layout_build_t *build, const tool_options_t *options);
