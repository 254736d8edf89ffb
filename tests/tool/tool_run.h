// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <vector>

#include "tool/library/library.h"

// One run of dravoke-keymap in this process, with what it printed, every byte of it.
struct tool_run_t {
    int status;
    std::string out;
    std::string err;
};

// Runs the tool with args after its name; the daemon's log lines it caused are taken.
tool_run_t run_tool(std::vector<std::string> args);

// The same, with answers on standard input, as a pipe that ends after them.
tool_run_t run_tool_answering(std::vector<std::string> args, const std::string &answers);

std::vector<std::string> lines_of(const std::string &text);

// The standard layout of the tool's fixture folders, with the usual mistakes in it, line by
// line.
extern const char k_fixture_standard[];

// A box's standard remote of 44 keys, each an Android label at a scancode from 0 to 255: power,
// mute, digits, arrows, centre, back, home, menu, volume, channel, the media keys, guide, info,
// the colours, TV, captions, audio track, input, delete, settings, search.
extern const char k_box_standard[];

// A file's whole content, "(missing)" when it cannot be read.
std::string read_whole(const std::string &path);

// data as the gzip program compresses it with options ("-1", "-9"); "" when it cannot.
std::string gzip_of(const std::string &data, const std::string &options);

// Entries of a folder but "." and "..".
int count_entries(const std::string &folder);

// Someone else's file at path, 0600, holding "theirs"; the test aborts when it cannot be made.
void make_theirs(const char *path);
// A rename that loses the race for its name once: another file is made there, then the table of
// the calls that name written files is reset and the real call made.
int rename_after_theirs(const char *from, const char *to);

// Where the tool looks for the Linux keymap library, for as long as it lives: the host's
// folders (none given: none of them) and the copy (null: the one beside the test program, as
// the build lays it out).
struct library_places_t {
    explicit library_places_t(std::vector<const char *> dirs, const char *copy = nullptr);
    ~library_places_t();
    const char *saved_dirs[k_host_library_dir_count];
    const char *saved_copy;
};
// The host folder of ir-keytable's keymaps, "" on a machine without it.
std::string ir_keytable_folder(void);
