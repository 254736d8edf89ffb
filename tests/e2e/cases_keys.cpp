// SPDX-License-Identifier: Apache-2.0
// Translation sessions: RC5, then NEC with its key-state rules, scancode 223, hot-plug and
// the CEC announcements spaced through it.
#include <limits.h>

#include "cases.h"

namespace {

// Translation, key state, scancode 223 and hot-plug, with the receiver open.
void run_nec_keys(session_t *s, source_t *receiver, source_t *other) {
    if (other != nullptr) {
        check("device of another name is not opened",
              !wait_fd_open(s->daemon.pid, other->node, true, 100), other->node + " opened");
        drain(s->keyboard);
        send_raw(other, nec_raw(k_nec_a, 5, true));
        send_raw(other, nec_raw(k_nec_a, 5, false));
        wait_idle(s->daemon.pid, 2000);
        std::string got = read_keys(s->keyboard, 0, 0, 100);
        check("device of another name: its codes give nothing", got.empty(), expect_text("", got));
    }

    const uint32_t noise = 0xfe000000u;  // NEC ignores bits 25-31
    run_key_cases(
        s, receiver,
        {{"nec: remote 0xbf40 DPAD_UP",
          {nec_raw(k_nec_a, 5, true), nec_raw(k_nec_a, 5, false)},
          "+103 -103"},
         {"nec: remote 0xbf40 DPAD_CENTER",
          {nec_raw(k_nec_a, 9, true), nec_raw(k_nec_a, 9, false)},
          "+28 -28"},
         {"nec: remote 0xbf40 VOLUME_DOWN",
          {nec_raw(k_nec_a, 13, true), nec_raw(k_nec_a, 13, false)},
          "+114 -114"},
         {"nec: remote 0x7f01 (CRLF file) MENU",
          {nec_raw(k_nec_b, 72, true), nec_raw(k_nec_b, 72, false)},
          "+139 -139"},
         {"nec: remote 0x7f01 VOLUME_MUTE",
          {nec_raw(k_nec_b, 73, true), nec_raw(k_nec_b, 73, false)},
          "+113 -113"},
         {"nec: one name on both remotes gives one key",
          {nec_raw(k_nec_b, 65, true), nec_raw(k_nec_b, 65, false), nec_raw(k_nec_a, 12, true),
           nec_raw(k_nec_a, 12, false)},
          "+115 -115 +115 -115"},
         {"nec: ignored bits 25-31 change nothing",
          {nec_raw(k_nec_a, 6, true) | noise, nec_raw(k_nec_a, 6, false) | noise},
          "+108 -108"},
         {"nec: unknown customer code gives nothing",
          {nec_raw(0x1234, 5, true), nec_raw(0x1234, 5, false)},
          ""},
         {"nec: button without standard counterpart gives nothing",
          {nec_raw(k_nec_a, 30, true), nec_raw(k_nec_a, 30, false)},
          ""},
         {"nec: RC5 remote's customer file is not used",
          {nec_raw(k_rc5_a, 12, true), nec_raw(k_rc5_a, 12, false)},
          ""},
         {"keys: repeated press is a separate stroke",
          {nec_raw(k_nec_a, 5, true), nec_raw(k_nec_a, 5, true), nec_raw(k_nec_a, 5, false)},
          "+103 -103 +103 -103"},
         {"keys: press A, press B, release A, release B leaves nothing down",
          {nec_raw(k_nec_a, 5, true), nec_raw(k_nec_a, 6, true), nec_raw(k_nec_a, 5, false),
           nec_raw(k_nec_a, 6, false)},
          "+103 -103 +108 -108"},
         {"keys: press on one remote, press on the other, releases",
          {nec_raw(k_nec_a, 12, true), nec_raw(k_nec_b, 66, true), nec_raw(k_nec_b, 66, false),
           nec_raw(k_nec_a, 12, false)},
          "+115 -115 +114 -114"},
         {"keys: release of another key releases the key that is down",
          {nec_raw(k_nec_a, 7, true), nec_raw(k_nec_a, 8, false)},
          "+105 -105"},
         {"keys: release with nothing down gives nothing", {nec_raw(k_nec_a, 5, false)}, ""},
         {"keys: untranslated release leaves the key down until its own release",
          {nec_raw(k_nec_a, 10, true), nec_raw(0x1234, 10, false), nec_raw(k_nec_a, 10, false)},
          "+158 -158"}});

    // Scancode 223: its property and line come with each press, not with the release.
    int triggers = count_lines(&s->daemon, 'D', "trigger one touch play.");
    run_key_cases(s, receiver,
                  {{"scancode 223 is written as a key",
                    {nec_raw(k_nec_a, 20, true), nec_raw(k_nec_a, 20, false)},
                    "+223 -223"}});
    std::string log = read_file(s->daemon.err_path);
    check("scancode 223 press logs \"trigger one touch play.\" once",
          count_lines(&s->daemon, 'D', "trigger one touch play.") == triggers + 1, "log:\n" + log);
    // The host build's property stand-in logs the value it keeps.
    check("scancode 223 press sets hdmi_cts.one_touch_play to 1",
          log_has(log, 'D', "hdmi_cts.one_touch_play", "1"),
          "no property line in the log:\n" + log);

    // Hot-plug: the node deleted and created again, several times.
    for (int round = 1; round <= 4; round++) {
        std::string name = "hot-plug round " + std::to_string(round);
        cycle_receiver(s, receiver, name);
        run_key_cases(s, receiver,
                      {{name + ": keys flow",
                        {nec_raw(k_nec_b, 70, true), nec_raw(k_nec_b, 70, false)},
                        "+103 -103"}});
    }

    // The receiver goes away while a key is down: the key must not stay down.
    drain(s->keyboard);
    send_raw(receiver, nec_raw(k_nec_a, 12, true));
    wait_idle(s->daemon.pid, 2000);
    destroy_source(receiver);
    wait_fd_open(s->daemon.pid, receiver->node, false, 2000);
    wait_idle(s->daemon.pid, 2000);
    std::string got = read_keys(s->keyboard, 2, 1000, 50);
    std::string down = keys_down(s->keyboard);
    bool held = (" " + down + " ").find(" 115 ") != std::string::npos;
    check("receiver removed while a key is down: release written", got == "+115 -115" && !held,
          expect_text("+115 -115", got) + (held ? "; still down: " + down : ""));
    bool created = create_source(k_receiver_name, receiver) == 0;
    bool opened = created && wait_fd_open(s->daemon.pid, receiver->node, true, 2000);
    wait_idle(s->daemon.pid, 2000);
    if (opened) {
        run_key_cases(s, receiver,
                      {{"after removal with a key down: keys flow again",
                        {nec_raw(k_nec_a, 13, true), nec_raw(k_nec_a, 13, false)},
                        "+114 -114"}});
    } else {
        check("after removal with a key down: receiver reopened", false, "not reopened");
    }
}

}  // namespace

void run_rc5_session() {
    const unsigned char rc5[4] = {1, 0, 0, 0};
    set_protocol(rc5, sizeof(rc5));
    write_layouts(all_layouts());
    source_t receiver;
    if (!create_receiver("rc5", &receiver)) {
        return;
    }
    session_t s;
    if (open_session(&s, "rc5")) {
        std::string log = read_file(s.daemon.err_path);
        check("rc5: 01 00 00 00 selects RC5 without a message",
              stdout_line(&s.daemon) == "IR_PROTOCOL_USED = 1\n" && !log_has(log, 'E', ""),
              expect_text("IR_PROTOCOL_USED = 1\\n", stdout_line(&s.daemon)) + "; log:\n" + log);
        check("receiver present at start is found by name",
              log_has(log, 'D', "find target device, path=" + receiver.node) &&
                  wait_fd_open(s.daemon.pid, receiver.node, true, 2000),
              "no \"find target device, path=" + receiver.node + "\"; log:\n" + log);
        auto rc5_raw = [](uint32_t addr, uint32_t cmd, bool pressed) {
            return (addr << 8) | cmd | (pressed ? k_pressed_bit : 0);
        };
        // Bits 7, 13-23 and 25-31 carry nothing under RC5.
        const uint32_t noise = 0xfeffe080u;
        run_key_cases(&s, &receiver,
                      {{"rc5: remote 0x1f POWER",
                        {rc5_raw(k_rc5_a, 12, true), rc5_raw(k_rc5_a, 12, false)},
                        "+116 -116"},
                       {"rc5: remote 0x1f VOLUME_DOWN",
                        {rc5_raw(k_rc5_a, 17, true), rc5_raw(k_rc5_a, 17, false)},
                        "+114 -114"},
                       {"rc5: remote 0x05 MENU (command 100)",
                        {rc5_raw(k_rc5_b, 100, true), rc5_raw(k_rc5_b, 100, false)},
                        "+139 -139"},
                       {"rc5: remote 0x05 BACK",
                        {rc5_raw(k_rc5_b, 2, true), rc5_raw(k_rc5_b, 2, false)},
                        "+158 -158"},
                       {"rc5: ignored bits change nothing",
                        {rc5_raw(k_rc5_a, 32, true) | noise, rc5_raw(k_rc5_a, 32, false) | noise},
                        "+103 -103"},
                       {"rc5: NEC remote's codes give nothing",
                        {nec_raw(k_nec_a, 5, true), nec_raw(k_nec_a, 5, false)},
                        ""}});
        run_rc5_learn_case(&receiver);
    }
    close_session(&s);
    destroy_source(&receiver);
}

void run_nec_session() {
    use_nec_layouts();
    session_t s;
    if (!open_session(&s, "nec")) {
        close_session(&s);
        return;
    }
    check("empty protocol value 0 selects NEC silently",
          stdout_line(&s.daemon) == "IR_PROTOCOL_USED = 0\n" &&
              !log_has(read_file(s.daemon.err_path), 'E', ""),
          expect_text("IR_PROTOCOL_USED = 0\\n", stdout_line(&s.daemon)));
    check_identity(&s);

    // CEC: the second announcement comes 2.5 s after the first, the third 6.3 s after the
    // second, with the other cases in between.
    uint64_t first_standby =
        check_uevent(&s, "cec: first Standby gives POWER", standby(k_hdmi_header, "36"),
                     {"+116 -116", true, 6, LONG_MAX});
    check_uevent(&s, "cec: opcode 0x4 ignored", standby(k_hdmi_header, "4"), {"", false, 0, 0});
    check_uevent(&s, "cec: child device of the HDMI device ignored",
                 {"change@/devices/platform/soc/hdmi/cec0", "ACTION=change",
                  "DEVPATH=/devices/platform/soc/hdmi/cec0", "SUBSYSTEM=cec", "CEC_MSG=36"},
                 {"", false, 0, 0}, k_by_unicast);
    check_uevent(&s, "cec: CEC_MSG as the third field ignored",
                 {k_hdmi_header, "ACTION=change", "SUBSYSTEM=hdmi", "CEC_MSG=36"},
                 {"", false, 0, 0}, k_by_unicast);
    check_uevent(&s, "cec: 136 is not 0x36", standby(k_hdmi_header, "136"), {"", false, 0, 0});
    // Stored, logged, not acted on.
    uint64_t second_at = first_standby + 2500;
    if (now_ms() < second_at) {
        sleep_ms(static_cast<int>(second_at - now_ms()));
    }
    uint64_t second_standby =
        check_uevent(&s, "cec: Standby 2.5 s later is not acted on (interval 2)",
                     standby(k_hdmi_header, "36"), {"", true, 2, 2});

    // Receiver absent at start, arriving later.
    check("receiver absent at start: nothing found",
          !log_has(read_file(s.daemon.err_path), 'D', "find target device"),
          "logged find target device");
    source_t other;
    bool other_ok = create_source("orvex-ir-remote", &other) == 0;
    wait_idle(s.daemon.pid, 2000);
    source_t receiver;
    bool created = create_source(k_receiver_name, &receiver) == 0;
    bool opened = created && wait_fd_open(s.daemon.pid, receiver.node, true, 3000);
    wait_idle(s.daemon.pid, 2000);
    check("receiver arriving later is opened", opened,
          created ? "node " + receiver.node + " never opened" : "uinput refused the device");
    if (opened) {
        run_nec_keys(&s, &receiver, other_ok ? &other : nullptr);
    }

    // CEC third announcement, 6 s or more after the second, with the other header.
    uint64_t third_at = second_standby + 6300;
    if (now_ms() < third_at) {
        sleep_ms(static_cast<int>(third_at - now_ms()));
    }
    check_uevent(&s, "cec: Standby 6 s after the last gives POWER (other header)",
                 standby(k_hdmi_header_2, "0x36"), {"+116 -116", true, 6, LONG_MAX});

    // The kernel's own uevents (devices coming and going) reach the socket too.
    drain(s.keyboard);
    source_t noise_dev;
    if (create_source("e2e-uevent-noise", &noise_dev) == 0) {
        destroy_source(&noise_dev);
    }
    wait_idle(s.daemon.pid, 2000);
    std::string got = read_keys(s.keyboard, 0, 0, 100);
    check("cec: the kernel's own uevents give nothing", got.empty(), expect_text("", got));

    if (other_ok) {
        destroy_source(&other);
    }
    destroy_source(&receiver);
    close_session(&s);
}
