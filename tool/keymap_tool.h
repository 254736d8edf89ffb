#pragma once

// dravoke-keymap: shows integrators what the daemon makes of their key layouts and of the
// receiver's raw codes, through the daemon's own reading, table-building, lookup and
// translation code.

#include <linux/input.h>
#include <poll.h>
#include <stdint.h>
#include <stdio.h>
#include <sys/stat.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/daemon.h"
#include "keymap/key_layout_line.h"
#include "keymap/keymap.h"

// One line piece of a layout file as the daemon's reader saw it.
struct seen_line_t {
    int number;
    std::string text;  // as in the file, NUL bytes included
    key_line_note_t note;
    int32_t scancode;  // the entry it filled when taken, -1 when not taken
    std::string name;
};

// A key layout directory entry as the daemon's build met it.
struct listed_entry_t {
    std::string name;
    int customer_code;  // -1: no customer file of the protocol
    int table;          // -1: no table built from it
};

// The daemon's tables for one protocol, built by its own start-up code, and what the build
// saw on the way.
struct layout_build_t {
    int32_t protocol;
    std::string dir;
    int dir_error;  // errno when the folder could not be listed, else 0
    int count;      // tables built
    keymap_t base[k_keymap_size];
    customer_map_t maps[k_max_customer_maps];
    keymap_t customer[k_max_customer_maps][k_keymap_size];  // each table's layout as read
    std::string table_path[k_max_customer_maps];
    std::vector<listed_entry_t> entries;                    // in listing order
    std::map<std::string, std::vector<seen_line_t>> lines;  // by path
    std::map<std::string, std::string> failures;            // path: why it was not read whole
};

// Builds the tables from dir for a protocol as the daemon's start-up does. Returns 0, or -1
// when dir could not be listed.
int build_layouts(const char *dir, int32_t protocol, layout_build_t *build);

// Makes a build the daemon's live tables and protocol, for its lookup and translation code.
void use_layouts(const layout_build_t *build);

std::string standard_layout_path(const layout_build_t *build);
std::string base_name(const std::string &path);
const char *protocol_name(int32_t protocol);
// The customer layout file name that a customer code would need.
std::string customer_file_name(int32_t protocol, int customer_code);
// The name every customer layout file of the protocol has: "customer_ir_XXXX.kl" for NEC.
std::string customer_file_pattern(int32_t protocol);
// The customer code as file names write it: 4 hexadecimal digits (NEC), 2 (RC5).
std::string customer_code_text(int32_t protocol, int customer_code);
// The lowest standard scancode above 0 bearing name, or 0; *at_zero tells whether the
// standard layout gives it to scancode 0.
int standard_scancode_of(const layout_build_t *build, const char *name, bool *at_zero);
// Whether a button of that name gets a standard scancode; false for null.
bool standard_has(const layout_build_t *build, const char *name);
// A standard name equal to name but for letter case or one edit away, or "".
std::string nearest_standard_name(const layout_build_t *build, const char *name);
const char *linux_key_name(int code);

// text with every byte outside printable ASCII shown in the C style ("\t", "\xc2\xa0"), so
// that an invisible byte in a layout or a file name shows in a message. A backslash stays as
// it is, so text escaped once comes through again unchanged.
std::string printable(const std::string &text);
// Every line the tool prints goes through here: printf's format, with the result's bytes
// made printable but for the newlines that end lines.
void tool_print(FILE *out, const char *format, ...) __attribute__((format(printf, 2, 3)));

// The service as dravoke.rc runs it, for messages: "the service (user nobody, ...)".
extern const char k_service_identity[];
// Whether the service may open st's file with these access bits (4 read, 2 write, 1 search).
bool service_may(const struct stat &st, unsigned access);
// "crw-rw---- root input", as ls shows a node.
std::string describe_node(const struct stat &st);

// What the command line asked for, common to every command.
struct tool_options_t {
    std::string dir;
    std::vector<int32_t> protocols;  // one, or NEC and RC5 when the driver's file is unreadable
    std::string protocol_origin;     // how the protocol was chosen, for the user
    bool dir_given;
    bool werror;
    std::vector<std::string> args;  // what is left: RAW codes for decode, KEYMAPs for import
    // Commands that write files (import, learn).
    std::string out_dir;  // "" when not given
    bool force;           // overwrite files that exist
    int input_fd;         // learn's answers: standard input
    // import
    bool swap_address;
    std::vector<std::string> maps;  // "KEY_X=NAME"
    // check: the folder is read as the daemon reads it on the box, by the service's user
    // (doctor's check; the system folder is always).
    bool on_box = false;
    // doctor: what Android makes of the virtual keyboard's keys is a line of its own.
    bool android_apart = false;
};

// What check found, in numbers and in its summary's words.
struct check_totals_t {
    int warnings;
    int errors;
    std::string summary;
    std::string first_error;  // its file's name and the text, "" when none
};

// Builds the tables of options->dir for its first protocol, for a command that takes names from
// the standard layout. Returns 0, or -1 having said on err why not: the folder cannot be
// listed, or the standard layout read (use: what the command makes of it).
int build_from_standard(const tool_options_t *options, layout_build_t *build, const char *use,
                        FILE *err);

// Prints check's diagnostics and summary on out, when out is not null, and gives the totals,
// when totals is not null. Returns 1 when an error was found, else 0.
int run_check(const tool_options_t *options, FILE *out, check_totals_t *totals);
int run_doctor(const tool_options_t *options, FILE *out, FILE *err);
int run_show(const tool_options_t *options, FILE *out);
int run_decode(const tool_options_t *options, FILE *out, FILE *err);
int run_watch(const tool_options_t *options, FILE *out, FILE *err);
int run_import(const tool_options_t *options, FILE *out, FILE *err);
int run_learn(const tool_options_t *options, FILE *out, FILE *err);

// What to do about a customer code without a file: the file to create, or the file that has
// the code with its two bytes swapped, and the remotes of the Linux keymap library that use it.
std::string missing_file_advice(const layout_build_t *build, int customer_code);
// When a table has the customer code with its two bytes swapped: which, and what to do; or "".
std::string swapped_file_advice(const layout_build_t *build, int customer_code);
// The remotes of the Linux keymap library that use a customer code, as a sentence, or "".
std::string library_remotes_text(int32_t protocol, int customer_code);

// Runs check's diagnostics on files just written to out_dir together with the standard
// layout of options->dir, each file under its own protocol, and prints them with the files'
// own paths. Returns run_check's result.
int check_written(const tool_options_t *options, const std::string &out_dir,
                  const std::vector<std::string> &files, const std::vector<int32_t> &protocols,
                  FILE *out);
// Whether two paths name the same folder.
bool same_folder(const std::string &a, const std::string &b);

// Describes raw codes the way the daemon would handle them one after the other, keeping the
// virtual keyboard's key state for each protocol.
struct raw_describer_t {
    std::vector<std::unique_ptr<layout_build_t>> builds;  // one per protocol
    std::vector<int> key_down;                // per build: the standard scancode held, 0 when none
    std::vector<std::set<uint32_t>> offered;  // per build: customer << 8 | command given "key N ?"
};
// Builds the tables of each protocol the options name. Returns 0, or -1 when the folder
// cannot be listed, which is reported on err.
int start_describer(raw_describer_t *describer, const tool_options_t *options, FILE *err);
// One line per protocol for one receiver event, each ending in a newline; "" when the event
// is a synchronisation record that changes nothing.
std::string describe_event(raw_describer_t *describer, const struct input_event *event);

// Prints described lines, each but the "key N ?" offers after prefix.
void print_described(FILE *out, const std::string &prefix, const std::string &text);

// The receiver read beside the daemon, found and followed by the daemon's own code, in its
// poll set layout (watch, learn).
struct receiver_follow_t {
    struct pollfd slots[k_poll_slots];  // inotify, the caller's own descriptor, the receiver
    struct inputdev_info *receiver;
    unsigned losses;  // receivers closed so far: a button held on one was released with it
};
// Watches the input folder and opens the receiver if it is there. Returns 0, or -1 (told on
// err) when the folder cannot be watched.
int start_following(receiver_follow_t *follow, FILE *err);
// "PATH (orvex-ir)", or that there is none yet.
std::string receiver_state(const receiver_follow_t *follow);
// Which device the receiver is: its node and the node's inode, since a receiver closed and
// another opened in one turn may well get the same record address, descriptor and path. ""
// when none is open.
std::string receiver_identity(const struct inputdev_info *receiver);
// After a poll of the slots: follows the receiver's node. True when the receiver has an event
// to read.
bool serve_receiver_slots(receiver_follow_t *follow);
void stop_following(receiver_follow_t *follow);

// The whole tool: argv as main has it; the result is the exit status.
int run_keymap_tool(int argc, char **argv, FILE *out, FILE *err);
