// SPDX-License-Identifier: Apache-2.0
// The files Android takes for the virtual keyboard, as KeyMap::load chooses them: the layout
// its .idc names, else the first orvex-ir-uinput.kl of the folders the version searches, else
// Generic.kl, else Virtual.kl; a layout found that fails to load gives way to the next step, or
// first, from 14 on, to orvex-ir-uinput_fallback.kl. Each is found where access() first lets
// Android read it, and read with the version's own reader. What differs between versions is
// data (tool/tables/): the folders and their order, and the rules by which the steps differ.
#include <errno.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "core/paths.h"
#include "tool/android/layout_search.h"
#include "tool/android/reader.h"
#include "tool/print.h"
#include "tool/tables/tables.h"

namespace {

struct search_t {
    const box_tree_t &tree;
    android_reading_t reading;
    file_cache_t *cache;
    layout_choice_t *choice;
    std::vector<std::string> prefixes;
    std::vector<std::string> failed;  // what failed to load on the way
};

struct found_t {
    std::string here;   // the path here
    std::string shown;  // as Android names it
};

bool follows(const search_t &s, unsigned rule) {
    return ((rule >> s.reading.version) & 1) != 0;
}

void say(search_t *s, const std::string &path, int line, bool warning, const std::string &one,
         const std::string &several) {
    s->choice->findings.push_back({{path, one, line, warning}, several});
}

// A name as messages show it: printable, and cut when long.
std::string shown_name(const std::string &name) {
    std::string text = printable(name);
    return text.size() > 64 ? text.substr(0, 60) + "..." : text;
}

// The first path of name that Android may read, in the folders searched; false when none.
bool find(search_t *s, const std::string &kind, const std::string &name, const char *extension,
          found_t *found) {
    std::vector<std::string> boxes;
    if (s->tree.bare) {
        if (kind == "keylayout") {
            boxes.push_back(s->tree.keylayout + "/" + name + extension);
        }
    } else {
        for (const std::string &prefix : s->prefixes) {
            std::string box = prefix + kind + "/" + name + extension;
            boxes.push_back(s->tree.root.empty() ? box : resolved_box_path(box));
        }
    }
    for (const std::string &box : boxes) {
        std::string here = s->tree.bare ? box : tree_path(s->tree, box);
        // Android's access() fails on a path longer than the system takes: that name is not found.
        if (here.size() >= PATH_MAX || box.size() >= PATH_MAX) {
            continue;
        }
        if (access(here.c_str(), R_OK) == 0) {
            *found = {here, box};
            return true;
        }
        if (errno == EACCES) {
            say(s, here, 0, true,
                "passes over this file, which cannot be read here, if its input service cannot "
                "read it either; judged so",
                "pass over this file, which cannot be read here, if their input service cannot "
                "read it either; judged so");
        }
    }
    return false;
}

// Reads a layout found: 1 it loads, 0 it fails (*why, at *line), -1 it cannot be read here
// (*why).
int try_layout(search_t *s, const found_t &found, android_layout_t *read, std::string *why,
               int *line = nullptr) {
    const cached_file_t &file = read_cached(s->cache, found.here);
    if (file.folder) {
        *why = "a folder, which cannot be read as a file";
        return 0;
    }
    if (!file.why.empty()) {
        *why = file.why;
        return -1;
    }
    *read = android_layout_t();
    read_android_layout(file.text, s->reading, read);
    s->choice->tried.push_back({found.here, *read});
    for (const android_remark_t &remark : read->remarks) {
        if (remark.verdict == k_android_refuses) {
            *why = "line " + std::to_string(remark.line) + ": " + remark.why;
            if (line != nullptr) {
                *line = remark.line;
            }
            return 0;
        }
    }
    return 1;
}

void choose(search_t *s, const found_t &found, const android_layout_t &read,
            const std::string &unreadable, const std::string &why, bool own) {
    layout_choice_t *c = s->choice;
    c->path = found.here;
    c->shown = found.shown;
    c->read = read;
    c->unreadable = unreadable;
    c->why = why;
    c->own = own;
}

// The step that searches for name: its layout, or the device's _fallback in its place; true
// when the search ends there.
bool take_layout(search_t *s, const std::string &name, const std::string &why, bool own) {
    found_t found;
    if (!find(s, "keylayout", name, ".kl", &found)) {
        return false;
    }
    android_layout_t read;
    std::string failure;
    int line = 0;
    int loads = try_layout(s, found, &read, &failure, &line);
    if (loads != 0) {
        choose(s, found, read, loads < 0 ? failure : "", why, own);
        return true;
    }
    std::string first = failure;
    std::string failed = found.shown + " fails to load (" + failure + ")";
    if (name == k_virtual_keyboard_name) {
        s->choice->refused = found.here;
        s->choice->refusal = found.here + (line > 0 ? ":" + std::to_string(line) : "") + ": " +
                             failure.substr(line > 0 ? failure.find(": ") + 2 : 0);
    }
    found_t fallback;
    std::string fallback_name = std::string(k_virtual_keyboard_name) + "_fallback";
    if (follows(*s, k_android_layout_fallback) &&
        find(s, "keylayout", fallback_name, ".kl", &fallback)) {
        loads = try_layout(s, fallback, &read, &failure);
        if (loads != 0) {
            choose(s, fallback, read, loads < 0 ? failure : "",
                   "in place of " + found.shown + ", which fails to load (" + first + ")", true);
            return true;
        }
        failed += ", and so does " + fallback.shown + " (" + failure + ")";
    }
    s->failed.push_back(failed);
    return false;
}

// The device's .idc: its keys, empty when there is none or Android rejects it.
idc_keys_t read_idc(search_t *s, found_t *found) {
    idc_keys_t keys;
    if (!find(s, "idc", k_virtual_keyboard_name, ".idc", found)) {
        found->shown.clear();
        return keys;
    }
    const cached_file_t &file = read_cached(s->cache, found->here);
    int line = 0;
    std::string why;
    if (file.folder) {
        say(s, found->here, 0, true,
            "takes this .idc, a folder, and cannot read it: no .idc applies, and no other is "
            "looked for",
            "take this .idc, a folder, and cannot read it: no .idc applies, and no other is "
            "looked for");
    } else if (!file.why.empty()) {
        say(s, found->here, 0, true,
            "takes this .idc, which cannot be read here (" + file.why +
                "): judged as if it set nothing",
            "take this .idc, which cannot be read here (" + file.why +
                "): judged as if it set nothing");
    } else if (parse_idc(file.text, &keys, &line, &why) != 0) {
        keys.clear();
        std::string rest = " this .idc whole at this line: " + why +
                           "; none of its keys apply, and no other .idc is looked for";
        say(s, found->here, line, true, "rejects" + rest, "reject" + rest);
    }
    return keys;
}

// Folders of other versions that hold a file this version would take there: said once each.
void say_unsearched(search_t *s, const std::string &kind, const char *extension) {
    std::set<std::string> all;
    for (int i = 0; i < k_android_search_folder_count; i++) {
        for (const char *const *p = k_android_search_folders[i].prefixes; *p != nullptr; p++) {
            all.insert(*p);
        }
    }
    for (const std::string &prefix : all) {
        std::string folder = prefix + kind;
        std::string here = tree_path(s->tree, folder + "/" + k_virtual_keyboard_name + extension);
        struct stat st;
        if (prefix.find('<') == std::string::npos &&
            std::find(s->prefixes.begin(), s->prefixes.end(), prefix) == s->prefixes.end() &&
            lstat(here.c_str(), &st) == 0) {
            say(s, here, 0, false, "does not search " + folder, "do not search " + folder);
        }
    }
}

// The character map: the same steps, the first found taken.
void choose_kcm(search_t *s, const idc_keys_t &idc) {
    auto named = idc.find("keyboard.characterMap");
    std::vector<std::string> names;
    if (named != idc.end() && !named->second.first.empty()) {
        names.push_back(idc_file_name(named->second.first, s->reading.version));
    }
    names.insert(names.end(), {k_virtual_keyboard_name, "Generic", "Virtual"});
    found_t found;
    for (const std::string &name : names) {
        if (!find(s, "keychars", name, ".kcm", &found)) {
            continue;
        }
        const cached_file_t &file = read_cached(s->cache, found.here);
        if (!file.folder && file.why.empty()) {
            s->choice->kcm = found.here;
            s->choice->kcm_shown = found.shown;
            read_kcm_map_keys(file.text, s->reading.version, &s->choice->kcm_keys);
        }
        return;
    }
}

std::string joined(const std::vector<std::string> &parts) {
    std::string text;
    for (const std::string &part : parts) {
        text += (text.empty() ? "" : "; ") + part;
    }
    return text;
}

}  // namespace

void choose_layout(const box_tree_t &tree, const android_reading_t &reading, file_cache_t *cache,
                   layout_choice_t *choice) {
    *choice = layout_choice_t();
    search_t s = {tree, reading, cache, choice, search_prefixes(tree, reading.version), {}};
    std::string device = k_virtual_keyboard_name;
    idc_keys_t idc;
    if (!tree.bare) {
        say_unsearched(&s, "keylayout", ".kl");
        say_unsearched(&s, "idc", ".idc");
        found_t found;
        idc = read_idc(&s, &found);
        auto layout = idc.find("keyboard.layout");
        // An empty name is the search by device, which the next step makes.
        if (layout != idc.end() && !layout->second.first.empty()) {
            std::string value = layout->second.first;
            std::string name = idc_file_name(value, reading.version);
            if (name.find('/') != std::string::npos || name != value) {
                std::string looks =
                    " for " + shown_name(name) + ".kl" +
                    (name.find("..") != std::string::npos ? ", a path out of its key layout folders"
                     : name.find('/') != std::string::npos ? ", in a subfolder"
                                                           : "");
                say(&s, found.here, layout->second.second, false, "looks" + looks, "look" + looks);
            }
            if (take_layout(&s, name,
                            "named by keyboard.layout at " + found.shown + ":" +
                                std::to_string(layout->second.second),
                            true)) {
                choose_kcm(&s, idc);
                return;
            }
            std::string rest = " no file " + shown_name(name) +
                               ".kl that loads in the folders searched, and goes on as without "
                               "keyboard.layout";
            say(&s, found.here, layout->second.second, false, "finds" + rest, "find" + rest);
        }
        if (!tree.root.empty() && !tree.apex_known && s.prefixes.size() > 0) {
            // Off the box the APEX property cannot be read: said where it would count.
            struct stat st;
            for (int i = 0; i < k_android_search_folder_count; i++) {
                const android_search_folders_t &g = k_android_search_folders[i];
                bool uses = false;
                for (const char *const *p = g.prefixes; *p != nullptr; p++) {
                    uses = uses || std::string(*p).find("<value>") != std::string::npos;
                }
                std::string apex = tree.root + "/apex";
                if (uses && ((g.versions >> reading.version) & 1) != 0 &&
                    stat(apex.c_str(), &st) == 0) {
                    std::string rest =
                        std::string(
                            " its folders under /apex/VALUE/etc/usr/ before "
                            "/system/usr/ too, when the system property ") +
                        k_android_apex_property +
                        " names VALUE: read on the box alone, it is taken here as unset";
                    say(&s, apex, 0, false, "searches" + rest, "search" + rest);
                }
            }
        }
    }
    choose_kcm(&s, idc);
    if (take_layout(&s, device, "the first " + device + ".kl in the folders searched", true)) {
        return;
    }
    std::string why = !s.failed.empty() ? joined(s.failed)
                      : tree.bare       ? "no " + device + ".kl in " + tree.keylayout
                                        : "no " + device + ".kl in the folders searched";
    size_t failures = s.failed.size();
    if (take_layout(&s, "Generic", why, false)) {
        return;
    }
    if (tree.bare) {
        // No folder tree: AOSP's Generic.kl stands in, which always loads.
        choice->through_aosp = true;
        choice->shown = "Generic.kl";
        choice->why = why +
                      "; AOSP's Generic.kl stands in for the box's, no folder tree being at "
                      "hand here, as on the box or under --root";
        return;
    }
    std::string generic =
        s.failed.size() == failures ? "no Generic.kl in the folders searched" : s.failed.back();
    s.failed.resize(failures);
    s.failed.push_back(generic);
    if (take_layout(&s, "Virtual", joined(s.failed), false)) {
        return;
    }
    choice->why = joined(s.failed) +
                  "; no Virtual.kl loads either: no key of the virtual "
                  "keyboard is mapped";
}
