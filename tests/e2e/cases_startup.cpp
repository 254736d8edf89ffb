// SPDX-License-Identifier: Apache-2.0
// Start-up: its failures and exit statuses, the protocol file, the virtual keyboard's
// identity.
#include <sched.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "cases.h"

namespace {

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

struct protocol_case_t {
    const char *name;
    std::string bytes;
    const char *stdout_text;
    bool warns;  // the two "WRONG" lines expected
};

}  // namespace

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
    if (!create_receiver("protocol", &receiver)) {
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
