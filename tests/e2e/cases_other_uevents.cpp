// SPDX-License-Identifier: Apache-2.0
// Other devices' uevents: the kernel drops them before they reach the daemon's socket, so
// they neither wake it nor fill its receive buffer ahead of a Standby.
#include <errno.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include "cases.h"

namespace {

constexpr int k_other_uevents = 10000;

// What a busy box's other devices send, in equal shares, each with CEC_MSG=36: the HDMI
// devices' children, a device whose path begins as the HDMI one's, an unwatched device, and
// the HDMI devices' other actions.
const struct {
    const char *devpath;
    const char *action;
} k_chatter[] = {
    {"/devices/platform/soc/hdmi/cec0", "change"},
    {"/devices/soc.0/1ee0000.hdmi/1ee0000.cec", "change"},
    {"/devices/platform/soc/hdmi0", "change"},
    {"/devices/platform/soc/1c00000.usb", "change"},
    {"/devices/platform/soc/1c00000.usb", "add"},
    {"/devices/platform/soc/hdmi", "add"},
    {"/devices/platform/soc/hdmi", "online"},
    {"/devices/platform/soc/hdmi", "unbind"},
    {"/devices/soc.0/1ee0000.hdmi", "bind"},
    {"/devices/soc.0/1ee0000.hdmi", "remove"},
};

// Raises the chatter; returns how many uevents the kernel raised.
int raise_chatter(std::string *failure) {
    const int each = k_other_uevents / static_cast<int>(sizeof(k_chatter) / sizeof(k_chatter[0]));
    int raised = 0;
    for (const auto &c : k_chatter) {
        if (raise_uevents(c.devpath, c.action, each, {"CEC_MSG=36"}) == 0) {
            raised += each;
        } else if (failure->empty()) {
            *failure = std::string("; ") + c.action + " of " + c.devpath + ": " + strerror(errno);
        }
    }
    return raised;
}

}  // namespace

void run_other_devices_uevents() {
    use_nec_layouts();
    session_t s;
    if (!open_session(&s, "other-uevents")) {
        close_session(&s);
        return;
    }
    // Quiet: counted as the bench counts idle wake-ups.
    std::string failure;
    proc_usage_t before = read_usage(s.daemon.pid);
    uint64_t started = now_ms();
    int raised = raise_chatter(&failure);
    uint64_t took = now_ms() - started;
    sleep_ms(100);  // a woken daemon runs now
    wait_idle(s.daemon.pid, 2000);
    proc_usage_t after = read_usage(s.daemon.pid);
    char figures[160];
    snprintf(figures, sizeof(figures),
             "%d uevents of other devices in %.1f s: dravoke %llu wake-ups, %llu us CPU", raised,
             static_cast<double>(took) / 1000.0,
             static_cast<unsigned long long>(after.switches - before.switches),
             static_cast<unsigned long long>((after.run_ns - before.run_ns) / 1000));
    printf("     %s\n", figures);
    check("other uevents: 10,000 of other devices wake the daemon 0 times",
          raised == k_other_uevents && after.switches == before.switches, figures + failure);

    // No loss: the daemon stopped while they come, and a Standby behind them.
    if (!stop_process(s.daemon.pid, 2000)) {
        check("other uevents: daemon stopped", false, "not stopped");
    } else {
        drain(s.keyboard);
        failure.clear();
        raised = raise_chatter(&failure);
        bool standby_raised = raise_hdmi_uevent(k_hdmi_header, {"CEC_MSG=36"}) == 0;
        kill(s.daemon.pid, SIGCONT);
        wait_idle(s.daemon.pid, 2000);
        std::string got = read_keys(s.keyboard, 2, 3000, 50);
        check("other uevents: a Standby behind 10,000 of them, the daemon stopped, gives POWER",
              raised == k_other_uevents && standby_raised && got == "+116 -116",
              expect_text("+116 -116", got) + failure);
    }
    close_session(&s);
}
