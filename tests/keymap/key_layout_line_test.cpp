#include <gtest/gtest.h>

#include <string>

#include "keymap/key_layout_line.h"

namespace {

struct line_case_t {
    const char *line;
    bool accepted;
    int32_t scancode;
    const char *name;
};

// Lines as a layout file gives them; a rejected line leaves the outputs alone.
const line_case_t k_line_cases[] = {
    {"key 1 POWER\n", true, 1, "POWER"},
    {"   key 2 HOME\n", true, 2, "HOME"},
    {"\tkey 3 BACK\n", true, 3, "BACK"},
    {"key\t11\tTABS\r\n", true, 11, "TABS"},
    {"key 12 CR\r\n", true, 12, "CR"},
    {"key\v16\fVF", true, 16, "VF"},
    {"key 8 NAME extra words\n", true, 8, "NAME"},
    {"key 15 A#B\n", true, 15, "A#B"},
    {"key 13NAME\n", true, 13, "NAME"},
    {"key 17 \xc3\xa9t\xc3\xa9\n", true, 17, "\xc3\xa9t\xc3\xa9"},
    // Range: 0 and 255 are the ends, nothing outside wraps into them.
    {"key 0 ZERO\n", true, 0, "ZERO"},
    {"key 255 LAST\n", true, 255, "LAST"},
    {"key 256 OVER\n", false, 0, nullptr},
    {"key -1 UNDER\n", false, 0, nullptr},
    {"key 4294967297 WRAP\n", false, 0, nullptr},
    {"key 4294967296 WRAP\n", false, 0, nullptr},
    {"key -4294967295 WRAP\n", false, 0, nullptr},
    {"key 18446744073709551617 WRAP\n", false, 0, nullptr},
    {"key 99999999999999999999999999999999999999999 WRAP\n", false, 0, nullptr},
    {"key 2560 TEN_TIMES\n", false, 0, nullptr},
    {"key 00000000000000000000000042 LEADING\n", true, 42, "LEADING"},
    {"key +7 PLUS\n", true, 7, "PLUS"},
    {"key -0 MINUS_ZERO\n", true, 0, "MINUS_ZERO"},
    {"key - 5 LONE_SIGN\n", false, 0, nullptr},
    {"key +X\n", false, 0, nullptr},
    // Decimal only: the "x" ends the number and starts the name.
    {"key 0x74 NAME\n", true, 0, "x74"},
    {"key 1.5 FRACTION\n", true, 1, ".5"},
    // Comments: only spaces may stand before "#".
    {"# key 4 COMMENT\n", false, 0, nullptr},
    {"    # key 4 COMMENT\n", false, 0, nullptr},
    {"\t# key 4 COMMENT\n", false, 0, nullptr},
    {"\t#key 4 COMMENT\n", false, 0, nullptr},
    // Fewer than three items, or another first word.
    {"key 9\n", false, 0, nullptr},
    {"key\n", false, 0, nullptr},
    {"key NAME 9\n", false, 0, nullptr},
    {"", false, 0, nullptr},
    {"   \n", false, 0, nullptr},
    {"\r\n", false, 0, nullptr},
    {"KEY 10 UPPER\n", false, 0, nullptr},
    {"keys 10 LONGER\n", false, 0, nullptr},
    {"axis 10 OTHER\n", false, 0, nullptr},
    {"key10 GLUED\n", false, 0, nullptr},
    {"xkey 10 PREFIXED\n", false, 0, nullptr},
};

TEST(key_layout_line, accepts_only_key_lines_in_range) {
    for (const line_case_t &c : k_line_cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.line)));
        int32_t scancode = 12345;
        char name[32] = "untouched";
        int result = parse_key_layout_line(c.line, &scancode, name);
        if (c.accepted) {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(scancode, c.scancode);
            EXPECT_STREQ(name, c.name);
        } else {
            EXPECT_EQ(result, -1);
            EXPECT_EQ(scancode, 12345);
            EXPECT_STREQ(name, "untouched");
        }
    }
}

TEST(key_layout_line, words_are_cut_after_31_characters) {
    const std::string name40 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";
    struct {
        std::string line;
        bool accepted;
        std::string name;
    } cases[] = {
        {"key 14 " + name40 + "\n", true, name40.substr(0, 31)},
        {"key 14 " + name40.substr(0, 31) + "\n", true, name40.substr(0, 31)},
        {"key 14 " + name40.substr(0, 32) + "\n", true, name40.substr(0, 31)},
        // A long first word is cut too: its rest is then taken for the number.
        {"key" + std::string(28, ' ') + " 14 NAME\n", true, "NAME"},
        {std::string(31, 'k') + "key 14 NAME\n", false, ""},
        {"key 14 " + std::string(1000, 'N') + "\n", true, std::string(31, 'N')},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        int32_t scancode = -1;
        char name[32] = "";
        EXPECT_EQ(parse_key_layout_line(c.line.c_str(), &scancode, name), c.accepted ? 0 : -1);
        if (c.accepted) {
            EXPECT_EQ(scancode, 14);
            EXPECT_EQ(std::string(name), c.name);
        }
    }
}

}  // namespace
