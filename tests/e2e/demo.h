// SPDX-License-Identifier: Apache-2.0
#pragma once

// The newcomer's tour (demo.cpp, and the integrator's tool in demo_tool.cpp). Every scene says
// what it will show; one that does not show it is named at once, and fails the demo once the
// rest has been shown.

#include <stdint.h>

#include <string>
#include <vector>

#include "cases.h"

struct demo_t {
    std::vector<std::string> missed;  // the scenes that did not show what they announced
    std::vector<uint32_t> raws;       // every raw code the receiver reported, in order
};

// Counts the scene as missed, saying why, unless ok.
void demo_expect(demo_t *demo, const std::string &scene, bool ok, const std::string &why);

// A button pressed for hold_ms and released, and what the box sees on the virtual keyboard; the
// keys must be want ("+103 -103", a run of repeats as "=103"; "" for none).
void press(demo_t *demo, const source_t *receiver, int keyboard, const char *what,
           uint32_t customer, uint32_t command, int hold_ms, const char *want);

// Runs a command line in the guest's shell and shows it with what it printed; it must end with
// the status given and print each of wants.
void show_command(demo_t *demo, const std::string &command, int status,
                  const std::vector<std::string> &wants);

// Starts the daemon again, so that it reads the key layouts again, as 'stop dravoke; start
// dravoke' does on a box. False, counted as missed, when it does not come up.
bool restart_daemon(demo_t *demo, daemon_t *daemon, int *keyboard, const source_t *receiver);

// The integrator's tool: check, the two traps between the virtual keyboard and Android's keys,
// and the two routes to a new remote, each followed by the restarted daemon translating it.
void show_check(demo_t *demo);
void show_android_traps(demo_t *demo);
void show_import(demo_t *demo, daemon_t *daemon, int *keyboard, const source_t *receiver);
void show_learn(demo_t *demo, daemon_t *daemon, int *keyboard, source_t *receiver);
