// SPDX-License-Identifier: Apache-2.0
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/paths.h"
#include "core/protocol.h"
#include "tool/android/android.h"
#include "tool/command_table.h"
#include "tool/commands.h"
#include "tool/import/import.h"
#include "tool/options.h"
#include "tool/print.h"

namespace {

int usage_error(FILE *err, const char *command, const std::string &message) {
    tool_print(err, "dravoke-keymap: %s\n", message.c_str());
    tool_print(err, "Try 'dravoke-keymap%s%s --help'.\n", command != nullptr ? " " : "",
               command != nullptr ? command : "");
    return 2;
}

// The protocol the daemon would select, through its own reading of the driver's file.
void settle_protocols(tool_options_t *options) {
    if (!options->protocols.empty()) {
        options->protocol_origin =
            std::string(protocol_name(options->protocols[0])) + " from --protocol";
        return;
    }
    protocol_reading_t reading;
    read_ir_protocol(&reading);
    if (reading.bytes < 0) {
        options->protocols = {k_ir_protocol_nec, k_ir_protocol_rc5};
        options->protocol_origin =
            std::string("NEC and RC5: ") + g_protocol_file + " cannot be read";
        return;
    }
    options->protocols = {reading.selected};
    options->protocol_origin =
        std::string(protocol_name(reading.selected)) + " from " + g_protocol_file;
    if (reading.selected != reading.value) {
        options->protocol_origin +=
            ", whose value " + std::to_string(reading.value) + " the daemon replaces by NEC";
    }
}

}  // namespace

int run_keymap_tool(int argc, char **argv, FILE *out, FILE *err) {
    if (argc < 2) {
        return usage_error(err, nullptr, "no command given");
    }
    if (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0 ||
        strcmp(argv[1], "help") == 0) {
        tool_print(out, k_tool_usage, g_keylayout_dir, g_protocol_file, g_keylayout_dir,
                   g_protocol_file, g_input_dir, k_receiver_name, g_uinput_path,
                   k_virtual_keyboard_name);
        return 0;
    }
    const command_t *command = find_command(argv[1]);
    if (command == nullptr) {
        return usage_error(err, nullptr, std::string("unknown command '") + argv[1] + "'");
    }

    tool_options_t options;
    std::string android;  // --android's value
    bool android_given = false;
    std::string abi;  // --abi's
    bool abi_given = false;
    bool list = false;  // import --list
    options.dir = g_keylayout_dir;
    options.werror = false;
    options.dir_given = false;
    options.force = false;
    options.swap_address = false;
    options.input_fd = STDIN_FILENO;
    for (int i = 2; i < argc; i++) {
        std::string arg = argv[i];
        std::string value;
        bool has_value = false;
        size_t equals = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg = arg.substr(0, equals);
            has_value = true;
        }
        if (arg == "--help" || arg == "-h") {
            tool_print(out, command->help, g_keylayout_dir);
            return 0;
        } else if (arg == "--werror" && command->has_werror && !has_value) {
            options.werror = true;
        } else if (arg == "--force" && command->writes_files && !has_value) {
            options.force = true;
        } else if (arg == "--swap-address" && command->imports && !has_value) {
            options.swap_address = true;
        } else if (arg == "--list" && command->imports && !has_value) {
            list = true;
        } else if (arg == "--no-library" && command->recognises && !has_value) {
            options.no_library = true;
        } else if (arg == "--dir" || arg == "--protocol" ||
                   (arg == "--out" && command->writes_files) ||
                   (arg == "--map" && command->imports) ||
                   (arg == "--library" && command->reads_library) ||
                   (arg == "--android" && command->judges_android) ||
                   (arg == "--root" && command->takes_root) ||
                   (arg == "--abi" && command->chooses_abi)) {
            if (!has_value && i + 1 >= argc) {
                return usage_error(err, command->name, arg + " needs a value");
            }
            if (!has_value) {
                value = argv[++i];
            }
            if (arg == "--dir") {
                options.dir = value;
                options.dir_given = true;
            } else if (arg == "--out") {
                options.out_dir = value;
            } else if (arg == "--map") {
                options.maps.push_back(value);
            } else if (arg == "--library") {
                options.library = value;
            } else if (arg == "--android") {
                android = value;
                android_given = true;
            } else if (arg == "--abi") {
                abi = value;
                abi_given = true;
            } else if (arg == "--root") {
                options.root = value;
            } else if (value == "nec" || value == "rc5") {
                options.protocols = {value == "rc5" ? k_ir_protocol_rc5 : k_ir_protocol_nec};
            } else {
                return usage_error(err, command->name,
                                   "--protocol takes nec or rc5, not '" + value + "'");
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage_error(err, command->name, "unknown option '" + arg + "'");
        } else if (command->takes_dir && !options.dir_given) {
            options.dir = arg;
            options.dir_given = true;
        } else if (command->arguments != nullptr) {
            options.args.push_back(arg);
        } else {
            return usage_error(err, command->name, "unexpected argument '" + arg + "'");
        }
    }
    if (list && !options.args.empty()) {
        return usage_error(err, command->name, "--list takes no keymap");
    }
    if (!list && command->arguments != nullptr && options.args.empty()) {
        return usage_error(err, command->name, std::string("no ") + command->arguments + " given");
    }
    if (!options.root.empty()) {
        struct stat st;
        bool exists = stat(options.root.c_str(), &st) == 0;
        if (!exists || !S_ISDIR(st.st_mode)) {
            return usage_error(err, command->name,
                               "--root takes the box's file system as a folder: " + options.root +
                                   ": " + (exists ? "not a folder" : strerror(errno)));
        }
        // The daemon's layouts are then the image's own.
        if (!options.dir_given) {
            options.dir =
                options.root + (options.root.back() == '/' ? "" : "/") + "system/usr/keylayout";
            options.dir_given = true;
        }
    }
    // The daemon composes every path as "%s/%s"; a trailing slash would only double it.
    for (std::string *dir : {&options.dir, &options.out_dir, &options.root}) {
        while (dir->size() > 1 && dir->back() == '/') {
            dir->pop_back();
        }
    }
    settle_protocols(&options);
    std::string why;
    if (settle_android_versions(&options, android_given ? android.c_str() : nullptr,
                                abi_given ? abi.c_str() : nullptr, &why) != 0) {
        return usage_error(err, command->name, why);
    }
    return list ? list_library_keymaps(&options, out, err) : command->run(&options, out, err);
}
