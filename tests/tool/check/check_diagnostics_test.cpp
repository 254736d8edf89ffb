// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <cutils/properties.h>

#include "support/daemon_fixture.h"
#include "tool/tables/tables.h"
#include "tool/tool_run.h"

namespace {

using keymap_tool = daemon_test;

TEST_F(keymap_tool, check_reports_each_mistake_at_its_place) {
    const std::string long_name(40, 'N');
    const std::string customer =
        "key 18 POWER\n"     // 1
        "key 6 DPAD_DWN\n"   // 2: misspelt
        "key 7 Dpad_Left\n"  // 3: letter case
        "key 5 DPAD_UP\n"    // 4: named again at 9
        "KEY 9 BACK\n"       // 5
        "key 10\n"           // 6
        "key 11 " +
        long_name +
        "\n"  // 7
        "key 12 " +
        std::string(1100, 'x') +
        "\n"                     // 8
        "key 5 DPAD_UP\n"        // 9
        "key 20 x74\n"           // 10: standard has it at 0 only
        "key 21 GUIDE\n"         // 11: on an ignored standard line
        "key 22 = DPAD_UP\n"     // 12: the name is "="
        "key 23 KEY_BACK\n"      // 13: a Linux key name
        "key 24 KEYCODE_BACK\n"  // 14: an Android key code name
        "key 25 A\001B\n"        // 15: a byte that does not print
        "key 26 HOME\n"          // 16: on a standard line a later one overrides
        "key 27 kye\n";          // 17: the keyword of an ignored line, not a name on it
    write_file("keylayout/orvex-ir.kl", k_fixture_standard);
    write_file("keylayout/customer_ir_80ff.kl", customer);
    write_file("keylayout/customer_ir_80FF.kl", "key 1 POWER\n");
    write_file("keylayout/customer_ir_1234.kl", "\xef\xbb\xbfkey 1 NOTHING_LIKE_IT\n");
    write_file("keylayout/customer_ir_0000.kl", "# to come\n\n");
    // On the box the daemon reads as nobody, whoever runs check: the owner's bits, else the
    // group's, else the others' decide.
    ASSERT_EQ(chmod(path("keylayout/customer_ir_80FF.kl").c_str(), 0), 0);
    ASSERT_EQ(chmod(path("keylayout").c_str(), 0744), 0);
    bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(path("keylayout/customer_ir_0000.kl").c_str(), 9999, 0), 0);
        ASSERT_EQ(chmod(path("keylayout/customer_ir_0000.kl").c_str(), 0044), 0);
        ASSERT_EQ(chown(path("keylayout/customer_ir_1234.kl").c_str(), 0, 1004), 0);
        ASSERT_EQ(chmod(path("keylayout/customer_ir_1234.kl").c_str(), 0604), 0);
    }
    for (const char *near_miss :
         {"customer_ir_80ff.KL", "customer-ir_80ff.kl", "customer_ir_fff.kl",
          "customer_ir_0x5678.kl", "customer_ir_07f80.kl", "customer_rc5_ir_0x0.kl"}) {
        write_file(std::string("keylayout/") + near_miss, "key 1 POWER\n");
    }
    write_file("keylayout/customer_rc5_ir_05.kl", "key 1 POWER\n");
    write_file("keylayout/customer_rc5_ir_25.kl", "key 1 POWER\n");
    // Nineteen remotes: which 18 are read hangs on the listing order.
    ASSERT_EQ(mkdir(path("many").c_str(), 0755), 0);
    write_file("many/orvex-ir.kl", "key 200 GUIDE\n");
    for (int i = 0; i < 19; i++) {
        char name[64];
        snprintf(name, sizeof(name), "many/customer_ir_%04x.kl", i);
        write_file(name, "key 1 GUIDE\n");
    }
    ASSERT_EQ(mkdir(path("bare").c_str(), 0755), 0);
    write_file("bare/customer_ir_0001.kl", "key 1 POWER\n");
    // The virtual keyboard's layout made of the key lines of the standard one.
    ASSERT_EQ(mkdir(path("traps").c_str(), 0755), 0);
    write_file("traps/orvex-ir.kl", "key 102 HOME\nkey 223 TV_PLAY\n");
    write_file("traps/orvex-ir-uinput.kl", "key 102 HOME\nkey 223 TV_PLAY\n");
    write_file("traps/customer_ir_0001.kl", "key 1 HOME\nkey 2 TV_PLAY\n");
    // A listed customer file the daemon cannot open; a layout too large to be one.
    ASSERT_EQ(mkdir(path("broken").c_str(), 0755), 0);
    write_file("broken/orvex-ir.kl", "key 116 POWER\n");
    ASSERT_EQ(symlink("gone.kl", path("broken/customer_ir_0002.kl").c_str()), 0);
    ASSERT_EQ(mkdir(path("broken/customer_ir_0003.kl").c_str(), 0755), 0);  // opens, never reads
    write_file("broken/orvex-ir-uinput.kl", "");
    ASSERT_EQ(truncate(path("broken/orvex-ir-uinput.kl").c_str(), (1 << 20) + 1), 0);

    const struct {
        std::vector<std::string> args;  // the folder first
        int status;
        std::string summary;
    } runs[] = {
        {{"keylayout", "--protocol", "nec"}, 1, "NEC: 4 tables,"},
        {{"keylayout", "--protocol=rc5"}, 1, "RC5: 2 tables, 2 buttons translated"},
        {{"many", "--protocol", "nec"}, 1, "NEC: 18 tables, 18 buttons translated"},
        {{"bare", "--protocol", "nec"},
         1,
         "NEC: 1 table, 0 buttons translated (NEC from --protocol; Android 9 to 16, without "
         "--android; 32- and 64-bit boxes, without --abi); 0 warnings, 1 error"},
        {{"many"}, 1, "RC5: 0 tables, 0 buttons translated (NEC and RC5:"},
        {{"bare", "--protocol", "rc5"}, 1, "1 warning, 2 errors"},
        {{"traps", "--protocol", "nec"}, 1, "2 buttons translated (NEC from --protocol; Android"},
        {{"broken", "--protocol", "nec"}, 1, "NEC: 2 tables, 0 buttons translated"},
    };
    const struct {
        int run;
        const char *file;  // "*": any file of the folder
        int line;
        const char *diagnostic;
    } expected[] = {
        {0, "customer_ir_80ff.KL", 0,
         "warning: not read: the name of a NEC customer layout must "
         "end in \".kl\", in lower case (customer_ir_80ff.kl exists"},
        {0, "customer-ir_80ff.kl", 0, "begin with \"customer_ir_\" exactly"},
        {0, "customer_ir_fff.kl", 0,
         "exactly 4 hexadecimal digits (did you mean customer_ir_0fff.kl?)"},
        {0, "customer_rc5_ir_05.kl", 0,
         "not read: a layout for RC5 remotes, and the receiver decodes NEC"},
        {0, "customer_ir_80ff.kl", 2,
         "warning: \"DPAD_DWN\" is not in orvex-ir.kl: button 6 does "
         "nothing (did you mean \"DPAD_DOWN\"?)"},
        {0, "customer_ir_80ff.kl", 3, "(did you mean \"DPAD_LEFT\"?)"},
        {0, "customer_ir_80ff.kl", 4, "scancode 5 is named again at line 9, which wins"},
        {0, "customer_ir_80ff.kl", 5, "\"KEY\" is not \"key\""},
        {0, "customer_ir_80ff.kl", 6, "not \"key N NAME\" with a decimal N"},
        {0, "customer_ir_80ff.kl", 7, "cut to \"NNNNNNNNNNNNNNNNNNNNNNNNNNNNNNN\""},
        {0, "customer_ir_80ff.kl", 8, "line longer than 1023 characters"},
        {0, "customer_ir_80ff.kl", 10, "orvex-ir.kl names \"x74\" only at scancode 0"},
        {0, "", 0,
         "error: customer code 0x80ff has two files, customer_ir_80FF.kl and "
         "customer_ir_80ff.kl: the daemon uses whichever the box's folder lists first"},
        {0, "customer_ir_80FF.kl", 0, "error: mode ---------- "},
        {0, "customer_ir_1234.kl", 0,
         "error: translates no button: the file has no \"key\" line that"},
        {0, "customer_ir_0000.kl", 0, "error: translates no button: the file has no \"key\" line"},
        {0, "customer_ir_0x5678.kl", 0, "(did you mean customer_ir_5678.kl?)"},
        {0, "customer_ir_07f80.kl", 0, "(did you mean customer_ir_7f80.kl?)"},
        {0, "customer_rc5_ir_0x0.kl", 0, "(did you mean customer_rc5_ir_00.kl?)"},
        {0, "customer_ir_80ff.kl", 15, "the name \"A\\x01B\" holds bytes outside printable ASCII"},
        {0, "customer_ir_80ff.kl", 16,
         "\"HOME\" is on orvex-ir.kl:7, whose scancode 0 line 9 names again: button 26 does "
         "nothing"},
        {0, "customer_ir_80ff.kl", 17, "\"kye\" is not in orvex-ir.kl: button 27 does nothing"},
        {0, "", 0, "cannot open the files in it, so the daemon reads none of them: make it 0755"},
        {root ? 0 : -1, "customer_ir_0000.kl", 0,
         "error: mode ----r--r-- nobody root: the service (user nobody, groups uhid input) cannot "
         "read it"},
        {root ? 0 : -1, "customer_ir_1234.kl", 0, "error: mode -rw----r-- root input: "},
        {7, "customer_ir_0002.kl", 0,
         "error: cannot open: No such file or directory: the daemon builds an empty table for "
         "customer 0x0002"},
        {7, "customer_ir_0003.kl", 0,
         "error: read error: Is a directory: the daemon builds an empty table for customer 0x0003"},
        {7, "orvex-ir-uinput.kl", 0,
         "warning: cannot be read here (1048577 bytes, over the limit of 1048576 bytes)"},
        {0, "customer_ir_80ff.kl", 12, "(did you mean \"key 22 DPAD_UP\"?)"},
        {0, "customer_ir_80ff.kl", 13, "(did you mean \"BACK\"?)"},
        {0, "customer_ir_80ff.kl", 14, "(did you mean \"BACK\"?)"},
        {0, "orvex-ir.kl", 5, "\"BACK\" is also scancode 4 (line 6), the lowest, which wins"},
        {0, "orvex-ir.kl", 7, "scancode 0 is named again at line 9"},
        {0, "orvex-ir.kl", 8, "\"#\" after a tab is not a comment"},
        {0, "orvex-ir.kl", 9,
         "\"0x74\" is read as scancode 0 named \"x74\": scancodes are "
         "decimal (0x74 is 116)"},
        {0, "orvex-ir.kl", 9,
         "scancode 0 is never a translation target: customer buttons named \"x74\" do nothing"},
        {0, "orvex-ir.kl", 10, "scancode 300 is outside 0 to 255"},
        {0, "orvex-ir.kl", 12, "warning: line ignored: its first word is \"kye\", not \"key\""},
        {0, "orvex-ir.kl", 13, "its first word is \"18\", not \"key\" (\"key\" left out?)"},
        {0, "orvex-ir.kl", 14,
         "its first word is \"\\xc2\\xa0key\", not \"key\" (it holds bytes that do not print)"},
        {0, "orvex-ir.kl", 16, "note: line ignored: an Android \"axis\" line"},
        {0, "customer_ir_80ff.kl", 11,
         "\"GUIDE\" is on orvex-ir.kl:15, which is ignored (scancode 400 is outside 0 to 255)"},
        {0, "customer_ir_1234.kl", 1, "begins with a UTF-8 byte-order mark"},
        {1, "customer_rc5_ir_25.kl", 0,
         "customer code 0x25 never arrives: an RC5 address has 5 bits"},
        {1, "customer_ir_80ff.kl", 0,
         "not read: a layout for NEC remotes, and the receiver decodes RC5"},
        {2, "", 0,
         "error: 19 NEC customer files, and the daemon reads 18: which 18 depends on the order "
         "the box's folder lists them, the others are never used; keep 18 at most: "
         "customer_ir_0000.kl, customer_ir_0001.kl"},
        {4, "", 0, "note: no RC5 customer layout (customer_rc5_ir_XX.kl)"},
        {5, "orvex-ir.kl", 0, "error: cannot open: No such file or directory: the standard layout"},
        {5, "", 0, "error: no RC5 customer layout (customer_rc5_ir_XX.kl): the daemon stops"},
        {5, "customer_ir_0001.kl", 0, "not read: a layout for NEC remotes"},
        {0, "orvex-ir.kl", 11,
         "error: \"TV_PLAY\" is not an Android key label: Android refuses this file and uses "
         "Generic.kl for every key of the device"},
        {6, "orvex-ir-uinput.kl", 2, "error: \"TV_PLAY\" is not an Android key label"},
        {6, "orvex-ir.kl", 1,
         "warning: HOME (scancode 102) reaches Android as MOVE_HOME, through Generic.kl, as "
         "Android refuses orvex-ir-uinput.kl: mend it, with \"key 102 HOME\""},
        {6, "orvex-ir.kl", 2,
         "TV_PLAY (scancode 223) reaches Android as no key (KEYCODE_UNKNOWN), through "
         "Generic.kl, as Android refuses orvex-ir-uinput.kl: no layout can deliver \"TV_PLAY\""},
        {0, "orvex-ir.kl", 9, "error: \"0x74\" is scancode 116, which line 1 maps already"},
        {0, "orvex-ir.kl", 12, "error: \"kye\" is not a keyword of Android's key layouts"},
        {0, "orvex-ir.kl", 17,
         "not an Android key label: Android refuses this file and uses "
         "Generic.kl for every key of the device (did you mean \"SETTINGS\"?)"},
        {2, "orvex-ir.kl", 1,
         "warning: GUIDE (scancode 200) reaches Android as MEDIA_PLAY, through Generic.kl: "
         "orvex-ir-uinput.kl with \"key 200 GUIDE\" fixes it"},
    };

    std::vector<std::vector<std::string>> outputs;
    for (const auto &run : runs) {
        std::vector<std::string> args = run.args;
        args[0] = path(args[0]);
        args.insert(args.begin(), "check");
        tool_run_t got = run_tool(args);
        SCOPED_TRACE(got.out + got.err);
        EXPECT_EQ(got.status, run.status);
        outputs.push_back(lines_of(got.out));
        ASSERT_FALSE(outputs.back().empty());
        EXPECT_NE(outputs.back().back().find(run.summary), std::string::npos);
    }
    for (const auto &e : expected) {
        if (e.run < 0) {
            continue;  // the owner or group of a file is given only by root
        }
        std::string folder = path(runs[e.run].args[0]);
        std::string place = folder + (e.file[0] == '\0' ? "" : "/") +
                            (strcmp(e.file, "*") == 0 ? "" : e.file) +
                            (e.line > 0 ? ":" + std::to_string(e.line) : "");
        int found = 0;
        for (const std::string &line : outputs[e.run]) {
            bool here = strcmp(e.file, "*") == 0
                            ? line.compare(0, place.size(), place) == 0
                            : line.compare(0, place.size() + 2, place + ": ") == 0;
            found += here && line.find(e.diagnostic) != std::string::npos;
        }
        EXPECT_EQ(found, 1) << "run " << e.run << ": " << place << ": " << e.diagnostic;
    }
}

// Each Android version judged as it reads the layouts: Generic.kl's every difference between 15
// and 16 shows under the version it wrongs, a label newer than the box's is refused on the box,
// and android-layout leaves out what the versions judged would refuse.
TEST_F(keymap_tool, check_judges_each_android_version) {
    std::string standard;
    std::string customer;
    std::vector<int> differing;
    for (int i = 0; i < k_generic_kl_count; i++) {
        const generic_kl_key_t &key = k_generic_kl[i];
        if (key.scancode > 0 && key.scancode < 256 && strcmp(key.labels[0], key.labels[1]) != 0) {
            const char *name = key.labels[0][0] != '\0' ? key.labels[0] : key.labels[1];
            standard += "key " + std::to_string(key.scancode) + " " + name + "\n";
            customer += "key " + std::to_string(differing.size()) + " " + name + "\n";
            differing.push_back(key.scancode);
        }
    }
    ASSERT_GE(differing.size(), 10u);
    ASSERT_EQ(mkdir(path("generic").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(path("box").c_str(), 0755), 0);
    write_file("generic/orvex-ir.kl", standard);
    write_file("generic/customer_ir_0001.kl", customer);
    std::vector<std::string> said[2];
    for (int v = 0; v < 2; v++) {
        tool_run_t got = run_tool(
            {"check", "--protocol", "nec", "--android", std::to_string(15 + v), path("generic")});
        said[v] = lines_of(got.out);
    }
    for (size_t n = 0; n < differing.size(); n++) {
        std::string place = path("generic/orvex-ir.kl") + ":" + std::to_string(n + 1) + ": ";
        int warned = 0;
        for (int v = 0; v < 2; v++) {
            for (const std::string &line : said[v]) {
                warned +=
                    line.compare(0, place.size(), place) == 0 &&
                    line.find("reaches Android " + std::to_string(15 + v)) != std::string::npos;
            }
        }
        EXPECT_EQ(warned, 1) << "scancode " << differing[n];
    }

    // On the box its own version is judged: 33 is Android 13, which lacks VIDEO_APP_1.
    write_file("box/orvex-ir.kl", "key 116 POWER\nkey 50 VIDEO_APP_1\n");
    write_file("box/customer_ir_0001.kl", "key 1 POWER\nkey 2 VIDEO_APP_1\n");
    ASSERT_EQ(property_set("ro.build.version.sdk", "33"), 0);
    tool_run_t box = run_tool({"check", "--protocol", "nec", path("box")});
    const std::string made = path("box/made");
    ASSERT_EQ(mkdir(made.c_str(), 0755), 0);
    tool_run_t written = run_tool({"android-layout", "--dir", path("box"), "--out", made});
    host_properties_clear();
    EXPECT_EQ(box.status, 1);
    EXPECT_NE(box.out.find("orvex-ir.kl:2: error: \"VIDEO_APP_1\" is an Android key label since "
                           "Android 14: Android 13 refuses this file"),
              std::string::npos)
        << box.out;
    // The tool runs in the box's userspace: its own long is the box's.
    EXPECT_NE(
        box.out.find("(NEC from --protocol; Android 13 from ro.build.version.sdk 33; a " +
                     std::to_string(sizeof(long) * 8) + "-bit box, the tool's own word size)"),
        std::string::npos)
        << box.out;
    EXPECT_NE(written.out.find("\"VIDEO_APP_1\" (scancode 50) not written: Android 13 lacks it, an "
                               "Android key label since Android 14, and would refuse the file "
                               "(--android 14 writes it)"),
              std::string::npos)
        << written.out;
    // Elsewhere every version is judged unless one is named.
    tool_run_t all = run_tool({"check", "--protocol", "nec", path("box")});
    EXPECT_EQ(all.status, 0) << all.out;
    EXPECT_NE(all.out.find("warning: \"VIDEO_APP_1\" is an Android key label since Android 14: "
                           "Android 9 to 13 refuse this file"),
              std::string::npos)
        << all.out;
    written = run_tool(
        {"android-layout", "--dir", path("box"), "--android", "14", "--force", "--out", made});
    EXPECT_EQ(written.status, 0);
    EXPECT_NE(read_whole(made + "/orvex-ir-uinput.kl").find("key 50 VIDEO_APP_1\n"),
              std::string::npos);
}

}  // namespace
