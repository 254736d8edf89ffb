// SPDX-License-Identifier: Apache-2.0
// What a user feels: latency from a raw code to its key against a bare forwarder and against
// the design floor, a forwarder that polls before each read as the daemon's loop does; and the
// daemon's idle wake-ups. Prints figures; only loss and order are judged.
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>
#include <algorithm>

#include "e2e.h"

namespace {

constexpr int k_rounds = 16;
constexpr int k_single_per_round = 64;
constexpr int k_bursts_per_round = 4;
constexpr int k_burst = 16;

// Remote 0xbf40's commands and the standard keys the daemon gives them.
const struct {
    uint32_t command;
    uint16_t key;
} k_commands[] = {{5, 103},  {6, 108},  {7, 105},  {8, 106}, {9, 28},
                  {10, 158}, {11, 102}, {12, 115}, {13, 114}};
constexpr int k_command_count = sizeof(k_commands) / sizeof(k_commands[0]);

const char k_bench_layout_std[] =
    "key 103 DPAD_UP\nkey 108 DPAD_DOWN\nkey 105 DPAD_LEFT\nkey 106 DPAD_RIGHT\n"
    "key 28 DPAD_CENTER\nkey 158 BACK\nkey 102 HOME\nkey 115 VOLUME_UP\nkey 114 VOLUME_DOWN\n";
const char k_bench_layout_a[] =
    "key 5 DPAD_UP\nkey 6 DPAD_DOWN\nkey 7 DPAD_LEFT\nkey 8 DPAD_RIGHT\nkey 9 DPAD_CENTER\n"
    "key 10 BACK\nkey 11 HOME\nkey 12 VOLUME_UP\nkey 13 VOLUME_DOWN\n";

struct remapper_t {
    const char *name;
    const source_t *source;
    int source_reader;  // the source's node: kernel time of each raw code
    int output_reader;  // the remapper's virtual keyboard: kernel time of each key
    bool translates;    // the daemon maps commands; the forwarder passes them through
    std::vector<int64_t> single_ns;
    std::vector<int64_t> burst_ns;
    std::vector<int64_t> spread_ns;  // first to last raw code of a burst, as the kernel saw them
    int lost;
    int misordered;
};

int64_t to_ns(const struct timeval &t) {
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + static_cast<int64_t>(t.tv_usec) * 1000;
}

// Next event of the given type, skipping SYN records and key repeats.
bool next_event(int fd, uint16_t type, input_event *out, int timeout_ms) {
    uint64_t deadline = now_ms() + static_cast<uint64_t>(timeout_ms);
    for (;;) {
        ssize_t n = read(fd, out, sizeof(*out));
        if (n == static_cast<ssize_t>(sizeof(*out))) {
            if (out->type == type && !(type == EV_KEY && out->value == 2)) {
                return true;
            }
            continue;
        }
        uint64_t now = now_ms();
        if (now >= deadline) {
            return false;
        }
        struct pollfd p = {fd, POLLIN, 0};
        poll(&p, 1, static_cast<int>(deadline - now));
    }
}

// Sends count raw codes in one write (count 1: one at a time) and times each key.
void measure(remapper_t *r, const uint32_t *raws, int count, std::vector<int64_t> *into) {
    // A burst is written at real-time priority so that the whole of it is queued before
    // the remapper runs (otherwise the kernel lets the remapper in between its codes);
    // back at idle priority the driver then yields to the remapper at once.
    struct sched_param fifo = {1};
    struct sched_param idle = {0};
    if (count > 1) {
        sched_setscheduler(0, SCHED_FIFO, &fifo);
    }
    int sent = send_raw_burst(r->source, raws, count);
    if (count > 1) {
        sched_setscheduler(0, SCHED_IDLE, &idle);
    }
    if (sent != 0) {
        r->lost += count;
        return;
    }
    int64_t raw_ns[k_burst];
    for (int i = 0; i < count; i++) {
        input_event ev;
        if (!next_event(r->source_reader, EV_MSC, &ev, 1000) ||
            static_cast<uint32_t>(ev.value) != raws[i]) {
            raw_ns[i] = -1;
            continue;
        }
        raw_ns[i] = to_ns(ev.time);
    }
    if (count > 1 && raw_ns[0] >= 0 && raw_ns[count - 1] >= 0) {
        r->spread_ns.push_back(raw_ns[count - 1] - raw_ns[0]);
    }
    for (int i = 0; i < count; i++) {
        input_event ev;
        if (!next_event(r->output_reader, EV_KEY, &ev, 1000)) {
            r->lost += count - i;
            return;
        }
        uint32_t command = raws[i] & 0xff;
        uint16_t want_code = static_cast<uint16_t>(command);
        if (r->translates) {
            for (const auto &c : k_commands) {
                want_code = c.command == command ? c.key : want_code;
            }
        }
        int want_value = (raws[i] & k_pressed_bit) ? 1 : 0;
        if (ev.code != want_code || ev.value != want_value || raw_ns[i] < 0) {
            r->misordered++;
            continue;
        }
        into->push_back(to_ns(ev.time) - raw_ns[i]);
    }
}

// Past this many lost keys a remapper is not worth timing any further.
constexpr int k_lost_limit = 32;

void run_round(remapper_t *r, int round) {
    if (r->lost >= k_lost_limit) {
        return;
    }
    // Press and release alternate, so each raw code gives exactly one key.
    int k = round;
    for (int i = 0; i < k_single_per_round / 2; i++, k++) {
        uint32_t command = k_commands[k % k_command_count].command;
        uint32_t press = nec_raw(0xbf40, command, true);
        uint32_t release = nec_raw(0xbf40, command, false);
        measure(r, &press, 1, &r->single_ns);
        measure(r, &release, 1, &r->single_ns);
        if (r->lost >= k_lost_limit) {
            return;
        }
    }
    for (int b = 0; b < k_bursts_per_round; b++) {
        uint32_t raws[k_burst];
        for (int i = 0; i < k_burst; i += 2, k++) {
            uint32_t command = k_commands[k % k_command_count].command;
            raws[i] = nec_raw(0xbf40, command, true);
            raws[i + 1] = nec_raw(0xbf40, command, false);
        }
        measure(r, raws, k_burst, &r->burst_ns);
    }
}

struct stats_t {
    double median_us;
    double p99_us;
};

stats_t stats_of(std::vector<int64_t> v) {
    stats_t s = {0, 0};
    if (v.empty()) {
        return s;
    }
    std::sort(v.begin(), v.end());
    s.median_us = static_cast<double>(v[v.size() / 2]) / 1000.0;
    s.p99_us = static_cast<double>(v[(v.size() * 99) / 100]) / 1000.0;
    return s;
}

// The daemon against the bare forwarder, then against the design floor: the polling
// forwarder, one event a wake-up as the daemon's loop; what is left over it is the
// implementation's share.
void print_lines(const char *what, const remapper_t &d, const remapper_t &f, const remapper_t &p,
                 bool burst) {
    stats_t sd = stats_of(burst ? d.burst_ns : d.single_ns);
    stats_t sf = stats_of(burst ? f.burst_ns : f.single_ns);
    stats_t sp = stats_of(burst ? p.burst_ns : p.single_ns);
    auto ratio = [&sd](const stats_t &s) {
        return s.median_us > 0 ? sd.median_us / s.median_us : 0.0;
    };
    printf(
        "bench: %-14s dravoke median %7.1f us p99 %7.1f us | forwarder median %7.1f us "
        "p99 %7.1f us | median ratio %.2f\n",
        what, sd.median_us, sd.p99_us, sf.median_us, sf.p99_us, ratio(sf));
    printf(
        "bench: floor, %-14s polling forwarder median %7.1f us p99 %7.1f us | dravoke's "
        "median ratio %.2f\n",
        what, sp.median_us, sp.p99_us, ratio(sp));
}

int set_clock(int fd) {
    int clock = CLOCK_MONOTONIC;
    return ioctl(fd, EVIOCSCLOCKID, &clock);
}

}  // namespace

int run_bench() {
    uint32_t nec = 0;
    set_protocol(&nec, sizeof(nec));
    write_layouts({{"orvex-ir.kl", k_bench_layout_std}, {"customer_ir_bf40.kl", k_bench_layout_a}});

    source_t receiver;
    source_t forward_source;
    source_t poll_source;
    if (create_source(k_receiver_name, &receiver) != 0 ||
        create_source("e2e-forwarder-source", &forward_source) != 0 ||
        create_source("e2e-poll-forwarder-source", &poll_source) != 0) {
        check("bench: stand-in sources created", false, "uinput refused a device");
        return -1;
    }
    daemon_t daemon;
    daemon_t forwarder;
    daemon_t poll_forwarder;
    start_daemon(&daemon, "bench");
    start_program(&forwarder, "forwarder", k_forwarder_path, forward_source.node.c_str());
    start_command(&poll_forwarder, "poll-forwarder",
                  {k_forwarder_path, "--poll", poll_source.node});
    int daemon_out = open_input_by_name(k_keyboard_name, 5000, nullptr);
    int forward_out = open_input_by_name("e2e-forwarder-out", 5000, nullptr);
    int poll_out = open_input_by_name("e2e-poll-forwarder-out", 5000, nullptr);
    bool ready = daemon_out >= 0 && forward_out >= 0 && poll_out >= 0 &&
                 wait_fd_open(daemon.pid, receiver.node, true, 5000) &&
                 wait_fd_open(forwarder.pid, forward_source.node, true, 5000) &&
                 wait_fd_open(poll_forwarder.pid, poll_source.node, true, 5000) &&
                 wait_idle(daemon.pid, 2000);
    if (!check("bench: daemon and forwarders running", ready,
               "daemon log:\n" + read_file(daemon.err_path) + "forwarder log:\n" +
                   read_file(forwarder.err_path) + "polling forwarder log:\n" +
                   read_file(poll_forwarder.err_path))) {
        stop_daemon(&daemon);
        stop_daemon(&forwarder);
        stop_daemon(&poll_forwarder);
        return -1;
    }

    // Idle: nothing arrives, so the daemon should not run at all.
    proc_usage_t before = read_usage(daemon.pid);
    sleep_ms(10000);
    proc_usage_t after = read_usage(daemon.pid);
    printf("bench: idle over 10 s: dravoke %llu wake-ups, %llu us CPU\n",
           static_cast<unsigned long long>(after.switches - before.switches),
           static_cast<unsigned long long>((after.run_ns - before.run_ns) / 1000));

    remapper_t d = {};
    d.name = "dravoke";
    d.source = &receiver;
    d.source_reader = open(receiver.node.c_str(), O_RDONLY | O_NONBLOCK);
    d.output_reader = daemon_out;
    d.translates = true;
    remapper_t f = {};
    f.name = "forwarder";
    f.source = &forward_source;
    f.source_reader = open(forward_source.node.c_str(), O_RDONLY | O_NONBLOCK);
    f.output_reader = forward_out;
    f.translates = false;
    remapper_t p = f;
    p.name = "polling forwarder";
    p.source = &poll_source;
    p.source_reader = open(poll_source.node.c_str(), O_RDONLY | O_NONBLOCK);
    p.output_reader = poll_out;
    remapper_t *const remappers[] = {&d, &f, &p};
    for (remapper_t *r : remappers) {
        set_clock(r->source_reader);
        set_clock(r->output_reader);
        drain(r->source_reader);
        drain(r->output_reader);
    }
    // With one vCPU the remapper under test must get the CPU the moment a code arrives.
    struct sched_param idle = {0};
    sched_setscheduler(0, SCHED_IDLE, &idle);
    uint64_t started = now_ms();
    // Each goes first in turn.
    for (int round = 0; round < k_rounds; round++) {
        for (int i = 0; i < 3; i++) {
            run_round(remappers[(round + i) % 3], round);
        }
    }
    struct sched_param normal = {0};
    sched_setscheduler(0, SCHED_OTHER, &normal);

    printf(
        "bench: %d keys one at a time and %d in bursts of %d per remapper, %d rounds, each "
        "remapper first in turn, %.1f s\n",
        k_rounds * k_single_per_round, k_rounds * k_bursts_per_round * k_burst, k_burst, k_rounds,
        static_cast<double>(now_ms() - started) / 1000.0);
    print_lines("one at a time", d, f, p, false);
    print_lines("bursts of 16", d, f, p, true);
    // How much of a burst arrived at once: near zero when it was queued whole.
    printf(
        "bench: a burst's 16 raw codes spread over a median of %.1f us (dravoke rounds), "
        "%.1f us (forwarder rounds), %.1f us (polling forwarder rounds)\n",
        stats_of(d.spread_ns).median_us, stats_of(f.spread_ns).median_us,
        stats_of(p.spread_ns).median_us);
    for (const remapper_t *r : remappers) {
        char detail[96];
        snprintf(detail, sizeof(detail), "%d lost%s, %d wrong or out of order", r->lost,
                 r->lost >= k_lost_limit ? " (gave up)" : "", r->misordered);
        check(std::string("bench: ") + r->name + " lost nothing, kept the order",
              r->lost == 0 && r->misordered == 0, detail);
    }
    for (const remapper_t *r : remappers) {
        close(r->source_reader);
        close(r->output_reader);
    }
    stop_daemon(&daemon);
    stop_daemon(&forwarder);
    stop_daemon(&poll_forwarder);
    destroy_source(&receiver);
    destroy_source(&forward_source);
    destroy_source(&poll_source);
    return 0;
}
