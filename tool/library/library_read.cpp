// SPDX-License-Identifier: Apache-2.0
// Where the tool finds the Linux keymap library, and reading it there: folders of keymap files
// as ir-keytable keeps them, and the copy installed with the tool. The first keymap of a name
// wins, as ir-keytable puts /etc/rc_keymaps before its own folder.
#include <dirent.h>
#include <errno.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tool/files/files.h"
#include "tool/library/library.h"
#include "tool/print.h"

const char *g_host_library_dirs[k_host_library_dir_count] = {
    "/etc/rc_keymaps", "/lib/udev/rc_keymaps", "/usr/lib/udev/rc_keymaps"};
const char *g_box_library_copy = "/system_ext/etc/dravoke/rc_keymaps.txt";
const char *g_host_library_copy = nullptr;

namespace {

// The copy of the library's keymaps is some 130 KiB: a limit far above it keeps a device or a
// runaway file from filling memory.
constexpr size_t k_max_copy_bytes = 16 << 20;

constexpr char k_copy_name[] = "rc_keymaps.txt";

struct place_t {
    std::string path;
    bool copy;   // a file of the copy's form, else a folder of keymap files
    bool named;  // by --library: that it is missing or empty is worth saying
};

// Beside the tool on a host: <prefix>/bin/dravoke-keymap reads <prefix>/share/dravoke, as
// cmake --install lays it out; Android's host build puts it in <prefix>/etc/dravoke.
std::vector<std::string> host_copies(void) {
    if (g_host_library_copy != nullptr) {
        return {g_host_library_copy};
    }
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
    if (n <= 0) {
        return {};
    }
    std::string program(self, static_cast<size_t>(n));
    std::string bin = program.substr(0, program.rfind('/'));
    std::string prefix = bin.substr(0, bin.rfind('/'));
    return {prefix + "/share/dravoke/" + k_copy_name, prefix + "/etc/dravoke/" + k_copy_name};
}

std::vector<place_t> library_places(const tool_options_t *options) {
    std::vector<place_t> places;
    if (!options->library.empty()) {
        struct stat st;
        bool file = stat(options->library.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
        places.push_back({options->library, file, true});
    }
    if (options->on_android) {
        places.push_back({g_box_library_copy, true, false});
        return places;
    }
    for (const char *dir : g_host_library_dirs) {
        places.push_back({dir, false, false});
    }
    for (const std::string &copy : host_copies()) {
        places.push_back({copy, true, false});
    }
    return places;
}

// One keymap file of a folder, read and parsed; or its problem told.
bool read_folder_keymap(const std::string &dir, const std::string &file, library_keymap_t *keymap,
                        std::vector<std::string> *problems) {
    *keymap = {keymap_name_of(file), file, {}};
    std::string problem;
    if (read_keymap_file(dir + "/" + file, &keymap->table, &problem) != 0) {
        problems->push_back(problem);
        return false;
    }
    return true;
}

// The keymap files of a folder, by name; folders in it (ir-keytable keeps its BPF protocols in
// one) and hidden files are not keymaps. Without a TOML reader, TOML files are passed over.
void list_keymap_files(const place_t &place, std::vector<std::string> *files,
                       std::vector<std::string> *problems) {
    DIR *folder = opendir(place.path.c_str());
    if (folder == nullptr) {
        if (errno != ENOENT || place.named) {
            problems->push_back(place.path + ": error: cannot read the folder: " + strerror(errno));
        }
        return;
    }
    for (struct dirent *e = readdir(folder); e != nullptr; e = readdir(folder)) {
        std::string file = e->d_name;
        struct stat st;
        if (file[0] == '.' ||
            (stat((place.path + "/" + file).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) ||
            (!toml_keymaps_supported() && keymap_name_of(file) != file)) {
            continue;
        }
        files->push_back(file);
    }
    closedir(folder);
    std::sort(files->begin(), files->end());
    if (files->empty() && place.named) {
        problems->push_back(place.path + ": error: no keymap in the folder" +
                            (toml_keymaps_supported() ? "" : " that this build reads (no TOML)"));
    }
}

// Reads the copy at a place, when it is there.
void read_copy(const place_t &place, bool keys, std::vector<library_keymap_t> *keymaps,
               std::vector<std::string> *problems) {
    std::string text;
    std::string why;
    if (access(place.path.c_str(), F_OK) != 0 && errno == ENOENT && !place.named) {
        return;
    }
    if (read_regular_file(place.path, k_max_copy_bytes, &text, &why) != 0) {
        problems->push_back(place.path + ": error: " + why);
        return;
    }
    parse_library_copy(text, place.path, keys, keymaps, problems);
}

// Walks the places in order, handing each keymap name the first time it is seen to take; a
// name taken stays taken. Stops when take says so.
template <typename take_t>
void walk_library(const tool_options_t *options, bool keys, keymap_library_t *library,
                  take_t take) {
    std::set<std::string> seen;
    for (const place_t &place : library_places(options)) {
        library->looked.push_back(place.path);
        if (place.copy) {
            std::vector<library_keymap_t> keymaps;
            read_copy(place, keys, &keymaps, &library->problems);
            library->found |= !keymaps.empty();
            for (library_keymap_t &keymap : keymaps) {
                if (seen.insert(keymap.name).second && !take(keymap.name, &keymap, "")) {
                    return;
                }
            }
            continue;
        }
        std::vector<std::string> files;
        list_keymap_files(place, &files, &library->problems);
        library->found |= !files.empty();
        for (const std::string &file : files) {
            if (seen.insert(keymap_name_of(file)).second &&
                !take(keymap_name_of(file), nullptr, place.path + "/" + file)) {
                return;
            }
        }
    }
}

}  // namespace

int read_keymap_file(const std::string &path, keytable_t *table, std::string *problem) {
    // Keymaps are a few KiB; a limit far above them keeps a device or a runaway file from
    // filling memory.
    constexpr size_t k_max_keymap_bytes = 1 << 20;
    std::string text;
    std::string why;
    keytable_error_t error;
    if (read_regular_file(path, k_max_keymap_bytes, &text, &why) != 0) {
        *problem = "dravoke-keymap: cannot read " + path + ": " + why;
        return -1;
    }
    if (parse_keytable(text, path, table, &error) != 0) {
        std::string place = path;
        place += error.line > 0 ? ":" + std::to_string(error.line) : "";
        place += error.column > 0 ? ":" + std::to_string(error.column) : "";
        *problem = place + ": error: " + error.text;
        return -1;
    }
    return 0;
}

void read_keymap_library(const tool_options_t *options, bool keys, keymap_library_t *library) {
    *library = {};
    walk_library(options, keys, library,
                 [&](const std::string &, library_keymap_t *keymap, const std::string &path) {
                     library_keymap_t read;
                     if (keymap == nullptr) {
                         size_t slash = path.rfind('/');
                         if (!read_folder_keymap(path.substr(0, slash), path.substr(slash + 1),
                                                 &read, &library->problems)) {
                             return true;
                         }
                         keymap = &read;
                     }
                     library->keymaps.push_back(std::move(*keymap));
                     return true;
                 });
    std::sort(library->keymaps.begin(), library->keymaps.end(),
              [](const library_keymap_t &a, const library_keymap_t &b) { return a.name < b.name; });
}

int find_library_keymap(const tool_options_t *options, std::string name, library_keymap_t *keymap,
                        keymap_library_t *library) {
    *library = {};
    name = keymap_name_of(name);
    int status = -1;
    walk_library(options, true, library,
                 [&](const std::string &seen, library_keymap_t *copied, const std::string &path) {
                     if (seen != name) {
                         return true;
                     }
                     if (copied != nullptr) {
                         *keymap = std::move(*copied);
                         status = 0;
                         return false;
                     }
                     size_t slash = path.rfind('/');
                     status = read_folder_keymap(path.substr(0, slash), path.substr(slash + 1),
                                                 keymap, &library->problems)
                                  ? 0
                                  : -2;
                     return false;
                 });
    return status;
}

std::string library_looked_text(const keymap_library_t &library) {
    std::string places;
    for (size_t i = 0; i < library.looked.size(); i++) {
        places += i == 0 ? "" : i + 1 == library.looked.size() ? " and " : ", ";
        places += library.looked[i];
    }
    return "looked in " + places;
}

std::string no_library_text(const keymap_library_t &library, const tool_options_t *options) {
    return "no Linux keymap library found: " + library_looked_text(library) +
           "; name one with --library PATH (a folder of keymaps, or the tool's " + k_copy_name +
           ")" + (options->on_android ? "" : ", or install ir-keytable");
}

void print_library_problems(const keymap_library_t &library, FILE *err) {
    for (const std::string &problem : library.problems) {
        tool_print(err, "%s (left out of the Linux keymap library)\n", problem.c_str());
    }
}
