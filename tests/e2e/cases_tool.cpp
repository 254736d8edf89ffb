// SPDX-License-Identifier: Apache-2.0
// dravoke-keymap on the guest: watch beside the running daemon, doctor in several states.
#include <signal.h>
#include <sys/stat.h>

#include <string.h>
#include <functional>

#include "cases.h"

// The integrator's tool reads the receiver beside the daemon: neither takes the other's keys,
// and the tool follows the node as the daemon does.
void run_keymap_watch() {
    use_nec_layouts();
    source_t receiver;
    if (!create_receiver("watch", &receiver)) {
        return;
    }
    session_t s;
    daemon_t watch;
    watch.exited = true;
    if (open_session(&s, "watch-daemon") && wait_fd_open(s.daemon.pid, receiver.node, true, 2000)) {
        if (start_program(&watch, "keymap-watch", k_keymap_tool_path, "watch") != 0) {
            watch.exited = true;
        }
        check("watch: finds the receiver by name beside the daemon",
              !watch.exited && wait_file_has(watch.err_path, "watching " + receiver.node, 5000),
              "its standard error:\n" + read_file(watch.err_path));
        run_key_cases(
            &s, &receiver,
            {{"watch: the daemon sees every key while the tool watches",
              {nec_raw(k_nec_a, 5, true), nec_raw(k_nec_a, 5, false), nec_raw(0x1234, 9, true),
               nec_raw(0x1234, 9, false), nec_raw(k_nec_b, 72, true), nec_raw(k_nec_b, 72, false)},
              "+103 -103 +139 -139"}});
        // Events still unread when the node goes away are lost to any reader: the tool reads
        // after the daemon, so it is waited for.
        wait_file_has(watch.out_path, "007f0148 NEC customer 0x7f01 command 72", 2000);
        cycle_receiver(&s, &receiver, "watch");
        bool back = wait_file_has(
            watch.err_path,
            "node went away: waiting for it\ndravoke-keymap: watching " + receiver.node, 3000);
        check("watch: follows the receiver's node away and back", back,
              "its standard error:\n" + read_file(watch.err_path));
        run_key_cases(&s, &receiver,
                      {{"watch: after the node came back, the daemon's keys flow",
                        {nec_raw(k_nec_a, 13, true), nec_raw(k_nec_a, 13, false)},
                        "+114 -114"}});
        const char *lines[] = {
            "01bf4005 NEC customer 0xbf40 command 5 (0x05) pressed -> 103 DPAD_UP (KEY_UP): "
            "writes press KEY_UP (103)\n",
            "00bf4005 NEC customer 0xbf40 command 5 (0x05) released -> 103 DPAD_UP (KEY_UP): "
            "writes release KEY_UP (103)\n",
            "01123409 NEC customer 0x1234 command 9 (0x09) pressed: no file for customer 0x1234: "
            "create customer_ir_1234.kl\n    key 9 ?\n",
            "00123409 NEC customer 0x1234 command 9 (0x09) released: no file for customer "
            "0x1234",
            "017f0148 NEC customer 0x7f01 command 72 (0x48) pressed -> 139 MENU (KEY_MENU): writes "
            "press KEY_MENU (139)\n",
            "00bf400d NEC customer 0xbf40 command 13 (0x0d) released -> 114 VOLUME_DOWN "
            "(KEY_VOLUMEDOWN): writes release KEY_VOLUMEDOWN (114)\n",
        };
        std::string missing;
        for (const char *line : lines) {
            if (!wait_file_has(watch.out_path, line, 2000)) {
                missing += std::string("\n  ") + line;
            }
        }
        check("watch: one line per raw code, with its translation or what to do", missing.empty(),
              "lacks:" + missing + "\nit printed:\n" + read_file(watch.out_path));
        kill(watch.pid, SIGINT);
        bool ended = wait_exit(&watch, 2000);
        check("watch: Ctrl-C ends it with status 0", ended && watch.status == 0,
              ended ? "status " + std::to_string(watch.status) : "still running");
        // The same for the TERM signal that kill and init send.
        stop_daemon(&watch);
        watch.exited = start_program(&watch, "keymap-watch-term", k_keymap_tool_path, "watch") != 0;
        // Its handlers are in place before it says how it ends.
        bool watching = !watch.exited && wait_file_has(watch.err_path, "Ctrl-C ends", 5000);
        if (watching) {
            kill(watch.pid, SIGTERM);
        }
        ended = watching && wait_exit(&watch, 2000);
        check("watch: the TERM signal ends it with status 0", ended && watch.status == 0,
              ended ? "status " + std::to_string(watch.status) : "did not start or end");
    }
    stop_daemon(&watch);
    close_session(&s);
    destroy_source(&receiver);
}

namespace {

std::string doctor_report(int *status) {
    daemon_t d;
    if (start_program(&d, "doctor", k_keymap_tool_path, "doctor") != 0 || !wait_exit(&d, 10000)) {
        stop_daemon(&d);
        *status = -1;
        return "(did not end)";
    }
    *status = d.status;
    return read_file(d.out_path);
}

}  // namespace

// The doctor on a box set up as ueventd and the build would set it up, then with one thing
// broken at a time: each is reported with its fix, and everything else stays ok.
void run_doctor_states() {
    uint32_t nec = 0;
    set_protocol(&nec, sizeof(nec));
    // A clean set: one remote whose every button translates, and Android's layout for the
    // virtual keyboard.
    const std::vector<std::pair<std::string, std::string>> layouts = {
        {"orvex-ir.kl", k_standard_layout},
        {std::string(k_keyboard_name) + ".kl", k_standard_layout},
        {"customer_ir_7F01.kl", k_nec_b_layout}};
    write_layouts(layouts);
    source_t receiver;
    if (!create_receiver("doctor", &receiver)) {
        return;
    }
    // ueventd's modes: /dev/uinput 0660 uhid uhid, /dev/input/* 0660 root input.
    bool moded = chown("/dev/uinput", 3011, 3011) == 0 && chmod("/dev/uinput", 0660) == 0 &&
                 chown(receiver.node.c_str(), 0, 1004) == 0 &&
                 chmod(receiver.node.c_str(), 0660) == 0;
    check("doctor: nodes given the box's owners and modes", moded, strerror(errno));
    session_t s;
    if (open_session(&s, "doctor") && wait_fd_open(s.daemon.pid, receiver.node, true, 2000)) {
        std::vector<std::string> no_customer;
        const struct {
            const char *state;
            std::function<void()> break_it;
            std::function<void()> mend;
            const char *line;  // the line that must report it, with its fix; null: all ok
        } states[] = {
            {"everything in place", [] {}, [] {}, nullptr},
            {"daemon not running", [&] { close_session(&s); },
             [&] {
                 open_session(&s, "doctor");
                 wait_fd_open(s.daemon.pid, receiver.node, true, 2000);
             },
             "FAIL  daemon: dravoke is not running: start it"},
            {"protocol file absent", [] { unload_module("orvex_ir_protocol"); },
             [&] {
                 load_module(k_protocol_module);
                 set_protocol(&nec, sizeof(nec));
             },
             "warn  protocol: /proc/orvex_ir_protocol cannot be read (No such file or directory): "
             "the daemon uses NEC; the receiver's driver should provide it"},
            {"no customer layout",
             [&] {
                 write_layouts({layouts[0], layouts[1]});
             },
             [&] { write_layouts(layouts); },
             "FAIL  key layouts: /system/usr/keylayout: NEC: 0 tables, 0 buttons translated; 0 "
             "warnings, 1 error; first: no NEC customer layout (customer_ir_XXXX.kl)"},
            // The daemon reads it as nobody, though root reads it.
            {"customer layout unreadable by the service",
             [] { chmod("/system/usr/keylayout/customer_ir_7F01.kl", 0600); },
             [] { chmod("/system/usr/keylayout/customer_ir_7F01.kl", 0644); },
             "FAIL  key layouts: /system/usr/keylayout: NEC: 1 table, 7 buttons translated; 0 "
             "warnings, 1 error; first: customer_ir_7F01.kl: mode -rw------- root root: the "
             "service (user nobody, groups uhid input) cannot read it"},
            // Made of the key lines of a standard layout that names a key as Android does not.
            {"virtual keyboard's layout refused by Android",
             [&] {
                 write_layouts({layouts[0],
                                {layouts[1].first, layouts[1].second + "key 200 TV_PLAY\n"},
                                layouts[2]});
             },
             [&] { write_layouts(layouts); },
             "FAIL  Android: Android 9 to 16, without --android; 32- and 64-bit boxes, without "
             "--abi: "
             "/system/usr/keylayout/orvex-ir-uinput.kl:15: \"TV_PLAY\" is not an "
             "Android key label: Android refuses this file and uses Generic.kl for every key of "
             "the device; of the 7 standard keys that customer buttons reach, Android delivers "
             "each as orvex-ir.kl names it"},
            {"no virtual keyboard's layout, and a key that Generic.kl gives otherwise",
             [&] {
                 write_layouts({layouts[0], layouts[2], {"customer_ir_0001.kl", "key 1 HOME\n"}});
             },
             [&] { write_layouts(layouts); },
             "warn  Android: Android 9 to 16, without --android; 32- and 64-bit boxes, without "
             "--abi: the virtual keyboard's keys map through Generic.kl (no orvex-ir-uinput.kl in "
             "/system/usr/keylayout; AOSP's Generic.kl stands in for the box's, no folder tree "
             "being at hand here, as on the box or under --root); of the 8 "
             "standard keys that customer buttons reach, Android delivers 1 as another key: HOME "
             "(102) as MOVE_HOME; 'dravoke-keymap android-layout' writes orvex-ir-uinput.kl from "
             "orvex-ir.kl"},
        };
        for (const auto &state : states) {
            state.break_it();
            int status;
            std::string report = doctor_report(&status);
            state.mend();
            std::string wrong;
            int lines = 0;
            for (size_t at = 0; at < report.size();) {
                size_t end = report.find('\n', at);
                std::string line = report.substr(at, end - at);
                at = end == std::string::npos ? report.size() : end + 1;
                if (line.compare(0, 7, "doctor:") == 0) {
                    continue;
                }
                lines++;
                bool expected_here =
                    state.line != nullptr && line.compare(0, strlen(state.line), state.line) == 0;
                if (!expected_here && line.compare(0, 4, "ok  ") != 0) {
                    wrong += "\n  " + line;
                }
            }
            bool reported = state.line == nullptr || report.find(state.line) != std::string::npos;
            int want_status = state.line != nullptr && state.line[0] == 'F' ? 1 : 0;
            check(std::string("doctor: ") + state.state,
                  lines == 7 && wrong.empty() && reported && status == want_status,
                  "status " + std::to_string(status) +
                      (reported ? "" : "; lacks: " + std::string(state.line)) +
                      (wrong.empty() ? "" : "; not ok:" + wrong) + "\nit printed:\n" + report);
        }
    }
    close_session(&s);
    destroy_source(&receiver);
}
