// A key layout file as one version of Android's input framework reads it, which is not as the
// daemon reads it: Android splits words at spaces, tabs, carriage returns and NUL bytes, reads
// a number with its base prefix ("0x74" is 116), takes "#" as a comment only where a word
// begins, has no line length limit, and fails to load the whole file at the first line it
// cannot read. What differs between versions is data: the words each takes.
#include <errno.h>
#include <stdint.h>
#include <stdlib.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tool/android/android.h"
#include "tool/android/reader_words.h"
#include "tool/files/files.h"
#include "tool/keys/keys.h"
#include "tool/print.h"
#include "tool/tables/tables.h"

namespace {

// Key layouts are a few KiB; a limit far above them keeps a device from filling memory.
constexpr size_t k_max_layout_bytes = 1 << 20;

// Readers up to Android 11 refuse a number with more after it ("116abc") and read an empty
// word as 0; from 15 they read the leading number and refuse only a word without one. Which
// rule 12 to 14 follow is not known here.
constexpr int k_strict_numbers_last = 11;
constexpr int k_lax_numbers_first = 15;

struct reader_t {
    const std::string &text;
    size_t at;
    int line;
    int version;
    android_layout_t *layout;
    // What earlier lines mapped, by code, with their line.
    std::map<int, int> usages;
    std::map<int, int> axes;
    std::map<int, int> leds;
    std::map<int, int> led_usages;
    std::map<int, int> sensors;
    std::map<std::string, int> kernel_configs;
};

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
            const std::string &label = "") {
    r->layout->remarks.push_back({r->line, verdict, why, label});
}

// Records a refusal; false, for the caller to return.
bool refuse(reader_t *r, const std::string &why, const std::string &label = "") {
    remark(r, k_android_refuses, why, label);
    return false;
}

// Whether this version takes word as kind; if not, refuses, naming the versions that do. For
// a word no version takes, listed names the words there are.
bool takes(reader_t *r, android_word_kind_t kind, const std::string &word, const std::string &what,
           bool listed = false) {
    if (android_takes_word(kind, word, r->version)) {
        return true;
    }
    int first;
    int last;
    if (android_word_versions(kind, word, &first, &last)) {
        return refuse(r, quoted(word) + " is " + what + " " + android_since_text(first, last));
    }
    std::string list = listed ? " (" + android_words_of(kind, k_android_newest) + ")" : "";
    return refuse(r, quoted(word) + " is not " + what + list, kind == k_word_label ? word : "");
}

// A number as this version reads it; false when it refuses the file there. last_word: no
// word need follow it, so that an empty one, which old readers take as 0, decides.
bool read_number(reader_t *r, const std::string &word, const std::string &after, int *value,
                 bool last_word = false) {
    *value = 0;
    if (word.empty()) {
        if (last_word && r->version <= k_strict_numbers_last) {
            return true;
        }
        // Otherwise a word must follow, and there is none: every reader refuses.
        remark(r,
               last_word && r->version < k_lax_numbers_first ? k_android_may_refuse
                                                             : k_android_refuses,
               "nothing follows " + quoted(after));
        return false;
    }
    char *end = nullptr;
    errno = 0;
    long long number = strtoll(word.c_str(), &end, 0);
    if (end == word.c_str()) {
        return refuse(r, quoted(word) + " is not a number Android reads");
    }
    if (errno == ERANGE || number < INT32_MIN || number > INT32_MAX) {
        // Read with the box's long: refused on a 32-bit box, cut to 32 bits on a 64-bit one.
        remark(r, k_android_may_refuse, quoted(word) + " overflows a 32-bit number");
        return false;
    }
    *value = static_cast<int>(number);
    if (*end != '\0') {
        if (r->version <= k_strict_numbers_last) {
            return refuse(r, quoted(word) + " is a number with more after it");
        }
        if (r->version < k_lax_numbers_first) {
            remark(r, k_android_may_refuse, quoted(word) + " is a number with more after it");
        } else {
            remark(r, k_android_reads_otherwise,
                   quoted(word) + " is read as " + std::to_string(*value));
        }
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
    *usage = *word == "usage" && android_takes_word(within, *word, r->version);
    if (*usage) {
        after = *word;
        *word = word_after(r);
    }
    return read_number(r, *word, after, code) &&
           new_code(r, *usage ? usages : scancodes, *code, *word,
                    prefix + (*usage ? "usage" : "scancode"));
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
        return refuse(r, "no key label after " + printable(word));
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
    } else {
        r->layout->lines[code] = r->line;
        r->layout->labels[code] = label;
    }
    return true;
}

bool read_axis_label(reader_t *r) {
    std::string label = word_after(r);
    if (label.empty()) {
        return refuse(r, "an axis label is missing");
    }
    return takes(r, k_word_axis, label, "an Android axis label");
}

// axis CODE (LABEL | invert LABEL | split VALUE LOW HIGH) [flat VALUE]...
bool read_axis(reader_t *r) {
    std::string word = word_after(r);
    int code;
    if (!read_number(r, word, "axis", &code) || !new_code(r, &r->axes, code, word, "axis")) {
        return false;
    }
    size_t mode_at = r->at;
    std::string mode = word_after(r);
    int value;
    if (mode == "invert" && android_takes_word(k_word_in_axis, mode, r->version)) {
        if (!read_axis_label(r)) {
            return false;
        }
    } else if (mode == "split" && android_takes_word(k_word_in_axis, mode, r->version)) {
        if (!read_number(r, word_after(r), mode, &value) || !read_axis_label(r) ||
            !read_axis_label(r)) {
            return false;
        }
    } else {
        r->at = mode_at;
        if (!read_axis_label(r)) {
            return false;
        }
    }
    for (skip_blanks(r); !at_line_end(*r) && peek(*r) != '#'; skip_blanks(r)) {
        std::string keyword = next_word(r);
        if (keyword != "flat" || !android_takes_word(k_word_in_axis, keyword, r->version)) {
            return refuse(
                r, quoted(keyword) + " is not \"flat\", the one word that may follow an axis");
        }
        if (!read_number(r, word_after(r), keyword, &value, true)) {
            return false;
        }
    }
    r->axes[code] = r->line;
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
    std::string label = word_after(r);
    if (label.empty()) {
        return refuse(r, "no LED label after " + printable(word));
    }
    if (!takes(r, k_word_led, label, "an Android LED label")) {
        return false;
    }
    (usage ? r->led_usages : r->leds)[code] = r->line;
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
        return refuse(r, "no sensor type after " + printable(word));
    }
    std::string index = word_after(r);
    if (!takes(r, k_word_sensor, type, "an Android sensor type") ||
        !takes(r, k_word_sensor_data, index, "a sensor data index (X, Y or Z)")) {
        return false;
    }
    r->sensors[code] = r->line;
    return true;
}

// requires_kernel_config NAME
bool read_kernel_config(reader_t *r) {
    std::string name = word_after(r);
    auto earlier = r->kernel_configs.find(name);
    if (earlier != r->kernel_configs.end()) {
        return refuse(r, "kernel config " + quoted(name) + " is required already, at line " +
                             std::to_string(earlier->second));
    }
    r->kernel_configs[name] = r->line;
    return true;
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

std::string android_since_text(int first, int last) {
    if (last < k_android_newest) {
        return first == last ? "in Android " + std::to_string(first) + " only"
                             : "from Android " + std::to_string(first) + " to " +
                                   std::to_string(last) + " only";
    }
    return "since Android " + std::to_string(first);
}

void read_android_layout(const std::string &text, int version, android_layout_t *layout) {
    layout->version = version;
    reader_t r = {text, 0, 1, version, layout, {}, {}, {}, {}, {}, {}};
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

int read_android_layouts(const std::string &path, const tool_options_t *options,
                         std::vector<android_layout_t> *layouts, std::string *why) {
    std::string text;
    if (read_regular_file(path, k_max_layout_bytes, &text, why) != 0) {
        return -1;
    }
    int first;
    int last;
    android_judged(options, &first, &last);
    for (int version = first; version <= last; version++) {
        layouts->emplace_back();
        read_android_layout(text, version, &layouts->back());
    }
    return 0;
}
