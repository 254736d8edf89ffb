// SPDX-License-Identifier: Apache-2.0
#pragma once

// The Linux remote keymaps that ir-keytable reads (Debian's ir-keytable ships the kernel's
// library of them in /lib/udev/rc_keymaps), and where their scancodes land in the receiver's
// raw code.

#include <stdint.h>

#include <string>
#include <vector>

// Where the Linux keymap library lives on a Linux host; a box has none.
extern const char *g_keymap_library_dir;  // "/lib/udev/rc_keymaps"

struct keytable_entry_t {
    uint32_t scancode;
    std::string key;  // a Linux key name, "KEY_POWER"
    int line;
};

// One protocol of a keymap with its scancodes, in the file's order.
struct keytable_protocol_t {
    std::string protocol;  // as written, lower case: "nec", "rc5", "rc6", ...
    std::string variant;   // "" when the keymap gives none
    int line;
    std::vector<keytable_entry_t> entries;
};

struct keytable_t {
    std::string name;  // the keymap's own name, else its file's without the extension
    std::vector<keytable_protocol_t> protocols;
};

struct keytable_error_t {
    int line;
    int column;  // 0 when not known
    std::string text;
};

// Whether this build reads TOML keymaps; a box's build may leave the library out.
bool toml_keymaps_supported(void);

// Parses a keymap in either of ir-keytable's formats: TOML, or the older plain text that
// begins "# table NAME, type: PROTOCOL". path names the source in errors and gives the
// default name. Returns 0, or -1 with *error.
int parse_keytable(const std::string &text, const std::string &path, keytable_t *table,
                   keytable_error_t *error);

// The tool's copy of the library: its keymaps of NEC, RC5 and command bytes, each protocol as
// parse_keytable reads it from the file. Whether name, with or without ".toml", is one of them.
bool find_library_keymap(std::string name, keytable_t *table);
std::vector<keytable_t> library_keymaps(void);

// Where one scancode lands in the receiver's raw code.
struct ir_code_t {
    int32_t protocol;  // k_ir_protocol_nec or k_ir_protocol_rc5
    int customer_code;
    int command;
};

// The receiver's protocol of a keymap's protocol and variant, or -1 when it decodes neither;
// *nec_bits gets the scancode width the variant fixes (16, 24, 32), 0 when its size decides.
int32_t receiver_protocol_of(const keytable_protocol_t &protocol, int *nec_bits);

// The customer code and command of a scancode: the receiver keeps a frame's address bytes in
// the order sent, the first low, and the command byte last; swap_address turns the two
// address bytes round. Returns 0, or -1 with *why when the receiver cannot report it.
int scancode_to_code(int32_t protocol, int nec_bits, uint32_t scancode, bool swap_address,
                     ir_code_t *code, std::string *why);
