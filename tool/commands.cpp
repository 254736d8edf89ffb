#include <string.h>

#include "core/paths.h"
#include "core/protocol.h"
#include "tool/keymap_tool.h"

namespace {

const char k_usage[] =
    "usage: dravoke-keymap COMMAND [OPTIONS]\n"
    "\n"
    "Shows what dravoke makes of the box's key layouts and of the receiver's raw codes, with\n"
    "the daemon's own code. Changes nothing and grabs no device.\n"
    "\n"
    "check [DIR]     report what will not work as written in the key layouts\n"
    "show [DIR]      print the customer tables the daemon builds\n"
    "decode RAW...   decode raw codes as getevent prints them, and say what they give\n"
    "watch           print each raw code the receiver reports, and what it gives\n"
    "doctor          check that the box is set up for the daemon, and say what to fix\n"
    "\n"
    "--dir DIR            key layout folder (default %s)\n"
    "--protocol nec|rc5   IR protocol (default: the receiver driver's, read from\n"
    "                     %s; both when that cannot be read)\n"
    "-h, --help           show this help; 'dravoke-keymap COMMAND --help' for a command\n";

struct command_t {
    const char *name;
    const char *help;
    int (*run)(const tool_options_t *options, FILE *out, FILE *err);
    bool takes_dir;  // check and show: the folder may be given as the argument
    bool takes_raw;  // decode: one or more raw codes
    bool has_werror;
};

int check_command(const tool_options_t *options, FILE *out, FILE *) {
    return run_check(options, out, nullptr);
}

int show_command(const tool_options_t *options, FILE *out, FILE *) {
    return run_show(options, out);
}

const command_t k_commands[] = {
    {"check",
     "usage: dravoke-keymap check [--werror] [--protocol nec|rc5] [DIR]\n"
     "\n"
     "Reads the key layout folder DIR as the daemon does at start, and reports every file,\n"
     "line and button that will not work as written, as path:line: warning|error: text,\n"
     "and every line the daemon passes over but blank lines and comments (Android's own\n"
     "axis, led, sensor and requires_kernel_config lines as notes).\n"
     "Ends with a summary. Exit status: 0 clean, 1 errors, 2 bad usage.\n"
     "DIR defaults to %s.\n"
     "\n"
     "--werror             count warnings as errors\n"
     "--protocol nec|rc5   the protocol to check for (default: the driver's, or both)\n",
     check_command, true, false, true},
    {"show",
     "usage: dravoke-keymap show [--protocol nec|rc5] [DIR]\n"
     "\n"
     "Prints each customer table the daemon builds from DIR, in its order: the customer code\n"
     "and file, then one line per translated button: command (decimal, hex) -> standard\n"
     "scancode, its name in orvex-ir.kl, and its Linux key name. DIR defaults to\n"
     "%s.\n",
     show_command, true, false, false},
    {"decode",
     "usage: dravoke-keymap decode [--dir DIR] [--protocol nec|rc5] RAW...\n"
     "\n"
     "Decodes raw codes (hexadecimal, as getevent prints the receiver's values) one after\n"
     "the other as the daemon would: customer code, command, pressed or released, ignored\n"
     "bits, and the keys it writes, with the tables from DIR (default\n"
     "%s).\n",
     run_decode, false, true, false},
    {"watch",
     "usage: dravoke-keymap watch [--dir DIR] [--protocol nec|rc5]\n"
     "\n"
     "Finds the receiver as the daemon does, reads it beside the daemon without grabbing it,\n"
     "and prints one line per raw code: time, raw value, decode, and the key it gives or why\n"
     "none. For a remote without a file it offers a 'key N ?' line per new command, ready to\n"
     "edit. Follows the receiver's node as it goes and returns; Ctrl-C ends. Tables from\n"
     "DIR (default %s).\n",
     run_watch, false, false, false},
    {"doctor",
     "usage: dravoke-keymap doctor [--dir DIR]\n"
     "\n"
     "Checks, in the order the daemon needs them, that the box is set up for it: /dev/uinput,\n"
     "the receiver, the protocol file, the key layouts (DIR, default %s), the daemon\n"
     "itself, Android's key layout for the virtual keyboard, and SELinux denials. One line\n"
     "each: ok, warn or FAIL, with what to do. Changes nothing; run it as root to see all.\n"
     "Exit status: 0 when nothing FAILs, 1 otherwise.\n",
     run_doctor, false, false, false},
};

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
        tool_print(out, k_usage, g_keylayout_dir, g_protocol_file);
        return 0;
    }
    const command_t *command = nullptr;
    for (const command_t &c : k_commands) {
        if (strcmp(argv[1], c.name) == 0) {
            command = &c;
        }
    }
    if (command == nullptr) {
        return usage_error(err, nullptr, std::string("unknown command '") + argv[1] + "'");
    }

    tool_options_t options;
    options.dir = g_keylayout_dir;
    options.werror = false;
    bool dir_given = false;
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
        } else if (arg == "--dir" || arg == "--protocol") {
            if (!has_value && i + 1 >= argc) {
                return usage_error(err, command->name, arg + " needs a value");
            }
            if (!has_value) {
                value = argv[++i];
            }
            if (arg == "--dir") {
                options.dir = value;
                dir_given = true;
            } else if (value == "nec" || value == "rc5") {
                options.protocols = {value == "rc5" ? k_ir_protocol_rc5 : k_ir_protocol_nec};
            } else {
                return usage_error(err, command->name,
                                   "--protocol takes nec or rc5, not '" + value + "'");
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage_error(err, command->name, "unknown option '" + arg + "'");
        } else if (command->takes_dir && !dir_given) {
            options.dir = arg;
            dir_given = true;
        } else if (command->takes_raw) {
            options.args.push_back(arg);
        } else {
            return usage_error(err, command->name, "unexpected argument '" + arg + "'");
        }
    }
    if (command->takes_raw && options.args.empty()) {
        return usage_error(err, command->name, "no raw code given");
    }
    // The daemon composes every path as "%s/%s"; a trailing slash would only double it.
    while (options.dir.size() > 1 && options.dir.back() == '/') {
        options.dir.pop_back();
    }
    settle_protocols(&options);
    return command->run(&options, out, err);
}
