// SPDX-License-Identifier: Apache-2.0
#include "tool/check/diagnostics.h"

#include <stdarg.h>
#include <stdio.h>

void add(report_t *report, const std::string &path, int line, severity_t severity,
         const char *format, ...) {
    // Whole, however long the words it quotes.
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int length = vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(length > 0 ? static_cast<size_t>(length) + 1 : 1, '\0');
    vsnprintf(&text[0], text.size(), format, again);
    va_end(again);
    text.pop_back();
    report->diagnostics.insert({path, line, severity, text});
}
