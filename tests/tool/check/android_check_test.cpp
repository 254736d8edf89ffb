// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>
#include <unistd.h>

#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <cutils/properties.h>

#include "support/daemon_fixture.h"
#include "tool/android/android.h"
#include "tool/android/reader.h"
#include "tool/tool_run.h"

namespace {

using keymap_tool = daemon_test;

// What turns on the box beyond the version: a number past 32 bits on each word size, off the box
// and on it, where the tool's own is the box's; a required kernel config, against the kernel's
// configuration where the box lets the tool read it.
TEST_F(keymap_tool, check_judges_the_word_size_and_the_kernel) {
    write_file("keylayout/orvex-ir.kl", "key 57 SPACE\n");
    write_file("keylayout/customer_ir_0001.kl", "key 1 SPACE\n");
    const std::string file = path("keylayout/orvex-ir-uinput.kl") + ":1: ";
    const char *number = "key 4294967353 SPACE\n";
    const char *needs = "requires_kernel_config CONFIG_HID_X\nkey 57 SPACE\n";
    const std::string range = "\"4294967353\" is outside -2147483648 to 2147483647: ";
    const std::string refuse = "Generic.kl for every key of the device";
    const std::string config =
        "\"CONFIG_HID_X\" is required of the kernel: Android 14 uses this "
        "file only on a kernel that has it (=y or =m), not known";
    const struct {
        const char *sdk;     // "" off the box
        const char *config;  // the kernel's, gzipped into /proc/config.gz; null: none there
        const char *layout;
        const char *args;  // before the folder
        std::string said;  // "" for nothing
    } runs[] = {
        {"", nullptr, number, "--android 14",
         "error: " + range + "Android 14 on a 32-bit box refuses this file and uses " + refuse +
             "; Android 14 on a 64-bit box takes it as 57"},
        {"", nullptr, number, "--android 12L --abi 64",
         "warning: " + range + "Android 12 takes it as 57"},
        {"", nullptr, number, "--abi 32",
         "error: " + range + "Android 14 to 16 refuse this file and use " + refuse +
             "; Android 9 to 13 take it as 2147483647"},
        // On the box the tool's own word size is the box's.
        {"34", nullptr, number, "",
         sizeof(long) == 4 ? "error: " + range + "Android 14 refuses"
                           : "warning: " + range + "Android 14 takes it as 57"},
        {"", nullptr, needs, "--android 14", "warning: " + config + " off the box"},
        {"34", "CONFIG_HID_X=m\n", needs, "", ""},
        {"34", "CONFIG_HID_X=n\n# CONFIG_A is not set\n", needs, "",
         "error: the running kernel lacks \"CONFIG_HID_X\" (=y or =m): Android 14 refuses"},
        {"34", nullptr, needs, "",
         "warning: " + config + ": " + path("config.gz") + ": No such file or directory"},
    };
    std::string kernel_config = path("config.gz");
    g_kernel_config_file = kernel_config.c_str();
    for (const auto &run : runs) {
        write_file("keylayout/orvex-ir-uinput.kl", run.layout);
        unlink(kernel_config.c_str());
        if (run.config != nullptr) {
            write_file("config.gz", gzip_of(run.config, "-9"));
        }
        EXPECT_EQ(property_set("ro.build.version.sdk", run.sdk), 0);
        std::vector<std::string> args = {"check", "--protocol", "nec"};
        std::istringstream more(run.args);
        args.insert(args.end(), std::istream_iterator<std::string>(more), {});
        args.push_back(path("keylayout"));
        tool_run_t got = run_tool(args);
        int said = 0;  // lines about line 1 that say it
        for (const std::string &line : lines_of(got.out)) {
            said += line.compare(0, file.size(), file) == 0 &&
                    line.compare(file.size(), run.said.size(), run.said) == 0;
        }
        EXPECT_EQ(said, run.said.empty() ? 0 : 1) << got.out;
        EXPECT_EQ(got.status, run.said.compare(0, 5, "error") == 0 ? 1 : 0) << got.out;
    }
    host_properties_clear();
    g_kernel_config_file = "/proc/config.gz";
}

}  // namespace
