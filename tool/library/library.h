// SPDX-License-Identifier: Apache-2.0
#pragma once

// The Linux remote keymap library, read at run time as ir-keytable reads it: its keymap
// formats, where the tool finds the library (ir-keytable's folders on a Linux host, the copy
// installed with the tool everywhere), and where a keymap's scancodes land in the receiver's
// raw code.

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "tool/options.h"

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

// Reads a keymap file, a regular file of a keymap's size, in either format. Returns 0, or -1 with
// *problem as a line to show: why it cannot be read, or where it is not a keymap.
int read_keymap_file(const std::string &path, keytable_t *table, std::string *problem);

// Whether this build reads TOML keymaps; a box's build may leave the library out.
bool toml_keymaps_supported(void);

// Parses a keymap in either of ir-keytable's formats: TOML, or the older plain text that
// begins "# table NAME, type: PROTOCOL". path names the source in errors and gives the
// default name. Returns 0, or -1 with *error.
int parse_keytable(const std::string &text, const std::string &path, keytable_t *table,
                   keytable_error_t *error);

// Where a Linux host keeps keymaps, in the order looked at: the user's own, then ir-keytable's
// (the same folder on a merged /usr). Tests re-point them.
constexpr int k_host_library_dir_count = 3;
extern const char *g_host_library_dirs[k_host_library_dir_count];
// The copy installed with the tool: on the box where Android.bp puts it; on a host beside the
// tool, under its prefix's share/dravoke (etc/dravoke for Android's host build), found from the
// tool's own path unless a test points it elsewhere.
extern const char *g_box_library_copy;   // "/system_ext/etc/dravoke/rc_keymaps.txt"
extern const char *g_host_library_copy;  // null: beside the tool

// One keymap of the library: the first of its name in the places looked at.
struct library_keymap_t {
    std::string name;  // its file's name without ".toml": what import and learn call it
    std::string file;  // its file's name, which messages name its lines by
    keytable_t table;
};
// The library as far as it was found and read.
struct keymap_library_t {
    std::vector<library_keymap_t> keymaps;  // by name
    std::vector<std::string> looked;        // the places looked at, in order
    bool found;                             // they hold a keymap
    // Keymaps left out, each told as "path:line:column: error: why".
    std::vector<std::string> problems;
};

// Reads every keymap of every place, in order: --library, then on a Linux host its folders,
// then the copy; the first of a name wins, even one that cannot be read. Without keys, a
// keymap's protocols are read and its keys checked, but kept only where the copy did not
// give them (import --list, on every run of the completion, needs no more).
void read_keymap_library(const tool_options_t *options, bool keys, keymap_library_t *library);
// The first keymap called name (with or without ".toml") in the same places. Returns 0, -1
// when there is none (library->looked and found say where the tool looked), or -2 when it cannot
// be read (the problem is library->problems' last).
int find_library_keymap(const tool_options_t *options, std::string name, library_keymap_t *keymap,
                        keymap_library_t *library);
// Tells on err each keymap left out.
void print_library_problems(const keymap_library_t &library, FILE *err);
// "looked in A, B and C": where the tool looked.
std::string library_looked_text(const keymap_library_t &library);
// That no library was found, where the tool looked, and how to get one.
std::string no_library_text(const keymap_library_t &library, const tool_options_t *options);

// Reads the copy's form (rc_keymaps.txt): every keymap it holds whole, with its keys or, without
// keys, their protocols alone. One it cannot read whole is left out and named in *problems with
// the copy's line.
void parse_library_copy(const std::string &text, const std::string &path, bool keys,
                        std::vector<library_keymap_t> *keymaps, std::vector<std::string> *problems);

// The names of the keymaps whose scancodes land on a customer code of a receiver protocol.
std::vector<std::string> library_remotes_of(const keymap_library_t &library, int32_t protocol,
                                            int customer_code);

// The name a keymap file gives the library: its file's name without ".toml".
std::string keymap_name_of(const std::string &file);
// Whether a protocol's scancodes are command bytes alone, as most of the library's "unknown"
// keymaps keep them: the remote's address, its customer code, is not in the file.
bool scancodes_are_commands(const keytable_protocol_t &protocol);

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
