// SPDX-License-Identifier: Apache-2.0
#pragma once

// What the soak's trials share: a model of the translation rules, the running daemon with
// its receiver and virtual keyboard, and the trials themselves, one subject a file.

#include <stdint.h>

#include <map>
#include <random>
#include <string>

#include "e2e.h"

constexpr uint32_t k_soak_remote = 0xbf40;

// The translation rules, stated from the layouts rather than from the daemon's code.
struct model_t {
    int protocol;
    std::map<uint32_t, std::map<uint32_t, int>> tables;  // customer -> command -> key
    int down;

    explicit model_t(int protocol_in);
    void release(std::string *keys);
    // One event as the daemon reads it from the receiver; appends the keys it must write.
    void feed(uint16_t type, uint16_t code, uint32_t value, std::string *keys);
};

// Keys the model appends start with a blank; this drops it.
std::string trimmed(const std::string &keys);

struct soak_t {
    daemon_t daemon;
    source_t receiver;
    int keyboard;
    std::mt19937 random;
    uint64_t last_standby_ms;  // when the daemon had handled the last Standby; 0 for none
};

// Keys written since the last look, once the daemon has handled everything sent.
std::string new_keys(const soak_t *s);

// The receiver destroyed and created again, then a key: returns how many keys arrived.
int flap(soak_t *s, int count, std::string *failure);  // soak_codes.cpp
// Random raw codes against the model; returns the codes that gave what it says.
int random_codes(soak_t *s, int protocol, int count, int *keys, std::string *failure);

struct flood_result_t {
    int standbys;
    int powers_expected;
    int powers_seen;
    std::string failure;
};
// count datagrams from user space, with the kernel's Standbys among them.
flood_result_t flood(soak_t *s, int count);  // soak_flood.cpp

// The daemon stopped while the receiver sends; returns the runs as the model says.
int stall_sweep(soak_t *s, int *overflowed, std::string *failure);  // soak_stall.cpp
constexpr int k_stall_max_codes = 40;
