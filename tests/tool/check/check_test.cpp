// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/kernel_calls.h"
#include "keymap/key_layout_line.h"
#include "keymap/keymap.h"
#include "support/daemon_fixture.h"
#include "tool/tool_run.h"

namespace {

using check_completeness = daemon_test;

// A line of a layout file from a grammar of good lines and near-misses: misspelt keywords,
// missing words, stray bytes, a byte-order mark, no-break spaces, other bases, long lines.
std::string random_line(std::mt19937 &random) {
    auto pick = [&](const std::vector<std::string> &from) { return from[random() % from.size()]; };
    const std::string nbsp = "\xc2\xa0";
    std::string lead = pick({"", "", "  ", "\t", nbsp, "\xef\xbb\xbf", std::string(1, '\0')});
    std::string keyword = pick({"key", "key", "key", "kye", "KEY", "keys", "18", "", "#", "axis",
                                "led", "sensor", "requires_kernel_config", "key" + nbsp});
    std::string number =
        pick({"5", "116", "0", "255", "256", "-1", "0x74", "012", "+7", "", "1.5", "4000"});
    std::string name = pick({"POWER", "DPAD_UP", "HOME", "GUIDE", "POWER" + nbsp, "PO\tWER",
                             "A\x01"
                             "B",
                             "", std::string(40, 'N'), "x74"});
    std::string gap = pick({" ", " ", "\t", nbsp, "  "});
    std::string tail = pick({"", "", " WAKE", "\r", std::string(1100, 'z'), "\x7f"});
    return lead + keyword + gap + number + gap + name + tail + pick({"\n", "\r\n"});
}

// The daemon's reading of a line piece, as its contract gives it: the line up to a NUL,
// "%31s %d %31s" with the first word "key" and the number in 0..255.
bool taken(const std::string &piece) {
    std::string view = piece.substr(0, piece.find('\0'));
    size_t first = view.find_first_not_of(' ');
    if (first != std::string::npos && view[first] == '#') {
        return false;
    }
    char keyword[32];
    char name[32];
    int scancode;
    return sscanf(view.c_str(), "%31s %d %31s", keyword, &scancode, name) == 3 &&
           strcmp(keyword, "key") == 0 && static_cast<unsigned>(scancode) <= 255;
}

// Blank and comment lines are the only ones the daemon may pass over unmentioned.
bool blank_or_comment(const std::string &piece) {
    size_t first = piece.find_first_not_of(" \t\r\n\v\f");
    return first == std::string::npos ||
           (piece[first] == '#' && piece.find_first_not_of(' ') == first);
}

// Layout files from the grammar, read through the daemon's start-up and through check: every
// line the daemon passes over is named at its line, no line it takes is called ignored,
// Android's own keywords give notes, and nothing printed is outside printable ASCII.
TEST_F(check_completeness, every_line_the_daemon_passes_over_is_named) {
    std::mt19937 random(17);
    int lines_checked = 0;
    for (int round = 0; round < 40; round++) {
        std::vector<std::string> standard_lines;
        std::vector<std::string> customer_lines;
        for (int i = 0; i < 25; i++) {
            standard_lines.push_back(random_line(random));
            customer_lines.push_back(random_line(random));
        }
        std::string standard;
        std::string customer;
        for (const std::string &line : standard_lines) {
            standard += line;
        }
        for (const std::string &line : customer_lines) {
            customer += line;
        }
        write_platform(standard, customer);
        reset_daemon_state();
        // The stand-in virtual keyboard accepts every request.
        g_kernel.ioctl = [](int, unsigned long, void *) { return 0; };
        start();

        // The start-up path agrees with the contract the lines are judged by.
        keymap_t expected[k_keymap_size];
        memset(expected, 0, sizeof(expected));
        for (const std::string &line : standard_lines) {
            for (size_t at = 0; at < line.size(); at += k_layout_line_size - 1) {
                std::string piece = line.substr(at, k_layout_line_size - 1);
                char keyword[32];
                char name[32];
                int scancode;
                if (taken(piece) &&
                    sscanf(piece.c_str(), "%31s %d %31s", keyword, &scancode, name) == 3) {
                    expected[scancode].scancode = scancode;
                    strcpy(expected[scancode].name, name);
                }
            }
        }
        for (int i = 1; i < k_keymap_size; i++) {
            EXPECT_EQ(g_base_keymap[i].scancode, expected[i].scancode) << "scancode " << i;
            if (expected[i].scancode != 0) {
                EXPECT_STREQ(g_base_keymap[i].name, expected[i].name) << "scancode " << i;
            }
        }

        tool_run_t run = run_tool({"check", "--protocol", "nec", path("keylayout")});
        for (char c : run.out) {
            ASSERT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7f))
                << "byte " << static_cast<int>(static_cast<unsigned char>(c)) << " in:\n"
                << run.out;
        }
        std::map<std::string, std::vector<std::string>> said;  // "file:line" -> diagnostics
        for (const std::string &line : lines_of(run.out)) {
            size_t colon = line.find(": ");
            std::string place = line.substr(0, colon);
            said[place.substr(place.rfind('/') + 1)].push_back(line.substr(colon + 2));
        }
        const struct {
            const char *file;
            const std::vector<std::string> &lines;
        } files[] = {{"orvex-ir.kl", standard_lines}, {"customer_ir_00ff.kl", customer_lines}};
        for (const auto &file : files) {
            for (size_t n = 0; n < file.lines.size(); n++) {
                const std::string &line = file.lines[n];
                std::string place = std::string(file.file) + ":" + std::to_string(n + 1);
                SCOPED_TRACE(place + " " + testing::PrintToString(line) + "\n" + run.out);
                bool all_taken = true;
                bool passed_over = false;
                for (size_t at = 0; at < line.size(); at += k_layout_line_size - 1) {
                    std::string piece = line.substr(at, k_layout_line_size - 1);
                    all_taken = all_taken && taken(piece);
                    passed_over = passed_over || (!taken(piece) && !blank_or_comment(piece));
                }
                const std::vector<std::string> &diagnostics = said[place];
                if (passed_over) {
                    EXPECT_FALSE(diagnostics.empty());
                }
                char first[32] = "";
                sscanf(line.c_str(), "%31s", first);
                bool android =
                    !all_taken &&
                    (strcmp(first, "axis") == 0 || strcmp(first, "led") == 0 ||
                     strcmp(first, "sensor") == 0 || strcmp(first, "requires_kernel_config") == 0);
                for (const std::string &diagnostic : diagnostics) {
                    if (all_taken) {
                        EXPECT_EQ(diagnostic.find("line ignored"), std::string::npos);
                    }
                    // Of a whole, plain line of Android's the daemon's side says only a note;
                    // the rest is Android's own reading of it.
                    if (android && line.size() < k_layout_line_size &&
                        line.find('\0') == std::string::npos) {
                        EXPECT_TRUE(diagnostic.compare(0, 6, "note: ") == 0 ||
                                    diagnostic.find("Android") != std::string::npos);
                    }
                }
                lines_checked++;
            }
        }
    }
    printf("check completeness: %d lines checked\n", lines_checked);
}

}  // namespace
