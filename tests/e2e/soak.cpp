// SPDX-License-Identifier: Apache-2.0
// The soak: the daemon held to its promises over time and under hostile input. Receiver
// flaps, random raw codes against a model of the translation rules, a flood of uevent
// datagrams and a stalled daemon whose receiver queue overflows, each in a soak_*.cpp of its
// own. Prints one line per figure; judges only loss, order, keys left down and growth.
#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "soak.h"

namespace {

constexpr int k_flaps = 1000;
constexpr int k_codes = 10000;
constexpr int k_datagrams = 100000;

int count_fds(pid_t pid) {
    int n = 0;
    if (DIR *d = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str())) {
        while (struct dirent *e = readdir(d)) {
            n += e->d_name[0] != '.';
        }
        closedir(d);
    }
    return n;
}

long status_kb(pid_t pid, const char *key) {
    std::string status = read_file("/proc/" + std::to_string(pid) + "/status");
    size_t at = status.find(std::string("\n") + key);
    return at == std::string::npos ? -1
                                   : strtol(status.c_str() + at + 1 + strlen(key), nullptr, 10);
}

bool start(soak_t *s, int protocol, const char *tag) {
    uint32_t selector = static_cast<uint32_t>(protocol);
    set_protocol(&selector, sizeof(selector));
    write_layouts(all_layouts());
    s->keyboard = -1;
    bool ok =
        create_source(k_receiver_name, &s->receiver) == 0 && start_daemon(&s->daemon, tag) == 0 &&
        (s->keyboard = open_input_by_name(k_keyboard_name, 10000, nullptr)) >= 0 &&
        wait_fd_open(s->daemon.pid, s->receiver.node, true, 5000) && wait_idle(s->daemon.pid, 5000);
    return check(std::string(tag) + ": daemon running with the receiver open", ok,
                 "log:\n" + read_file(s->daemon.err_path));
}

void stop(soak_t *s) {
    close(s->keyboard);
    stop_daemon(&s->daemon);
    destroy_source(&s->receiver);
}

}  // namespace

// Keys written since the last look; the daemon has handled everything sent.
std::string new_keys(const soak_t *s) {
    wait_idle(s->daemon.pid, 5000);
    return read_keys(s->keyboard, 0, 0, 0);
}

int run_soak() {
    if (load_module(k_uinput_module) != 0 || load_module(k_protocol_module) != 0 ||
        load_module(k_hdmi_module) != 0) {
        return check("soak: modules load", false, strerror(errno)) ? 0 : -1;
    }
    soak_t s;
    s.random.seed(20240611);
    s.last_standby_ms = 0;
    if (!start(&s, 0, "soak-nec")) {
        return -1;
    }
    pid_t pid = s.daemon.pid;
    // Every path once before the figures start, so that first use does not count as growth.
    std::string failure;
    flap(&s, 10, &failure);
    int keys = 0;
    random_codes(&s, 0, 200, &keys, &failure);
    flood(&s, 1000);
    int fds_before = count_fds(pid);
    long rss_before = status_kb(pid, "VmRSS:");
    auto seconds_since = [](uint64_t t) { return static_cast<double>(now_ms() - t) / 1000; };

    uint64_t t = now_ms();
    failure.clear();
    int survived = flap(&s, k_flaps, &failure);
    double flaps_s = seconds_since(t);
    check("soak: a key arrives after every flap", survived == k_flaps,
          std::to_string(k_flaps - survived) + " failed or not tried (the flaps stop after 10 " +
              "failures); the first: " + failure);
    check("soak: descriptors and RSS flat over the flaps",
          count_fds(pid) == fds_before && status_kb(pid, "VmRSS:") <= rss_before,
          std::to_string(count_fds(pid)) + " descriptors, RSS " +
              std::to_string(status_kb(pid, "VmRSS:")) + " kB");

    t = now_ms();
    failure.clear();
    int nec_keys = 0;
    int nec_codes = random_codes(&s, 0, k_codes, &nec_keys, &failure);
    double nec_s = seconds_since(t);
    check("soak: NEC codes give the model's keys, nothing held",
          failure.empty() && nec_codes == k_codes, failure);

    t = now_ms();
    proc_usage_t usage = read_usage(pid);
    flood_result_t flooded = flood(&s, k_datagrams);
    double cpu_us = static_cast<double>(read_usage(pid).run_ns - usage.run_ns) / 1000;
    double flood_s = seconds_since(t);
    check("soak: POWER exactly when the model says", flooded.failure.empty(), flooded.failure);

    t = now_ms();
    failure.clear();
    int overflowed = 0;
    int stalled = stall_sweep(&s, &overflowed, &failure);
    double stall_s = seconds_since(t);
    check("soak: stalled receiver: keys as the model says, none left down",
          stalled == 2 * k_stall_max_codes, failure);

    int fds_after = count_fds(pid);
    long rss_after = status_kb(pid, "VmRSS:");
    long rss_peak = status_kb(pid, "VmHWM:");
    check("soak: descriptors and RSS the same after as before",
          fds_after == fds_before && rss_after <= rss_before, "see the figures");
    stop(&s);

    t = now_ms();
    failure.clear();
    int rc5_keys = 0;
    int rc5_codes =
        start(&s, 1, "soak-rc5") ? random_codes(&s, 1, k_codes, &rc5_keys, &failure) : 0;
    double rc5_s = seconds_since(t);
    check("soak: RC5 codes give the model's keys, nothing held",
          failure.empty() && rc5_codes == k_codes, failure);
    stop(&s);

    printf("soak: flaps survived: %d of %d (%.1f s)\n", survived, k_flaps, flaps_s);
    printf(
        "soak: codes checked: %d NEC (%.1f s) and %d RC5 (%.1f s), giving %d and %d key events\n",
        nec_codes, nec_s, rc5_codes, rc5_s, nec_keys, rc5_keys);
    printf(
        "soak: datagrams: %d sent by a process, %d Standbys raised by the kernel; POWER %d "
        "times, the model %d (%.1f s)\n",
        k_datagrams, flooded.standbys, flooded.powers_seen, flooded.powers_expected, flood_s);
    printf("soak: CPU per datagram: %.1f us\n", cpu_us / (k_datagrams + flooded.standbys));
    printf("soak: descriptors before/after: %d/%d\n", fds_before, fds_after);
    printf("soak: RSS before/after/peak: %ld/%ld/%ld kB\n", rss_before, rss_after, rss_peak);
    printf(
        "soak: stalled receiver: %d of %d runs with 1 to %d codes as the model says, none "
        "left down; %d overflowed the queue (%.1f s)\n",
        stalled, 2 * k_stall_max_codes, k_stall_max_codes, overflowed, stall_s);
    return 0;
}
