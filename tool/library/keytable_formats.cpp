// SPDX-License-Identifier: Apache-2.0
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

#include "tool/library/library.h"

// The box's build has no TOML library: it leaves TOML keymaps out, and says so when given one.
#if defined(DRAVOKE_TOML_KEYMAPS)
// toml++ 3.3 checks its parser's state with assertions, and one fails on a malformed table
// header ("[[*"), which the parser goes on to report as an error: without them a bad keymap is
// named with its line in every build, never an abort.
#define TOML_ASSERT(expr) static_cast<void>(0)
#include <toml++/toml.h>
#endif

namespace {

std::string lower(std::string text) {
    for (char &c : text) {
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string stem(const std::string &path) {
    size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// A scancode as keymaps write it: 0x-prefixed hexadecimal, or decimal; 32 bits at most.
bool parse_scancode(const std::string &text, uint32_t *scancode) {
    if (text.empty() || !isdigit(static_cast<unsigned char>(text[0]))) {
        return false;
    }
    char *end = nullptr;
    unsigned long long value = strtoull(text.c_str(), &end, 0);
    if (*end != '\0' || value > 0xffffffffull) {
        return false;
    }
    *scancode = static_cast<uint32_t>(value);
    return true;
}

int fail(keytable_error_t *error, int line, int column, const std::string &text) {
    *error = {line, column, text};
    return -1;
}

// "# table NAME, type: NEC" then "0x8051 KEY_POWER" lines; "#" starts a comment. parse_keytable
// gives it only a text whose first line that is not blank is the header.
int parse_plain(const std::string &text, keytable_t *table, keytable_error_t *error) {
    std::vector<std::string> types;
    std::vector<keytable_entry_t> entries;
    int header_line = 0;
    int number = 0;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        number++;
        size_t hash = line.find('#');
        if (header_line == 0 && hash != std::string::npos &&
            line.compare(hash, 8, "# table ") == 0) {
            size_t comma = line.find(',', hash);
            size_t type = line.find("type:", hash);
            if (comma == std::string::npos || type == std::string::npos) {
                return fail(error, number, 1, "expected \"# table NAME, type: PROTOCOL\"");
            }
            table->name = line.substr(hash + 8, comma - hash - 8);
            std::string list = line.substr(type + 5);
            for (char &c : list) {
                c = c == ',' ? ' ' : c;
            }
            char word[64];
            int used = 0;
            for (const char *p = list.c_str(); sscanf(p, "%63s%n", word, &used) == 1; p += used) {
                types.push_back(lower(word));
            }
            header_line = number;
            continue;
        }
        std::string body = line.substr(0, hash);
        char scancode_text[64];
        char key[64];
        char extra[2];
        int words = sscanf(body.c_str(), "%63s %63s %1s", scancode_text, key, extra);
        if (words <= 0) {
            continue;  // blank or comment
        }
        uint32_t scancode;
        if (words != 2 || !parse_scancode(scancode_text, &scancode)) {
            return fail(error, number, 1, "expected \"SCANCODE KEY_NAME\"");
        }
        entries.push_back({scancode, key, number});
    }
    // An old table lists its protocols; its scancodes are the same under each.
    for (std::string &type : types) {
        std::string variant;
        if (type == "necx" || type == "nec32") {
            variant = type;
            type = "nec";
        } else if (type == "rc-5") {
            type = "rc5";
        }
        table->protocols.push_back({type, variant, header_line, entries});
    }
    return 0;
}

#if defined(DRAVOKE_TOML_KEYMAPS)

int where(const toml::node &node) {
    return static_cast<int>(node.source().begin.line);
}

// [[protocols]] tables, each with name, protocol, an optional variant and [protocols.scancodes].
int read_toml(const toml::table &root, keytable_t *table, keytable_error_t *error) {
    const toml::array *protocols = root["protocols"].as_array();
    if (protocols == nullptr) {
        return fail(error, 1, 0, "no [[protocols]] table");
    }
    for (const toml::node &node : *protocols) {
        const toml::table *entry = node.as_table();
        if (entry == nullptr) {
            return fail(error, where(node), 0, "\"protocols\" holds something other than tables");
        }
        std::optional<std::string> protocol = (*entry)["protocol"].value<std::string>();
        if (!protocol) {
            return fail(error, where(node), 0, "a [[protocols]] table without a protocol name");
        }
        if (table->name.empty()) {
            table->name = (*entry)["name"].value_or(std::string());
        }
        keytable_protocol_t read = {
            lower(*protocol), lower((*entry)["variant"].value_or(std::string())), where(node), {}};
        const toml::node *scancodes = entry->get("scancodes");
        if (scancodes != nullptr && !scancodes->is_table()) {
            return fail(error, where(*scancodes), 0, "\"scancodes\" is not a table");
        }
        static const toml::table k_none;
        for (auto &&[key, value] : scancodes != nullptr ? *scancodes->as_table() : k_none) {
            uint32_t scancode;
            int line = static_cast<int>(key.source().begin.line);
            if (!parse_scancode(std::string(key.str()), &scancode)) {
                return fail(error, line, static_cast<int>(key.source().begin.column),
                            "\"" + std::string(key.str()) + "\" is not a 32-bit scancode");
            }
            std::optional<std::string> name = value.value<std::string>();
            if (!name) {
                return fail(error, line, static_cast<int>(value.source().begin.column),
                            "the key of scancode " + std::string(key.str()) + " is not a string");
            }
            read.entries.push_back({scancode, *name, line});
        }
        // toml++ keeps a table's keys sorted; the file's order reads better.
        std::stable_sort(
            read.entries.begin(), read.entries.end(),
            [](const keytable_entry_t &a, const keytable_entry_t &b) { return a.line < b.line; });
        table->protocols.push_back(read);
    }
    return 0;
}

// TOML allows bytes above 0x7f in strings and comments. toml++ 3.3 tests every character of a
// key, and the characters after a bare value or a line-ending backslash, against Unicode's
// whitespace with an unreachable branch: undefined behaviour for most such bytes. So it is given
// them only where it merely copies them: in comments and in one-line strings right after an "=".
// A keymap holding one elsewhere is refused before it reads it. Strings and comments are
// followed as TOML delimits them; where a keymap is not valid TOML before the byte, toml++ stops
// at that first.
int find_byte_toml_mishandles(const std::string &text, keytable_error_t *error) {
    enum { k_bare, k_comment, k_basic, k_literal, k_long_basic, k_long_literal } in = k_bare;
    int line = 1;
    size_t line_start = 0;
    bool after_equals = false;  // the last character outside strings and comments was "="
    bool value = false;         // the string being read is a value, after an "="
    for (size_t at = 0; at < text.size(); at++) {
        unsigned char c = static_cast<unsigned char>(text[at]);
        char quote = in == k_basic || in == k_long_basic ? '"' : '\'';
        bool triple = text.compare(at, 3, std::string(3, static_cast<char>(c))) == 0;
        bool one_line_value = value && (in == k_basic || in == k_literal);
        if (c == '\n') {
            line++;
            line_start = at + 1;
            in = in == k_long_basic || in == k_long_literal ? in : k_bare;
            after_equals = false;
        } else if (c >= 0x80 && in != k_comment && !one_line_value) {
            // Columns count characters: UTF-8 continuation bytes are part of the one before.
            int column = 1;
            for (size_t i = line_start; i < at; i++) {
                column += (static_cast<unsigned char>(text[i]) & 0xc0) != 0x80;
            }
            char why[128];
            snprintf(why, sizeof(why),
                     in == k_bare ? "byte 0x%02x outside a string or a comment, where TOML allows "
                                    "only ASCII"
                                  : "byte 0x%02x in a key, an array or a multi-line string: beyond "
                                    "ASCII, only comments and one-line values are read here",
                     c);
            return fail(error, line, column, why);
        } else if (in == k_bare && (c == '#' || c == '"' || c == '\'')) {
            in = c == '#' ? k_comment
                 : triple ? (c == '"' ? k_long_basic : k_long_literal)
                          : (c == '"' ? k_basic : k_literal);
            value = after_equals;
            after_equals = false;
            at += triple ? 2 : 0;
        } else if (in == k_bare && c != ' ' && c != '\t') {
            after_equals = c == '=';
        } else if ((in == k_basic || in == k_long_basic) && c == '\\' && at + 1 < text.size() &&
                   text[at + 1] != '\n' && static_cast<unsigned char>(text[at + 1]) < 0x80) {
            at++;  // an escaped character, a quote among them; a byte beyond ASCII is looked at
        } else if ((in == k_basic || in == k_literal) && c == quote) {
            in = k_bare;
        } else if ((in == k_long_basic || in == k_long_literal) && c == quote && triple) {
            // Up to two more quotes before the closing three belong to the string.
            while (at + 3 < text.size() && text[at + 3] == quote) {
                at++;
            }
            at += 2;
            in = k_bare;
        }
    }
    return 0;
}

int parse_toml(const std::string &text, const std::string &path, keytable_t *table,
               keytable_error_t *error) {
    if (find_byte_toml_mishandles(text, error) != 0) {
        return -1;
    }
    // Debian's toml++ is built with exceptions; a build without them gets a result to test.
#if TOML_EXCEPTIONS
    toml::table root;
    try {
        root = toml::parse(text, path);
    } catch (const toml::parse_error &e) {
        return fail(error, static_cast<int>(e.source().begin.line),
                    static_cast<int>(e.source().begin.column), std::string(e.description()));
    }
#else
    toml::parse_result result = toml::parse(text, path);
    if (!result) {
        const toml::parse_error &e = result.error();
        return fail(error, static_cast<int>(e.source().begin.line),
                    static_cast<int>(e.source().begin.column), std::string(e.description()));
    }
    toml::table root = std::move(result).table();
#endif
    return read_toml(root, table, error);
}

#endif

}  // namespace

bool toml_keymaps_supported(void) {
#if defined(DRAVOKE_TOML_KEYMAPS)
    return true;
#else
    return false;
#endif
}

int parse_keytable(const std::string &text, const std::string &path, keytable_t *table,
                   keytable_error_t *error) {
    table->name.clear();
    table->protocols.clear();
    size_t first = text.find_first_not_of(" \t\r\n");
    int status;
    if (first != std::string::npos && text.compare(first, 8, "# table ") == 0) {
        status = parse_plain(text, table, error);
    } else {
#if defined(DRAVOKE_TOML_KEYMAPS)
        status = parse_toml(text, path, table, error);
#else
        status = fail(error, 0, 0,
                      "this build of dravoke-keymap leaves TOML keymaps out (the box's build has "
                      "no TOML library): convert the keymap to the plain-text format (\"# table "
                      "NAME, type: NEC\", then \"0x8051 KEY_POWER\" lines), or import it with a "
                      "build of the tool for the build machine");
#endif
    }
    if (status == 0 && table->name.empty()) {
        table->name = stem(path);
    }
    return status;
}
