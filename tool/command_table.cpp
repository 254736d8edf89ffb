// SPDX-License-Identifier: Apache-2.0
// The tool's commands: each one's help, which options it takes, and what runs it.
#include <string.h>

#include "tool/check/check.h"
#include "tool/command_table.h"
#include "tool/doctor/doctor.h"
#include "tool/import/import.h"
#include "tool/keyboard/keyboard.h"
#include "tool/learn/learn.h"
#include "tool/live/live.h"

const char k_tool_usage[] =
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

namespace {

int check_command(const tool_options_t *options, FILE *out, FILE *) {
    return run_check(options, out, nullptr);
}

int show_command(const tool_options_t *options, FILE *out, FILE *) {
    return run_show(options, out);
}

int run_learn_command(const tool_options_t *options, FILE *out, FILE *err) {
    return run_learn(options, out, err);
}

// The commands, each with its help, in the order the tool's help names them.
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
     check_command, true, nullptr, true, false, false, true, true, false, true, false},
    {"show",
     "usage: dravoke-keymap show [--protocol nec|rc5] [--root ROOT] [DIR]\n"
     "\n"
     "Prints each customer table the daemon builds from DIR, in its order: the customer code\n"
     "and file, then one line per translated button: command (decimal, hex) -> standard\n"
     "scancode, its name in orvex-ir.kl, and its Linux key name. DIR defaults to\n"
     "%s, under ROOT with --root ROOT (a box's file system as a folder here).\n",
     show_command, true, nullptr, false, false, false, false, false, false, true, false},
    {"decode",
     "usage: dravoke-keymap decode [--dir DIR] [--protocol nec|rc5] RAW...\n"
     "\n"
     "Decodes raw codes (hexadecimal, as getevent prints the receiver's values) one after\n"
     "the other as the daemon would: customer code, command, pressed or released, ignored\n"
     "bits, and the keys it writes, with the tables from DIR (default\n"
     "%s).\n",
     run_decode, false, "raw code", false, false, false, false, false, false, false, false},
    {"watch",
     "usage: dravoke-keymap watch [--dir DIR] [--protocol nec|rc5]\n"
     "\n"
     "Finds the receiver as the daemon does, reads it beside the daemon without grabbing it,\n"
     "and prints one line per raw code: time, raw value, decode, and the key it gives or why\n"
     "none. For a remote without a file it offers a 'key N ?' line per new command, ready to\n"
     "edit. Follows the receiver's node as it goes and returns; Ctrl-C ends. Tables from\n"
     "DIR (default %s).\n",
     run_watch, false, nullptr, false, false, false, false, false, false, false, false},
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
     run_doctor, false, nullptr, false, false, false, true, true, false, true, false},
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
     run_import, false, "keymap", false, true, true, true, false, true, false, false},
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
     run_learn_command, false, nullptr, false, true, false, true, false, true, false, true},
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
     run_android_layout, false, nullptr, false, true, false, true, true, false, true, false},
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
     run_export, false, "customer layout", false, true, false, false, false, false, false, false},
};

}  // namespace

const command_t *find_command(const char *name) {
    for (const command_t &command : k_commands) {
        if (strcmp(name, command.name) == 0) {
            return &command;
        }
    }
    return nullptr;
}
