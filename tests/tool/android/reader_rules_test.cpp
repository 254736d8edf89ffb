#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tool/android/android.h"
#include "tool/android/reader_rules_table.h"

namespace {

// What a reading maps, in the facts' notation, sorted: "116=POWER", "axis:2=split:127:22:23".
std::string read_as(const android_layout_t &read) {
    std::vector<std::string> said;
    auto add = [&](const std::string &prefix, int code, const std::string &as) {
        said.push_back(prefix + std::to_string(code) + "=" + as);
    };
    for (const auto &key : read.labels) {
        add("", key.first, key.second);
    }
    for (const auto &usage : read.usages) {
        add("usage:", usage.first, usage.second);
    }
    for (const auto &entry : read.axes) {
        const android_axis_t &a = entry.second;
        std::string as = a.split ? "split:" + std::to_string(a.split_value) + ":" +
                                       std::to_string(a.axis) + ":" + std::to_string(a.high_axis)
                         : a.invert ? "invert:" + std::to_string(a.axis)
                                    : std::to_string(a.axis);
        add("axis:", entry.first, as + (a.has_flat ? ":flat=" + std::to_string(a.flat) : ""));
    }
    for (const auto &led : read.leds) {
        add("led:", led.first, std::to_string(led.second));
    }
    for (const auto &led : read.led_usages) {
        add("ledusage:", led.first, std::to_string(led.second));
    }
    for (const auto &sensor : read.sensors) {
        add("sensor:", sensor.first,
            std::to_string(sensor.second.first) + ":" + std::to_string(sensor.second.second));
    }
    std::sort(said.begin(), said.end());
    std::string text;
    for (const std::string &s : said) {
        text += (text.empty() ? "" : " ") + s;
    }
    return text;
}

std::string sorted(const std::string &read_as) {
    std::istringstream words(read_as);
    std::vector<std::string> said{std::istream_iterator<std::string>(words), {}};
    std::sort(said.begin(), said.end());
    std::string text;
    for (const std::string &s : said) {
        text += (text.empty() ? "" : " ") + s;
    }
    return text;
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
        for (int version = 9; version <= 16; version++) {
            for (int abi : {32, 64}) {
                if ((row.versions & (1u << version)) == 0 || (row.abi != 0 && row.abi != abi)) {
                    continue;
                }
                SCOPED_TRACE(std::string(row.rule) + ": " + testing::PrintToString(row.example) +
                             " as Android " + std::to_string(version) + " on a " +
                             std::to_string(abi) + "-bit box");
                android_layout_t read;
                read_android_layout(row.example, {version, abi, &kernel}, &read);
                readings++;
                EXPECT_EQ(read.loads, row.accept)
                    << (read.remarks.empty() ? "" : read.remarks[0].why);
                if (row.accept) {
                    EXPECT_EQ(read_as(read), sorted(row.read_as));
                }
            }
        }
    }
    // 123 rows, each of several versions, most of both word sizes.
    EXPECT_GT(readings, 3 * k_reader_rule_row_count);
}

}  // namespace
