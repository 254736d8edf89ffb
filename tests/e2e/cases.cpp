// SPDX-License-Identifier: Apache-2.0
// The end-to-end cases: the unmodified daemon on a real kernel, judged by what the
// platform reads from "orvex-ir-uinput". This file holds what the cases share and the order
// they run in; the cases themselves are in cases_*.cpp, one subject a file.
#include <string.h>
#include <unistd.h>

#include "cases.h"

// Standard scancodes are Linux key codes, so the platform sees ordinary keys; the names are
// Android's key labels, as Android's key layout reader accepts no other.
const char k_standard_layout[] =
    "# standard remote of the box\n"
    "key 116 POWER\n"
    "key 103 DPAD_UP\n"
    "key 108 DPAD_DOWN\n"
    "key 105 DPAD_LEFT\n"
    "key 106 DPAD_RIGHT\n"
    "key 28 DPAD_CENTER\n"
    "key 158 BACK\n"
    "key 102 HOME\n"
    "key 115 VOLUME_UP\n"
    "key 114 VOLUME_DOWN\n"
    "key 113 VOLUME_MUTE\n"
    "key 139 MENU\n"
    "key 223 MEDIA_PLAY\n";

// NEC customer remote 0xbf40.
const char k_nec_a_layout[] =
    "key 18 POWER\n"
    "key 5 DPAD_UP\n"
    "key 6 DPAD_DOWN\n"
    "key 7 DPAD_LEFT\n"
    "key 8 DPAD_RIGHT\n"
    "key 9 DPAD_CENTER\n"
    "key 10 BACK\n"
    "key 11 HOME\n"
    "key 12 VOLUME_UP\n"
    "key 13 VOLUME_DOWN\n"
    "key 20 MEDIA_PLAY\n"
    "key 30 FAVOURITES\n";

// NEC customer remote 0x7f01, with upper-case digits in its file name and CRLF lines.
const char k_nec_b_layout[] =
    "key 64 POWER\r\n"
    "key 65 VOLUME_UP\r\n"
    "key 66 VOLUME_DOWN\r\n"
    "key 70 DPAD_UP\r\n"
    "key 71 DPAD_DOWN\r\n"
    "key 72 MENU\r\n"
    "key 73 VOLUME_MUTE\r\n";

// RC5 customer remotes 0x1f and 0x05.
const char k_rc5_a_layout[] =
    "key 12 POWER\n"
    "key 16 VOLUME_UP\n"
    "key 17 VOLUME_DOWN\n"
    "key 32 DPAD_UP\n"
    "key 33 DPAD_DOWN\n";
const char k_rc5_b_layout[] =
    "key 1 HOME\n"
    "key 2 BACK\n"
    "key 100 MENU\n";

std::vector<std::pair<std::string, std::string>> all_layouts() {
    return {{"orvex-ir.kl", k_standard_layout},
            {"customer_ir_bf40.kl", k_nec_a_layout},
            {"customer_ir_7F01.kl", k_nec_b_layout},
            {"customer_rc5_ir_1f.kl", k_rc5_a_layout},
            {"customer_rc5_ir_05.kl", k_rc5_b_layout}};
}

std::string quoted(const std::string &s) {
    return "'" + s + "'";
}

std::string expect_text(const std::string &want, const std::string &got) {
    return "expected " + quoted(want) + ", got " + quoted(got);
}

std::string stdout_line(const daemon_t *d) {
    return read_file(d->out_path);
}

int count_lines(const daemon_t *d, char priority, const std::string &msg) {
    std::string log = read_file(d->err_path);
    int n = 0;
    size_t at = 0;
    while ((at = log.find(msg, at)) != std::string::npos) {
        size_t line_start = log.rfind('\n', at);
        line_start = line_start == std::string::npos ? 0 : line_start + 1;
        if (log.compare(line_start, 9, std::string("dravoke ") + priority) == 0) {
            n++;
        }
        at += msg.size();
    }
    return n;
}

bool open_session(session_t *s, const char *tag) {
    s->keyboard = -1;
    if (start_daemon(&s->daemon, tag) != 0) {
        return check(std::string(tag) + ": daemon starts", false, "fork failed");
    }
    if (!wait_log(&s->daemon, 'D', "uevent listen start", 10000) ||
        !wait_idle(s->daemon.pid, 5000)) {
        wait_exit(&s->daemon, 100);
        std::string why = s->daemon.exited
                              ? "exited with status " + std::to_string(s->daemon.status)
                              : "never reached its poll loop";
        return check(std::string(tag) + ": daemon reaches its loop", false,
                     why + "; log:\n" + read_file(s->daemon.err_path));
    }
    s->keyboard = open_input_by_name(k_keyboard_name, 2000, nullptr);
    return check(std::string(tag) + ": virtual keyboard present", s->keyboard >= 0,
                 "no input device named orvex-ir-uinput");
}

void close_session(session_t *s) {
    if (s->keyboard >= 0) {
        close(s->keyboard);
        s->keyboard = -1;
    }
    stop_daemon(&s->daemon);
}

void run_key_cases(session_t *s, const source_t *receiver, const std::vector<key_case_t> &cases) {
    for (const auto &c : cases) {
        drain(s->keyboard);
        std::string down_before = keys_down(s->keyboard);
        for (uint32_t raw : c.raws) {
            send_raw(receiver, raw);
            wait_idle(s->daemon.pid, 2000);
        }
        int want = 0;
        for (const char *p = c.keys; *p != '\0'; p++) {
            want += (*p == '+' || *p == '-') ? 1 : 0;
        }
        std::string got = read_keys(s->keyboard, want, 2000, 50);
        // Only keys this case left down count against it.
        std::string down = keys_down(s->keyboard);
        bool left_down = !down.empty() && down != down_before;
        bool ok = got == c.keys && !left_down;
        std::string detail = expect_text(c.keys, got);
        if (left_down) {
            detail += "; down afterwards: " + down;
        }
        check(c.name, ok, detail);
    }
}

void cycle_receiver(session_t *s, source_t *receiver, const std::string &name) {
    destroy_source(receiver);
    bool closed = wait_fd_open(s->daemon.pid, receiver->node, false, 2000);
    wait_idle(s->daemon.pid, 2000);
    bool created = create_source(k_receiver_name, receiver) == 0;
    bool opened = created && wait_fd_open(s->daemon.pid, receiver->node, true, 2000);
    wait_idle(s->daemon.pid, 2000);
    check(name + ": daemon follows the node", closed && opened,
          std::string(closed ? "" : "old node still open; ") +
              (opened ? "" : "new node " + receiver->node + " not opened"));
}

void use_nec_layouts() {
    uint32_t nec = 0;
    set_protocol(&nec, sizeof(nec));
    write_layouts(all_layouts());
}

bool create_receiver(const std::string &tag, source_t *receiver) {
    return check(tag + ": stand-in receiver created", create_source(k_receiver_name, receiver) == 0,
                 "uinput refused the device");
}

int run_cases() {
    run_startup_without_uinput();
    if (!check("uinput module loads", load_module(k_uinput_module) == 0, strerror(errno)) ||
        !check("protocol stand-in module loads", load_module(k_protocol_module) == 0,
               strerror(errno)) ||
        !check("HDMI stand-in module loads", load_module(k_hdmi_module) == 0, strerror(errno))) {
        return -1;
    }
    run_startup_failures();
    run_protocol_cases();
    run_rc5_session();
    run_nec_session();
    run_node_outlives_device();
    run_standby_from_kernel_only();
    run_other_devices_uevents();
    run_second_receiver_takes_over();
    run_inotify_overflow();
    run_keymap_watch();
    run_doctor_states();
    run_learn_case();
    run_import_case();
    run_recognise_case();
    return 0;
}
