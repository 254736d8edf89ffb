// SPDX-License-Identifier: Apache-2.0
// import: reads every keymap first, then names each key, then writes the files.
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/protocol.h"
#include "tool/files/files.h"
#include "tool/import/import.h"
#include "tool/import/import_files.h"
#include "tool/keys/keys.h"
#include "tool/layouts/layouts.h"
#include "tool/library/library.h"
#include "tool/options.h"
#include "tool/print.h"

namespace {

int parse_keymap_file(const std::string &path, keytable_t *table, FILE *err) {
    std::string problem;
    if (read_keymap_file(path, table, &problem) != 0) {
        tool_print(err, "%s\n", problem.c_str());
        return -1;
    }
    return 0;
}

// Where a keymap argument is: the file it names; else, for a name alone, with or without
// ".toml", the library's keymap of that name, whose lines are its own file's.
int read_keymap(const tool_options_t *options, const std::string &arg, std::string *path,
                keytable_t *table, FILE *err) {
    *path = arg;
    if (access(arg.c_str(), F_OK) == 0 || arg.find('/') != std::string::npos) {
        return parse_keymap_file(arg, table, err);
    }
    library_keymap_t keymap;
    keymap_library_t library;
    int found = find_library_keymap(options, arg, &keymap, &library);
    if (found == 0) {
        *path = keymap.file;
        *table = keymap.table;
        return 0;
    }
    if (found == -2) {
        tool_print(err, "%s\n", library.problems.back().c_str());
    } else if (library.found) {
        tool_print(err,
                   "dravoke-keymap: %s: no such file, nor a keymap of the Linux keymap library "
                   "(%s)\n",
                   arg.c_str(), library_looked_text(library).c_str());
    } else {
        tool_print(err, "dravoke-keymap: %s: no such file, and %s\n", arg.c_str(),
                   no_library_text(library, options).c_str());
    }
    return -1;
}

int usage(FILE *err, const std::string &message) {
    tool_print(err, "dravoke-keymap: %s\nTry 'dravoke-keymap import --help'.\n", message.c_str());
    return 2;
}

}  // namespace

int run_import(const tool_options_t *options, FILE *out, FILE *err) {
    auto build = std::make_unique<layout_build_t>();
    import_t import = {build.get(), options, {}, {}, out, 0, {}};
    for (const std::string &map : options->maps) {
        size_t equals = map.find('=');
        if (equals == 0 || equals == std::string::npos || equals + 1 == map.size()) {
            return usage(err, "--map takes KEY_X=NAME, not '" + map + "'");
        }
        std::string key = map.substr(0, equals);
        if (linux_key_code(key.c_str()) < 0) {
            std::string nearest = nearest_linux_key(key);
            return usage(err, "--map " + map + ": " + key + " is not a Linux key name" +
                                  (nearest.empty() ? "" : " (did you mean " + nearest + "?)"));
        }
        import.maps[key] = map.substr(equals + 1);
    }
    if (build_from_standard(options, build.get(), "imported keys take their names from it", err) !=
        0) {
        return 1;
    }
    for (const auto &map : import.maps) {
        bool at_zero;
        if (standard_scancode_of(build.get(), map.second.c_str(), &at_zero) == 0) {
            std::string nearest = nearest_standard_name(build.get(), map.second.c_str());
            return usage(err, "--map " + map.first + "=" + map.second + ": " +
                                  k_standard_layout_file + " has no " + map.second +
                                  (nearest.empty() ? "" : " (did you mean " + nearest + "?)"));
        }
    }

    // Every keymap is read before anything is written.
    std::vector<std::pair<std::string, keytable_t>> keymaps;
    for (const std::string &arg : options->args) {
        keymaps.emplace_back();
        if (read_keymap(options, arg, &keymaps.back().first, &keymaps.back().second, err) != 0) {
            return 2;
        }
    }
    for (const auto &keymap : keymaps) {
        for (const keytable_protocol_t &protocol : keymap.second.protocols) {
            import_protocol(&import, keymap.first, keymap.second, protocol);
        }
    }
    if (options->swap_address &&
        std::none_of(import.files.begin(), import.files.end(),
                     [](const auto &file) { return file.second.protocol == k_ir_protocol_nec; })) {
        tool_print(out, "note: --swap-address applies to NEC only, and no NEC file is written\n");
    }
    if (import.files.empty()) {
        tool_print(out, "import: nothing to write: no key of %s\n",
                   options->args.size() == 1 ? "the keymap" : "the keymaps");
        return 1;
    }
    return write_imported_files(&import, output_folder(options));
}
