// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <android/log.h>

#include <string>
#include <vector>

// Every message the code under test logs, in order. The test programs define
// __android_log_print themselves, so the real liblog is never reached.
struct log_line_t {
    int priority;
    std::string tag;
    std::string text;
};

std::vector<log_line_t> &captured_logs(void);

// Returns the captured lines and forgets them: the test has looked at them.
std::vector<log_line_t> take_logs(void);

// Texts of the captured lines at one priority, without forgetting them.
std::vector<std::string> logged_texts(int priority);

// Called with each line as it is logged, when set: shows what had happened by then.
extern void (*g_log_observer)(const log_line_t &line);
