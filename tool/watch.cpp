#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "core/daemon.h"
#include "core/paths.h"
#include "inject/inject.h"
#include "receiver/receiver.h"
#include "tool/keymap_tool.h"

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

// Which device the receiver is: its node and the node's inode, since a receiver closed and
// another opened in one turn may well get the same record address, descriptor and path.
std::string receiver_identity(const inputdev_info *receiver) {
    struct stat st;
    if (receiver == nullptr || fstat(receiver->fd, &st) != 0) {
        return "";
    }
    return std::string(receiver->path) + ":" + std::to_string(st.st_ino);
}

void empty_slots(struct pollfd *slots) {
    for (int i = 0; i < k_poll_slots; i++) {
        slots[i] = {-1, 0, 0};
    }
}

}  // namespace

int run_watch(const tool_options_t *options, FILE *out, FILE *err) {
    raw_describer_t describer;
    if (start_describer(&describer, options, err) != 0) {
        return 1;
    }

    // The daemon's own poll set layout and receiver handling: slot 0 watches the input
    // directory, slot 2 holds the receiver, opened without a grab so the daemon keeps it too,
    // and read-only.
    g_receiver_open_mode = O_RDONLY;
    struct pollfd slots[k_poll_slots];
    empty_slots(slots);
    slots[k_slot_inotify].fd = inotify_init1(IN_CLOEXEC);
    slots[k_slot_inotify].events = POLLIN;
    if (inotify_add_watch(slots[k_slot_inotify].fd, g_input_dir, IN_CREATE | IN_DELETE) < 0) {
        tool_print(err, "dravoke-keymap: cannot watch %s: %s\n", g_input_dir, strerror(errno));
        if (slots[k_slot_inotify].fd >= 0) {
            close(slots[k_slot_inotify].fd);
        }
        return 1;
    }
    g_nfds = k_slot_receiver;
    catch_stop_signals();

    inputdev_info *receiver = nullptr;
    find_receiver(&receiver, k_receiver_name, slots);
    tool_print(
        err, "dravoke-keymap: %s, %s; Ctrl-C ends\n",
        receiver != nullptr
            ? ("watching " + std::string(receiver->path) + " (" + k_receiver_name + ")").c_str()
            : (std::string("no ") + k_receiver_name + " device in " + g_input_dir +
               " yet: waiting for it")
                  .c_str(),
        options->protocol_origin.c_str());
    fflush(err);

    while (g_stop == 0) {
        if (poll(slots, g_nfds, -1) < 0) {
            continue;  // a signal: the loop's test decides
        }
        std::string before = receiver_identity(receiver);
        if (slots[k_slot_inotify].revents & POLLIN) {
            notify_process(&receiver, k_receiver_name, g_input_dir, slots[k_slot_inotify].fd,
                           slots);
        }
        if (slots[k_slot_receiver].revents & (POLLHUP | POLLERR)) {
            close_receiver(&receiver, slots);
            find_receiver(&receiver, k_receiver_name, slots);
        } else if (slots[k_slot_receiver].revents & POLLIN) {
            struct input_event event;
            if (input_event_process(slots[k_slot_receiver].fd, &event) == 0) {
                char prefix[64];
                snprintf(prefix, sizeof(prefix), "[%6ld.%06ld] %08x ",
                         static_cast<long>(event.input_event_sec),
                         static_cast<long>(event.input_event_usec),
                         static_cast<uint32_t>(event.value));
                print_described(out, prefix, describe_event(&describer, &event));
            }
        }
        if (receiver_identity(receiver) != before) {
            if (receiver == nullptr) {
                tool_print(err, "dravoke-keymap: the receiver's node went away: waiting for it\n");
            } else {
                tool_print(err, "dravoke-keymap: watching %s (%s)\n", receiver->path,
                           k_receiver_name);
            }
            fflush(err);
        }
    }
    close_receiver(&receiver, slots);
    close(slots[k_slot_inotify].fd);
    return 0;
}
