// SPDX-License-Identifier: Apache-2.0
// The soak's stalled daemon: its receiver's queue overflows while it is stopped.
#include <signal.h>
#include <unistd.h>

#include <vector>

#include "soak.h"

namespace {

constexpr size_t k_evdev_queue = 64;  // a receiver of MSC_SCAN events gets the minimum

}  // namespace

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
            model.feed(EV_MSC, MSC_SCAN, nec_raw(k_soak_remote, 5, true), &want);
            send_raw(&s->receiver, nec_raw(k_soak_remote, 5, true));
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
                uint32_t raw = nec_raw(k_soak_remote, command, from_end % 2 == 1);
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
