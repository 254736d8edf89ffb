// SPDX-License-Identifier: Apache-2.0
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
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
    for (size_t start = 0, end = 0; start < bytes.size(); start = end) {
        end = std::min(std::min(bytes.find('\n', start), bytes.size() - 1) + 1, start + 1023);
        std::string piece = bytes.substr(start, end - start);
        const char *line = piece.c_str();
        char keyword[32];
        char name[32];
        long scancode;
        if (line[strspn(line, " ")] == '#' ||
            sscanf(line, "%31s %ld %31s", keyword, &scancode, name) != 3 ||
            strcmp(keyword, "key") != 0 || scancode < 0 || scancode > 255) {
            continue;
        }
        table[scancode].scancode = static_cast<int32_t>(scancode);
        strcpy(table[scancode].name, name);
    }
}

std::string random_key_line(std::mt19937 *rng) {
    // Pieces that come near the one accepted line form, and ways of breaking it.
    // clang-format off
    static const std::string tokens[] = {
        "key", "KEY", "keys", "#", " ", "  ", "\t", "\r", "\n", "\r\n", "\v", "-", "+", "0x", "0", "7",
        "255", "256", "-1", "4294967297", "-4294967295", "18446744073709551616",
        "99999999999999999999999999999999", "NAME", "VOLUME_UP", "!RESERVE", "a#b",
        "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdef", "\xff\xfe", std::string(1, '\0')};
    // clang-format on
    std::uniform_int_distribution<int> percent(0, 99);
    if (percent(*rng) < 40) {
        // A well-formed line, with a scancode that is sometimes out of range.
        int scancode = std::uniform_int_distribution<int>(-20, 300)(*rng);
        return std::string(percent(*rng) < 10 ? "\t" : "") + "key " + std::to_string(scancode) +
               " K" + std::to_string(percent(*rng)) + (percent(*rng) < 20 ? "\r\n" : "\n");
    }
    std::string line;
    for (int t = static_cast<int>((*rng)() % 9); t > 0; t--) {
        line += tokens[(*rng)() % (sizeof(tokens) / sizeof(tokens[0]))];
        if (percent(*rng) < 60) {
            line += ' ';
        }
    }
    return line + "\n";
}

TEST_F(bad_input, layout_files_read_like_the_c_library_scans_them) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    auto random_bytes = [&rng](size_t n) {
        std::string bytes(n, '\0');
        for (char &c : bytes) {
            c = static_cast<char>(rng());
        }
        return bytes;
    };
    std::string many;
    for (int i = 0; i < 100000; i++) {
        many += random_key_line(&rng);
    }
    // One line of a megabyte: words, digits and key lines with no newline between them,
    // so that the 1023-character pieces fall anywhere.
    std::string long_line;
    while (long_line.size() < (1u << 20)) {
        std::string piece = random_key_line(&rng);
        piece.back() = rng() % 4 == 0 ? '\t' : ' ';
        long_line += piece;
    }
    std::string with_nuls;
    std::string mixed;
    for (int i = 0; i < 2000; i++) {
        std::string line = random_key_line(&rng);
        line.insert(rng() % line.size(), 1, '\0');
        with_nuls += line;
        mixed += i % 3 == 0 ? random_bytes(rng() % 64) : random_key_line(&rng);
    }
    const std::pair<const char *, std::string> inputs[] = {
        {"100,000 lines", many},
        {"1 MB line", long_line},
        {"1 MB of one character", std::string(1u << 20, '7')},
        {"NUL bytes", with_nuls},
        {"random binary", random_bytes(256 * 1024)},
        {"binary and lines", mixed},
    };
    for (const auto &input : inputs) {
        SCOPED_TRACE(input.first);
        write_file("bad.kl", input.second);
        keymap_t expected[k_keymap_size];
        keymap_t read[k_keymap_size];
        fill_marked(expected);
        fill_marked(read);
        expected_layout(input.second, expected);
        ASSERT_EQ(create_keymap_from_file(path("bad.kl").c_str(), read), 0);
        EXPECT_EQ(changed_entries(read), changed_entries(expected));
    }
}

TEST_F(bad_input, directory_with_thousands_of_entries) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    write_file("keylayout/orvex-ir.kl", "key 100 K\n");
    // Every entry is a hard link to one customer layout: creating files is slow on some file
    // systems, linking is not. Names are made from pieces of the customer file-name patterns
    // and of junk, with a few real names among thousands.
    write_file("customer.kl", "key 7 K\n");
    const char *const parts[] = {"customer_ir_",
                                 "customer_rc5_ir_",
                                 "Customer_ir_",
                                 "0",
                                 "a",
                                 "F",
                                 "9",
                                 "g",
                                 "x",
                                 ".kl",
                                 ".KL",
                                 ".bak",
                                 "-",
                                 " ",
                                 "orvex-ir.kl"};
    for (int i = 0; i < 4000; i++) {
        std::string name = "customer_ir_" + std::to_string(1000 + i) + ".kl";
        if (i % 400 != 0) {
            name.clear();
            for (int n = static_cast<int>(rng() % 8); n >= 0; n--) {
                name += parts[rng() % (sizeof(parts) / sizeof(parts[0]))];
            }
        }
        link(path("customer.kl").c_str(), path("keylayout/" + name.substr(0, 255)).c_str());
    }

    for (int32_t protocol : {k_ir_protocol_nec, k_ir_protocol_rc5}) {
        SCOPED_TRACE(protocol == k_ir_protocol_rc5 ? "RC5" : "NEC");
        ir_protocol_used = protocol;
        std::regex accepted(protocol == k_ir_protocol_rc5 ? "customer_rc5_ir_([0-9a-fA-F]{2})\\.kl"
                                                          : "customer_ir_([0-9a-fA-F]{4})\\.kl");
        std::vector<int> codes;
        DIR *dir = opendir(path("keylayout").c_str());
        for (struct dirent *e = readdir(dir); e != nullptr; e = readdir(dir)) {
            std::cmatch match;
            if (std::regex_match(e->d_name, match, accepted)) {
                codes.push_back(std::stoi(match[1], nullptr, 16));
            }
        }
        closedir(dir);

        int count = init_orvex_ir_map();
        ASSERT_EQ(count, static_cast<int>(std::min<size_t>(codes.size(), 18)));
        for (int t = 0; t < count; t++) {
            EXPECT_EQ(g_customer_maps[t].customer_code, codes[t]) << t;
            EXPECT_EQ(g_customer_maps[t].scancode_map[7], 100) << t;
        }
        EXPECT_TRUE(captured_logs().empty());
    }
}

}  // namespace
