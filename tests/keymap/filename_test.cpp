// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/protocol.h"
#include "keymap/keymap.h"
#include "support/daemon_fixture.h"

namespace {

using kl_filename = daemon_test;

TEST_F(kl_filename, accepts_the_active_protocols_names_only) {
    const struct {
        int32_t protocol;
        std::map<std::string, int> accepted;
        std::vector<std::string> rejected;
    } cases[] = {
        {k_ir_protocol_nec,
         {{"customer_ir_00ff.kl", 255},
          {"customer_ir_ABcd.kl", 0xabcd},
          {"customer_ir_0000.kl", 0},
          {"customer_ir_ffff.kl", 65535},
          {"customer_ir_9aF0.kl", 0x9af0}},
         {"customer_ir_0ff.kl", "customer_ir_00fg.kl", "customer_ir_00ff.KL",
          "customer_ir_00ff.kl.bak", "customer_ir_00ff.k", "customer_ir_00ff", "customer_ir_",
          "customer_ir", "", "Customer_ir_00ff.kl", "customer_ir_0x1f.kl", "customer_ir_ 1ff.kl",
          "customer_ir_-1ff.kl", "customer_ir_+1ff.kl", "customer_ir_000ff.kl",
          "xcustomer_ir_00ff.kl", "customer_rc5_ir_1f.kl", "orvex-ir.kl"}},
        {k_ir_protocol_rc5,
         {{"customer_rc5_ir_1f.kl", 31},
          {"customer_rc5_ir_FF.kl", 255},
          {"customer_rc5_ir_00.kl", 0}},
         {"customer_rc5_ir_001f.kl", "customer_rc5_ir_1.kl", "customer_rc5_ir_1g.kl",
          "customer_rc5_ir_1f.KL", "customer_rc5_ir_1f", "customer_RC5_ir_1f.kl",
          "customer_ir_00ff.kl", "customer_ir_1f.kl", "orvex-ir.kl"}},
    };
    for (const auto &c : cases) {
        ir_protocol_used = c.protocol;
        for (const auto &name : c.accepted) {
            EXPECT_EQ(kl_filename_verify(name.first.c_str()), name.second) << name.first;
        }
        for (const std::string &name : c.rejected) {
            EXPECT_EQ(kl_filename_verify(name.c_str()), -1) << name;
        }
    }
}

}  // namespace
