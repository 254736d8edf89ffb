// SPDX-License-Identifier: Apache-2.0
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <memory>

#include "core/paths.h"
#include "core/poll_set.h"
#include "inject/inject.h"
#include "receiver/receiver.h"
#include "tool/live/live.h"
#include "tool/live/raw_describer.h"
#include "tool/options.h"
#include "tool/print.h"

namespace {

volatile sig_atomic_t g_stop = 0;

void on_stop_signal(int) {
    g_stop = 1;
}

// Ctrl-C must interrupt poll, not restart it, so the watch ends at once and cleanly.
void catch_stop_signals(void) {
    struct sigaction action;
    memset(&action, 0, sizeof(action));
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int run_watch(const tool_options_t *options, FILE *out, FILE *err) {
    raw_describer_t describer;
    if (start_describer(&describer, options, err) != 0) {
        return 1;
    }
    receiver_follow_t follow;
    if (start_following(&follow, err) != 0) {
        return 1;
    }
    catch_stop_signals();
    tool_print(err, "dravoke-keymap: %s%s, %s; Ctrl-C ends\n",
               follow.receiver != nullptr ? "watching " : "", receiver_state(&follow).c_str(),
               options->protocol_origin.c_str());
    fflush(err);

    while (g_stop == 0) {
        if (poll(follow.slots, g_nfds, -1) < 0) {
            continue;  // a signal: the loop's test decides
        }
        unsigned changes = follow.changes;
        if (serve_receiver_slots(&follow)) {
            struct input_event event;
            if (input_event_process(follow.slots[k_slot_receiver].fd, &event) == 0) {
                char prefix[64];
                snprintf(prefix, sizeof(prefix), "[%6ld.%06ld] %08x ",
                         static_cast<long>(event.input_event_sec),
                         static_cast<long>(event.input_event_usec),
                         static_cast<uint32_t>(event.value));
                print_described(out, prefix, describe_event(&describer, &event));
            }
        }
        if (follow.changes != changes) {
            if (follow.receiver == nullptr) {
                tool_print(err, "dravoke-keymap: the receiver's node went away: waiting for it\n");
            } else {
                tool_print(err, "dravoke-keymap: watching %s\n", receiver_state(&follow).c_str());
            }
            fflush(err);
        }
    }
    stop_following(&follow);
    return 0;
}
