// SPDX-License-Identifier: Apache-2.0
// The copy of the library installed with the tool, in a plain form that every build reads (the
// box's has no TOML reader): what the TOML reader takes from each keymap, with its lines.
//   format dravoke-keymaps 1
//   keymap FILE NAME
//   protocol LINE KEYS PROTOCOL [VARIANT]
//   LINE SCANCODE KEY
//   end
// The counts and the "end" tell a whole copy from one cut short. It is read on every import,
// learn and watch, on the box too: a pass over the text that copies only what it keeps.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "tool/library/library.h"

namespace {

constexpr char k_format_line[] = "format dravoke-keymaps 1";

// One line being read, word by word.
struct cursor_t {
    const char *at;
    const char *end;
};

// The first byte of [at, end) that is not printable ASCII or is a space, or null. The script
// writes ASCII alone: any other byte in what is kept is damage.
const char *odd_byte(const char *at, const char *end) {
    for (; at < end; at++) {
        if (static_cast<unsigned char>(*at - '!') > '~' - '!') {
            return at;
        }
    }
    return nullptr;
}

// The next word, up to a space or the line's end; the space is passed.
std::string next_word(cursor_t *c) {
    const char *space = static_cast<const char *>(memchr(c->at, ' ', c->end - c->at));
    const char *stop = space != nullptr ? space : c->end;
    std::string word(c->at, stop);
    c->at = space != nullptr ? space + 1 : c->end;
    return word;
}

// The value of each byte as a digit of base 16, lower case; 16 for any other byte.
struct digit_values_t {
    unsigned char of[256];
    digit_values_t() {
        memset(of, 16, sizeof(of));
        for (int d = 0; d < 16; d++) {
            of[static_cast<unsigned char>("0123456789abcdef"[d])] = static_cast<unsigned char>(d);
        }
    }
};
const digit_values_t k_digits;

// The next word as a number of at most 9 decimal digits (the copy's line numbers and counts),
// of at most max; false for anything else, an empty word among them.
bool next_number(cursor_t *c, uint32_t max, uint32_t *value) {
    const char *p = c->at;
    const char *last = p + 9 < c->end ? p + 9 : c->end;
    uint32_t v = 0;
    for (; p < last && static_cast<unsigned>(*p - '0') <= 9; p++) {
        v = v * 10 + static_cast<uint32_t>(*p - '0');
    }
    if (p == c->at || v > max || (p < c->end && *p != ' ')) {
        return false;
    }
    *value = v;
    c->at = p < c->end ? p + 1 : p;
    return true;
}

struct copy_reader_t {
    const std::string *path;
    std::vector<library_keymap_t> *keymaps;
    std::vector<std::string> *problems;
    bool open;      // the last of *keymaps is being read
    uint32_t owed;  // keys its last protocol line gives that are still to come
    bool keys;      // keep the keys, not only check them
};

void fail(copy_reader_t *r, int number, const std::string &why) {
    std::string text = *r->path + ":" + std::to_string(number) + ": error: " + why;
    if (r->open) {
        text += "; " + r->keymaps->back().file + " left out";
        r->keymaps->pop_back();
    }
    r->problems->push_back(text);
    r->open = false;
}

// The keymap read so far stays when it is whole.
void close_keymap(copy_reader_t *r, int number) {
    if (!r->open) {
        return;
    }
    if (r->owed != 0) {
        fail(r, number, std::to_string(r->owed) + " more keys were due for its last protocol");
    } else if (r->keymaps->back().table.protocols.empty()) {
        fail(r, number, "a keymap without a protocol line");
    }
    r->open = false;
}

void read_keymap_line(copy_reader_t *r, cursor_t c, int number) {
    close_keymap(r, number);
    std::string file = next_word(&c);
    for (const char *p = c.at; p < c.end; p++) {
        // A name may hold spaces.
        if (*p != ' ' && odd_byte(p, p + 1) != nullptr) {
            fail(r, number, "a byte that is not printable ASCII");
            return;
        }
    }
    if (odd_byte(file.data(), file.data() + file.size()) != nullptr) {
        fail(r, number, "a byte that is not printable ASCII");
        return;
    }
    std::string name(c.at, c.end);
    if (file.empty() || name.empty()) {
        fail(r, number, "expected \"keymap FILE NAME\"");
        return;
    }
    r->keymaps->push_back({keymap_name_of(file), file, {name, {}}});
    r->open = true;
    r->owed = 0;
}

void read_protocol_line(copy_reader_t *r, cursor_t c, int number) {
    uint32_t line;
    uint32_t keys;
    if (r->owed != 0) {
        fail(r, number, "a protocol line where " + std::to_string(r->owed) + " more keys were due");
        return;
    }
    if (!next_number(&c, 0x7fffffff, &line) || !next_number(&c, 0xffff, &keys)) {
        fail(r, number, "expected \"protocol LINE KEYS PROTOCOL [VARIANT]\"");
        return;
    }
    std::string protocol = next_word(&c);
    std::string variant = next_word(&c);
    if (protocol.empty() || c.at != c.end ||
        odd_byte(protocol.data(), protocol.data() + protocol.size()) != nullptr ||
        odd_byte(variant.data(), variant.data() + variant.size()) != nullptr) {
        fail(r, number, "expected \"protocol LINE KEYS PROTOCOL [VARIANT]\"");
        return;
    }
    std::vector<keytable_protocol_t> &protocols = r->keymaps->back().table.protocols;
    protocols.push_back({protocol, variant, static_cast<int>(line), {}});
    protocols.back().entries.reserve(r->keys ? keys : 0);
    r->owed = keys;
}

// A key line at at, "LINE SCANCODE KEY", read in one pass: where the next line begins, or null
// when it is not one.
const char *read_key_line_fast(copy_reader_t *r, const char *at, const char *end) {
    const char *p = at;
    uint32_t line = 0;
    while (p < end && p - at < 9 && static_cast<unsigned>(*p - '0') <= 9) {
        line = line * 10 + static_cast<uint32_t>(*p++ - '0');
    }
    if (p == at || end - p < 4 || p[0] != ' ' || p[1] != '0' || p[2] != 'x') {
        return nullptr;
    }
    p += 3;
    const char *digits = p;
    uint32_t scancode = 0;
    unsigned digit;
    while (p < end && p - digits < 8 &&
           (digit = k_digits.of[static_cast<unsigned char>(*p)]) < 16) {
        scancode = scancode * 16 + digit;
        p++;
    }
    if (p == digits || p == end || *p != ' ') {
        return nullptr;
    }
    const char *key = ++p;
    while (p < end && static_cast<unsigned char>(*p - '!') <= '~' - '!') {
        p++;
    }
    if (p == key || (p < end && *p != '\n') || line > 0x7fffffff) {
        return nullptr;
    }
    if (r->keys) {
        r->keymaps->back().table.protocols.back().entries.push_back(
            {scancode, std::string(key, p), static_cast<int>(line)});
    }
    r->owed--;
    return p < end ? p + 1 : p;
}

}  // namespace

void parse_library_copy(const std::string &text, const std::string &path, bool keys,
                        std::vector<library_keymap_t> *keymaps,
                        std::vector<std::string> *problems) {
    copy_reader_t r = {&path, keymaps, problems, false, 0, keys};
    bool formatted = false;
    int number = 0;
    const char *at = text.data();
    const char *end = at + text.size();
    while (at < end) {
        if (r.open && r.owed != 0) {
            const char *next = read_key_line_fast(&r, at, end);
            if (next != nullptr) {
                number++;
                at = next;
                continue;
            }
        }
        const char *newline = static_cast<const char *>(memchr(at, '\n', end - at));
        cursor_t line = {at, newline != nullptr ? newline : end};
        at = newline != nullptr ? newline + 1 : end;
        number++;
        size_t length = static_cast<size_t>(line.end - line.at);
        if (length == 0 || line.at[0] == '#') {
            continue;
        }
        if (!formatted) {
            if (std::string(line.at, line.end) != k_format_line) {
                problems->push_back(path + ":" + std::to_string(number) +
                                    ": error: not a copy of the Linux keymap library in the tool's "
                                    "form (\"" +
                                    k_format_line + "\" expected)");
                return;
            }
            formatted = true;
        } else if (length == 3 && memcmp(line.at, "end", 3) == 0) {
            close_keymap(&r, number);
            return;
        } else if (length > 7 && memcmp(line.at, "keymap ", 7) == 0) {
            read_keymap_line(&r, {line.at + 7, line.end}, number);
        } else if (!r.open) {
            continue;  // the rest of a keymap left out
        } else if (length > 9 && memcmp(line.at, "protocol ", 9) == 0) {
            read_protocol_line(&r, {line.at + 9, line.end}, number);
        } else {
            fail(
                &r, number,
                r.owed != 0
                    ? "expected \"LINE SCANCODE KEY\""
                    : "expected \"protocol LINE KEYS PROTOCOL [VARIANT]\" or \"keymap FILE NAME\"");
        }
    }
    if (formatted) {
        fail(&r, number, "cut short: no \"end\" line");
    } else {
        problems->push_back(path +
                            ": error: empty, where a copy of the Linux keymap library was "
                            "expected");
    }
}
