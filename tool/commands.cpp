// SPDX-License-Identifier: Apache-2.0
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/paths.h"
#include "core/protocol.h"
#include "tool/android/android.h"
#include "tool/check/check.h"
#include "tool/commands.h"
#include "tool/doctor/doctor.h"
#include "tool/import/import.h"
#include "tool/keyboard/keyboard.h"
#include "tool/layouts/layouts.h"
#include "tool/learn/learn.h"
#include "tool/live/live.h"
#include "tool/options.h"
#include "tool/print.h"

namespace {

const char k_usage[] =
    "usage: dravoke-keymap COMMAND [OPTIONS]\n"
    "\n"
    "Shows what dravoke makes of the box's key layouts and of the receiver's raw codes, with\n"
    "the daemon's own code. Grabs no device; only import, learn, android-layout and export\n"
    "write files.\n"
    "\n"
    "Commands:\n"
    "check [DIR]     report what will not work as written in the key layouts\n"
    "show [DIR]      print the customer tables the daemon builds\n"
    "decode RAW...   decode raw codes as getevent prints them, and say what they give\n"
    "watch           print each raw code the receiver reports, and what it gives\n"
    "doctor          check that the box is set up for the daemon, and say what to fix\n"
    "import KEYMAP   write the layouts of a remote that the Linux keymap library describes\n"
    "learn           learn a new remote's buttons from the receiver, and write its layout\n"
    "android-layout  write the virtual keyboard's layout, so Android delivers the standard keys\n"
    "export FILE.kl  write a customer layout as an ir-keytable keymap, for Linux and its library\n"
    "\n"
    "Options:\n"
    "--dir DIR            key layout folder (default %s)\n"
    "--protocol nec|rc5   IR protocol (default: the receiver driver's, read from\n"
    "                     %s; both when that cannot be read)\n"
    "-h, --help           show this help; 'dravoke-keymap COMMAND --help' for a command\n"
    "\n"
    "Exit status:\n"
    "0   the command did what it was asked and found nothing wrong\n"
    "1   check found errors, doctor a FAIL, a file was not written, or the key layouts or the\n"
    "    receiver could not be read (each command's --help says which)\n"
    "2   bad usage; for import also a keymap it cannot read, for learn an --out it cannot write\n"
    "\n"
    "Files:\n"
    "%-23s  the key layouts: orvex-ir.kl, the standard remote's;\n"
    "                         customer_ir_XXXX.kl (NEC) and customer_rc5_ir_XX.kl (RC5), one a\n"
    "                         customer remote; orvex-ir-uinput.kl, Android's for the virtual\n"
    "                         keyboard, which on the box or under --root is looked for as each\n"
    "                         Android version looks for it: its .idc, then /product, /system_ext\n"
    "                         (12 on), /odm, /vendor, an APEX folder (13 on), /system and\n"
    "                         /data/system/devices, then Generic.kl and Virtual.kl\n"
    "%-23s  the protocol the receiver's driver decodes: 0 NEC, 1 RC5\n"
    "%-23s  the receiver: the input device named %s (watch, learn, doctor)\n"
    "%-23s  where the daemon makes its virtual keyboard, %s (doctor)\n"
    "/etc/rc_keymaps          the Linux keymap library (import, learn, watch): on a Linux host\n"
    "/lib/udev/rc_keymaps     the user's keymaps, then ir-keytable's; then the copy installed\n"
    "                         with the tool, share/dravoke/rc_keymaps.txt beside its bin/ (on\n"
    "                         the box /system_ext/etc/dravoke/rc_keymaps.txt); the first\n"
    "                         keymap of a name wins\n";

struct command_t {
    const char *name;
    const char *help;
    int (*run)(const tool_options_t *options, FILE *out, FILE *err);
    bool takes_dir;         // check and show: the folder may be given as the argument
    const char *arguments;  // what one or more arguments are (decode, import), or null
    bool has_werror;
    bool writes_files;    // --out and --force
    bool imports;         // --map and --swap-address
    bool judges_android;  // --android
    bool chooses_abi;     // --abi
    bool reads_library;   // --library
};

int check_command(const tool_options_t *options, FILE *out, FILE *) {
    return run_check(options, out, nullptr);
}

int show_command(const tool_options_t *options, FILE *out, FILE *) {
    return run_show(options, out);
}

int run_learn_command(const tool_options_t *options, FILE *out, FILE *err) {
    return run_learn(options, out, err);
}

const command_t k_commands[] = {
    {"check",
     "usage: dravoke-keymap check [--werror] [--protocol nec|rc5] [--android N] [--abi 32|64]\n"
     "                            [--root ROOT] [DIR]\n"
     "\n"
     "Reads the key layout folder DIR as the daemon does at start, and reports every file,\n"
     "line and button that will not work as written, as path:line: warning|error: text,\n"
     "and every line the daemon passes over but blank lines and comments (Android's own\n"
     "axis, led, sensor and requires_kernel_config lines as notes). Then what Android makes\n"
     "of the keys: the layout each version takes for the virtual keyboard and why (its .idc,\n"
     "orvex-ir-uinput.kl in the folders that version searches, orvex-ir-uinput_fallback.kl,\n"
     "Generic.kl, Virtual.kl), each line at which it refuses orvex-ir.kl or a layout it tried,\n"
     "and each standard key that a customer button reaches and Android delivers as another,\n"
     "through that layout or a map key line of the character map.\n"
     "Ends with a summary. Exit status: 0 clean, 1 errors, 2 bad usage.\n"
     "DIR defaults to %s (under --root, ROOT's). Off the box without --root\n"
     "only DIR is searched, and AOSP's Generic.kl stands in for the box's.\n"
     "\n"
     "--werror             count warnings as errors\n"
     "--protocol nec|rc5   the protocol to check for (default: the driver's, or both)\n"
     "--android N          judge Android N's reading of the layouts (9 to 16, 12L as 12; on the\n"
     "                     box, its own version; elsewhere every version)\n"
     "--abi 32|64          judge it on a box of that word size, the width of its userspace's\n"
     "                     long (on the box, its own; elsewhere both)\n"
     "--root ROOT          the box's file system as a folder here (a build's\n"
     "                     out/target/product/DEVICE, an unpacked image): every path Android\n"
     "                     reads is taken under ROOT\n",
     check_command, true, nullptr, true, false, false, true, true, false},
    {"show",
     "usage: dravoke-keymap show [--protocol nec|rc5] [--root ROOT] [DIR]\n"
     "\n"
     "Prints each customer table the daemon builds from DIR, in its order: the customer code\n"
     "and file, then one line per translated button: command (decimal, hex) -> standard\n"
     "scancode, its name in orvex-ir.kl, and its Linux key name. DIR defaults to\n"
     "%s, under ROOT with --root ROOT (a box's file system as a folder here).\n",
     show_command, true, nullptr, false, false, false, false, false, false},
    {"decode",
     "usage: dravoke-keymap decode [--dir DIR] [--protocol nec|rc5] RAW...\n"
     "\n"
     "Decodes raw codes (hexadecimal, as getevent prints the receiver's values) one after\n"
     "the other as the daemon would: customer code, command, pressed or released, ignored\n"
     "bits, and the keys it writes, with the tables from DIR (default\n"
     "%s).\n",
     run_decode, false, "raw code", false, false, false, false, false, false},
    {"watch",
     "usage: dravoke-keymap watch [--dir DIR] [--protocol nec|rc5]\n"
     "\n"
     "Finds the receiver as the daemon does, reads it beside the daemon without grabbing it,\n"
     "and prints one line per raw code: time, raw value, decode, and the key it gives or why\n"
     "none. For a remote without a file it offers a 'key N ?' line per new command, ready to\n"
     "edit. Follows the receiver's node as it goes and returns; Ctrl-C ends. Tables from\n"
     "DIR (default %s).\n",
     run_watch, false, nullptr, false, false, false, false, false, false},
    {"doctor",
     "usage: dravoke-keymap doctor [--dir DIR] [--android N] [--abi 32|64] [--root ROOT]\n"
     "                             [--protocol nec|rc5]\n"
     "\n"
     "Checks, in the order the daemon needs them, that the box is set up for it: /dev/uinput,\n"
     "the receiver, the protocol file, the key layouts (DIR, default %s), the daemon\n"
     "itself, what Android delivers for the standard keys through the virtual keyboard's\n"
     "layout (as each version chooses it: its .idc, orvex-ir-uinput.kl, Generic.kl), and\n"
     "SELinux denials. One line each: ok, warn or FAIL, with what to do. Changes nothing;\n"
     "run it as root to see all. Android's reading is judged for the box's own version and\n"
     "word size (--android N and --abi 32|64 elsewhere).\n"
     "Exit status: 0 when nothing FAILs, 1 otherwise.\n"
     "\n"
     "--android N   judge Android N's reading of the layouts (9 to 16, 12L as 12; on the box,\n"
     "              its own version; elsewhere every version)\n"
     "--abi 32|64   judge it on a box of that word size (on the box, its own; elsewhere both)\n"
     "--root ROOT   check only the files, of the box's file system as a folder here (a build's\n"
     "              out/target/product/DEVICE, an unpacked image)\n"
     "--protocol nec|rc5  with --root, the protocol the layouts are checked for (default NEC,\n"
     "              the daemon's when the driver cannot say)\n",
     run_doctor, false, nullptr, false, false, false, true, true, false},
    {"import",
     "usage: dravoke-keymap import [--dir DIR] [--out DIR] [--force] [--map KEY_X=NAME]...\n"
     "                             [--swap-address] [--library PATH] [--android N] KEYMAP...\n"
     "       dravoke-keymap import [--library PATH] --list\n"
     "\n"
     "Writes the customer layouts of remotes that the Linux keymap library describes\n"
     "(ir-keytable's keymaps: TOML, or the older plain text), one file per customer code, named\n"
     "as the daemon reads them. A KEYMAP named alone, with or without .toml, that is no file is\n"
     "the library's: the first of that name in --library, then on a Linux host in\n"
     "/etc/rc_keymaps and ir-keytable's /lib/udev/rc_keymaps, then in the copy installed with\n"
     "the tool. NEC (nec, necx, nec32) and RC5 are imported; other protocols are\n"
     "named and skipped. Each Linux key gets the first name that the standard layout of DIR\n"
     "(default %s) has of: --map's, the label Android's generic layout\n"
     "gives it, its meaning on a remote (KEY_HOME: HOME). Every key not written is named with\n"
     "the reason. Then check's diagnostics on the result. Each file is written whole or not at\n"
     "all.\n"
     "Exit status: 0 every file written, 1 any not written (--list: no library found), 2 bad\n"
     "usage or an unreadable keymap.\n"
     "\n"
     "--out DIR          where to write (default: DIR of --dir when given, else the current one)\n"
     "--force            replace a file of the same customer code, in DIR or --out, under its\n"
     "                   own name; without it nothing is written then\n"
     "--map KEY_X=NAME   give the Linux key KEY_X the standard layout's NAME\n"
     "--swap-address     turn the two address bytes round, for a receiver that keeps them the\n"
     "                   other way\n"
     "--android N        the Android version check's diagnostics judge (9 to 16, 12L as 12)\n"
     "--library PATH     look for keymaps there first: a folder of keymaps, or a copy of the\n"
     "                   library in the tool's form (rc_keymaps.txt)\n"
     "--list             print the names of the library's keymaps that import writes, one a\n"
     "                   line\n",
     run_import, false, "keymap", false, true, true, true, false, true},
    {"learn",
     "usage: dravoke-keymap learn [--dir DIR] [--protocol nec|rc5] [--out DIR] [--force]\n"
     "                            [--no-library] [--library PATH] [--android N]\n"
     "\n"
     "Walks through the standard layout's names (DIR, default %s) and\n"
     "learns the new remote's button for each from the receiver, beside the daemon and without\n"
     "grabbing it: press the button, or answer on standard input (Enter: skip, n: the remote\n"
     "has no such button, b: back, q: finish). Meanwhile it recognises a remote of the Linux\n"
     "keymap library: it asks first for the names that tell the library's remotes apart, and\n"
     "once the presses fit one keymap, offers its whole layout (Enter or y takes it, n goes\n"
     "on); then it asks only for the names the keymap lacks. A press that fits no keymap ends\n"
     "the recognition. The first press fixes the customer code; when a file for it exists, in DIR "
     "or\n"
     "--out, learning refuses, or with --force starts from it and replaces it. On q, end of\n"
     "input or the last name, writes the customer layout into --out (default: the current\n"
     "folder), checks it with the standard layout, and says how to install it; when it cannot\n"
     "be written, prints its lines instead.\n"
     "Exit status: 0 file written, 1 nothing written, 2 bad usage or --out not writable.\n"
     "\n"
     "--no-library   walk the names in the layout's order, without recognition\n"
     "--library PATH look for the library's keymaps there first, as import does\n"
     "--android N    the Android version the check of the file judges (9 to 16, 12L as 12)\n",
     run_learn_command, false, nullptr, false, true, false, true, false, true},
    {"android-layout",
     "usage: dravoke-keymap android-layout [--dir DIR] [--out DIR] [--force] [--android N]\n"
     "                                     [--abi 32|64] [--root ROOT]\n"
     "\n"
     "Writes orvex-ir-uinput.kl, Android's key layout for the virtual keyboard, with a line\n"
     "'key S NAME' for each standard scancode S of DIR's orvex-ir.kl (default\n"
     "%s) whose NAME is an Android key label: Android then delivers each as\n"
     "the standard layout names it. Names each line it cannot write. The file is written whole\n"
     "or not at all; written beside the standard layout, check's diagnostics follow. Where\n"
     "an .idc or an earlier folder makes a version take another file, it says so.\n"
     "Exit status: 0 file written, 1 nothing written, 2 bad usage.\n"
     "\n"
     "--out DIR    where to write (default: DIR of --dir when given, else the current one)\n"
     "--force      replace an orvex-ir-uinput.kl there; without it nothing is written then\n"
     "--android N  write only labels that Android N's reader takes (9 to 16, 12L as 12; on the\n"
     "             box, its own version; elsewhere only labels that every version takes)\n"
     "--abi 32|64  the word size of the box that check's diagnostics of the file judge (on the\n"
     "             box, its own; elsewhere both)\n"
     "--root ROOT  the box's file system as a folder here: DIR is ROOT's\n"
     "             /system/usr/keylayout, which every version searches, and the file is\n"
     "             written there\n",
     run_android_layout, false, nullptr, false, true, false, true, true, false},
    {"export",
     "usage: dravoke-keymap export [--dir DIR] [--out DIR] [--force] FILE.kl...\n"
     "\n"
     "Writes each customer layout FILE.kl (customer_ir_XXXX.kl, customer_rc5_ir_XX.kl) as an\n"
     "ir-keytable keymap, FILE.toml, so that the remote works with Linux's rc-core and can be\n"
     "offered to the kernel's keymap library: protocol nec (variant nec when the customer code\n"
     "is an address and its inverse, else necx) or rc5, the scancodes in the library's form,\n"
     "and for each name the Linux key that means it on a remote (HOME: KEY_HOME), chosen so\n"
     "that import, with the standard layout of DIR (default %s), gives the same\n"
     "file back. Names each button it cannot export. Each file is written whole or not at all.\n"
     "Exit status: 0 every file written, 1 any not written, 2 bad usage.\n"
     "\n"
     "--out DIR   where to write (default: the current folder)\n"
     "--force     replace a keymap there; without it that one is not written\n",
     run_export, false, "customer layout", false, true, false, false, false, false},
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
        tool_print(out, k_usage, g_keylayout_dir, g_protocol_file, g_keylayout_dir, g_protocol_file,
                   g_input_dir, k_receiver_name, g_uinput_path, k_virtual_keyboard_name);
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
        } else if (arg == "--no-library" && command->run == run_learn_command && !has_value) {
            options.no_library = true;
        } else if (arg == "--dir" || arg == "--protocol" ||
                   (arg == "--out" && command->writes_files) ||
                   (arg == "--map" && command->imports) ||
                   (arg == "--library" && command->reads_library) ||
                   (arg == "--android" && command->judges_android) ||
                   (arg == "--root" && (command->takes_dir || command->run == run_doctor ||
                                        command->run == run_android_layout)) ||
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
