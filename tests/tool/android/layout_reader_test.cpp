// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <string>

#include "tool/android/android.h"
#include "tool/android/reader.h"

namespace {

constexpr int k_loads = -1;  // no remark at all

// Android's reader, one rule a row, and a row a version where versions differ.
TEST(android_reader, reads_each_rule_as_each_version_does) {
    using namespace std::string_literals;
    const struct {
        std::string text;
        int version;
        int line;     // of the remark expected
        int verdict;  // android_verdict_t, or k_loads
        const char *why;
        int scancode;  // a key it maps, 0 for none
        const char *label;
    } rows[] = {
        // Numbers in any base strtol reads, words split at blanks and NUL bytes.
        {"key 0x74 POWER\n", 9, 0, k_loads, "", 116, "POWER"},
        {"key 0164 POWER\n", 16, 0, k_loads, "", 116, "POWER"},
        {"key 0X74 POWER\n", 9, 0, k_loads, "", 116, "POWER"},
        {"key 0x7F POWER\n", 9, 0, k_loads, "", 127, "POWER"},
        {"key 0XaB POWER\n", 16, 0, k_loads, "", 171, "POWER"},
        {"key 116\0POWER\n\0\n"s, 15, 0, k_loads, "", 116, "POWER"},
        {"\tkey 116 POWER\r\n# comment\n  #key 1 HOME\n", 15, 0, k_loads, "", 116, "POWER"},
        {"key 116 POWER # a comment\n", 15, 0, k_loads, "", 116, "POWER"},
        // "#" is a comment only where a word begins.
        {"key 116 POWER#x\n", 15, 1, k_android_refuses, "\"POWER#x\" is not an Android key label",
         0, ""},
        {"key\n", 15, 1, k_android_refuses, "nothing follows \"key\"", 0, ""},
        {"key 116\n", 15, 1, k_android_refuses, "no key label after 116", 0, ""},
        {"key POWER 116\n", 15, 1, k_android_refuses, "\"POWER\" is not a number Android reads", 0,
         ""},
        // Labels by version.
        {"key 1 EMOJI_PICKER\n", 14, 1, k_android_refuses,
         "\"EMOJI_PICKER\" is an Android key label since Android 15", 0, ""},
        {"key 1 EMOJI_PICKER\nkey 2 SCREENSHOT\n", 15, 0, k_loads, "", 2, "SCREENSHOT"},
        {"key 1 UNKNOWN\n", 13, 1, k_android_refuses, "since Android 14", 0, ""},
        {"key 1 UNKNOWN\n", 14, 0, k_loads, "", 1, "UNKNOWN"},
        {"key 1 VIDEO_APP_1\n", 13, 1, k_android_refuses, "since Android 14", 0, ""},
        {"key 1 F13\n", 15, 1, k_android_refuses,
         "\"F13\" is an Android key label since Android 16", 0, ""},
        {"key 1 KEYCODE_BACK\n", 16, 1, k_android_refuses, "is not an Android key label", 0, ""},
        // Flags by version, and a flag given twice.
        {"key 116 POWER WAKE\n", 10, 1, k_android_refuses,
         "\"WAKE\" is a key flag since Android 11", 0, ""},
        {"key 116 POWER WAKE\n", 11, 0, k_loads, "", 116, "POWER"},
        {"key 116 POWER VIRTUAL WAKE\n", 11, 0, k_loads, "", 116, "POWER"},
        {"key 116 POWER WAKE WAKE\n", 15, 1, k_android_refuses, "\"WAKE\" is given twice", 0, ""},
        {"key 116 POWER FALLBACK_USAGE_MAPPING\n", 14, 1, k_android_refuses, "since Android 15", 0,
         ""},
        {"key 116 POWER FALLBACK_USAGE_MAPPING\n", 15, 0, k_loads, "", 116, "POWER"},
        {"key 116 POWER WAKEUP\n", 16, 1, k_android_refuses,
         "\"WAKEUP\" is not a key flag (FALLBACK_USAGE_MAPPING, ", 0, ""},
        // A scancode or usage mapped twice, however written; the two tables are apart.
        {"key 116 POWER\nkey 0x74 HOME\n", 9, 2, k_android_refuses,
         "\"0x74\" is scancode 116, which line 1 maps already", 116, "POWER"},
        {"key usage 786535 WINDOW\nkey usage 0x0c0067 HOME\n", 15, 2, k_android_refuses,
         "\"0x0c0067\" is usage 786535", 0, ""},
        {"key usage 116 HOME\nkey 116 POWER\n", 15, 0, k_loads, "", 116, "POWER"},
        // A number with more after it: refused by the old readers, read by the new.
        {"key 116abc POWER\n", 11, 1, k_android_refuses, "\"116abc\" is a number with more after",
         0, ""},
        {"key 116abc POWER\n", 15, 1, k_android_reads_otherwise,
         "\"116abc\" is a number with more after it", 116, "POWER"},
        {"key 0x1z POWER\n", 16, 1, k_android_reads_otherwise, "", 1, "POWER"},
        {"key 2147483647 POWER\n", 16, 0, k_loads, "", 2147483647, "POWER"},
        {"key -2147483648 POWER\n", 16, 0, k_loads, "", -2147483647 - 1, "POWER"},
        {"key 2147483648 POWER\n", 16, 1, k_android_reads_otherwise,
         "\"2147483648\" is outside -2147483648 to 2147483647", -2147483647 - 1, "POWER"},
        {"key 0b101 POWER\n", 13, 1, k_android_refuses, "\"0b101\" is a binary number", 0, ""},
        // First words by version.
        {"kye 1 POWER\n", 16, 1, k_android_refuses,
         "\"kye\" is not a keyword of Android's key layouts", 0, ""},
        {"sensor 0x00 ACCELEROMETER X\n", 11, 1, k_android_refuses,
         "\"sensor\" is a keyword of Android's key layouts since Android 12", 0, ""},
        {"sensor 0x00 ACCELEROMETER X\nsensor 1 GYROSCOPE Z\n", 12, 0, k_loads, "", 0, ""},
        {"sensor 0 ACCELEROMETER W\n", 15, 1, k_android_refuses, "\"W\" is not a sensor data index",
         0, ""},
        {"sensor 0 SPEED X\n", 15, 1, k_android_refuses, "\"SPEED\" is not an Android sensor type",
         0, ""},
        {"sensor 0 GRAVITY X\nsensor 0x0 GRAVITY Y Z\n", 15, 2, k_android_refuses,
         "is sensor axis 0, which line 1 maps already", 0, ""},
        {"requires_kernel_config CONFIG_HID_X\n", 13, 1, k_android_refuses, "since Android 14", 0,
         ""},
        {"requires_kernel_config CONFIG_HID_X\nrequires_kernel_config CONFIG_HID_X\n", 14, 2,
         k_android_refuses, "kernel config \"CONFIG_HID_X\" is required already, at line 1", 0, ""},
        {"requires_kernel_config CONFIG_OTHER\n", 14, 1, k_android_refuses,
         "the running kernel lacks \"CONFIG_OTHER\" (=y or =m)", 0, ""},
        {"requires_kernel_config CONFIG_HID_X CONFIG_B\n", 16, 1, k_android_refuses,
         "\"CONFIG_B\" follows where the line should end", 0, ""},
        // Axes: plain, inverted, split, flat; a scancode twice.
        {"axis 1 X\naxis 0x01 Y\n", 9, 2, k_android_refuses, "\"0x01\" is axis 1, which line 1", 0,
         ""},
        {"axis 0 X flat 4\naxis 2 invert RZ\naxis 5 split 0x7f LTRIGGER RTRIGGER flat 2\n", 9, 0,
         k_loads, "", 0, ""},
        {"axis 3 invert\n", 15, 1, k_android_refuses, "an axis label is missing", 0, ""},
        {"axis 3 split 0x7f LTRIGGER\n", 15, 1, k_android_refuses, "an axis label is missing", 0,
         ""},
        {"axis 3 X sharp 2\n", 15, 1, k_android_refuses, "\"sharp\" is not \"flat\"", 0, ""},
        {"axis 3 X flat zz more\n", 15, 1, k_android_refuses, "\"zz\" is not a number", 0, ""},
        {"axis 3 TWIST\n", 15, 1, k_android_refuses, "\"TWIST\" is not an Android axis label", 0,
         ""},
        // An empty flat value: old readers take it as 0; unknown axis labels as X.
        {"axis 3 X flat\n", 13, 1, k_android_reads_otherwise, "nothing follows \"flat\"", 0, ""},
        {"axis 3 X flat\n", 14, 1, k_android_refuses, "nothing follows \"flat\"", 0, ""},
        {"axis 3 TWIST\n", 10, 1, k_android_reads_otherwise,
         "\"TWIST\" is not an Android axis label", 0, ""},
        {"axis 3 SCROLL\n", 10, 1, k_android_reads_otherwise,
         "\"SCROLL\" is an Android axis label since Android 11", 0, ""},
        // LEDs.
        {"led 0 NUM_LOCK\nled usage 0x080001 NUM_LOCK\n", 9, 0, k_loads, "", 0, ""},
        {"led 0 NUM_LOCK extra\n", 15, 1, k_android_refuses,
         "\"extra\" follows where the line should end", 0, ""},
        {"led 1 DISCO\n", 15, 1, k_android_refuses, "\"DISCO\" is not an Android LED label", 0, ""},
        {"led 0x10 CONTROLLER_1\n", 9, 0, k_loads, "", 0, ""},
        {"led 1\n", 13, 1, k_android_reads_otherwise, "no LED label after 1", 0, ""},
        {"led 0 NUM_LOCK\nled 0x00 CAPS_LOCK\n", 15, 2, k_android_refuses,
         "is LED scancode 0, which line 1", 0, ""},
        // Every byte a message quotes is printable, NUL and control bytes escaped.
        {"led 0 NUM_LOCK x\0y\x01z\n"s, 15, 1, k_android_refuses,
         "\"x\\x00y\\x01z\" follows where the line should end", 0, ""},
    };
    // A box whose kernel has one config.
    const kernel_config_t kernel = {true, "", {"CONFIG_HID_X"}};
    for (const auto &row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.text) + " as Android " +
                     std::to_string(row.version));
        android_layout_t read;
        read_android_layout(row.text, {row.version, 64, &kernel}, &read);
        if (row.verdict == k_loads) {
            EXPECT_TRUE(read.remarks.empty()) << read.remarks[0].why;
        } else {
            // One remark a row: a line refused is read no further.
            ASSERT_EQ(read.remarks.size(), 1u);
            EXPECT_EQ(read.remarks[0].line, row.line);
            EXPECT_EQ(read.remarks[0].verdict, row.verdict);
            EXPECT_NE(read.remarks[0].why.find(row.why), std::string::npos) << read.remarks[0].why;
        }
        EXPECT_EQ(read.loads, row.verdict != k_android_refuses);
        if (row.scancode != 0) {
            EXPECT_EQ(read.labels[row.scancode], row.label);
        }
        for (const android_remark_t &remark : read.remarks) {
            for (char c : remark.why) {
                EXPECT_TRUE(c >= 0x20 && c < 0x7f) << remark.why;
            }
        }
    }
}

TEST(android_reader, names_versions_as_messages_say_them) {
    const struct {
        unsigned versions;
        const char *text;
    } rows[] = {
        {android_versions(9, 16), "Android"},
        {android_versions(15, 15), "Android 15"},
        {android_versions(9, 10), "Android 9 and 10"},
        {android_versions(9, 13), "Android 9 to 13"},
        {android_versions(9, 10) | android_versions(14, 16), "Android 9, 10 and 14 to 16"},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(android_versions_text(row.versions), row.text);
    }
    const int sdks[][2] = {{27, 0},  {28, 9},  {29, 10}, {30, 11}, {31, 12}, {32, 12},
                           {33, 13}, {34, 14}, {35, 15}, {36, 16}, {37, 0}};
    for (const auto &sdk : sdks) {
        EXPECT_EQ(android_version_of_sdk(sdk[0]), sdk[1]) << sdk[0];
    }
}

}  // namespace
