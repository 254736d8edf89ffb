// SPDX-License-Identifier: Apache-2.0
#include "tool_fuzz_fixture.h"

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

#include "core/protocol.h"
#include "keymap/keymap.h"

// The labels that import gives the keys of the library's remotes, and learn asks for.
const char *const k_fuzz_standard_names[] = {"POWER",
                                             "DPAD_UP",
                                             "DPAD_DOWN",
                                             "DPAD_LEFT",
                                             "DPAD_RIGHT",
                                             "DPAD_CENTER",
                                             "BACK",
                                             "HOME",
                                             "MENU",
                                             "VOLUME_UP",
                                             "VOLUME_DOWN",
                                             "VOLUME_MUTE",
                                             "0",
                                             "1",
                                             "2",
                                             "5",
                                             "9",
                                             "CHANNEL_UP",
                                             "CHANNEL_DOWN",
                                             "MEDIA_PLAY_PAUSE",
                                             "MEDIA_STOP",
                                             "MEDIA_REWIND",
                                             "MEDIA_NEXT",
                                             "MEDIA_PREVIOUS",
                                             "PROG_RED",
                                             "INFO",
                                             "TV",
                                             "CAPTIONS",
                                             "GUIDE",
                                             "ENTER",
                                             "SETTINGS",
                                             "MEDIA_FAST_FORWARD"};
const int k_fuzz_standard_name_count =
    static_cast<int>(sizeof(k_fuzz_standard_names) / sizeof(k_fuzz_standard_names[0]));

namespace {

std::vector<std::string> g_folders;

void remove_folders() {
    for (const std::string &dir : g_folders) {
        remove_written_files(dir);
        unlink((dir + "/" + k_standard_layout_file).c_str());
        rmdir(dir.c_str());
    }
}

}  // namespace

std::string make_layout_folder(void) {
    char dir[] = "/tmp/dravoke-fuzz-tool.XXXXXX";
    if (mkdtemp(dir) == nullptr) {
        abort();
    }
    if (g_folders.empty()) {
        atexit(remove_folders);
    }
    g_folders.push_back(dir);
    // Besides the names: a name at 0, which is never a target, and a name twice, whose lowest
    // scancode counts.
    std::string standard = "key 0 SEARCH\nkey 250 POWER\n";
    for (int i = 0; i < k_fuzz_standard_name_count; i++) {
        standard += "key " + std::to_string(100 + i) + " " + k_fuzz_standard_names[i] + "\n";
    }
    std::string path = std::string(dir) + "/" + k_standard_layout_file;
    FILE *file = fopen(path.c_str(), "w");
    if (file == nullptr || fputs(standard.c_str(), file) < 0 || fclose(file) != 0) {
        abort();
    }
    return dir;
}

void remove_written_files(const std::string &dir) {
    DIR *listing = opendir(dir.c_str());
    std::vector<std::string> names;
    for (struct dirent *e = listing != nullptr ? readdir(listing) : nullptr; e != nullptr;
         e = readdir(listing)) {
        std::string name = e->d_name;
        if (name != "." && name != ".." && name != k_standard_layout_file) {
            names.push_back(name);
        }
    }
    if (listing != nullptr) {
        closedir(listing);
    }
    for (const std::string &name : names) {
        unlink((dir + "/" + name).c_str());
    }
}

tool_options_t fuzz_options(const std::string &dir) {
    tool_options_t options{};
    options.dir = dir;
    options.dir_given = true;
    options.protocols = {k_ir_protocol_nec, k_ir_protocol_rc5};
    options.protocol_origin = "the driver's file unread";
    options.input_fd = -1;
    return options;
}

FILE *fuzz_output(void) {
    static FILE *out = fopen("/dev/null", "w");
    if (out == nullptr) {
        abort();
    }
    return out;
}

const keymap_library_t *fuzz_library(void) {
    static keymap_library_t *library = nullptr;
    if (library == nullptr) {
        for (const char *&dir : g_host_library_dirs) {
            dir = "/nonexistent";
        }
        g_host_library_copy = DRAVOKE_RC_KEYMAPS;
        static const tool_options_t options = fuzz_options("/nonexistent");
        library = new keymap_library_t();
        read_keymap_library(&options, true, library);
        if (library->keymaps.empty() || !library->problems.empty()) {
            abort();
        }
    }
    return library;
}
