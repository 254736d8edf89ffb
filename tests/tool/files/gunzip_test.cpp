// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "tool/files/files.h"
#include "tool/tool_run.h"

namespace {

// What gzip writes, at its fastest and its best and for bytes it cannot compress (stored
// blocks), reads back as it was; a damaged or oversized file is refused.
TEST(gunzip, reads_what_gzip_writes) {
    std::string config;
    for (int i = 0; i < 4000; i++) {
        config += "CONFIG_OPTION_" + std::to_string(i * 7919 % 4000) + (i % 3 ? "=y\n" : "=m\n");
    }
    std::string noise(70000, '\0');
    std::mt19937 random(34);
    for (char &c : noise) {
        c = static_cast<char>(random());
    }
    // Copies of every length at every distance, between runs of random bytes: first, each after
    // random bytes as long as its distance, that nothing else matches, one at a distance within
    // each distance code (1, 2, 3, 4, 6, 8, 12, 16, ... 32768) and one of each length; then
    // random ones.
    std::string copies;
    auto copy = [&](size_t distance, size_t length) {
        for (size_t n = 0; n < distance; n++) {
            copies += static_cast<char>(random());
        }
        for (size_t n = 0; n < length; n++) {
            copies += copies[copies.size() - distance];
        }
    };
    for (size_t d = 1; d <= 32768; d = d < 4 ? d + 1 : d % 3 == 0 ? d / 3 * 4 : d / 2 * 3) {
        copy(d, 3 + d % 7);
    }
    for (size_t length = 3; length <= 258; length++) {
        copy(8, length);
    }
    while (copies.size() < 300000) {
        size_t length = 3 + random() % 256;
        size_t distance = 1 + random() % std::min<size_t>(copies.size() + 1, 32768);
        for (size_t i = 0; i < length && distance <= copies.size(); i++) {
            copies += copies[copies.size() - distance];
        }
        for (size_t i = random() % 8; i < 8; i++) {
            copies += static_cast<char>(random());
        }
    }
    const struct {
        std::string data;
        const char *options;
    } rows[] = {{config, "-1"}, {config, "-9"}, {"CONFIG_A=y\n", "-6"},
                {"", "-6"},     {noise, "-9"},  {copies, "-6"}};
    for (const auto &row : rows) {
        std::string gz = gzip_of(row.data, row.options);
        ASSERT_FALSE(gz.empty());
        std::string out;
        std::string why;
        EXPECT_EQ(gunzip(gz, row.data.size(), &out, &why), 0) << why;
        EXPECT_TRUE(out == row.data) << row.data.size() << " bytes " << row.options;
        // An extra field in the header, as other writers add, is passed over.
        std::string extra = gz;
        extra[3] = static_cast<char>(extra[3] | 4);
        extra.insert(10, std::string("\x03\x00xyz", 5));
        EXPECT_EQ(gunzip(extra, row.data.size(), &out, &why), 0) << why;
        EXPECT_TRUE(out == row.data) << "with an extra field";
        if (row.data.empty()) {
            continue;
        }
        EXPECT_EQ(gunzip(gz, row.data.size() - 1, &out, &why), -1);
        EXPECT_NE(why.find("over the limit"), std::string::npos) << why;
        for (size_t at : {size_t{0}, size_t{3}, gz.size() / 2, gz.size() - 6}) {
            std::string damaged = gz;
            damaged[at] = static_cast<char>(damaged[at] ^ 0x10);
            EXPECT_EQ(gunzip(damaged, row.data.size(), &out, &why), -1) << at;
        }
        EXPECT_EQ(gunzip(gz.substr(0, gz.size() - 1), row.data.size(), &out, &why), -1);
    }
}

}  // namespace
