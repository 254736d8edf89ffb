// SPDX-License-Identifier: Apache-2.0
// The soak's receiver trials: flaps of the receiver, and random raw codes against the model.
#include <stdio.h>

#include <algorithm>

#include "soak.h"

namespace {

constexpr int k_codes_per_write = 4;  // at most 16 events back: the reader's queue holds 63

}  // namespace

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
            uint32_t raw = nec_raw(k_soak_remote, 5 + static_cast<uint32_t>(i % 9), pressed);
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
