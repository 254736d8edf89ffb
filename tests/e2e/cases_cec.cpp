// SPDX-License-Identifier: Apache-2.0
// HDMI-CEC: uevent datagrams sent to the daemon and the POWER key they give or not.
#include <errno.h>
#include <string.h>

#include <algorithm>

#include "cases.h"

namespace {

// The interval of the last "receive CEC standy request" line, or -1 without one.
long last_interval(const daemon_t *d) {
    static const char text[] = "receive CEC standy request, interval = ";
    std::string log = read_file(d->err_path);
    size_t at = log.rfind(text);
    return at == std::string::npos ? -1 : strtol(log.c_str() + at + sizeof(text) - 1, nullptr, 10);
}

}  // namespace

std::vector<std::string> standby(const char *header, const char *opcode) {
    return {header, "ACTION=change", std::string("DEVPATH=") + (header + 7), "SUBSYSTEM=hdmi",
            std::string("CEC_MSG=") + opcode};
}

// Sends one uevent datagram and checks the keys and the log lines it gives. Returns the
// time it was sent.
uint64_t check_uevent(session_t *s, const char *name, const std::vector<std::string> &fields,
                      const uevent_want_t &want, uevent_route_t route) {
    drain(s->keyboard);
    int before = count_lines(&s->daemon, 'D', "receive CEC standy request, interval = ");
    int acted_before = count_lines(&s->daemon, 'D', "standby request from HDMI-CEC");
    uint64_t sent = now_ms();
    int result = -1;
    switch (route) {
        case k_by_kernel:
            result = raise_hdmi_uevent(
                fields[0], std::vector<std::string>(
                               fields.begin() + std::min<size_t>(4, fields.size()), fields.end()));
            break;
        case k_by_unicast:
            result = send_uevent(s->daemon.pid, fields);
            break;
        case k_by_kernel_group:
        case k_by_udev_group:
            result = multicast_uevent(route == k_by_kernel_group ? 1 : 2, fields);
            break;
    }
    if (result != 0) {
        check(name, false, std::string("cannot send the uevent: ") + strerror(errno));
        return sent;
    }
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
