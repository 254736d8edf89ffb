// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "cec/uevent_datagram.h"
#include "support/uevent_source.h"

namespace {

// Parses a copy that ends exactly at the datagram's last byte, so that a read beyond the
// data trips AddressSanitizer.
uint32_t parse(const std::string &datagram) {
    std::vector<char> exact(datagram.begin(), datagram.end());
    return find_cec_opcode(exact.data(), exact.size());
}

std::string fields(const std::vector<std::string> &fields) {
    return join_uevent_fields(fields);
}

TEST(find_cec_opcode, reads_the_fourth_field_after_an_hdmi_header) {
    const std::string platform = k_platform_header;
    const struct {
        const char *name;
        std::string datagram;
        uint32_t opcode;
    } cases[] = {
        {"platform header", hdmi_uevent(platform), 0x36},
        {"soc.0 header", hdmi_uevent(k_soc_header), 0x36},
        {"header after other fields",
         fields({"libudev", "x", k_soc_header, "A", "B", "C", "CEC_MSG=36"}), 0x36},
        {"third field after header", fields({platform, "A", "B", "CEC_MSG=36", "SEQNUM=2"}), 0},
        {"fifth field after header", fields({platform, "A", "B", "C", "SEQNUM=2", "CEC_MSG=36"}),
         0},
        {"three fields after header", fields({platform, "A", "B", "CEC_MSG=36"}), 0},
        {"two fields after header", fields({platform, "CEC_MSG=36", "B"}), 0},
        {"header alone", fields({platform}), 0},
        {"empty fields count", fields({platform, "", "", "", "CEC_MSG=36"}), 0x36},
        // Without its trailing NUL the last field ends with the data.
        {"unterminated last field", fields({platform, "A", "B", "C"}) + "CEC_MSG=36", 0x36},
        {"unterminated short datagram", platform + std::string(1, '\0') + "A", 0},
        {"unterminated header", platform, 0},
        {"child device of the HDMI device", hdmi_uevent(platform + "/cec"), 0},
        {"header cut short", hdmi_uevent("change@/devices/platform/soc/hdm"), 0},
        {"other action", hdmi_uevent("add@/devices/platform/soc/hdmi"), 0},
        {"other device", hdmi_uevent("change@/devices/platform/soc/usb"), 0},
        {"empty datagram", "", 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(parse(c.datagram), c.opcode) << c.name;
    }
}

TEST(find_cec_opcode, reads_the_variable_as_scanf_hex) {
    const std::pair<const char *, uint32_t> cases[] = {
        {"CEC_MSG=36", 0x36},
        {"CEC_MSG=0x36", 0x36},
        // The prefix goes when a hexadecimal digit follows, 0 included, and at the field's end.
        {"CEC_MSG=0x04", 0x04},
        {"CEC_MSG=0X4", 0x4},
        {"CEC_MSG= \t36", 0x36},
        {"CEC_MSG=36 trailing", 0x36},
        {"CEC_MSG=-36", 0xffffffca},
        {"CEC_MSG=136", 0x136},
        {"CEC_MSG=04", 0x04},
        {"CEC_MSG=ffffffff", 0xffffffff},
        // Wider than 32 bits: no opcode, rather than its low bits 0x36.
        {"CEC_MSG=100000036", 0},
        {"CEC_MSG=", 0},
        {"CEC_MSG=0x", 0},
        {"CEC_MSG=zz", 0},
        {"cec_msg=36", 0},
        {" CEC_MSG=36", 0}};
    for (const auto &c : cases) {
        EXPECT_EQ(parse(hdmi_uevent(k_platform_header, c.first)), c.second) << c.first;
    }
}

// Random datagrams made of the pieces that matter, cut at random lengths: whatever lies
// beyond the length must not change the result (and, under AddressSanitizer, must not be
// read at all).
TEST(find_cec_opcode, never_reads_beyond_the_data) {
    const std::vector<std::string> pieces = {
        k_platform_header, k_soc_header, "CEC_MSG=36", "CEC_MSG=0x", "A", "", "CEC_MSG=",
    };
    std::mt19937 random(20240611);
    const std::string tail = fields({"A", "B", "C", "CEC_MSG=36"});
    for (int round = 0; round < 5000; round++) {
        std::vector<std::string> chosen(random() % 8);
        for (std::string &field : chosen) {
            field = pieces[random() % pieces.size()];
        }
        std::string datagram = fields(chosen);
        datagram.resize(datagram.empty() ? 0 : random() % (datagram.size() + 1));
        std::string padded = datagram + tail;
        ASSERT_EQ(parse(datagram), find_cec_opcode(padded.data(), datagram.size()))
            << "round " << round;
    }
}

}  // namespace
