// SPDX-License-Identifier: Apache-2.0
// Where Android's files for a device are, here: the box's folders or a copy of them; and the
// two of its files besides key layouts that choose what a key becomes, the device's .idc and
// its character map, read with Android's own syntax.
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <cutils/properties.h>

#include "core/paths.h"
#include "tool/android/box_number.h"
#include "tool/android/layout_search.h"
#include "tool/android/reader_words.h"
#include "tool/files/files.h"
#include "tool/tables/tables.h"

namespace {

// The system's key layout folder as Android names it: $ANDROID_ROOT/usr/keylayout.
constexpr char k_system_keylayout[] = "/system/usr/keylayout";
// An .idc or character map is a few hundred bytes; the limit keeps a device from filling memory.
constexpr size_t k_max_device_file_bytes = 1 << 20;

// PropertyMap's and the tokenizer's blanks: strchr(" \t\r", c) also finds the NUL.
bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\0';
}

// The lines of text without their '\n'.
std::vector<std::string> lines_of_text(const std::string &text) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end;
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

}  // namespace

void settle_box_tree(const tool_options_t *options, box_tree_t *tree) {
    tree->bare = false;
    tree->apex_known = false;
    tree->apex.clear();
    if (!options->root.empty()) {
        tree->root = options->root == "/" ? "" : options->root;
        tree->keylayout = tree->root + k_system_keylayout;
        if (!tree->root.empty()) {
            return;
        }
    } else if (options->on_android &&
               (options->on_box || same_folder(options->dir, g_keylayout_dir))) {
        tree->root = "";
        tree->keylayout = options->dir;
    } else {
        tree->bare = true;
        tree->root = "";
        tree->keylayout = options->dir;
        return;
    }
    // The box itself: the property is there to read, as Android reads it at every lookup.
    char value[PROPERTY_VALUE_MAX] = "";
    property_get(k_android_apex_property, value, "");
    tree->apex_known = true;
    tree->apex = value;
}

std::string tree_path(const box_tree_t &tree, const std::string &box_path) {
    std::string system = std::string(k_system_keylayout) + "/";
    if (box_path.compare(0, system.size(), system) == 0) {
        return tree.keylayout + box_path.substr(system.size() - 1);
    }
    return tree.root + box_path;
}

std::string resolved_box_path(const std::string &path) {
    std::vector<std::string> parts;
    for (size_t at = 0; at <= path.size();) {
        size_t end = std::min(path.find('/', at), path.size());
        std::string part = path.substr(at, end - at);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = end + 1;
    }
    std::string text;
    for (const std::string &part : parts) {
        text += "/" + part;
    }
    return text.empty() ? "/" : text;
}

std::string idc_file_name(const std::string &value, int version) {
    if (((k_android_idc_names_converted >> version) & 1) == 0) {
        return value;
    }
    std::string name = value;
    for (char &c : name) {
        bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '_';
        c = kept ? c : '_';
    }
    return name;
}

std::vector<std::string> search_prefixes(const box_tree_t &tree, int version) {
    std::vector<std::string> prefixes;
    for (int i = 0; i < k_android_search_folder_count; i++) {
        const android_search_folders_t &group = k_android_search_folders[i];
        for (int p = 0; ((group.versions >> version) & 1) != 0 && group.prefixes[p] != nullptr;
             p++) {
            std::string prefix = group.prefixes[p];
            size_t value = prefix.find("<value>");
            if (value == std::string::npos) {
                prefixes.push_back(prefix);
            } else if (!tree.apex.empty()) {
                prefixes.push_back(prefix.replace(value, 7, tree.apex));
            }
        }
    }
    return prefixes;
}

const cached_file_t &read_cached(file_cache_t *cache, const std::string &path) {
    auto known = cache->find(path);
    if (known != cache->end()) {
        return known->second;
    }
    cached_file_t &file = (*cache)[path];
    struct stat st;
    file.folder = stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    if (!file.folder &&
        read_regular_file(path, k_max_device_file_bytes, &file.text, &file.why) != 0 &&
        file.why.empty()) {
        file.why = "cannot be read";
    }
    return file;
}

int parse_idc(const std::string &text, idc_keys_t *keys, int *line, std::string *why) {
    std::vector<std::string> lines = lines_of_text(text);
    for (size_t n = 0; n < lines.size(); n++) {
        const std::string &l = lines[n];
        *line = static_cast<int>(n) + 1;
        size_t at = 0;
        auto skip = [&]() {
            while (at < l.size() && is_blank(l[at])) {
                at++;
            }
        };
        skip();
        if (at == l.size() || l[at] == '#') {
            continue;
        }
        size_t key_at = at;
        while (at < l.size() && !is_blank(l[at]) && l[at] != '=') {
            at++;
        }
        std::string key = l.substr(key_at, at - key_at);
        skip();
        if (key.empty() || at == l.size() || l[at] != '=') {
            *why = key.empty() ? "no key before '='" : "no '=' after the key";
            return -1;
        }
        at++;
        skip();
        size_t value_at = at;
        while (at < l.size() && !is_blank(l[at])) {
            at++;
        }
        std::string value = l.substr(value_at, at - value_at);
        skip();
        if (value.find_first_of("\\\"") != std::string::npos) {
            *why = "a value holds '\\' or '\"', which have no meaning there";
        } else if (at != l.size()) {
            *why = "more follows the value; a value has no blanks";
        } else if (keys->count(key) != 0) {
            *why = "the key is given a second time";
        } else {
            (*keys)[key] = {value, *line};
            continue;
        }
        return -1;
    }
    return 0;
}

void read_kcm_map_keys(const std::string &text, int version,
                       std::map<int, std::pair<std::string, int>> *keys) {
    std::vector<std::string> lines = lines_of_text(text);
    for (size_t n = 0; n < lines.size(); n++) {
        std::vector<std::string> words;
        const std::string &l = lines[n];
        for (size_t at = 0; at < l.size() && words.size() < 5;) {
            while (at < l.size() && is_blank(l[at])) {
                at++;
            }
            size_t start = at;
            while (at < l.size() && !is_blank(l[at])) {
                at++;
            }
            if (at > start) {
                words.push_back(l.substr(start, at - start));
            }
        }
        if (words.size() != 4 || words[0] != "map" || words[1] != "key") {
            continue;
        }
        // The character map's reader takes a scancode only when the whole word is its number.
        box_number_t code = read_box_number(words[2], 64, false);
        if (code.used == words[2].size() && code.exact && code.value != 0 &&
            android_takes_word(k_word_label, words[3], version)) {
            (*keys)[code.value] = {words[3], static_cast<int>(n) + 1};
        }
    }
}
