// SPDX-License-Identifier: Apache-2.0
#include <errno.h>
#include <gtest/gtest.h>

#include <string>

#include "tool/doctor/selinux_verdict.h"

namespace {

const char k_denial[] =
    "<5>[   12.5] type=1400 audit(1.2:3): avc: denied { read } for pid=301 comm=\"dravoke\" "
    "name=\"event2\" scontext=u:r:dravoke:s0 tcontext=u:object_r:input_device:s0";

TEST(selinux_verdict, counts_from_the_kernel_log_or_names_androids_log) {
    const std::string denial = k_denial;
    const struct {
        std::string log;
        int error;
        int verdict;
        std::string text;
    } rows[] = {
        // Closed to adb shell: the command that reads the same lines from Android's log.
        {"", EPERM, 1,
         "cannot read the kernel log (Operation not permitted): Android's log has the same "
         "denials: logcat -d -b all | grep 'avc: .*dravoke' lists them"},
        {"<6>[    1.0] init: starting dravoke\n", 0, 0, "no denial for dravoke in the kernel log"},
        // Another domain's denial, and one granted, are not the daemon's.
        {"avc: denied { read } scontext=u:r:shell:s0 tcontext=u:r:dravoke:s0\n" + denial +
             "\navc: granted { read } scontext=u:r:dravoke:s0\n" + denial,
         0, 2, "2 denials for dravoke in the kernel log; the first: " + denial},
    };
    for (const auto &row : rows) {
        std::string text;
        EXPECT_EQ(judge_selinux_denials(row.log, row.error, &text), row.verdict) << row.log;
        EXPECT_EQ(text, row.text);
    }
}

}  // namespace
