// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/daemon_fixture.h"
#include "tool/tool_run.h"

namespace {

using keymap_tool = daemon_test;

// A box's files under a folder here, as --root reads them: which layout each version takes for
// the virtual keyboard and why, the keys delivered through it, and the .idc's and --root's
// faults, each said once, nothing written where nothing may be.
TEST_F(keymap_tool, check_names_the_file_android_takes_under_a_root) {
    const std::string kl = "/system/usr/keylayout/";
    const std::string aosp = "key 102 MOVE_HOME\nkey 200 MEDIA_PLAY\nkey 28 ENTER\n";
    const std::string own = "key 102 HOME\nkey 200 GUIDE\nkey 28 DPAD_CENTER\n";
    const std::string idc = "/vendor/usr/idc/orvex-ir-uinput.idc";
    const std::string through = " the virtual keyboard's keys through this file: ";
    const bool root = geteuid() == 0;
    const struct {
        std::vector<std::string> files;  // box paths and contents; "/" a folder, "-" mode 000
        std::vector<std::string> args;   // after the command; "ROOT" is the tree
        int status;
        std::vector<std::string> said;  // "PATH: text" with PATH a box path, each said once
    } runs[] = {
        // The vendor's Generic.kl, not AOSP's, without a layout of the virtual keyboard's own.
        {{"/vendor/usr/keylayout/Generic.kl", own, kl + "Generic.kl", aosp},
         {"check", "--root", "ROOT"},
         0,
         {"/vendor/usr/keylayout/Generic.kl: note: Android maps" + through +
              "no orvex-ir-uinput.kl in the folders searched",
          "NEC: 1 table, 3 buttons translated"}},
        {{"/product/usr/keylayout/orvex-ir-uinput.kl", own, kl + "Generic.kl", aosp},
         {"check", "--android", "11", "--root", "ROOT"},
         0,
         {"/product/usr/keylayout/orvex-ir-uinput.kl: note: Android 11 does not search "
          "/product/usr/keylayout",
          kl + "Generic.kl: note: Android 11 maps" + through,
          kl + "orvex-ir.kl:1: warning: HOME (scancode 102) reaches Android 11 as MOVE_HOME, "
               "through /system/usr/keylayout/Generic.kl:1: orvex-ir-uinput.kl with \"key 102 "
               "HOME\" fixes it"}},
        {{idc, "keyboard.layout = mine\n", "/vendor/usr/keylayout/mine.kl", own,
          kl + "orvex-ir-uinput.kl", aosp},
         {"check", "--root", "ROOT"},
         0,
         {"/vendor/usr/keylayout/mine.kl: note: Android maps" + through +
          "named by keyboard.layout at " + idc + ":1"}},
        // A fault of the .idc's: read as Android reads it, said where it is.
        {{idc, "/", kl + "Generic.kl", own},
         {"check", "--android", "9", "--root", "ROOT"},
         0,
         {idc + ": warning: Android 9 takes this .idc, a folder, and cannot read it"}},
        {{idc, "", kl + "orvex-ir-uinput.kl", own},
         {"check", "--root", "ROOT"},
         0,
         {kl + "orvex-ir-uinput.kl: note: Android maps" + through + "the first"}},
        {{idc, std::string("keyboard.layout = a\0b\n", 22), kl + "Generic.kl", own},
         {"check", "--root", "ROOT"},
         0,
         {idc + ":1: warning: Android rejects this .idc whole at this line: more follows the "
                "value"}},
        {{idc, "keyboard.layout = " + std::string(70000, 'x') + "\n", kl + "Generic.kl", own},
         {"check", "--android", "16", "--root", "ROOT"},
         0,
         {idc + ":1: note: Android 16 finds no file " + std::string(60, 'x') + "....kl that"}},
        // A path out of the folders stays under the root, as on the box it stays under "/".
        {{idc, "keyboard.layout = ../../../../../../../../outside\n", "/outside.kl", own,
          kl + "Generic.kl", aosp},
         {"check", "--android", "14", "--root", "ROOT"},
         0,
         {idc + ":1: note: Android 14 looks for ../../../../../../../../outside.kl, a path out of "
                "its key layout folders",
          "/outside.kl: note: Android 14 maps" + through + "named by keyboard.layout"}},
        {{idc, "-", kl + "Generic.kl", own},
         {"check", "--root", "ROOT"},
         0,
         {root ? "" : idc + ": warning: Android passes over this file, which cannot be read"}},
        // The character map is asked first.
        {{kl + "Generic.kl", own, "/system/usr/keychars/Generic.kcm",
          "type FULL\nmap key 28 BACK\n"},
         {"check", "--root", "ROOT"},
         0,
         {kl + "orvex-ir.kl:3: warning: DPAD_CENTER (scancode 28) reaches Android as BACK, "
               "through /system/usr/keychars/Generic.kcm:2, a map key line",
          "/system/usr/keychars/Generic.kcm:2: note: Android delivers scancode 28 as BACK by this "
          "map key line, asking the character map before any layout; the rest of this file is "
          "not judged"}},
        {{kl + "orvex-ir-uinput.kl", "key 102 HOME\nkey 200 NOT_A_LABEL\n",
          kl + "orvex-ir-uinput_fallback.kl", own, kl + "Generic.kl", aosp},
         {"check", "--root", "ROOT"},
         1,
         {kl + "orvex-ir-uinput.kl:2: error: \"NOT_A_LABEL\" is not an Android key label: "
               "Android 9 to 13 refuse this file and use /system/usr/keylayout/Generic.kl for "
               "every key of the device; Android 14 to 16 refuse this file and use "
               "/system/usr/keylayout/orvex-ir-uinput_fallback.kl",
          kl + "orvex-ir-uinput_fallback.kl: note: Android 14 to 16 map" + through +
              "in place of /system/usr/keylayout/orvex-ir-uinput.kl, which fails to load (line 2"}},
        // Written where every version searches, and told when some take another.
        {{"/product/usr/keylayout/orvex-ir-uinput.kl", own, kl + "Generic.kl", aosp},
         {"android-layout", "--root", "ROOT"},
         0,
         {kl + "orvex-ir-uinput.kl: warning: Android 12 to 16 take "
               "/product/usr/keylayout/orvex-ir-uinput.kl (the first orvex-ir-uinput.kl in the "
               "folders searched) for the virtual keyboard instead"}},
        {{}, {"check", "--root", "ROOT/none"}, 2, {}},
        {{}, {"android-layout", "--root", "ROOT/system/usr/keylayout/orvex-ir.kl"}, 2, {}},
    };
    int n = 0;
    for (const auto &run : runs) {
        std::string box = path("box" + std::to_string(n++));
        ASSERT_EQ(system(("mkdir -p '" + box + "/system/usr/keylayout'").c_str()), 0);
        write_file(box.substr(path("").size()) + kl + "orvex-ir.kl", own);
        write_file(box.substr(path("").size()) + kl + "customer_ir_0001.kl",
                   "key 1 HOME\nkey 2 GUIDE\nkey 3 DPAD_CENTER\n");
        for (size_t f = 0; f < run.files.size(); f += 2) {
            std::string file = box + run.files[f];
            ASSERT_EQ(system(("mkdir -p \"$(dirname '" + file + "')\"").c_str()), 0);
            if (run.files[f + 1] == "/") {
                ASSERT_EQ(mkdir(file.c_str(), 0755), 0);
                continue;
            }
            write_file(file.substr(path("").size()),
                       run.files[f + 1] == "-" ? "" : run.files[f + 1]);
            ASSERT_EQ(chmod(file.c_str(), run.files[f + 1] == "-" ? 0 : 0644), 0);
        }
        std::vector<std::string> args = run.args;
        for (std::string &arg : args) {
            arg = arg.compare(0, 4, "ROOT") == 0 ? box + arg.substr(4) : arg;
        }
        args.insert(args.begin() + 1, {"--protocol", "nec"});
        tool_run_t got = run_tool(args);
        SCOPED_TRACE(got.out + got.err);
        EXPECT_EQ(got.status, run.status);
        for (const std::string &said : run.said) {
            int found = 0;
            for (const std::string &line : lines_of(got.out)) {
                found += line.find(said[0] == '/' ? box + said : said) != std::string::npos;
            }
            EXPECT_EQ(found, said.empty() ? found : 1) << said;
        }
        if (run.status == 2) {
            // Nothing written, and why on standard error.
            EXPECT_NE(got.err.find("--root takes the box's file system as a folder: "),
                      std::string::npos);
            EXPECT_EQ(access((box + kl + "orvex-ir-uinput.kl").c_str(), F_OK), -1);
        }
    }
}

}  // namespace
