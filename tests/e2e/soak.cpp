// The soak: the daemon held to its promises over time and under hostile input. Receiver
// flaps, random raw codes against a model of the translation rules, a flood of uevent
// datagrams and a stalled daemon whose receiver queue overflows. Prints one line per
// figure; judges only loss, order, keys left down and growth.
#include <dirent.h>
#include <linux/netlink.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <random>
#include <sstream>

#include "e2e.h"

namespace {

constexpr int k_flaps = 1000;
constexpr int k_codes = 10000;
constexpr int k_codes_per_write = 4;  // at most 16 events back: the reader's queue holds 63
constexpr int k_datagrams = 100000;
constexpr int k_stall_max_codes = 40;
constexpr size_t k_evdev_queue = 64;  // a receiver of MSC_SCAN events gets the minimum
constexpr uint32_t k_remote = 0xbf40;

// The translation rules, stated from the layouts rather than from the daemon's code.
struct model_t {
    int protocol;
    std::map<uint32_t, std::map<uint32_t, int>> tables;  // customer -> command -> key
    int down;

    explicit model_t(int protocol_in) : protocol(protocol_in), down(0) {
        std::map<std::string, int> standard;
        const char *prefix = protocol == 0 ? "customer_ir_" : "customer_rc5_ir_";
        for (const auto &file : all_layouts()) {
            bool customer = file.first.compare(0, strlen(prefix), prefix) == 0;
            uint32_t code =
                customer ? strtoul(file.first.c_str() + strlen(prefix), nullptr, 16) : 0;
            std::istringstream lines(file.second);
            std::string line, word, name;
            int number;
            while (std::getline(lines, line)) {
                if (!(std::istringstream(line) >> word >> number >> name) || word != "key") {
                    continue;
                }
                if (file.first == "orvex-ir.kl") {
                    standard.emplace(name, number);
                } else if (customer && standard.count(name) != 0) {
                    tables[code][static_cast<uint32_t>(number)] = standard[name];
                }
            }
        }
    }

    void release(std::string *keys) {
        if (down != 0) {
            *keys += " -" + std::to_string(down);
            down = 0;
        }
    }

    // One event as the daemon reads it from the receiver; appends the keys it must write.
    void feed(uint16_t type, uint16_t code, uint32_t value, std::string *keys) {
        if (type == EV_SYN && code == SYN_DROPPED) {
            release(keys);
            return;
        }
        uint32_t command = value & (protocol == 0 ? 0xff : 0x7f);
        uint32_t customer = (value >> 8) & (protocol == 0 ? 0xffff : 0x1f);
        auto table = tables.find(customer);
        if (table == tables.end() || table->second.count(command) == 0) {
            return;
        }
        int key = table->second.at(command);
        release(keys);
        if (value & k_pressed_bit) {
            *keys += " +" + std::to_string(key);
            down = key;
        }
    }
};

std::string trimmed(const std::string &keys) {
    return keys.empty() ? keys : keys.substr(1);
}

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

struct soak_t {
    daemon_t daemon;
    source_t receiver;
    int keyboard;
    std::mt19937 random;
    uint64_t last_standby_ms;  // when the daemon had handled the last Standby; 0 for none
};

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

// Keys written since the last look; the daemon has handled everything sent.
std::string new_keys(const soak_t *s) {
    wait_idle(s->daemon.pid, 5000);
    return read_keys(s->keyboard, 0, 0, 0);
}

// The receiver destroyed and created again, then a key: returns how many keys arrived.
// Gives up after a few failures, which each wait out their time-outs.
int flap(soak_t *s, int count, std::string *failure) {
    int survived = 0;
    model_t model(0);
    for (int i = 0; i < count && i - survived < 10; i++) {
        destroy_source(&s->receiver);
        bool closed = wait_fd_open(s->daemon.pid, s->receiver.node, false, 2000);
        // The daemon probes a new node before it opens it: it is open once the daemon idles.
        bool opened = create_source(k_receiver_name, &s->receiver) == 0 &&
                      wait_fd_open(s->daemon.pid, s->receiver.node, true, 2000) &&
                      wait_idle(s->daemon.pid, 2000);
        std::string want;
        for (bool pressed : {true, false}) {
            uint32_t raw = nec_raw(k_remote, 5 + static_cast<uint32_t>(i % 9), pressed);
            send_raw(&s->receiver, raw);
            model.feed(EV_MSC, MSC_SCAN, raw, &want);
        }
        std::string got = new_keys(s);
        std::string down = keys_down(s->keyboard);
        bool ok = closed && opened && got == trimmed(want) && down.empty();
        survived += ok;
        if (!ok && failure->empty()) {
            *failure = "flap " + std::to_string(i) + (closed ? "" : ": old node still open") +
                       (opened ? "" : ": new node not opened") + ": expected '" + trimmed(want) +
                       "', got '" + got + "'; down: '" + down + "'";
        }
    }
    return survived;
}

// Random raw codes of known and unknown remotes, presses, releases and repeats; the keys
// must be the model's, and so must the keys down after each write. Returns the number of
// codes that gave what the model says; *keys counts the key events they gave.
int random_codes(soak_t *s, int protocol, int count, int *keys, std::string *failure) {
    model_t model(protocol);
    const uint32_t unknown[] = {0x1234, 0x00};
    std::mt19937 &r = s->random;
    uint32_t last = 0;
    *keys = 0;
    for (int sent = 0; sent < count; sent += k_codes_per_write) {
        uint32_t raws[k_codes_per_write];
        std::string want;
        for (uint32_t &raw : raws) {
            if (r() % 5 == 0) {
                raw = last;  // the remote repeats itself
            } else {
                auto table = std::next(model.tables.begin(), r() % model.tables.size());
                auto entry = std::next(table->second.begin(), r() % table->second.size());
                uint32_t customer = r() % 4 != 0 ? table->first : unknown[r() % 2];
                uint32_t command = r() % 4 != 0 ? entry->first : r() % 256;
                uint32_t noise = r() % 3 == 0 ? r() & (protocol == 0 ? 0xfe000000 : 0xfeffe080) : 0;
                raw = nec_raw(customer, command, r() % 2 == 0) | noise;
            }
            last = raw;
            model.feed(EV_MSC, MSC_SCAN, raw, &want);
            model.feed(EV_SYN, SYN_REPORT, 0, &want);
        }
        *keys += static_cast<int>(std::count(want.begin(), want.end(), ' '));
        send_raw_burst(&s->receiver, raws, k_codes_per_write);
        std::string got = new_keys(s);
        std::string down = keys_down(s->keyboard);
        std::string want_down = model.down != 0 ? std::to_string(model.down) : "";
        if (got != trimmed(want) || down != want_down) {
            char codes[64];
            snprintf(codes, sizeof(codes), "%08x %08x %08x %08x", raws[0], raws[1], raws[2],
                     raws[3]);
            *failure = "after code " + std::to_string(sent) + " (" + codes + "): expected '" +
                       trimmed(want) + "' down '" + want_down + "', got '" + got + "' down '" +
                       down + "'";
            return sent;
        }
    }
    // A last release: nothing may be held afterwards.
    std::string want;
    const auto &table = *model.tables.begin();
    uint32_t release = nec_raw(table.first, table.second.begin()->first, false);
    model.feed(EV_MSC, MSC_SCAN, release, &want);
    send_raw(&s->receiver, release);
    std::string got = new_keys(s);
    std::string down = keys_down(s->keyboard);
    if (got != trimmed(want) || !down.empty()) {
        *failure =
            "last release: expected '" + trimmed(want) + "', got '" + got + "'; down: " + down;
    }
    return count;
}

int g_uevent_socket = -1;

void send_datagram(pid_t pid, const std::string &bytes) {
    struct sockaddr_nl to;
    memset(&to, 0, sizeof(to));
    to.nl_family = AF_NETLINK;
    to.nl_pid = static_cast<uint32_t>(pid);
    // Blocking: with the daemon's buffer full the send waits, so nothing is dropped.
    sendto(g_uevent_socket, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr *>(&to),
           sizeof(to));
}

const char k_header[] = "change@/devices/platform/soc/hdmi";
const char k_header_2[] = "change@/devices/soc.0/1ee0000.hdmi";
// The daemon receives this much of a datagram.
constexpr size_t k_received = 1023;

// An HDMI announcement: the header, then ACTION, DEVPATH, SUBSYSTEM and more fields, with
// CEC_MSG as the field at position (the 4th for a real one). No NUL after the last field.
std::string announcement(const std::string &header, int position, const std::string &opcode) {
    const char *fields[] = {"ACTION=change", "DEVPATH=/devices/platform/soc/hdmi", "SUBSYSTEM=hdmi",
                            "SEQNUM=1234", "HDMI=1"};
    std::string body = header;
    for (int f = 1, next = 0; f <= std::max(position, 4); f++) {
        body += '\0';
        body += f == position ? "CEC_MSG=" + opcode : fields[next++];
    }
    return body;
}

// A field of filler, size bytes with its NUL (5 at the least).
std::string padding(size_t size) {
    return "PAD=" + std::string(size > 5 ? size - 5 : 0, 'p') + '\0';
}

// The datagram head, its NUL and filler up to size bytes in all.
std::string filled(const std::string &head, size_t size) {
    return head + '\0' + padding(size > head.size() + 1 ? size - head.size() - 1 : 0);
}

// A datagram of 1,023 to 2,000 bytes that holds no Standby the daemon may act on: noise,
// a header that only resembles the HDMI one, CEC_MSG in another field, another opcode,
// or a Standby that begins, or whose opcode ends, past what the daemon receives.
std::string foreign_datagram(std::mt19937 &r) {
    static const char *const near_headers[] = {
        "change@/devices/platform/soc/hdmi/cec0", "add@/devices/platform/soc/hdmi",
        "change@/devices/platform/soc/hdm", "xchange@/devices/soc.0/1ee0000.hdmi",
        "add@/devices/virtual/input/input7"};
    // "36x", " 36" or "036" would read as 0x36.
    static const char *const opcodes[] = {"4", "136", "0x360", "3", "", "x36", "-36", "63"};
    static const int other_positions[] = {1, 2, 3, 5, 6};
    size_t size = 1023 + r() % 978;
    std::string header = r() % 2 == 0 ? k_header : k_header_2;
    std::string body;
    switch (r() % 6) {
        case 0: {
            std::string noise(size, '\0');
            for (char &c : noise) {
                c = static_cast<char>(r() % 4 == 0 ? 0 : r());
            }
            return noise;
        }
        case 1:
            body = announcement(near_headers[r() % 5], 1 + static_cast<int>(r() % 6), "36");
            break;
        case 2:
            body = announcement(header, other_positions[r() % 5], "36");
            break;
        case 3:
            body = announcement(header, 4, opcodes[r() % 8]);
            break;
        case 4:
            return filled(padding(k_received + 1) + announcement(header, 4, "36"), size);
        default: {
            // Cut after "CEC_MSG=3": opcode 3.
            std::string standby = announcement(header, 4, "36");
            return filled(padding(k_received + 1 - standby.size()) + standby, size);
        }
    }
    return filled(body, size);
}

// A Standby of 1,023 to 2,000 bytes, with either header, the opcode with or without 0x, or
// ending exactly at the last byte the daemon receives.
std::string standby_datagram(std::mt19937 &r) {
    int form = static_cast<int>(r() % 3);
    std::string standby =
        announcement(form == 1 ? k_header_2 : k_header, 4, form == 1 ? "0x36" : "36");
    if (form == 2) {
        standby = padding(k_received - standby.size()) + standby;
    }
    return filled(standby, 1023 + r() % 978);
}

struct flood_result_t {
    int standbys;
    int powers_expected;
    int powers_seen;
    std::string failure;
};

// Foreign datagrams, and every 1,000 two Standbys: the first acted on after a quiet gap of
// 7 s or more (the flood sleeps when needed, and at least every third of the run), the
// second a few datagrams later, never acted on.
flood_result_t flood(soak_t *s, int count) {
    flood_result_t result = {0, 0, 0, std::string()};
    uint64_t &last_standby = s->last_standby_ms;
    auto standby = [&](bool acted, int index) {
        std::string before = new_keys(s);
        send_datagram(s->daemon.pid, standby_datagram(s->random));
        std::string got = new_keys(s);
        last_standby = now_ms();
        result.standbys++;
        result.powers_expected += acted;
        result.powers_seen += got == "+116 -116";
        std::string want = acted ? "+116 -116" : "";
        if ((got != want || !before.empty()) && result.failure.empty()) {
            result.failure = "datagram " + std::to_string(index) + ": expected '" + want +
                             "', got '" + got + "' (before it: '" + before + "')";
        }
    };
    for (int i = 0; i < count; i++) {
        if (i % 1000 == 0) {
            uint64_t gap = now_ms() - last_standby;
            bool late = last_standby == 0 || gap >= 7000;
            if (!late && (gap >= 4000 || (i / 1000) % 33 == 0)) {
                sleep_ms(static_cast<int>(7000 - gap));
                late = true;
            }
            standby(late, i);
        }
        if (i % 1000 == 10) {
            standby(false, i);
        }
        send_datagram(s->daemon.pid, foreign_datagram(s->random));
    }
    std::string after = new_keys(s);
    if (!after.empty() && result.failure.empty()) {
        result.failure = "keys from foreign datagrams: " + after;
    }
    return result;
}

// The daemon stopped while the receiver sends: with a key down, count codes ending with a
// release, after a packet of odd length when shifted so that the overflow of the kernel's
// queue falls on a scan as well as on a SYN_REPORT. The model keeps SYN_DROPPED and the
// newest event on overflow, as the kernel does. Returns the runs that ended as the model
// says with nothing down; counts those that overflowed.
int stall_sweep(soak_t *s, int *overflowed, std::string *failure) {
    int passed = 0;
    const uint32_t unknown = nec_raw(0x1234, 1, true);
    for (int shift = 0; shift < 2; shift++) {
        for (int n = 1; n <= k_stall_max_codes; n++) {
            model_t model(0);
            std::string want;
            model.feed(EV_MSC, MSC_SCAN, nec_raw(k_remote, 5, true), &want);
            send_raw(&s->receiver, nec_raw(k_remote, 5, true));
            std::string got = new_keys(s);

            kill(s->daemon.pid, SIGSTOP);
            std::string stat_path = "/proc/" + std::to_string(s->daemon.pid) + "/stat";
            for (int ms = 0; ms < 2000 && read_file(stat_path).find(") T ") == std::string::npos;
                 ms++) {
                sleep_ms(1);
            }
            std::vector<input_event> queue;
            bool dropped = false;
            auto queue_event = [&](uint16_t type, uint16_t code, uint32_t value) {
                input_event ev = {};
                ev.type = type;
                ev.code = code;
                ev.value = static_cast<int32_t>(value);
                queue.push_back(ev);
                if (queue.size() == k_evdev_queue) {
                    ev.code = SYN_DROPPED;
                    ev.value = 0;
                    queue = {ev, queue.back()};
                    dropped = true;
                }
            };
            if (shift == 1) {
                input_event packet[3] = {};
                packet[0].type = packet[1].type = EV_MSC;
                packet[0].code = packet[1].code = MSC_SCAN;
                packet[0].value = packet[1].value = static_cast<int32_t>(unknown);
                if (write(s->receiver.fd, packet, sizeof(packet)) == sizeof(packet)) {
                    queue_event(EV_MSC, MSC_SCAN, unknown);
                    queue_event(EV_MSC, MSC_SCAN, unknown);
                    queue_event(EV_SYN, SYN_REPORT, 0);
                }
            }
            for (int i = 0; i < n; i++) {
                int from_end = n - 1 - i;
                uint32_t command = (from_end / 2) % 2 == 0 ? 5 : 6;
                uint32_t raw = nec_raw(k_remote, command, from_end % 2 == 1);
                send_raw(&s->receiver, raw);
                queue_event(EV_MSC, MSC_SCAN, raw);
                queue_event(EV_SYN, SYN_REPORT, 0);
            }
            kill(s->daemon.pid, SIGCONT);
            for (const input_event &ev : queue) {
                model.feed(ev.type, ev.code, static_cast<uint32_t>(ev.value), &want);
            }
            std::string after = new_keys(s);
            got += after.empty() ? "" : " " + after;
            std::string down = keys_down(s->keyboard);
            *overflowed += dropped;
            bool ok = got == trimmed(want) && down.empty();
            passed += ok;
            if (!ok && failure->empty()) {
                *failure = std::to_string(n) + " codes" + (shift ? " after an odd packet" : "") +
                           ": expected '" + trimmed(want) + "', got '" + got + "'; down: '" + down +
                           "'";
            }
        }
    }
    return passed;
}

}  // namespace

int run_soak() {
    if (load_module(k_uinput_module) != 0 || load_module(k_protocol_module) != 0) {
        return check("soak: modules load", false, strerror(errno)) ? 0 : -1;
    }
    g_uevent_socket = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
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
    printf("soak: datagrams sent: %d, %d of them Standbys; POWER %d times, the model %d (%.1f s)\n",
           k_datagrams + flooded.standbys, flooded.standbys, flooded.powers_seen,
           flooded.powers_expected, flood_s);
    printf("soak: CPU per datagram: %.1f us\n", cpu_us / (k_datagrams + flooded.standbys));
    printf("soak: descriptors before/after: %d/%d\n", fds_before, fds_after);
    printf("soak: RSS before/after/peak: %ld/%ld/%ld kB\n", rss_before, rss_after, rss_peak);
    printf(
        "soak: stalled receiver: %d of %d runs with 1 to %d codes as the model says, none "
        "left down; %d overflowed the queue (%.1f s)\n",
        stalled, 2 * k_stall_max_codes, k_stall_max_codes, overflowed, stall_s);
    return 0;
}
