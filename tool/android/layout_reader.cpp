// A key layout file as Android's input framework reads it, which is not as the daemon reads
// it: Android reads a scancode with its base prefix ("0x74" is 116, "012" is 10), takes "#"
// after a tab as a comment, has no line length limit, and fails to load the whole file at
// the first line it cannot read. Only "key" lines and first words are judged here.
#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "tool/android/android.h"
#include "tool/files/files.h"
#include "tool/keys/keys.h"

namespace {

// Key layouts are a few KiB; a limit far above them keeps a device from filling memory.
constexpr size_t k_max_layout_bytes = 1 << 20;

const char k_android_refuses[] =
    "Android refuses this file and uses Generic.kl for every key of the device";

// What Android's key layout reader takes as white space between words; a line ends at '\n'.
const char k_blanks[] = " \t\r";

std::vector<std::string> words_of(const std::string &line) {
    std::vector<std::string> words;
    for (size_t at = line.find_first_not_of(k_blanks); at != std::string::npos;
         at = line.find_first_not_of(k_blanks, at)) {
        size_t end = line.find_first_of(k_blanks, at);
        words.push_back(line.substr(at, end == std::string::npos ? end : end - at));
        at = end;
    }
    return words;
}

bool is_key_flag(const std::string &word) {
    for (const char *flag : {"WAKE", "VIRTUAL", "FUNCTION", "GESTURE", "FALLBACK_USAGE_MAPPING"}) {
        if (word == flag) {
            return true;
        }
    }
    return false;
}

// One "key [usage] CODE LABEL [FLAG...]" line: "" when Android takes it, else why not.
std::string read_key_line(const std::vector<std::string> &words, int number,
                          android_layout_t *layout, std::map<int, int> *usage_lines,
                          std::string *hint) {
    bool usage = words.size() > 1 && words[1] == "usage";
    size_t at = usage ? 2 : 1;
    std::string code_word = at < words.size() ? words[at] : "";
    char *end = nullptr;
    errno = 0;
    long code = strtol(code_word.c_str(), &end, 0);
    if (end == code_word.c_str() || errno == ERANGE) {
        return code_word.empty() ? "nothing follows \"" + words[at - 1] + "\""
                                 : "\"" + code_word + "\" is not a number Android reads";
    }
    std::map<int, int> &lines = usage ? *usage_lines : layout->lines;
    auto earlier = lines.find(static_cast<int>(code));
    if (earlier != lines.end()) {
        std::string what = (usage ? "usage " : "scancode ") + std::to_string(code);
        std::string at_line = std::to_string(earlier->second);
        return code_word == std::to_string(code) ? what + " is mapped already, at line " + at_line
                                                 : "\"" + code_word + "\" is " + what +
                                                       ", which line " + at_line + " maps already";
    }
    std::string label = at + 1 < words.size() ? words[at + 1] : "";
    if (label.empty() || label[0] == '#') {
        return "no key label after " + code_word;
    }
    if (!is_android_label(label)) {
        std::string nearest = nearest_android_label(label);
        *hint = nearest.empty() ? "" : " (did you mean \"" + nearest + "\"?)";
        return "\"" + label + "\" is not an Android key label";
    }
    for (size_t flag = at + 2; flag < words.size() && words[flag][0] != '#'; flag++) {
        if (!is_key_flag(words[flag])) {
            return "\"" + words[flag] +
                   "\" after the label is not a key flag (WAKE, VIRTUAL, FUNCTION, GESTURE, "
                   "FALLBACK_USAGE_MAPPING)";
        }
    }
    lines[static_cast<int>(code)] = number;
    if (!usage) {
        layout->labels[static_cast<int>(code)] = label;
    }
    return "";
}

}  // namespace

void read_android_layout(const std::string &text, android_layout_t *layout) {
    std::map<int, int> usage_lines;
    int number = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? end : end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        number++;
        std::vector<std::string> words = words_of(line);
        if (words.empty() || words[0][0] == '#') {
            continue;
        }
        std::string why;
        std::string hint;
        if (words[0] == "key") {
            why = read_key_line(words, number, layout, &usage_lines, &hint);
        } else if (words[0] != "axis" && words[0] != "led" && words[0] != "sensor" &&
                   words[0] != "requires_kernel_config") {
            why = "\"" + words[0] +
                  "\" is not a keyword of Android's key layouts (key, axis, led, sensor, "
                  "requires_kernel_config)";
        }
        if (!why.empty()) {
            layout->refusals.push_back({number, why + ": " + k_android_refuses + hint});
        }
    }
}

int read_android_layout_file(const std::string &path, android_layout_t *layout, std::string *why) {
    std::string text;
    if (read_regular_file(path, k_max_layout_bytes, &text, why) != 0) {
        return -1;
    }
    read_android_layout(text, layout);
    return 0;
}
