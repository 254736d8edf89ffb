// SPDX-License-Identifier: Apache-2.0
#pragma once

// The receiver read beside the daemon and what its raw codes give: watch and decode, and the
// following of the receiver that learn shares.

#include <poll.h>
#include <stdint.h>
#include <stdio.h>

#include <string>

#include "core/poll_set.h"
#include "tool/layouts/layouts.h"
#include "tool/library/library.h"
#include "tool/options.h"

int run_decode(const tool_options_t *options, FILE *out, FILE *err);
int run_watch(const tool_options_t *options, FILE *out, FILE *err);

// The receiver read beside the daemon, found and followed by the daemon's own code, in its
// poll set layout.
struct receiver_follow_t {
    struct pollfd slots[k_poll_slots];  // inotify, the caller's own descriptor, the receiver
    struct inputdev_info *receiver;
    // Times the receiver went, came or was replaced: a button held on one that went was
    // released with it.
    unsigned changes;
};
// Watches the input folder and opens the receiver if it is there. Returns 0, or -1 (told on
// err) when the folder cannot be watched.
int start_following(receiver_follow_t *follow, FILE *err);
// "PATH (orvex-ir)", or that there is none yet.
std::string receiver_state(const receiver_follow_t *follow);
// After a poll of the slots: follows the receiver's node. True when the receiver has an event
// to read.
bool serve_receiver_slots(receiver_follow_t *follow);
void stop_following(receiver_follow_t *follow);

// When a table has the customer code with its two bytes swapped: which, and what to do; or "".
std::string swapped_file_advice(const layout_build_t *build, int customer_code);
// The remotes of the Linux keymap library that use a customer code, as a sentence, or "".
std::string library_remotes_text(const keymap_library_t &library, int32_t protocol,
                                 int customer_code);
