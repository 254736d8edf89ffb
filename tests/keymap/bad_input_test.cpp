#include <dirent.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

#include "core/protocol.h"
#include "keymap/keymap.h"
#include "support/daemon_fixture.h"
#include "support/log_capture.h"

namespace {

using bad_input = daemon_test;

// What a layout file should give, worked out with the C library's own scanning: the bytes
// are cut into pieces of at most 1023 characters ending at a newline, each piece is read as
// a C string, and the number is taken as a long so that no value wraps (it saturates).
void expected_layout(const std::string &bytes, keymap_t *table) {
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = start;
        while (end < bytes.size() && end - start < 1023) {
            if (bytes[end++] == '\n') {
                break;
            }
        }
        std::string piece = bytes.substr(start, end - start);
        start = end;
        const char *line = piece.c_str();
        size_t blanks = strspn(line, " ");
        if (line[blanks] == '#') {
            continue;
        }
        char keyword[32];
        char name[32];
        long scancode;
        if (sscanf(line, "%31s %ld %31s", keyword, &scancode, name) != 3 ||
            strcmp(keyword, "key") != 0 || scancode < 0 || scancode > 255) {
            continue;
        }
        table[scancode].scancode = static_cast<int32_t>(scancode);
        strcpy(table[scancode].name, name);
    }
}

void fill_marked(keymap_t *table) {
    for (int i = 0; i < k_keymap_size; i++) {
        table[i].scancode = 1000 + i;
        snprintf(table[i].name, sizeof(table[i].name), "mark%d", i);
    }
}

// Pieces that come near the one accepted line form, and ways of breaking it.
std::string random_token(std::mt19937 *rng) {
    // clang-format off
    static const char *const tokens[] = {
        "key", "KEY", "keys", "#", " ", "  ", "\t", "\r", "\n", "\r\n", "\v", "-", "+", "0x", "0", "7",
        "255", "256", "-1", "4294967297", "-4294967295", "18446744073709551616",
        "99999999999999999999999999999999", "NAME", "VOLUME_UP", "!RESERVE", "a#b",
        "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdef", "\xff\xfe"};
    // clang-format on
    constexpr size_t count = sizeof(tokens) / sizeof(tokens[0]);
    size_t pick = std::uniform_int_distribution<size_t>(0, count)(*rng);
    if (pick == count) {
        return std::string(1, '\0');
    }
    return tokens[pick];
}

std::string random_key_line(std::mt19937 *rng) {
    std::uniform_int_distribution<int> percent(0, 99);
    if (percent(*rng) < 40) {
        // A well-formed line, with a scancode that is sometimes out of range.
        int scancode = std::uniform_int_distribution<int>(-20, 300)(*rng);
        return std::string(percent(*rng) < 10 ? "\t" : "") + "key " + std::to_string(scancode) +
               " K" + std::to_string(percent(*rng)) + (percent(*rng) < 20 ? "\r\n" : "\n");
    }
    std::string line;
    int tokens = std::uniform_int_distribution<int>(0, 8)(*rng);
    for (int t = 0; t < tokens; t++) {
        line += random_token(rng);
        if (percent(*rng) < 60) {
            line += ' ';
        }
    }
    return line + "\n";
}

std::string random_bytes(std::mt19937 *rng, size_t n) {
    std::string bytes(n, '\0');
    std::uniform_int_distribution<int> byte(0, 255);
    for (char &c : bytes) {
        c = static_cast<char>(byte(*rng));
    }
    return bytes;
}

struct layout_input_t {
    const char *what;
    std::string bytes;
};

std::vector<layout_input_t> bad_layouts(std::mt19937 *rng) {
    std::vector<layout_input_t> inputs;

    std::string many;
    for (int i = 0; i < 100000; i++) {
        many += random_key_line(rng);
    }
    inputs.push_back({"100,000 lines", many});

    // One line of a megabyte: words, digits and key lines with no newline between them,
    // so that the 1023-character pieces fall anywhere.
    std::string long_line;
    while (long_line.size() < (1u << 20)) {
        std::string piece = random_key_line(rng);
        piece.pop_back();
        long_line += piece + (rng->operator()() % 4 == 0 ? "\t" : " ");
    }
    inputs.push_back({"1 MB line", long_line});
    inputs.push_back({"1 MB of one character", std::string(1u << 20, '7')});

    std::string with_nuls;
    for (int i = 0; i < 2000; i++) {
        std::string line = random_key_line(rng);
        line.insert(std::uniform_int_distribution<size_t>(0, line.size() - 1)(*rng), 1, '\0');
        with_nuls += line;
    }
    inputs.push_back({"NUL bytes", with_nuls});
    inputs.push_back({"random binary", random_bytes(rng, 256 * 1024)});

    std::string mixed;
    for (int i = 0; i < 2000; i++) {
        mixed += i % 3 == 0 ? random_bytes(rng, rng->operator()() % 64) : random_key_line(rng);
    }
    inputs.push_back({"binary and lines", mixed});
    return inputs;
}

TEST_F(bad_input, layout_files_read_like_the_c_library_scans_them) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    for (const layout_input_t &input : bad_layouts(&rng)) {
        SCOPED_TRACE(input.what);
        write_file("bad.kl", input.bytes);
        keymap_t expected[k_keymap_size];
        keymap_t read[k_keymap_size];
        fill_marked(expected);
        fill_marked(read);
        expected_layout(input.bytes, expected);
        ASSERT_EQ(create_keymap_from_file(path("bad.kl").c_str(), read), 0);
        for (int i = 0; i < k_keymap_size; i++) {
            EXPECT_EQ(read[i].scancode, expected[i].scancode) << "entry " << i;
            EXPECT_STREQ(read[i].name, expected[i].name) << "entry " << i;
        }
    }
}

// A name made from pieces of the customer file-name patterns and of junk.
std::string random_entry_name(std::mt19937 *rng) {
    // clang-format off
    static const char *const parts[] = {
        "customer_ir_", "customer_rc5_ir_", "Customer_ir_", "0", "a", "F", "9", "g", "x", ".kl",
        ".KL", ".bak", "-", " ", "orvex-ir.kl"};
    // clang-format on
    constexpr size_t count = sizeof(parts) / sizeof(parts[0]);
    std::uniform_int_distribution<size_t> pick(0, count - 1);
    std::string name;
    int n = std::uniform_int_distribution<int>(1, 8)(*rng);
    for (int i = 0; i < n; i++) {
        name += parts[pick(*rng)];
    }
    return name.substr(0, 255);
}

TEST_F(bad_input, directory_with_thousands_of_entries) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    write_file("keylayout/orvex-ir.kl", "key 100 K\n");
    // Every entry is a hard link to one customer layout: creating files is slow on some file
    // systems, linking is not.
    write_file("customer.kl", "key 7 K\n");
    for (int i = 0; i < 4000; i++) {
        std::string name = random_entry_name(&rng);
        // A near miss now and then, and a few real names among thousands.
        if (i % 400 == 0) {
            char real[32];
            snprintf(real, sizeof(real), "customer_ir_%04x.kl", i);
            name = real;
        }
        link(path("customer.kl").c_str(), path("keylayout/" + name).c_str());
    }

    for (int32_t protocol : {k_ir_protocol_nec, k_ir_protocol_rc5}) {
        SCOPED_TRACE(protocol == k_ir_protocol_rc5 ? "RC5" : "NEC");
        ir_protocol_used = protocol;
        std::regex accepted(protocol == k_ir_protocol_rc5 ? "customer_rc5_ir_[0-9a-fA-F]{2}\\.kl"
                                                          : "customer_ir_[0-9a-fA-F]{4}\\.kl");
        std::vector<std::string> names;
        DIR *dir = opendir(path("keylayout").c_str());
        for (struct dirent *e = readdir(dir); e != nullptr; e = readdir(dir)) {
            if (std::regex_match(e->d_name, accepted)) {
                names.push_back(e->d_name);
            }
        }
        closedir(dir);

        int count = init_orvex_ir_map();
        ASSERT_EQ(count, static_cast<int>(std::min<size_t>(names.size(), 18)));
        for (int t = 0; t < count; t++) {
            SCOPED_TRACE(names[t]);
            int code = static_cast<int>(strtol(
                names[t].c_str() + names[t].size() - 3 - (protocol == k_ir_protocol_rc5 ? 2 : 4),
                nullptr, 16));
            EXPECT_EQ(g_customer_maps[t].customer_code, code);
            EXPECT_EQ(g_customer_maps[t].scancode_map[7], 100);
        }
        EXPECT_TRUE(captured_logs().empty());
    }
}

}  // namespace
