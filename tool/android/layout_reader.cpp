// SPDX-License-Identifier: Apache-2.0
// A key layout file as one version of Android's input framework reads it, which is not as the
// daemon reads it: Android splits words at spaces, tabs, carriage returns and NUL bytes, reads
// a number with its base prefix ("0x74" is 116), takes "#" as a comment only where a word
// begins, has no line length limit, and fails to load the whole file at the first line it
// cannot read. What differs between versions and word sizes is data: the words each takes,
// the rules it follows (tool/tables/), and the width of the box's long.
#include <stdint.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tool/android/android.h"
#include "tool/android/box_number.h"
#include "tool/android/reader.h"
#include "tool/android/reader_words.h"
#include "tool/keys/keys.h"
#include "tool/print.h"
#include "tool/tables/tables.h"

namespace {

struct reader_t {
    const std::string &text;
    size_t at;
    int line;
    android_reading_t reading;
    android_layout_t *layout;
    // The line of each code earlier lines mapped.
    std::map<int, int> usages;
    std::map<int, int> axes;
    std::map<int, int> leds;
    std::map<int, int> led_usages;
    std::map<int, int> sensors;
    std::map<std::string, int> kernel_configs;
};

// Whether this version follows a rule, one of the version sets of tables.h.
bool follows(const reader_t &r, unsigned rule) {
    return ((rule >> r.reading.version) & 1) != 0;
}

// The delimiters are " \t\r" given to strchr, which also finds the string's terminating NUL.
bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\0';
}

bool at_line_end(const reader_t &r) {
    return r.at >= r.text.size() || r.text[r.at] == '\n';
}

char peek(const reader_t &r) {
    return r.at < r.text.size() ? r.text[r.at] : '\0';
}

void skip_blanks(reader_t *r) {
    while (!at_line_end(*r) && is_blank(r->text[r->at])) {
        r->at++;
    }
}

std::string next_word(reader_t *r) {
    size_t start = r->at;
    while (!at_line_end(*r) && !is_blank(r->text[r->at])) {
        r->at++;
    }
    return r->text.substr(start, r->at - start);
}

// Skips blanks, then takes the next word.
std::string word_after(reader_t *r) {
    skip_blanks(r);
    return next_word(r);
}

std::string quoted(const std::string &word) {
    return "\"" + printable(word) + "\"";
}

void remark(reader_t *r, android_verdict_t verdict, const std::string &why,
            const std::string &as = "") {
    r->layout->remarks.push_back({r->line, verdict, why, "", as});
}

// Records a refusal; false, for the caller to return.
bool refuse(reader_t *r, const std::string &why, const std::string &label = "") {
    r->layout->remarks.push_back({r->line, k_android_refuses, why, label, ""});
    return false;
}

// Why this version does not take word as kind, naming the versions that do. For a word no
// version takes, listed names the words there are.
std::string not_taken(android_word_kind_t kind, const std::string &word, const std::string &what,
                      bool listed) {
    int first;
    int last;
    if (android_word_versions(kind, word, &first, &last)) {
        return quoted(word) + " is " + what + " " + android_since_text(first, last);
    }
    std::string list = listed ? " (" + android_words_of(kind, k_android_newest) + ")" : "";
    return quoted(word) + " is not " + what + list;
}

// Whether this version takes word as kind; if not, refuses.
bool takes(reader_t *r, android_word_kind_t kind, const std::string &word, const std::string &what,
           bool listed = false) {
    int first;
    int last;
    bool known = android_word_versions(kind, word, &first, &last);
    return android_takes_word(kind, word, r->reading.version) ||
           refuse(r, not_taken(kind, word, what, listed),
                  kind == k_word_label && !known ? word : "");
}

// An axis or LED label's value as this version looks it up, -1 when it refuses the file there:
// up to 13 a word it does not know, or none, is 0. missing: why, when there is no word.
int read_named(reader_t *r, android_word_kind_t kind, const std::string &word,
               const std::string &what, const std::string &missing) {
    int value = android_word_value(kind, word, r->reading.version);
    if (value >= 0) {
        return value;
    }
    std::string why = word.empty() ? missing : not_taken(kind, word, what, false);
    if (!follows(*r, k_android_unknown_labels_read_as_0)) {
        refuse(r, why);
        return -1;
    }
    remark(r, k_android_reads_otherwise, why,
           android_word_named(kind, 0, r->reading.version) +
               (kind == k_word_axis ? " (axis 0)" : " (LED 0)"));
    return 0;
}

// A number as this version reads it on this box; false when it refuses the file there. after:
// the word before it, for one that is missing.
bool read_number(reader_t *r, const std::string &word, const std::string &after, int *value) {
    box_number_t n = read_box_number(word, r->reading.abi, follows(*r, k_android_binary_numbers));
    *value = n.value;
    std::string missing = "nothing follows " + quoted(after);
    std::string none = quoted(word) + " is not a number Android reads";
    std::string range = quoted(word) + " is outside -2147483648 to 2147483647";
    std::string more = quoted(word) + " is a number with more after it";
    std::string as = std::to_string(n.value);
    if (follows(*r, k_android_whole_word_numbers)) {
        // strtol's end must be the word's end, which an empty word's is; ERANGE goes unread.
        if (n.used != word.size()) {
            // What a later C library reads as binary, this one reads as 0 with more after it.
            bool binary = read_box_number(word, r->reading.abi, true).used == word.size();
            return refuse(r, n.used == 0 ? none
                             : binary    ? quoted(word) + " is a binary number"
                                         : more);
        }
        if (word.empty() || !n.exact) {
            remark(r, k_android_reads_otherwise, word.empty() ? missing : range, as);
        }
        return true;
    }
    // The leading number, refused only when there is none or it is beyond the long.
    if (n.used == 0 || n.erange) {
        return refuse(r, word.empty() ? missing : n.used == 0 ? none : range);
    }
    if (!n.exact || n.used != word.size()) {
        remark(r, k_android_reads_otherwise, n.exact ? more : range, as);
    }
    return true;
}

// Refuses a code that an earlier line mapped in the same table.
bool new_code(reader_t *r, std::map<int, int> *seen, int code, const std::string &word,
              const std::string &what) {
    auto earlier = seen->find(code);
    if (earlier == seen->end()) {
        return true;
    }
    std::string at_line = std::to_string(earlier->second);
    std::string named = what + " " + std::to_string(code);
    return refuse(
        r, word == std::to_string(code)
               ? named + " is mapped already, at line " + at_line
               : quoted(word) + " is " + named + ", which line " + at_line + " maps already");
}

// The code that begins a key or led line, after "usage" where the version takes it there, new
// to its table; false when the version refuses it. prefix: how messages name the table.
bool read_code(reader_t *r, const std::string &keyword, android_word_kind_t within,
               std::map<int, int> *scancodes, std::map<int, int> *usages, const std::string &prefix,
               bool *usage, std::string *word, int *code) {
    *word = word_after(r);
    std::string after = keyword;
    *usage = *word == "usage" && android_takes_word(within, *word, r->reading.version);
    if (*usage) {
        after = *word;
        *word = word_after(r);
    }
    return read_number(r, *word, after, code) &&
           new_code(r, *usage ? usages : scancodes, *code, *word,
                    prefix + (*usage ? "usage" : "scancode"));
}

// " after WORD", or "" when the word is missing.
std::string after_text(const std::string &word) {
    return word.empty() ? "" : " after " + printable(word);
}

// key [usage] CODE LABEL [FLAG...]
bool read_key(reader_t *r) {
    bool usage;
    std::string word;
    int code;
    if (!read_code(r, "key", k_word_in_key, &r->layout->lines, &r->usages, "", &usage, &word,
                   &code)) {
        return false;
    }
    std::string label = word_after(r);
    if (label.empty() || label[0] == '#') {
        return refuse(r, "no key label" + after_text(word));
    }
    if (!takes(r, k_word_label, label, "an Android key label")) {
        return false;
    }
    unsigned flags = 0;
    for (skip_blanks(r); !at_line_end(*r) && peek(*r) != '#'; skip_blanks(r)) {
        std::string flag = next_word(r);
        if (!takes(r, k_word_flag, flag, "a key flag", true)) {
            return false;
        }
        if ((flags & android_flag_bit(flag)) != 0) {
            return refuse(r, quoted(flag) + " is given twice");
        }
        flags |= android_flag_bit(flag);
    }
    if (usage) {
        r->usages[code] = r->line;
        r->layout->usages[code] = label;
    } else {
        r->layout->lines[code] = r->line;
        r->layout->labels[code] = label;
    }
    return true;
}

// The next axis label's value, -1 when the version refuses it.
int read_axis_label(reader_t *r) {
    return read_named(r, k_word_axis, word_after(r), "an Android axis label",
                      "an axis label is missing");
}

// axis CODE (LABEL | invert LABEL | split VALUE LOW HIGH) [flat VALUE]...
bool read_axis(reader_t *r) {
    std::string word = word_after(r);
    int code;
    if (!read_number(r, word, "axis", &code) || !new_code(r, &r->axes, code, word, "axis")) {
        return false;
    }
    android_axis_t axis = {};
    size_t mode_at = r->at;
    std::string mode = word_after(r);
    axis.invert = mode == "invert" && android_takes_word(k_word_in_axis, mode, r->reading.version);
    axis.split = mode == "split" && android_takes_word(k_word_in_axis, mode, r->reading.version);
    if (axis.split) {
        if (!read_number(r, word_after(r), mode, &axis.split_value) ||
            (axis.axis = read_axis_label(r)) < 0 || (axis.high_axis = read_axis_label(r)) < 0) {
            return false;
        }
    } else {
        r->at = axis.invert ? r->at : mode_at;
        if ((axis.axis = read_axis_label(r)) < 0) {
            return false;
        }
    }
    for (skip_blanks(r); !at_line_end(*r) && peek(*r) != '#'; skip_blanks(r)) {
        std::string keyword = next_word(r);
        if (keyword != "flat" || !android_takes_word(k_word_in_axis, keyword, r->reading.version)) {
            return refuse(
                r, quoted(keyword) + " is not \"flat\", the one word that may follow an axis");
        }
        axis.has_flat = true;
        if (!read_number(r, word_after(r), keyword, &axis.flat)) {
            return false;
        }
    }
    r->axes[code] = r->line;
    r->layout->axes[code] = axis;
    return true;
}

// led [usage] CODE LABEL
bool read_led(reader_t *r) {
    bool usage;
    std::string word;
    int code;
    if (!read_code(r, "led", k_word_in_led, &r->leds, &r->led_usages, "LED ", &usage, &word,
                   &code)) {
        return false;
    }
    int led = read_named(r, k_word_led, word_after(r), "an Android LED label",
                         "no LED label" + after_text(word));
    if (led < 0) {
        return false;
    }
    (usage ? r->led_usages : r->leds)[code] = r->line;
    (usage ? r->layout->led_usages : r->layout->leds)[code] = led;
    return true;
}

// sensor CODE TYPE INDEX
bool read_sensor(reader_t *r) {
    std::string word = word_after(r);
    int code;
    if (!read_number(r, word, "sensor", &code) ||
        !new_code(r, &r->sensors, code, word, "sensor axis")) {
        return false;
    }
    std::string type = word_after(r);
    if (type.empty()) {
        return refuse(r, "no sensor type" + after_text(word));
    }
    std::string index = word_after(r);
    if (!takes(r, k_word_sensor, type, "an Android sensor type") ||
        !takes(r, k_word_sensor_data, index, "a sensor data index (X, Y or Z)")) {
        return false;
    }
    r->sensors[code] = r->line;
    r->layout->sensors[code] = {android_word_value(k_word_sensor, type, r->reading.version),
                                android_word_value(k_word_sensor_data, index, r->reading.version)};
    return true;
}

// requires_kernel_config NAME: a box uses the file only when its kernel has NAME set.
bool read_kernel_config(reader_t *r) {
    std::string name = word_after(r);
    auto earlier = r->kernel_configs.find(name);
    if (earlier != r->kernel_configs.end()) {
        return refuse(r, "kernel config " + quoted(name) + " is required already, at line " +
                             std::to_string(earlier->second));
    }
    r->kernel_configs[name] = r->line;
    const kernel_config_t *kernel = r->reading.kernel;
    if (!follows(*r, k_android_kernel_configs_checked)) {
        return true;
    }
    if (name.empty()) {
        return refuse(r, "no kernel config follows \"requires_kernel_config\"");
    }
    if (kernel == nullptr || !kernel->known) {
        remark(r, k_android_needs_config, quoted(name) + " is required of the kernel",
               kernel == nullptr ? "not known off the box" : kernel->unknown);
        return true;
    }
    return kernel->config.count(name) != 0 ||
           refuse(r, "the running kernel lacks " + quoted(name) + " (=y or =m)");
}

bool read_line(reader_t *r) {
    std::string keyword = next_word(r);
    if (!takes(r, k_word_line, keyword, "a keyword of Android's key layouts", true)) {
        return false;
    }
    bool read = keyword == "key"      ? read_key(r)
                : keyword == "axis"   ? read_axis(r)
                : keyword == "led"    ? read_led(r)
                : keyword == "sensor" ? read_sensor(r)
                                      : read_kernel_config(r);
    if (!read) {
        return false;
    }
    skip_blanks(r);
    if (!at_line_end(*r) && peek(*r) != '#') {
        size_t end = r->text.find('\n', r->at);
        return refuse(r, quoted(r->text.substr(
                             r->at, end == std::string::npos ? std::string::npos : end - r->at)) +
                             " follows where the line should end");
    }
    return true;
}

}  // namespace

void read_android_layout(const std::string &text, const android_reading_t &reading,
                         android_layout_t *layout) {
    layout->version = reading.version;
    layout->abi = reading.abi;
    reader_t r = {text, 0, 1, reading, layout, {}, {}, {}, {}, {}, {}};
    while (r.at < text.size()) {
        skip_blanks(&r);
        if (!at_line_end(r) && peek(r) != '#') {
            read_line(&r);
        }
        // On to the next line, also after a refusal: Android stops there, check goes on.
        size_t end = text.find('\n', r.at);
        r.at = end == std::string::npos ? text.size() : end + 1;
        r.line++;
    }
    layout->loads = true;
    for (const android_remark_t &remark : layout->remarks) {
        layout->loads = layout->loads && remark.verdict != k_android_refuses;
    }
}
