// SPDX-License-Identifier: Apache-2.0
#pragma once

// What the command line asked for, common to every command.

#include <stdint.h>

#include <string>
#include <vector>

struct tool_options_t {
    std::string dir;
    std::vector<int32_t> protocols;  // one, or NEC and RC5 when the driver's file is unreadable
    std::string protocol_origin;     // how the protocol was chosen, for the user
    bool dir_given;
    bool werror;
    std::vector<std::string> args;  // what is left: RAW codes for decode, KEYMAPs for import
    // Commands that write files (import, learn).
    std::string out_dir;      // "" when not given
    bool force;               // overwrite files that exist
    int input_fd;             // learn's answers: standard input
    bool no_library = false;  // learn: no recognition of the Linux keymap library's remotes
    std::string library;      // import, learn: --library, looked at first; "" when not given
    // import
    bool swap_address;
    std::vector<std::string> maps;  // "KEY_X=NAME"
    // check: the folder is read as the daemon reads it on the box, by the service's user
    // (doctor's check; the system folder is always).
    bool on_box = false;
    // doctor: what Android makes of the virtual keyboard's keys is a line of its own.
    bool android_apart = false;
    // The Android versions whose reading of the key layouts is judged (0: every version known),
    // and how they were chosen, for the user.
    int android_first = 0;
    int android_last = 0;
    std::string android_origin;
    // The box's word size judged, the width of its long: 32 or 64, 0 for both; and how it was
    // chosen.
    int abi = 0;
    std::string abi_origin;
    bool on_android = false;  // the tool runs on an Android box (ro.build.version.sdk is set)
    // --root: the box's file system as a folder here (a build's product folder, an unpacked
    // image), under which every path Android reads is taken; "" when not given.
    std::string root;
};
