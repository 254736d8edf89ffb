// SPDX-License-Identifier: Apache-2.0
// export gives each standard name the Linux key that means it on a remote, by the kernel's
// standard for IR keymaps: what a remote's button sends, not a keyboard's key of that label.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <utility>
#include <vector>

#include "support/daemon_fixture.h"
#include "tool/tool_run.h"

namespace {

using keymap_export = daemon_test;

TEST_F(keymap_export, writes_each_name_as_the_key_a_remote_sends_for_it) {
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"POWER", "KEY_POWER"},
        // A remote's OK, which Android's generic layout leaves unmapped, not the keyboard's
        // KEY_SELECT that Generic.kl gives the centre.
        {"DPAD_CENTER", "KEY_OK"},
        // Not KEY_HOMEPAGE: on a remote KEY_HOME is the home screen, the cursor's MOVE_HOME only
        // on a keyboard.
        {"HOME", "KEY_HOME"},
        {"1", "KEY_NUMERIC_1"},
        {"GUIDE", "KEY_EPG"},
        {"MEDIA_PLAY_PAUSE", "KEY_PLAYPAUSE"},
    };
    std::string layout;
    for (size_t i = 0; i < rows.size(); i++) {
        layout += "key " + std::to_string(i + 1) + " " + rows[i].first + "\n";
    }
    ASSERT_EQ(mkdir(path("box").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(path("out").c_str(), 0755), 0);
    write_file("box/orvex-ir.kl", layout);
    write_file("box/customer_ir_7f80.kl", layout);
    tool_run_t got = run_tool(
        {"export", "--dir", path("box"), "--out", path("out"), path("box/customer_ir_7f80.kl")});
    ASSERT_EQ(got.status, 0) << got.out << got.err;
    std::string keymap = read_whole(path("out/customer_ir_7f80.toml"));
    for (size_t i = 0; i < rows.size(); i++) {
        char line[64];
        snprintf(line, sizeof(line), "0x80%02zx = \"%s\"\n", i + 1, rows[i].second.c_str());
        EXPECT_NE(keymap.find(line), std::string::npos) << rows[i].first << " in\n" << keymap;
    }
}

}  // namespace
