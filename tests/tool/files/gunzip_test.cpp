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
    // Copies of every length at every distance, between runs of random bytes: first one at
    // each distance code's and each length code's first value, after random bytes as long as
    // the distance, that nothing else matches; then random ones.
    std::string copies;
    const size_t first_distances[] = {
        1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
        193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    const size_t first_lengths[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                    31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    for (size_t i = 0; i < 30 + 29; i++) {
        size_t distance = i < 30 ? first_distances[i] : 8;
        size_t length = i < 30 ? 3 + i : first_lengths[i - 30];
        for (size_t n = 0; n < distance; n++) {
            copies += static_cast<char>(random());
        }
        for (size_t n = 0; n < length; n++) {
            copies += copies[copies.size() - distance];
        }
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
