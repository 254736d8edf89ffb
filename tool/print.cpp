// SPDX-License-Identifier: Apache-2.0
#include <stdarg.h>

#include "tool/print.h"

std::string printable(const std::string &text) {
    static const char k_hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f) {
            out += c;
            continue;
        }
        switch (c) {
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\v':
                out += "\\v";
                break;
            case '\f':
                out += "\\f";
                break;
            default:
                out += "\\x";
                out += k_hex[byte >> 4];
                out += k_hex[byte & 0xf];
        }
    }
    return out;
}

void tool_print(FILE *out, const char *format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int length = vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (length < 0) {
        va_end(again);
        return;
    }
    std::string text(static_cast<size_t>(length) + 1, '\0');
    vsnprintf(&text[0], text.size(), format, again);
    va_end(again);
    text.pop_back();
    // The newlines that end the tool's own lines stay; any other byte that does not print is
    // shown escaped, whichever argument brought it in.
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            fputs(printable(text.substr(start)).c_str(), out);
            break;
        }
        fputs(printable(text.substr(start, end - start)).c_str(), out);
        fputc('\n', out);
        start = end + 1;
    }
}
