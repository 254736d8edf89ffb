#include <gtest/gtest.h>

#include "core/protocol.h"
#include "keymap/keymap.h"
#include "support/daemon_fixture.h"

namespace {

using kl_filename = daemon_test;

struct name_case_t {
    int32_t protocol;
    const char *name;
    int code;
};

const name_case_t k_name_cases[] = {
    {k_ir_protocol_nec, "customer_ir_00ff.kl", 255},
    {k_ir_protocol_nec, "customer_ir_ABcd.kl", 43981},
    {k_ir_protocol_nec, "customer_ir_0000.kl", 0},
    {k_ir_protocol_nec, "customer_ir_ffff.kl", 65535},
    {k_ir_protocol_nec, "customer_ir_9aF0.kl", 0x9af0},
    {k_ir_protocol_nec, "customer_ir_0ff.kl", -1},
    {k_ir_protocol_nec, "customer_ir_00fg.kl", -1},
    {k_ir_protocol_nec, "customer_ir_00ff.KL", -1},
    {k_ir_protocol_nec, "customer_ir_00ff.kl.bak", -1},
    {k_ir_protocol_nec, "customer_ir_00ff.k", -1},
    {k_ir_protocol_nec, "customer_ir_00ff", -1},
    {k_ir_protocol_nec, "customer_ir_", -1},
    {k_ir_protocol_nec, "customer_ir", -1},
    {k_ir_protocol_nec, "", -1},
    {k_ir_protocol_nec, "Customer_ir_00ff.kl", -1},
    {k_ir_protocol_nec, "customer_ir_0x1f.kl", -1},
    {k_ir_protocol_nec, "customer_ir_ 1ff.kl", -1},
    {k_ir_protocol_nec, "customer_ir_-1ff.kl", -1},
    {k_ir_protocol_nec, "customer_ir_+1ff.kl", -1},
    {k_ir_protocol_nec, "customer_ir_000ff.kl", -1},
    {k_ir_protocol_nec, "xcustomer_ir_00ff.kl", -1},
    {k_ir_protocol_nec, "customer_rc5_ir_1f.kl", -1},
    {k_ir_protocol_nec, "orvex-ir.kl", -1},
    {k_ir_protocol_rc5, "customer_rc5_ir_1f.kl", 31},
    {k_ir_protocol_rc5, "customer_rc5_ir_FF.kl", 255},
    {k_ir_protocol_rc5, "customer_rc5_ir_00.kl", 0},
    {k_ir_protocol_rc5, "customer_rc5_ir_001f.kl", -1},
    {k_ir_protocol_rc5, "customer_rc5_ir_1.kl", -1},
    {k_ir_protocol_rc5, "customer_rc5_ir_1g.kl", -1},
    {k_ir_protocol_rc5, "customer_rc5_ir_1f.KL", -1},
    {k_ir_protocol_rc5, "customer_rc5_ir_1f", -1},
    {k_ir_protocol_rc5, "customer_RC5_ir_1f.kl", -1},
    {k_ir_protocol_rc5, "customer_ir_00ff.kl", -1},
    {k_ir_protocol_rc5, "customer_ir_1f.kl", -1},
    {k_ir_protocol_rc5, "orvex-ir.kl", -1},
};

TEST_F(kl_filename, accepts_the_active_protocols_names_only) {
    for (const name_case_t &c : k_name_cases) {
        SCOPED_TRACE(std::string(c.name) + (c.protocol == k_ir_protocol_rc5 ? " (RC5)" : " (NEC)"));
        ir_protocol_used = c.protocol;
        EXPECT_EQ(kl_filename_verify(c.name), c.code);
    }
}

}  // namespace
