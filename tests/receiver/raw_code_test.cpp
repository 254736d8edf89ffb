#include <gtest/gtest.h>

#include "receiver/raw_code.h"

namespace {

struct raw_case_t {
    int32_t protocol;
    uint32_t value;
    int32_t customer_code;
    int32_t command;
    bool pressed;
};

TEST(raw_code, cuts_customer_command_and_pressed_bit_ignoring_the_rest) {
    const raw_case_t cases[] = {
        {k_ir_protocol_nec, 0x0100ff12, 0x00ff, 0x12, true},
        {k_ir_protocol_nec, 0x0000ff12, 0x00ff, 0x12, false},
        // Bits 25-31 are ignored, the sign bit included.
        {k_ir_protocol_nec, 0xfe00ff12, 0x00ff, 0x12, false},
        {k_ir_protocol_nec, 0xff12345f, 0x1234, 0x5f, true},
        {k_ir_protocol_nec, 0x00000000, 0, 0, false},
        {k_ir_protocol_rc5, 0x01001f3c, 0x1f, 0x3c, true},
        // RC5 ignores bit 7 and bits 13-23 as well.
        {k_ir_protocol_rc5, 0x00ffffbc, 0x1f, 0x3c, false},
        {k_ir_protocol_rc5, 0xff00e0ff, 0x00, 0x7f, true},
    };
    for (const raw_case_t &c : cases) {
        raw_code_t code = decode_raw_code(static_cast<int32_t>(c.value), c.protocol);
        SCOPED_TRACE(testing::Message()
                     << "protocol " << c.protocol << " value 0x" << std::hex << c.value);
        EXPECT_EQ(code.customer_code, c.customer_code);
        EXPECT_EQ(code.command, c.command);
        EXPECT_EQ(code.pressed, c.pressed);
    }
}

}  // namespace
