#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "cec/uevent_datagram.h"
#include "support/uevent_source.h"

namespace {

const std::string k_platform_header = "change@/devices/platform/soc/hdmi";
const std::string k_soc_header = "change@/devices/soc.0/1ee0000.hdmi";

// Parses a copy that ends exactly at the datagram's last byte, so that a read beyond the
// data trips AddressSanitizer.
uint32_t parse(const std::string &datagram) {
    std::vector<char> exact(datagram.begin(), datagram.end());
    return find_cec_opcode(exact.data(), exact.size());
}

std::string announcement(const std::string &header, const std::string &cec_msg) {
    return join_uevent_fields({header, "ACTION=change", "DEVPATH=/devices/platform/soc/hdmi",
                               "SUBSYSTEM=hdmi", cec_msg, "SEQNUM=1207"});
}

struct datagram_case_t {
    const char *name;
    std::string datagram;
    uint32_t opcode;
};

TEST(find_cec_opcode, reads_the_fourth_field_after_an_hdmi_header) {
    const datagram_case_t cases[] = {
        {"platform header", announcement(k_platform_header, "CEC_MSG=36"), 0x36},
        {"soc.0 header", announcement(k_soc_header, "CEC_MSG=36"), 0x36},
        {"header after other fields",
         join_uevent_fields({"libudev", "x", k_soc_header, "A", "B", "C", "CEC_MSG=36"}), 0x36},
        {"third field after header",
         join_uevent_fields({k_platform_header, "A", "B", "CEC_MSG=36", "SEQNUM=2"}), 0},
        {"fifth field after header",
         join_uevent_fields({k_platform_header, "A", "B", "C", "SEQNUM=2", "CEC_MSG=36"}), 0},
        {"three fields after header",
         join_uevent_fields({k_platform_header, "A", "B", "CEC_MSG=36"}), 0},
        {"two fields after header", join_uevent_fields({k_platform_header, "CEC_MSG=36", "B"}), 0},
        {"header alone", join_uevent_fields({k_platform_header}), 0},
        {"empty fields count", join_uevent_fields({k_platform_header, "", "", "", "CEC_MSG=36"}),
         0x36},
        // Without its trailing NUL the last field ends with the data.
        {"unterminated last field",
         join_uevent_fields({k_platform_header, "A", "B", "C"}) + "CEC_MSG=36", 0x36},
        {"unterminated short datagram", k_platform_header + std::string(1, '\0') + "A", 0},
        {"unterminated header", k_platform_header, 0},
        {"child device of the HDMI device", announcement(k_platform_header + "/cec", "CEC_MSG=36"),
         0},
        {"header cut short", announcement("change@/devices/platform/soc/hdm", "CEC_MSG=36"), 0},
        {"other action", announcement("add@/devices/platform/soc/hdmi", "CEC_MSG=36"), 0},
        {"other device", announcement("change@/devices/platform/soc/usb", "CEC_MSG=36"), 0},
        {"kernel input uevent",
         join_uevent_fields({"add@/devices/virtual/input/input7", "ACTION=add",
                             "DEVPATH=/devices/virtual/input/input7", "SUBSYSTEM=input",
                             "PRODUCT=19/1/1/4", "SEQNUM=3301"}),
         0},
        {"empty datagram", "", 0},
    };
    for (const datagram_case_t &c : cases) {
        EXPECT_EQ(parse(c.datagram), c.opcode) << c.name;
    }
}

TEST(find_cec_opcode, reads_the_variable_as_scanf_hex) {
    const struct {
        const char *field;
        uint32_t opcode;
    } cases[] = {
        {"CEC_MSG=36", 0x36},
        {"CEC_MSG=0x36", 0x36},
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
        {" CEC_MSG=36", 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(parse(announcement(k_platform_header, c.field)), c.opcode) << c.field;
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
    const std::string tail = join_uevent_fields({"A", "B", "C", "CEC_MSG=36"});
    for (int round = 0; round < 5000; round++) {
        std::vector<std::string> fields;
        int count = static_cast<int>(random() % 8);
        for (int i = 0; i < count; i++) {
            fields.push_back(pieces[random() % pieces.size()]);
        }
        std::string datagram = join_uevent_fields(fields);
        datagram.resize(datagram.empty() ? 0 : random() % (datagram.size() + 1));

        std::string padded = datagram + tail;
        uint32_t with_tail_beyond = find_cec_opcode(padded.data(), datagram.size());
        ASSERT_EQ(parse(datagram), with_tail_beyond) << "round " << round;
    }
}

}  // namespace
