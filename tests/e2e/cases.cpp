// The end-to-end cases: the unmodified daemon on a real kernel, judged by what the
// platform reads from "orvex-ir-uinput".
#include <fcntl.h>
#include <limits.h>
#include <linux/uinput.h>
#include <sched.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <functional>

#include "e2e.h"

namespace {

// Standard scancodes are Linux key codes, so the platform sees ordinary keys.
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
    "key 223 TV_PLAY\n";

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
    "key 20 TV_PLAY\n"
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

constexpr uint32_t k_nec_a = 0xbf40;
constexpr uint32_t k_nec_b = 0x7f01;
constexpr uint32_t k_rc5_a = 0x1f;
constexpr uint32_t k_rc5_b = 0x05;

const char k_hdmi_header[] = "change@/devices/platform/soc/hdmi";
const char k_hdmi_header_2[] = "change@/devices/soc.0/1ee0000.hdmi";

}  // namespace

std::vector<std::pair<std::string, std::string>> all_layouts() {
    return {{"orvex-ir.kl", k_standard_layout},
            {"customer_ir_bf40.kl", k_nec_a_layout},
            {"customer_ir_7F01.kl", k_nec_b_layout},
            {"customer_rc5_ir_1f.kl", k_rc5_a_layout},
            {"customer_rc5_ir_05.kl", k_rc5_b_layout}};
}

namespace {

std::string quoted(const std::string &s) {
    return "'" + s + "'";
}

std::string expect_text(const std::string &want, const std::string &got) {
    return "expected " + quoted(want) + ", got " + quoted(got);
}

// A running daemon with its virtual keyboard open for reading.
struct session_t {
    daemon_t daemon;
    int keyboard;
};

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

// Sends raw codes one at a time (each handled before the next, as a person's presses
// are) and compares the keys the platform sees.
struct key_case_t {
    std::string name;
    std::vector<uint32_t> raws;
    const char *keys;  // expected, e.g. "+103 -103"; "" for nothing
};

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

void check_identity(session_t *s) {
    char name[128] = {0};
    ioctl(s->keyboard, EVIOCGNAME(sizeof(name) - 1), name);
    check("identity: name", strcmp(name, k_keyboard_name) == 0, expect_text(k_keyboard_name, name));
    struct input_id id;
    memset(&id, 0, sizeof(id));
    ioctl(s->keyboard, EVIOCGID, &id);
    char got[128];
    snprintf(got, sizeof(got), "bus 0x%x vendor 0x%x product 0x%x version 0x%x", id.bustype,
             id.vendor, id.product, id.version);
    check("identity: bus, vendor, product, version",
          id.bustype == 0x19 && id.vendor == 0 && id.product == 0 && id.version == 4,
          expect_text("bus 0x19 vendor 0x0 product 0x0 version 0x4", got));

    unsigned long types = 0;
    ioctl(s->keyboard, EVIOCGBIT(0, sizeof(types)), &types);
    unsigned long want_types =
        (1ul << EV_SYN) | (1ul << EV_KEY) | (1ul << EV_MSC) | (1ul << EV_REP);
    char types_text[64];
    snprintf(types_text, sizeof(types_text), "0x%lx", types);
    check("identity: event types EV_SYN EV_KEY EV_MSC EV_REP", types == want_types,
          expect_text("0x100013", types_text));

    unsigned char keys[KEY_MAX / 8 + 1];
    memset(keys, 0, sizeof(keys));
    ioctl(s->keyboard, EVIOCGBIT(EV_KEY, sizeof(keys)), keys);
    std::string wrong;
    for (int code = 1; code <= KEY_MAX; code++) {
        bool has = (keys[code / 8] >> (code % 8)) & 1;
        // The input core withholds code 0 (KEY_RESERVED) from every device.
        if (has != (code <= 255) && wrong.size() < 80) {
            wrong += (has ? " extra " : " missing ") + std::to_string(code);
        }
    }
    check("identity: key codes 1..255 declared, none above", wrong.empty(), wrong);
}

std::string stdout_line(const daemon_t *d) {
    return read_file(d->out_path);
}

// ---- start-up failures -------------------------------------------------------------

void check_startup_exit(const char *name, int want_status, daemon_t *d,
                        const std::vector<std::pair<char, std::string>> &lines) {
    bool exited = wait_exit(d, 10000);
    if (!exited) {
        stop_daemon(d);
        check(name, false, "still running; log:\n" + read_file(d->err_path));
        return;
    }
    std::string missing;
    std::string log = read_file(d->err_path);
    bool lines_ok = log_in_order(log, lines, &missing);
    std::string detail;
    if (d->status != want_status) {
        detail += "exit status " + std::to_string(d->status) + " instead of " +
                  std::to_string(want_status) + "; ";
    }
    if (!lines_ok) {
        detail += "log lacks " + missing + " (in order); log:\n" + log;
    }
    check(name, d->status == want_status && lines_ok, detail);
}

int hide_dev_input() {
    // A private /dev with only the uinput node: "/dev/input" does not exist for it.
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr)) {
        return -1;
    }
    if (mount("tmpfs", "/dev", "tmpfs", 0, "mode=755") != 0) {
        return -1;
    }
    return mknod("/dev/uinput", S_IFCHR | 0600, makedev(10, 223));
}

void run_startup_without_uinput() {
    // Before uinput and the protocol stand-in are loaded: neither node exists.
    daemon_t d;
    start_daemon(&d, "no-uinput");
    check_startup_exit("start-up without uinput exits 0 with its messages", 0, &d,
                       {{'E', "can not read IR_PROTOCOL_USED"},
                        {'E',
                         "WRONG:faied to get ir_protocol_used             default to use NEC "
                         "protocol"},
                        {'D', "dravoke open uinput dev"},
                        {'E', "could not open '/dev/uinput', No such file or directory"},
                        {'D', "uinputfd=-1"}});
    check("missing protocol file prints IR_PROTOCOL_USED = 0",
          stdout_line(&d) == "IR_PROTOCOL_USED = 0\n",
          expect_text("IR_PROTOCOL_USED = 0\\n", stdout_line(&d)));
}

void run_startup_failures() {
    uint32_t nec = 0;
    set_protocol(&nec, sizeof(nec));

    write_layouts({{"orvex-ir.kl", k_standard_layout}, {"customer_rc5_ir_1f.kl", k_rc5_a_layout}});
    daemon_t d;
    start_daemon(&d, "no-customer");
    check_startup_exit("start-up without a customer file of the protocol exits 0", 0, &d,
                       {{'E', "cant find any ir map"}});
    check("start-up without a customer file opens no uevent socket",
          !log_has(read_file(d.err_path), 'D', "uevent listen start"),
          "logged uevent listen start");

    if (system("rm -rf /system/usr/keylayout") != 0) {
        printf("e2e: cannot remove the key layout folder\n");
    }
    start_daemon(&d, "no-keylayout");
    check_startup_exit("start-up without the key layout folder exits 255", 255, &d,
                       {{'E',
                         "Open directory '/system/usr/keylayout' error, No such file or "
                         "directory"}});

    write_layouts(all_layouts());
    start_daemon(&d, "no-dev-input", hide_dev_input);
    check_startup_exit("start-up without /dev/input exits 255", 255, &d,
                       {{'D', "uinputfd="},
                        {'E', "could not add watch for '/dev/input', No such file or directory"}});
}

// ---- protocol selection ---------------------------------------------------------------

struct protocol_case_t {
    const char *name;
    std::string bytes;
    const char *stdout_text;
    bool warns;  // the two "WRONG" lines expected
};

void run_protocol_cases() {
    write_layouts(all_layouts());
    const protocol_case_t cases[] = {
        {"protocol file empty: NEC, no message", std::string(), "IR_PROTOCOL_USED = 0\n", false},
        {"protocol file \"1\" reads 49: messages, NEC", std::string("1"), "IR_PROTOCOL_USED = 49\n",
         true},
        {"protocol file ff ff ff ff reads -1: messages, NEC", std::string("\xff\xff\xff\xff", 4),
         "IR_PROTOCOL_USED = -1\n", true},
    };
    source_t receiver;
    if (!check("stand-in receiver created", create_source(k_receiver_name, &receiver) == 0,
               "uinput refused the device")) {
        return;
    }
    for (const auto &c : cases) {
        if (!check(std::string(c.name) + ": protocol file set",
                   set_protocol(c.bytes.data(), c.bytes.size()) == 0, "write refused")) {
            continue;
        }
        session_t s;
        if (!open_session(&s, "protocol")) {
            close_session(&s);
            continue;
        }
        std::string log = read_file(s.daemon.err_path);
        std::string missing;
        bool warned = log_in_order(
            log,
            {{'E', "WRONG : orvex only support rc5 or nec protocol now"},
             {'E', "WRONG:faied to get ir_protocol_used             default to use NEC protocol"}},
            &missing);
        bool any_wrong = log.find("WRONG") != std::string::npos;
        std::string out = stdout_line(&s.daemon);
        bool ok = out == c.stdout_text && (c.warns ? warned : !any_wrong);
        check(c.name, ok,
              expect_text(c.stdout_text, out) +
                  (c.warns && !warned ? "; log lacks " + missing : "") +
                  (!c.warns && any_wrong ? "; unexpected WRONG line" : "") + "; log:\n" + log);
        // Whatever it read, the daemon must be decoding NEC now.
        wait_fd_open(s.daemon.pid, receiver.node, true, 2000);
        run_key_cases(&s, &receiver,
                      {{"  ... and decodes NEC",
                        {nec_raw(k_nec_a, 5, true), nec_raw(k_nec_a, 5, false)},
                        "+103 -103"}});
        close_session(&s);
    }
    destroy_source(&receiver);
}

// ---- RC5 session, receiver present at start ----------------------------------------

void run_rc5_session() {
    const unsigned char rc5[4] = {1, 0, 0, 0};
    set_protocol(rc5, sizeof(rc5));
    write_layouts(all_layouts());
    source_t receiver;
    if (!check("rc5: stand-in receiver created", create_source(k_receiver_name, &receiver) == 0,
               "uinput refused the device")) {
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
    }
    close_session(&s);
    destroy_source(&receiver);
}

// ---- NEC session: translation, hot-plug, CEC ----------------------------------------

std::vector<std::string> standby(const char *header, const char *opcode) {
    return {header, "ACTION=change", std::string("DEVPATH=") + (header + 7), "SUBSYSTEM=hdmi",
            std::string("CEC_MSG=") + opcode};
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

// The interval of the last "receive CEC standy request" line, or -1 without one.
long last_interval(const daemon_t *d) {
    static const char text[] = "receive CEC standy request, interval = ";
    std::string log = read_file(d->err_path);
    size_t at = log.rfind(text);
    return at == std::string::npos ? -1 : strtol(log.c_str() + at + sizeof(text) - 1, nullptr, 10);
}

// What a uevent datagram should give: keys, and whether it is a Standby announcement, whose
// logged interval must then lie in [min_interval, max_interval].
struct uevent_want_t {
    const char *keys;
    bool is_standby;
    long min_interval;
    long max_interval;
};

// Sends one uevent datagram and checks the keys and the log lines it gives. Returns the
// time it was sent.
uint64_t check_uevent(session_t *s, const char *name, const std::vector<std::string> &fields,
                      const uevent_want_t &want) {
    drain(s->keyboard);
    int before = count_lines(&s->daemon, 'D', "receive CEC standy request, interval = ");
    int acted_before = count_lines(&s->daemon, 'D', "standby request from HDMI-CEC");
    uint64_t sent = now_ms();
    send_uevent(s->daemon.pid, fields);
    wait_idle(s->daemon.pid, 2000);
    int want_keys = strlen(want.keys) == 0 ? 0 : 2;
    std::string got = read_keys(s->keyboard, want_keys, 2000, 50);
    int after = count_lines(&s->daemon, 'D', "receive CEC standy request, interval = ");
    int acted_after = count_lines(&s->daemon, 'D', "standby request from HDMI-CEC");
    long interval = last_interval(&s->daemon);
    bool logged = want.is_standby ? (after == before + 1 && interval >= want.min_interval &&
                                     interval <= want.max_interval)
                                  : after == before;
    bool acted_logged = acted_after == acted_before + (want_keys ? 1 : 0);
    std::string detail = expect_text(want.keys, got);
    if (!logged || !acted_logged) {
        detail += "; log not as expected";
        if (want.is_standby) {
            detail += " (interval " + std::to_string(interval) + ", want " +
                      std::to_string(want.min_interval) + ".." + std::to_string(want.max_interval) +
                      ")";
        }
        detail += "; log:\n" + read_file(s->daemon.err_path);
    }
    check(name, got == want.keys && logged && acted_logged, detail);
    return sent;
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

void run_nec_session() {
    uint32_t nec = 0;
    set_protocol(&nec, sizeof(nec));
    write_layouts(all_layouts());
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
                 {"", false, 0, 0});
    check_uevent(&s, "cec: CEC_MSG as the third field ignored",
                 {k_hdmi_header, "ACTION=change", "SUBSYSTEM=hdmi", "CEC_MSG=36"},
                 {"", false, 0, 0});
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

// ---- a node that outlives its device ----------------------------------------------

// On a box a user-space node manager deletes nodes some time after the kernel removed the
// device. Here the test plays that manager on a tmpfs over /dev/input.
void run_node_outlives_device() {
    uint32_t nec = 0;
    set_protocol(&nec, sizeof(nec));
    write_layouts(all_layouts());
    if (mount("tmpfs", "/dev/input", "tmpfs", 0, "mode=755") != 0) {
        check("node outlives device: tmpfs over /dev/input", false, strerror(errno));
        return;
    }
    session_t s;
    source_t receiver;
    receiver.fd = -1;
    std::string node;
    auto make_node = [&](const source_t &src) {
        node = "/dev/input/" + src.sys_name;
        return mknod(node.c_str(), S_IFCHR | 0600, makedev(src.dev_major, src.dev_minor)) == 0;
    };
    if (open_session(&s, "late-delete") && create_source(k_receiver_name, &receiver) == 0 &&
        make_node(receiver) && wait_fd_open(s.daemon.pid, node, true, 2000)) {
        wait_idle(s.daemon.pid, 2000);
        run_key_cases(&s, &receiver,
                      {{"node outlives device: keys flow through the managed node",
                        {nec_raw(k_nec_a, 5, true), nec_raw(k_nec_a, 5, false)},
                        "+103 -103"}});
        drain(s.keyboard);
        send_raw(&receiver, nec_raw(k_nec_a, 11, true));
        wait_idle(s.daemon.pid, 2000);

        proc_usage_t before = read_usage(s.daemon.pid);
        destroy_source(&receiver);
        sleep_ms(200);
        proc_usage_t after = read_usage(s.daemon.pid);
        uint64_t cpu_us = (after.run_ns - before.run_ns) / 1000;
        uint64_t wakeups = after.switches - before.switches;
        char figures[160];
        snprintf(figures, sizeof(figures), "daemon used %llu us of CPU and %llu wake-ups in 200 ms",
                 static_cast<unsigned long long>(cpu_us), static_cast<unsigned long long>(wakeups));
        printf("     %s\n", figures);
        // A few wake-ups handle the hang-up; a busy loop runs the whole 200 ms.
        check("node outlives device: no busy loop while the node lingers",
              cpu_us < 20000 && wakeups < 20, figures);
        std::string got = read_keys(s.keyboard, 2, 1000, 50);
        std::string down = keys_down(s.keyboard);
        bool held = (" " + down + " ").find(" 102 ") != std::string::npos;
        check("node outlives device: held key released when the device goes",
              got == "+102 -102" && !held,
              expect_text("+102 -102", got) + (held ? "; still down: " + down : ""));

        unlink(node.c_str());
        wait_idle(s.daemon.pid, 2000);
        bool again = create_source(k_receiver_name, &receiver) == 0 && make_node(receiver) &&
                     wait_fd_open(s.daemon.pid, node, true, 2000);
        wait_idle(s.daemon.pid, 2000);
        check("node outlives device: a new node of the receiver is opened", again,
              "new node " + node + " not opened");
        if (again) {
            run_key_cases(&s, &receiver,
                          {{"node outlives device: keys flow after the new node",
                            {nec_raw(k_nec_b, 71, true), nec_raw(k_nec_b, 71, false)},
                            "+108 -108"}});
        }
        unlink(node.c_str());
    } else {
        check("node outlives device: set-up", false, "receiver not opened through " + node);
    }
    destroy_source(&receiver);
    close_session(&s);
    umount("/dev/input");
}

// ---- dravoke-keymap watch beside the daemon ---------------------------------------------

// The integrator's tool reads the receiver beside the daemon: neither takes the other's keys,
// and the tool follows the node as the daemon does.
void run_keymap_watch() {
    uint32_t nec = 0;
    set_protocol(&nec, sizeof(nec));
    write_layouts(all_layouts());
    source_t receiver;
    if (!check("watch: stand-in receiver created", create_source(k_receiver_name, &receiver) == 0,
               "uinput refused the device")) {
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
    }
    stop_daemon(&watch);
    close_session(&s);
    destroy_source(&receiver);
}

// ---- dravoke-keymap doctor -----------------------------------------------------------------

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
    if (!check("doctor: stand-in receiver created", create_source(k_receiver_name, &receiver) == 0,
               "uinput refused the device")) {
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

}  // namespace

int run_cases() {
    run_startup_without_uinput();
    if (!check("uinput module loads", load_module(k_uinput_module) == 0, strerror(errno)) ||
        !check("protocol stand-in module loads", load_module(k_protocol_module) == 0,
               strerror(errno))) {
        return -1;
    }
    run_startup_failures();
    run_protocol_cases();
    run_rc5_session();
    run_nec_session();
    run_node_outlives_device();
    run_keymap_watch();
    run_doctor_states();
    return 0;
}
