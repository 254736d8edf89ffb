// SPDX-License-Identifier: Apache-2.0
#include "support/log_capture.h"

#include <stdarg.h>
#include <stdio.h>

#include <android/log.h>

void (*g_log_observer)(const log_line_t &line) = nullptr;

std::vector<log_line_t> &captured_logs(void) {
    static std::vector<log_line_t> lines;
    return lines;
}

std::vector<log_line_t> take_logs(void) {
    std::vector<log_line_t> lines;
    lines.swap(captured_logs());
    return lines;
}

std::vector<std::string> logged_texts(int priority) {
    std::vector<std::string> texts;
    for (const log_line_t &line : captured_logs()) {
        if (line.priority == priority) {
            texts.push_back(line.text);
        }
    }
    return texts;
}

extern "C" int __android_log_print(int prio, const char *tag, const char *fmt, ...) {
    char text[4096];
    va_list args;
    va_start(args, fmt);
    vsnprintf(text, sizeof(text), fmt, args);
    va_end(args);
    captured_logs().push_back({prio, tag != nullptr ? tag : "", text});
    if (g_log_observer != nullptr) {
        g_log_observer(captured_logs().back());
    }
    return 1;
}
