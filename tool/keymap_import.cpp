#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "core/protocol.h"
#include "tool/customer_files.h"
#include "tool/key_tables.h"
#include "tool/keymap_tool.h"
#include "tool/keytable.h"
#include "tool/safe_files.h"

namespace {

struct import_line_t {
    std::string name;  // the standard layout's
    std::string key;   // the keymap's Linux key
    std::string origin;
};

// One customer layout to write.
struct import_file_t {
    int32_t protocol;
    int customer_code;
    std::vector<std::string> remotes;
    std::map<int, import_line_t> lines;  // by command
};

struct import_t {
    const layout_build_t *build;
    const tool_options_t *options;
    std::map<std::string, std::string> maps;  // Linux key -> standard name
    std::map<std::pair<int32_t, int>, import_file_t> files;
    FILE *out;
    int not_written;
    std::set<std::string> meanings_told;  // keys whose remote meaning was said
};

void note(import_t *import, const std::string &origin, const std::string &text) {
    tool_print(import->out, "%s: note: %s\n", origin.c_str(), text.c_str());
    import->not_written++;
}

// The standard layout's name for a Linux key, the first that it has of: --map's, the generic
// layout's label, the key's meaning on a remote (said once a run); or "" with *why.
std::string standard_name_of(import_t *import, const std::string &key, const std::string &origin,
                             std::string *why) {
    auto mapped = import->maps.find(key);
    if (mapped != import->maps.end()) {
        return mapped->second;
    }
    std::string hint = " (--map " + key + "=NAME writes it)";
    int code = linux_key_code(key.c_str());
    if (code < 0) {
        *why = key + " is not a Linux key name" + hint;
        return "";
    }
    const char *label = android_label(code);
    const char *meaning = remote_label(code);
    if (standard_has(import->build, label)) {
        return label;
    }
    if (standard_has(import->build, meaning)) {
        if (import->meanings_told.insert(key).second) {
            tool_print(import->out, "%s: note: %s written as %s, its meaning on a remote\n",
                       origin.c_str(), key.c_str(), meaning);
        }
        return meaning;
    }
    // A key that none of them places is named with both of its labels.
    std::string lacks = std::string(", which ") + k_standard_layout_file + " lacks";
    if (label == nullptr && meaning == nullptr) {
        *why = key + " has no Android key label" + hint;
    } else if (meaning == nullptr) {
        *why = key + " is Android's " + label + lacks + hint;
    } else if (label == nullptr) {
        *why = key + " has no Android key label, and is " + meaning + " on a remote" + lacks + hint;
    } else {
        *why = key + " is Android's " + label + ", and " + meaning +
               " on a remote: " + k_standard_layout_file + " has neither" + hint;
    }
    return "";
}

// Why a keymap's protocol is not imported. The library's "unknown" keymaps mostly keep the
// command alone in a scancode: the remote's address, its customer code, is not in the file.
std::string unimported_protocol_reason(const keytable_protocol_t &protocol) {
    if (protocol.protocol != "unknown") {
        return "the receiver decodes NEC and RC5 only";
    }
    bool commands_alone = true;
    for (const keytable_entry_t &entry : protocol.entries) {
        commands_alone = commands_alone && entry.scancode <= 0xff;
    }
    return std::string(commands_alone ? "its scancodes carry no address"
                                      : "the keymap does not say where its scancodes carry the "
                                        "address") +
           ", so the remote's customer code is unknown: 'dravoke-keymap learn' learns the remote "
           "from its presses";
}

void import_protocol(import_t *import, const std::string &path, const keytable_t &table,
                     const keytable_protocol_t &protocol) {
    int nec_bits;
    int32_t receiver = receiver_protocol_of(protocol, &nec_bits);
    std::string origin = path + ":" + std::to_string(protocol.line);
    if (receiver < 0) {
        std::string name =
            protocol.protocol + (protocol.variant.empty() ? "" : " (" + protocol.variant + ")");
        note(import, origin,
             "protocol " + name + " skipped (" + std::to_string(protocol.entries.size()) +
                 (protocol.entries.size() == 1 ? " key" : " keys") +
                 "): " + unimported_protocol_reason(protocol));
        return;
    }
    for (const keytable_entry_t &entry : protocol.entries) {
        origin = path + ":" + std::to_string(entry.line);
        char scancode[16];
        snprintf(scancode, sizeof(scancode), "0x%04x", entry.scancode);
        ir_code_t code;
        std::string why;
        if (scancode_to_code(receiver, nec_bits, entry.scancode, import->options->swap_address,
                             &code, &why) != 0) {
            note(import, origin, entry.key + " not written: " + why);
            continue;
        }
        std::string name = standard_name_of(import, entry.key, origin, &why);
        if (name.empty()) {
            note(import, origin, std::string(scancode) + " not written: " + why);
            continue;
        }
        import_file_t &file = import->files[{receiver, code.customer_code}];
        file.protocol = receiver;
        file.customer_code = code.customer_code;
        if (file.remotes.empty() || file.remotes.back() != table.name) {
            file.remotes.push_back(table.name);
        }
        auto taken = file.lines.find(code.command);
        if (taken != file.lines.end() && taken->second.name != name) {
            note(import, origin,
                 std::string(scancode) + " " + entry.key + " not written: customer 0x" +
                     customer_code_text(receiver, code.customer_code) + " command " +
                     std::to_string(code.command) + " is " + taken->second.key + " already (" +
                     taken->second.origin + ")");
            continue;
        }
        file.lines.insert({code.command, {name, entry.key, origin}});
    }
}

// Keymaps of the library are a few KiB; a limit far above them keeps a device or a runaway
// file from filling memory.
constexpr size_t k_max_keymap_bytes = 1 << 20;

int parse_keymap_file(const std::string &path, keytable_t *table, FILE *err) {
    std::string text;
    std::string why;
    if (read_regular_file(path, k_max_keymap_bytes, &text, &why) != 0) {
        tool_print(err, "dravoke-keymap: cannot read %s: %s\n", path.c_str(), why.c_str());
        return -1;
    }
    keytable_error_t error;
    if (parse_keytable(text, path, table, &error) != 0) {
        std::string place = path;
        place += error.line > 0 ? ":" + std::to_string(error.line) : "";
        place += error.column > 0 ? ":" + std::to_string(error.column) : "";
        tool_print(err, "%s: error: %s\n", place.c_str(), error.text.c_str());
        return -1;
    }
    return 0;
}

// Where a keymap argument is: the file it names, else, for a name alone, the library's keymap of
// that name, with or without ".toml", as the tool's hints name it; else the argument as given.
std::string keymap_path_of(const std::string &arg) {
    if (access(arg.c_str(), F_OK) == 0 || arg.find('/') != std::string::npos) {
        return arg;
    }
    for (const std::string &name : {arg, arg + ".toml"}) {
        std::string in_library = std::string(g_keymap_library_dir) + "/" + name;
        if (access(in_library.c_str(), F_OK) == 0) {
            return in_library;
        }
    }
    return arg;
}

int read_keymap(const std::string &arg, std::string *path, keytable_t *table, FILE *err) {
    *path = keymap_path_of(arg);
    return parse_keymap_file(*path, table, err);
}

int usage(FILE *err, const std::string &message) {
    tool_print(err, "dravoke-keymap: %s\nTry 'dravoke-keymap import --help'.\n", message.c_str());
    return 2;
}

std::string file_text(const import_file_t &file) {
    std::string remotes;
    for (const std::string &remote : file.remotes) {
        remotes += (remotes.empty() ? "" : ", ") + remote;
    }
    std::string text = "# " + remotes + " (" + protocol_name(file.protocol) + " customer 0x" +
                       customer_code_text(file.protocol, file.customer_code) +
                       "), from the Linux keymap library by dravoke-keymap import\n";
    for (const auto &line : file.lines) {
        text += "key " + std::to_string(line.first) + " " + line.second.name + "\n";
    }
    return text;
}

// A file to write, under the name it gets.
struct planned_file_t {
    const import_file_t *file;
    std::string name;
};

// The files that may be written: never over a file of the same customer code, in any digit
// case, without --force, and never more of a protocol than the daemon reads, counting those
// in the key layout folder. Those that may not are named, in *refused. Returns -1 when a file
// exists without --force: then nothing at all is written.
int plan_files(import_t *import, const std::string &out_dir, std::vector<planned_file_t> *planned,
               std::vector<std::string> *refused) {
    const tool_options_t *options = import->options;
    std::map<int32_t, std::vector<customer_file_t>> in_layouts;  // by protocol
    std::map<int32_t, size_t> used;                              // files the daemon would read
    bool clobbers = false;
    for (const auto &entry : import->files) {
        const import_file_t &file = entry.second;
        customer_target_t target =
            find_customer_target(out_dir, options->dir, file.protocol, file.customer_code);
        if (in_layouts.count(file.protocol) == 0) {
            in_layouts[file.protocol] = list_customer_files(options->dir, file.protocol);
            used[file.protocol] = in_layouts[file.protocol].size();
        }
        const std::vector<customer_file_t> &present = in_layouts[file.protocol];
        bool replaces = std::any_of(present.begin(), present.end(), [&](const customer_file_t &f) {
            return f.customer_code == file.customer_code;
        });
        if (!replaces && used[file.protocol] >= static_cast<size_t>(k_max_customer_maps)) {
            tool_print(import->out,
                       "%s/%s: error: not written: the daemon reads at most %d %s customer "
                       "files, and %s would hold more\n",
                       out_dir.c_str(), target.name.c_str(), k_max_customer_maps,
                       protocol_name(file.protocol), options->dir.c_str());
            refused->push_back(target.name);
            continue;
        }
        used[file.protocol] += replaces ? 0 : 1;
        std::string path = out_dir + "/" + target.name;
        for (const std::string &existing : target.existing) {
            if (options->force) {
                break;
            }
            std::string code = customer_code_text(file.protocol, file.customer_code);
            tool_print(
                import->out, "%s: error: exists%s; --force %s\n", existing.c_str(),
                existing == path ? "" : (", for customer 0x" + code).c_str(),
                existing == path ? "overwrites it" : ("writes " + path + " to replace it").c_str());
            clobbers = true;
        }
        planned->push_back({&file, target.name});
    }
    return clobbers ? -1 : 0;
}

// Writes each file whole or not at all, then checks those written. Exit status 0 only when
// every file was written.
int write_files(import_t *import, const std::string &out_dir) {
    const tool_options_t *options = import->options;
    FILE *out = import->out;
    std::vector<planned_file_t> planned;
    std::vector<std::string> refused;
    if (plan_files(import, out_dir, &planned, &refused) != 0) {
        tool_print(out, "import: nothing written\n");
        return 1;
    }
    std::vector<std::string> written;
    std::vector<int32_t> protocols;
    int buttons = 0;
    for (const planned_file_t &planned_file : planned) {
        const import_file_t &file = *planned_file.file;
        std::string path = out_dir + "/" + planned_file.name;
        if (write_file_atomically(out_dir, planned_file.name, file_text(file)) != 0) {
            tool_print(out, "%s: error: cannot write: %s\n", path.c_str(), strerror(errno));
            refused.push_back(planned_file.name);
            continue;
        }
        tool_print(out, "wrote %s: %zu button%s (%s customer 0x%s)\n", path.c_str(),
                   file.lines.size(), file.lines.size() == 1 ? "" : "s",
                   protocol_name(file.protocol),
                   customer_code_text(file.protocol, file.customer_code).c_str());
        if (options->protocols.size() == 1 && options->protocols[0] != file.protocol) {
            tool_print(out,
                       "%s: note: an %s layout, and the receiver decodes %s (%s): the daemon "
                       "does not read it\n",
                       path.c_str(), protocol_name(file.protocol),
                       protocol_name(options->protocols[0]), options->protocol_origin.c_str());
        }
        written.push_back(planned_file.name);
        protocols.push_back(file.protocol);
        buttons += static_cast<int>(file.lines.size());
    }
    if (!written.empty()) {
        check_written(options, out_dir, written, protocols, out);
    }
    std::string not_written;
    for (const std::string &name : refused) {
        not_written +=
            (not_written.empty() ? ", " + std::to_string(refused.size()) + " not: " : ", ") + name;
    }
    tool_print(out, "import: %zu file%s written, %d buttons%s; %d key%s not written\n",
               written.size(), written.size() == 1 ? "" : "s", buttons, not_written.c_str(),
               import->not_written, import->not_written == 1 ? "" : "s");
    return refused.empty() ? 0 : 1;
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
        if (read_keymap(arg, &keymaps.back().first, &keymaps.back().second, err) != 0) {
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
    std::string out_dir = !options->out_dir.empty() ? options->out_dir
                          : options->dir_given      ? options->dir
                                                    : ".";
    return write_files(&import, out_dir);
}
