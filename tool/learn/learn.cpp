// SPDX-License-Identifier: Apache-2.0
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <memory>

#include "core/paths.h"
#include "core/poll_set.h"
#include "core/protocol.h"
#include "inject/inject.h"
#include "receiver/receiver.h"
#include "tool/check/check.h"
#include "tool/files/files.h"
#include "tool/layouts/layouts.h"
#include "tool/learn/learn.h"
#include "tool/learn/learn_session.h"
#include "tool/live/live.h"
#include "tool/options.h"
#include "tool/print.h"

namespace {

int write_learned(learn_t *learn) {
    if (learn->status != 0) {
        return learn->status;
    }
    if (learn->customer_code < 0 || learn->assigned.empty()) {
        tool_print(learn->out, "nothing learned: no file written\n");
        return 1;
    }
    int32_t protocol = learn->build->protocol;
    std::string path = learn->out_dir + "/" + learn->file_name;
    std::string text = std::string("# ") + protocol_name(protocol) + " customer 0x" +
                       customer_code_text(protocol, learn->customer_code) +
                       ", learned by dravoke-keymap learn\n";
    for (const auto &entry : learn->assigned) {
        text += "key " + std::to_string(entry.first) + " " + entry.second + "\n";
    }
    // A file of the code made while the session ran is not overwritten either.
    customer_target_t now =
        find_customer_target(learn->out_dir, learn->options->dir, protocol, learn->customer_code);
    std::string why =
        !learn->options->force && !now.existing.empty() ? now.existing[0] + " exists now" : "";
    if (why.empty() &&
        write_file_atomically(learn->out_dir, learn->file_name, text, learn->options->force) != 0) {
        why = errno == EEXIST ? path + " exists now" : strerror(errno);
    }
    if (!why.empty()) {
        // The session is not lost: its lines can be copied by hand.
        tool_print(learn->out, "%s: error: cannot write: %s; its lines, to copy by hand:\n%s",
                   path.c_str(), why.c_str(), text.c_str());
        return 1;
    }
    tool_print(learn->out, "wrote %s: %zu button%s (%s customer 0x%s)\n", path.c_str(),
               learn->assigned.size(), learn->assigned.size() == 1 ? "" : "s",
               protocol_name(protocol), customer_code_text(protocol, learn->customer_code).c_str());
    check_written(learn->options, learn->out_dir, {learn->file_name}, {protocol}, learn->out);
    tool_print(learn->out,
               "to install it: put it in %s beside %s (adb root; adb remount; adb push %s "
               "%s/), or add it to PRODUCT_COPY_FILES in the device tree; then restart the "
               "service: adb shell 'stop dravoke; start dravoke'\n",
               g_keylayout_dir, k_standard_layout_file, path.c_str(), g_keylayout_dir);
    return 0;
}

// One receiver event: a press, unless it repeats the button held.
void take_event(learn_t *learn, const struct input_event &event) {
    // Of the synchronisation records only a lost queue counts: the release may be lost with it.
    if (event.type == EV_SYN && event.code != SYN_DROPPED) {
        return;
    }
    key_report_t report;
    plan_key_report(&event, &report);
    // Releases end a press; the repeats of a held button are not presses.
    bool repeat = learn->held && report.raw.customer_code == learn->held_code.customer_code &&
                  report.raw.command == learn->held_code.command;
    learn->held = report.raw.pressed;
    learn->held_code = report.raw;
    if (report.raw.pressed && !repeat) {
        learn_press(learn, report.raw);
    }
}

// Takes every event the receiver has queued, in order, following its node as it goes and
// returns. A button held on a receiver that went counts as released, as the daemon releases
// its key then.
void take_receiver_events(learn_t *learn, receiver_follow_t *follow) {
    while (poll(follow->slots, g_nfds, 0) > 0) {
        const struct pollfd *slots = follow->slots;
        bool followed = (slots[k_slot_inotify].revents & POLLIN) ||
                        (slots[k_slot_receiver].revents & (POLLHUP | POLLERR));
        unsigned changes = follow->changes;
        bool readable = serve_receiver_slots(follow);
        learn->held = learn->held && follow->changes == changes;
        struct input_event event;
        if (readable && input_event_process(slots[k_slot_receiver].fd, &event) == 0) {
            take_event(learn, event);
        } else if (!followed) {
            return;  // only standard input is ready
        }
    }
}

// An answer, or the end of input (null), taken after every press queued before it.
void take_answer(learn_t *learn, receiver_follow_t *follow, const std::string *answer) {
    take_receiver_events(learn, follow);
    if (learn->done) {
        return;
    }
    if (answer != nullptr) {
        learn_answer(learn, *answer);
    } else {
        tool_print(learn->out, "end of input\n");
        learn->done = true;
    }
}

}  // namespace

int run_learn(const tool_options_t *options, FILE *out, FILE *err) {
    std::string out_dir = options->out_dir.empty() ? "." : options->out_dir;
    if (options->out_dir.empty() && same_folder(out_dir, g_keylayout_dir)) {
        tool_print(err,
                   "dravoke-keymap: the current folder is the system's key layout folder: learn "
                   "writes there only when --out names it\n");
        return 2;
    }
    // Before the user spends a session on it.
    if (try_folder_writable(out_dir) != 0) {
        tool_print(err, "dravoke-keymap: cannot write into %s: %s\n", out_dir.c_str(),
                   strerror(errno));
        return 2;
    }
    // Learning needs one protocol; when the driver's file cannot be read, the daemon's.
    int32_t protocol = options->protocols.size() == 1 ? options->protocols[0] : k_ir_protocol_nec;
    auto build = std::make_unique<layout_build_t>();
    if (build_layouts(options->dir.c_str(), protocol, build.get()) != 0) {
        tool_print(err, "dravoke-keymap: cannot list %s: %s\n", options->dir.c_str(),
                   strerror(build->dir_error));
        return 1;
    }
    learn_t learn{};
    learn.options = options;
    learn.build = build.get();
    learn.out_dir = out_dir;
    learn.names = learnable_names(build.get());
    learn.customer_code = -1;
    learn.out = out;
    if (learn.names.empty()) {
        tool_print(err, "dravoke-keymap: %s gives no name to learn\n",
                   standard_layout_path(build.get()).c_str());
        return 1;
    }
    use_layouts(build.get());
    keymap_library_t library;
    read_keymap_library(options, true, &library);
    print_library_problems(library, err);
    learn.library = &library;
    if (!library.found) {
        tool_print(out, "%s: learning walks the names in order, as with --no-library\n",
                   no_library_text(library, options).c_str());
    } else if (!options->no_library) {
        start_library_match(&learn.match, learn.build, learn.options, library, learn.names,
                            learn.out);
    }

    // Standard input in the slot of the daemon's uevent socket, which the tool does not use.
    receiver_follow_t follow;
    if (start_following(&follow, err) != 0) {
        return 1;
    }
    follow.slots[k_slot_uevent] = {options->input_fd, POLLIN, 0};
    tool_print(err, "dravoke-keymap: %s%s; %s%s\n", follow.receiver != nullptr ? "reading " : "",
               receiver_state(&follow).c_str(),
               options->protocols.size() == 1 ? "" : "NEC, the daemon's choice: ",
               options->protocol_origin.c_str());
    tool_print(out, "learning a %s remote with the %zu names of %s\n", protocol_name(protocol),
               learn.names.size(), standard_layout_path(build.get()).c_str());
    learn_prompt(&learn);

    std::string pending;
    while (!learn.done) {
        if (poll(follow.slots, g_nfds, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        bool answered = (follow.slots[k_slot_uevent].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
        // The receiver before standard input: a press made before an answer is taken first.
        take_receiver_events(&learn, &follow);
        if (learn.done || !answered) {
            continue;
        }
        // Answers come a line at a time; the end of input finishes.
        char buffer[256];
        ssize_t n = read(options->input_fd, buffer, sizeof(buffer));
        bool ended = n == 0 || (n < 0 && errno != EINTR);
        pending.append(buffer, n > 0 ? static_cast<size_t>(n) : 0);
        for (size_t end; !learn.done && (end = pending.find('\n')) != std::string::npos;) {
            std::string answer = pending.substr(0, end);
            pending.erase(0, end + 1);
            take_answer(&learn, &follow, &answer);
        }
        if (ended && !learn.done && !pending.empty()) {
            take_answer(&learn, &follow, &pending);  // a last answer without its newline
        }
        if (ended && !learn.done) {
            take_answer(&learn, &follow, nullptr);
        }
    }
    stop_following(&follow);
    return write_learned(&learn);
}
