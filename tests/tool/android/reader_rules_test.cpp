// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tool/android/android.h"
#include "tool/android/reader.h"
#include "tool/android/reader_rules_table.h"

namespace {

std::string sorted(std::vector<std::string> said) {
    std::sort(said.begin(), said.end());
    std::string text;
    for (const std::string &s : said) {
        text += (text.empty() ? "" : " ") + s;
    }
    return text;
}

// What a reading maps, in the facts' notation, sorted: "116=POWER", "axis:2=split:127:22:23".
std::string read_as(const android_layout_t &read) {
    std::vector<std::string> said;
    auto add = [&](const std::string &prefix, int code, const std::string &as) {
        said.push_back(prefix + std::to_string(code) + "=" + as);
    };
    auto text = [](int n) { return std::to_string(n); };
    for (const auto &key : read.labels) {
        add("", key.first, key.second);
    }
    for (const auto &usage : read.usages) {
        add("usage:", usage.first, usage.second);
    }
    for (const auto &entry : read.axes) {
        const android_axis_t &a = entry.second;
        std::string as =
            a.split ? "split:" + text(a.split_value) + ":" + text(a.axis) + ":" + text(a.high_axis)
            : a.invert ? "invert:" + text(a.axis)
                       : text(a.axis);
        add("axis:", entry.first, as + (a.has_flat ? ":flat=" + text(a.flat) : ""));
    }
    for (const auto &led : read.leds) {
        add("led:", led.first, text(led.second));
    }
    for (const auto &led : read.led_usages) {
        add("ledusage:", led.first, text(led.second));
    }
    for (const auto &s : read.sensors) {
        add("sensor:", s.first, text(s.second.first) + ":" + text(s.second.second));
    }
    return sorted(said);
}

// Every rule by which Android's readers differ, as the facts give it for a real box: each row's
// example, at each of its versions and word sizes, is refused, or read as the row says.
TEST(android_reader, follows_every_rule_of_the_facts) {
    int readings = 0;
    for (int i = 0; i < k_reader_rule_row_count; i++) {
        const reader_rule_row_t &row = k_reader_rule_rows[i];
        kernel_config_t kernel = {true, "", {}};
        if (row.kernel[0] != '\0') {
            kernel.config.insert(row.kernel);
        }
        std::istringstream words(row.read_as);
        std::string want = sorted({std::istream_iterator<std::string>(words), {}});
        for (int version = 9; version <= 16; version++) {
            for (int abi : {32, 64}) {
                if ((row.versions & (1u << version)) == 0 || (row.abi != 0 && row.abi != abi)) {
                    continue;
                }
                SCOPED_TRACE(std::string(row.rule) + ": " + testing::PrintToString(row.example) +
                             " as Android " + std::to_string(version) + ", " + std::to_string(abi) +
                             "-bit");
                android_layout_t read;
                read_android_layout(row.example, {version, abi, &kernel}, &read);
                readings++;
                EXPECT_EQ(read.loads, row.accept);
                EXPECT_EQ(row.accept ? read_as(read) : want, want);
            }
        }
    }
    // Not a table left empty.
    EXPECT_GT(readings, 3 * k_reader_rule_row_count);
}

}  // namespace
