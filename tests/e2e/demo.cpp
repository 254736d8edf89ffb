// SPDX-License-Identifier: Apache-2.0
// The newcomer's tour: two customer remotes and the TV's Standby, and what the box sees on
// its virtual keyboard, printed the way evtest prints it; then the integrator's tool, the two
// traps between the virtual keyboard and Android's keys, and the two routes to a new remote,
// import and learn (demo_tool.cpp). A scene that does not show what it says fails the demo.
#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "demo.h"

namespace {

// Prints every event that arrives within the time given, evtest style; returns the keys among
// them as "+103 -103", a run of repeats as one "=103".
std::string show_events(int fd, int ms) {
    std::vector<input_event> events;
    read_events_raw(fd, ms, &events);
    std::string keys;
    std::string last;
    for (const auto &ev : events) {
        if (ev.type == EV_SYN) {
            printf("    Event: time %ld.%06ld, -------------- SYN_REPORT ------------\n",
                   static_cast<long>(ev.time.tv_sec), static_cast<long>(ev.time.tv_usec));
        } else if (ev.type == EV_KEY) {
            printf("    Event: time %ld.%06ld, type 1 (EV_KEY), code %d (%s), value %d\n",
                   static_cast<long>(ev.time.tv_sec), static_cast<long>(ev.time.tv_usec), ev.code,
                   key_name(ev.code).c_str(), ev.value);
            std::string key = (ev.value == 0   ? "-"
                               : ev.value == 1 ? "+"
                                               : "=") +
                              std::to_string(ev.code);
            if (key != last || key[0] != '=') {
                keys += (keys.empty() ? "" : " ") + key;
            }
            last = key;
        } else {
            printf("    Event: time %ld.%06ld, type %d, code %d, value %d\n",
                   static_cast<long>(ev.time.tv_sec), static_cast<long>(ev.time.tv_usec), ev.type,
                   ev.code, ev.value);
        }
    }
    if (events.empty()) {
        printf("    (nothing)\n");
    }
    return keys;
}

void print_layout(const std::string &name, const std::string &text) {
    printf("  %s\n", name.c_str());
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        printf("      %s\n", line.c_str());
        at = end == std::string::npos ? text.size() : end + 1;
    }
}

void print_layouts() {
    printf("Key layouts in /system/usr/keylayout (NEC selected by /proc/orvex_ir_protocol):\n");
    for (const auto &f : all_layouts()) {
        if (f.first.find("rc5") == std::string::npos) {
            print_layout(f.first, f.second);
        }
    }
}

// keys as show_events gives them, but for repeats.
std::string without_repeats(const std::string &keys) {
    std::string kept;
    size_t at = 0;
    while (at < keys.size()) {
        size_t end = std::min(keys.find(' ', at), keys.size());
        if (keys[at] != '=') {
            kept += (kept.empty() ? "" : " ") + keys.substr(at, end - at);
        }
        at = end + 1;
    }
    return kept;
}

// The Standby from the TV, and what the box sees.
void tv_standby(demo_t *demo, int keyboard, const char *what, const char *want) {
    printf("\n>>> %s\n", what);
    raise_hdmi_uevent("change@/devices/platform/soc/hdmi", {"CEC_MSG=36"});
    std::string got = show_events(keyboard, 300);
    demo_expect(demo, what, got == want, expect_text(want, got));
}

}  // namespace

void demo_expect(demo_t *demo, const std::string &scene, bool ok, const std::string &why) {
    if (!ok) {
        printf("demo: FAILED: %s: %s\n", scene.c_str(), why.c_str());
        if (std::find(demo->missed.begin(), demo->missed.end(), scene) == demo->missed.end()) {
            demo->missed.push_back(scene);
        }
    }
}

void press(demo_t *demo, const source_t *receiver, int keyboard, const char *what,
           uint32_t customer, uint32_t command, int hold_ms, const char *want) {
    printf("\n>>> %s\n", what);
    printf("    receiver reports raw code 0x%08x (pressed), then 0x%08x (released)\n",
           nec_raw(customer, command, true), nec_raw(customer, command, false));
    send_raw(receiver, nec_raw(customer, command, true));
    sleep_ms(hold_ms);
    send_raw(receiver, nec_raw(customer, command, false));
    demo->raws.push_back(nec_raw(customer, command, true));
    demo->raws.push_back(nec_raw(customer, command, false));
    // The kernel repeats a key held past its delay; a press that is not held may be too, when
    // the guest stalls, and still shows what it announced.
    std::string got = show_events(keyboard, 300);
    if (strchr(want, '=') == nullptr) {
        got = without_repeats(got);
    }
    demo_expect(demo, what, got == want, expect_text(want, got));
}

void show_command(demo_t *demo, const std::string &command, int status,
                  const std::vector<std::string> &wants) {
    printf("\n$ %s\n", command.c_str());
    fflush(stdout);
    std::string printed;
    int got = -1;
    FILE *p = popen((command + " 2>&1").c_str(), "r");
    if (p != nullptr) {
        char line[1024];
        while (fgets(line, sizeof(line), p) != nullptr) {
            printf("%s", line);
            printed += line;
        }
        int ended = pclose(p);
        got = WIFEXITED(ended) ? WEXITSTATUS(ended) : -1;
        printf("(exit status %d)\n", got);
    } else {
        printf("    (cannot run it)\n");
    }
    demo_expect(demo, command, got == status,
                "exit status " + std::to_string(got) + ", not " + std::to_string(status));
    for (const std::string &want : wants) {
        demo_expect(demo, command, printed.find(want) != std::string::npos,
                    "it did not say \"" + want + "\"");
    }
}

bool restart_daemon(demo_t *demo, daemon_t *daemon, int *keyboard, const source_t *receiver) {
    close(*keyboard);
    stop_daemon(daemon);
    start_daemon(daemon, "demo-restarted");
    *keyboard = open_input_by_name(k_keyboard_name, 5000, nullptr);
    bool up = *keyboard >= 0 && wait_fd_open(daemon->pid, receiver->node, true, 5000) &&
              wait_idle(daemon->pid, 5000);
    demo_expect(demo, "the daemon restarted", up,
                "it did not come up again; its log:\n" + read_file(daemon->err_path));
    return up;
}

int run_demo() {
    if (load_module(k_uinput_module) != 0 || load_module(k_protocol_module) != 0 ||
        load_module(k_hdmi_module) != 0) {
        printf("demo: cannot load the uinput and protocol modules\n");
        return -1;
    }
    demo_t demo;
    uint32_t nec = 0;
    set_protocol(&nec, sizeof(nec));
    write_layouts(all_layouts());
    print_layouts();
    // Android's own layout for the virtual keyboard, so that it delivers the standard keys.
    printf("\n>>> Android's key layout for the virtual keyboard, from the standard one\n");
    std::string keyboard_layout = std::string(k_keyboard_name) + ".kl";
    show_command(&demo,
                 std::string(k_keymap_tool_path) + " android-layout --dir " + k_keylayout_dir, 0,
                 {std::string("wrote ") + k_keylayout_dir + "/" + keyboard_layout});
    print_layout(keyboard_layout, read_file(std::string(k_keylayout_dir) + "/" + keyboard_layout));

    source_t receiver;
    if (create_source(k_receiver_name, &receiver) != 0) {
        printf("demo: cannot create the stand-in receiver\n");
        return -1;
    }
    // The owners and modes a box's ueventd gives these nodes.
    if (chown("/dev/uinput", 3011, 3011) != 0 || chmod("/dev/uinput", 0660) != 0 ||
        chown(receiver.node.c_str(), 0, 1004) != 0 || chmod(receiver.node.c_str(), 0660) != 0) {
        printf("demo: cannot give the nodes a box's owners and modes\n");
    }
    printf("\nStand-in IR receiver \"orvex-ir\" is %s. Starting dravoke ...\n",
           receiver.node.c_str());
    daemon_t daemon;
    start_daemon(&daemon, "demo");
    std::string sys_name;
    int keyboard = open_input_by_name(k_keyboard_name, 5000, &sys_name);
    if (keyboard < 0 || !wait_fd_open(daemon.pid, receiver.node, true, 5000) ||
        !wait_idle(daemon.pid, 5000)) {
        printf("demo: the daemon did not come up; its log:\n%s",
               read_file(daemon.err_path).c_str());
        stop_daemon(&daemon);
        return -1;
    }
    printf("dravoke printed: %s", read_file(daemon.out_path).c_str());
    // The integrator's tool watches the same receiver beside the daemon.
    daemon_t watch;
    if (start_program(&watch, "demo-watch", k_keymap_tool_path, "watch") != 0) {
        watch.exited = true;
    }
    bool watching = !watch.exited && wait_file_has(watch.err_path, "watching", 5000);

    char name[128] = {0};
    struct input_id id;
    memset(&id, 0, sizeof(id));
    ioctl(keyboard, EVIOCGNAME(sizeof(name) - 1), name);
    ioctl(keyboard, EVIOCGID, &id);
    printf("\nWhat the box's input stack sees on /dev/input/%s:\n", sys_name.c_str());
    printf("Input device ID: bus 0x%x vendor 0x%x product 0x%x version 0x%x\n", id.bustype,
           id.vendor, id.product, id.version);
    printf("Input device name: \"%s\"\n", name);
    demo_expect(&demo, "the virtual keyboard", strcmp(name, k_keyboard_name) == 0,
                expect_text(k_keyboard_name, name));

    press(&demo, &receiver, keyboard, "Remote 1 (NEC customer 0xbf40): DPAD_UP (its command 5)",
          0xbf40, 5, 80, "+103 -103");
    press(&demo, &receiver, keyboard,
          "Remote 1: VOLUME_UP (command 12) held for 0.4 s; the kernel repeats it", 0xbf40, 12, 400,
          "+115 =115 -115");
    press(&demo, &receiver, keyboard, "Remote 2 (NEC customer 0x7f01): MENU (its command 72)",
          0x7f01, 72, 80, "+139 -139");
    press(&demo, &receiver, keyboard,
          "Remote 2: VOLUME_UP (its command 65): the same key as remote 1's", 0x7f01, 65, 80,
          "+115 -115");
    const char *play =
        "Remote 1: MEDIA_PLAY (command 20 -> standard scancode 223, also sets "
        "hdmi_cts.one_touch_play=1)";
    press(&demo, &receiver, keyboard, play, 0xbf40, 20, 80, "+223 -223");
    demo_expect(&demo, play,
                log_has(read_file(daemon.err_path), 'D', "hdmi_cts.one_touch_play", "1"),
                "the daemon's log does not show hdmi_cts.one_touch_play set to 1");
    press(&demo, &receiver, keyboard, "A remote nobody configured (customer 0x1234): ignored",
          0x1234, 5, 80, "");

    tv_standby(&demo, keyboard, "The TV sends HDMI-CEC Standby (the HDMI driver raises CEC_MSG=36)",
               "+116 -116");
    sleep_ms(1000);
    tv_standby(&demo, keyboard,
               "The TV repeats Standby a second later: within six seconds, so ignored", "");

    printf("\ndravoke's log (stderr):\n%s", read_file(daemon.err_path).c_str());
    const char *beside = "Meanwhile, beside the daemon: dravoke-keymap watch";
    std::string watched;
    if (watching) {
        kill(watch.pid, SIGINT);
        wait_exit(&watch, 2000);
        watched = read_file(watch.out_path);
        printf("\n>>> %s\n%s%s", beside, read_file(watch.err_path).c_str(), watched.c_str());
    }
    demo_expect(&demo, beside, watching, "watch did not start: " + read_file(watch.err_path));
    for (uint32_t raw : demo.raws) {
        char code[16];
        snprintf(code, sizeof(code), "%08x ", raw);
        demo_expect(&demo, beside, !watching || watched.find(code) != std::string::npos,
                    std::string("it did not show the raw code ") + code);
    }
    stop_daemon(&watch);
    show_check(&demo);
    show_android_traps(&demo);
    printf(
        "\n>>> Last, is this box set up right? One line a check, in the order the daemon needs\n"
        "    them, with what to do for anything not ok\n");
    show_command(&demo, std::string(k_keymap_tool_path) + " doctor", 0,
                 {"ok    uinput:", "ok    receiver:", "ok    daemon: dravoke running"});
    show_import(&demo, &daemon, &keyboard, &receiver);
    show_learn(&demo, &daemon, &keyboard, &receiver);
    close(keyboard);
    stop_daemon(&daemon);
    destroy_source(&receiver);
    if (!demo.missed.empty()) {
        printf("\ndemo: %zu scenes did not show what they announced:\n", demo.missed.size());
        for (const std::string &scene : demo.missed) {
            printf("    %s\n", scene.c_str());
        }
        return 1;
    }
    printf("\ndemo: every scene showed what it announced\n");
    return 0;
}
