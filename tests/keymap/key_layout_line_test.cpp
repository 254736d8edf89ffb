// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <string>

#include "keymap/key_layout_line.h"

namespace {

TEST(key_layout_line, accepts_only_key_lines_in_range) {
    const std::string name40 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";
    const struct {
        std::string line;
        int32_t scancode;
        std::string name;
    } accepted[] = {
        {"key 1 POWER\n", 1, "POWER"},
        {"   key 2 HOME\n", 2, "HOME"},
        {"\tkey 3 BACK\n", 3, "BACK"},
        {"key\t11\tTABS\r\n", 11, "TABS"},
        {"key 12 CR\r\n", 12, "CR"},
        {"key\v16\fVF", 16, "VF"},
        {"key 8 NAME extra words\n", 8, "NAME"},
        {"key 15 A#B\n", 15, "A#B"},
        {"key 13NAME\n", 13, "NAME"},
        {"key 17 \xc3\xa9t\xc3\xa9\n", 17, "\xc3\xa9t\xc3\xa9"},
        {"key 0 ZERO\n", 0, "ZERO"},
        {"key 255 LAST\n", 255, "LAST"},
        {"key 00000000000000000000000042 LEADING\n", 42, "LEADING"},
        {"key +7 PLUS\n", 7, "PLUS"},
        {"key -0 MINUS_ZERO\n", 0, "MINUS_ZERO"},
        // Decimal only: what ends the number starts the name.
        {"key 0x74 NAME\n", 0, "x74"},
        {"key 1.5 FRACTION\n", 1, ".5"},
        // Words are cut after 31 characters.
        {"key 14 " + name40 + "\n", 14, name40.substr(0, 31)},
        {"key 14 " + name40.substr(0, 31) + "\n", 14, name40.substr(0, 31)},
    };
    for (const auto &c : accepted) {
        SCOPED_TRACE(testing::PrintToString(c.line));
        int32_t scancode = -1;
        char name[32] = "";
        EXPECT_EQ(parse_key_layout_line(c.line.c_str(), &scancode, name, nullptr), 0);
        EXPECT_EQ(scancode, c.scancode);
        EXPECT_EQ(std::string(name), c.name);
    }

    // Nothing outside 0..255 wraps into it; only spaces may stand before a comment's "#"; a
    // long first word is cut too, and its rest taken for the number.
    const std::string rejected[] = {"key 256 OVER\n",
                                    "key -1 UNDER\n",
                                    "key 4294967297 WRAP\n",
                                    "key 4294967296 WRAP\n",
                                    "key -4294967295 WRAP\n",
                                    "key 18446744073709551617 WRAP\n",
                                    "key 99999999999999999999999999999999999999999 WRAP\n",
                                    "key 2560 TEN_TIMES\n",
                                    "key 2550 TEN_TIMES\n",
                                    "key - 5 LONE_SIGN\n",
                                    "key +X\n",
                                    "# key 4 COMMENT\n",
                                    "    # key 4 COMMENT\n",
                                    "\t# key 4 COMMENT\n",
                                    "\t#key 4 COMMENT\n",
                                    "key 9\n",
                                    "key\n",
                                    "key NAME 9\n",
                                    "",
                                    "   \n",
                                    "\r\n",
                                    "KEY 10 UPPER\n",
                                    "keys 10 LONGER\n",
                                    "axis 10 OTHER\n",
                                    "key10 GLUED\n",
                                    "xkey 10 PREFIXED\n",
                                    std::string(31, 'k') + "key 14 NAME\n"};
    for (const std::string &line : rejected) {
        SCOPED_TRACE(testing::PrintToString(line));
        int32_t scancode = 12345;
        char name[32] = "untouched";
        key_line_note_t note = k_line_taken;
        EXPECT_EQ(parse_key_layout_line(line.c_str(), &scancode, name, &note), -1);
        // A comment is said to be one only after spaces alone.
        size_t first = line.find_first_not_of(' ');
        EXPECT_EQ(note == k_line_comment, first != std::string::npos && line[first] == '#');
        EXPECT_EQ(scancode, 12345);
        EXPECT_STREQ(name, "untouched");
    }
}

}  // namespace
