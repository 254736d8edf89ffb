#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <cutils/properties.h>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/daemon.h"
#include "core/kernel_calls.h"
#include "core/paths.h"
#include "inject/inject.h"
#include "keymap/keymap.h"
#include "support/daemon_fixture.h"
#include "support/log_capture.h"
#include "tool/android_keys.h"
#include "tool/keymap_tool.h"
#include "tool/tool_run.h"

namespace {

using keymap_tool = daemon_test;

const char k_standard[] =
    "key 116 POWER\n"              // 1
    "key 103 DPAD_UP\n"            // 2
    "key 108 DPAD_DOWN\n"          // 3
    "key 105 DPAD_LEFT\n"          // 4
    "key 158 BACK\n"               // 5: BACK again at 4, the lowest
    "key 4 BACK\n"                 // 6
    "key 0 HOME\n"                 // 7: never a target
    "\t# a comment after a tab\n"  // 8
    "key 0x74 POWER\n"             // 9: scancode 0, "x74", and line 7 loses
    "key 300 MENU\n"               // 10
    "key 223 TV_PLAY\n"            // 11
    "kye 18 POWER\n"               // 12
    "18 DPAD_UP\n"                 // 13
    "\xc2\xa0key 5 HOME\n"         // 14: a no-break space first
    "key 400 GUIDE\n"              // 15
    "axis 0x00 X\n"                // 16
    "key 60 Settings\n";           // 17: Android's labels are upper case

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
        "\n"                      // 8
        "key 5 DPAD_UP\n"         // 9
        "key 20 x74\n"            // 10: standard has it at 0 only
        "key 21 GUIDE\n"          // 11: on an ignored standard line
        "key 22 = DPAD_UP\n"      // 12: the name is "="
        "key 23 KEY_BACK\n"       // 13: a Linux key name
        "key 24 KEYCODE_BACK\n";  // 14: an Android key code name
    write_file("keylayout/orvex-ir.kl", k_standard);
    write_file("keylayout/customer_ir_80ff.kl", customer);
    write_file("keylayout/customer_ir_80FF.kl", "key 1 POWER\n");
    write_file("keylayout/customer_ir_1234.kl", "\xef\xbb\xbfkey 1 NOTHING_LIKE_IT\n");
    write_file("keylayout/customer_ir_4321.kl", "# to come\n\n");
    // On the box the daemon reads as nobody, whoever runs check.
    ASSERT_EQ(chmod(path("keylayout/customer_ir_80FF.kl").c_str(), 0), 0);
    for (const char *near_miss : {"customer_ir_80ff.KL", "customer-ir_80ff.kl",
                                  "customer_ir_fff.kl", "customer_ir_0x5678.kl"}) {
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
         "NEC: 1 table, 0 buttons translated (NEC from --protocol); 0 warnings, 1 error"},
        {{"many"}, 1, "RC5: 0 tables, 0 buttons translated (NEC and RC5:"},
        {{"bare", "--protocol", "rc5"}, 1, "1 warning, 2 errors"},
        {{"traps", "--protocol", "nec"}, 1, "2 buttons translated (NEC from --protocol); 2 warn"},
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
        {0, "customer_ir_4321.kl", 0, "error: translates no button: the file has no \"key\" line"},
        {0, "customer_ir_0x5678.kl", 0, "(did you mean customer_ir_5678.kl?)"},
        {0, "customer_ir_80ff.kl", 12, "(did you mean \"key 22 DPAD_UP\"?)"},
        {0, "customer_ir_80ff.kl", 13, "(did you mean \"BACK\"?)"},
        {0, "customer_ir_80ff.kl", 14, "(did you mean \"BACK\"?)"},
        {0, "orvex-ir.kl", 5, "\"BACK\" is also scancode 4 (line 6), the lowest, which wins"},
        {0, "orvex-ir.kl", 7, "scancode 0 is named again at line 9"},
        {0, "orvex-ir.kl", 8, "\"#\" after a tab is not a comment"},
        {0, "orvex-ir.kl", 9,
         "\"0x74\" is read as scancode 0 named \"x74\": scancodes are "
         "decimal (0x74 is 116)"},
        {0, "orvex-ir.kl", 9, "scancode 0 is never a translation target"},
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

TEST_F(keymap_tool, commands_decode_and_refuse_bad_usage) {
    write_file("orvex_ir_protocol", std::string(4, '\0'));
    write_file("keylayout/orvex-ir.kl", k_standard);
    write_file("keylayout/customer_ir_bf40.kl",
               "key 5 DPAD_UP\nkey 6 DPAD_DOWN\nkey 9 TV_PLAY\n"
               "key 10 x74\n");
    const std::string made = path("made");
    ASSERT_EQ(mkdir(made.c_str(), 0755), 0);
    const std::string standard = path("keylayout/orvex-ir.kl");
    const struct {
        std::vector<std::string> args;
        int status;
        std::vector<std::string> out;  // lines, each matched by its start
        std::string err;
    } cases[] = {
        {{"decode", "01bf4005", "0x01BF4006", "00bf4006", "00bf4006", "0112340a", "fe00000a",
          "01bf4009", "01bf400a"},
         0,
         {"01bf4005 NEC customer 0xbf40 command 5 (0x05) pressed -> 103 DPAD_UP (KEY_UP): "
          "writes press KEY_UP (103)",
          "01bf4006 NEC customer 0xbf40 command 6 (0x06) pressed -> 108 DPAD_DOWN (KEY_DOWN): "
          "writes release KEY_UP (103), press KEY_DOWN (108)",
          "00bf4006 NEC customer 0xbf40 command 6 (0x06) released -> 108 DPAD_DOWN (KEY_DOWN): "
          "writes release KEY_DOWN (108)",
          "00bf4006 NEC customer 0xbf40 command 6 (0x06) released -> 108 DPAD_DOWN (KEY_DOWN): "
          "writes nothing, no key is down",
          "0112340a NEC customer 0x1234 command 10 (0x0a) pressed: no file for customer 0x1234: "
          "create customer_ir_1234.kl",
          "    key 10 ?",
          "fe00000a NEC customer 0x0000 command 10 (0x0a) released, ignored bits 0xfe000000: no "
          "file for customer 0x0000",
          "01bf4009 NEC customer 0xbf40 command 9 (0x09) pressed -> 223 TV_PLAY (KEY_CANCEL): "
          "writes press KEY_CANCEL (223), sets hdmi_cts.one_touch_play to 1",
          "01bf400a NEC customer 0xbf40 command 10 (0x0a) pressed: customer_ir_bf40.kl names "
          "command 10 \"x74\", which orvex-ir.kl has only at scancode 0"},
         ""},
        // A file whose customer code has its bytes swapped; remotes of the Linux library.
        {{"decode", "0140bf05", "01070705", "017f8005"},
         0,
         {"0140bf05 NEC customer 0x40bf command 5 (0x05) pressed: no file for customer 0x40bf, "
          "but customer_ir_bf40.kl has customer 0x40bf with its two bytes swapped: that file was "
          "probably imported or written with the other byte order; rename it "
          "customer_ir_40bf.kl, or import it again with --swap-address",
          "    key 5 ?",
          "01070705 NEC customer 0x0707 command 5 (0x05) pressed: no file for customer 0x0707: "
          "create customer_ir_0707.kl; customer 0x0707 is khamsin's remote in the Linux keymap "
          "library: 'dravoke-keymap import khamsin.toml' writes its whole file",
          "    key 5 ?",
          "017f8005 NEC customer 0x7f80 command 5 (0x05) pressed: no file for customer 0x7f80: "
          "create customer_ir_7f80.kl; customer 0x7f80 is the remote of beelink_gs1, dtt200u, "
          "it913x_v1 and 3 more in the Linux keymap library"},
         ""},
        {{"decode", "--protocol", "rc5", "0100051f"},
         0,
         {"0100051f RC5 customer 0x05 command 31 (0x1f) pressed: no file for customer 0x05: create "
          "customer_rc5_ir_05.kl",
          "    key 31 ?"},
         ""},
        {{"--help"}, 0, {"usage: dravoke-keymap COMMAND [OPTIONS]"}, ""},
        {{"watch", "--help"}, 0, {"usage: dravoke-keymap watch [--dir DIR]"}, ""},
        {{}, 2, {}, "dravoke-keymap: no command given\nTry 'dravoke-keymap --help'.\n"},
        {{"frob"}, 2, {}, "dravoke-keymap: unknown command 'frob'\n"},
        {{"decode"},
         2,
         {},
         "dravoke-keymap: no raw code given\nTry 'dravoke-keymap decode --help'.\n"},
        {{"decode", "1bf400511"}, 2, {}, "dravoke-keymap: '1bf400511' is not a raw code"},
        {{"decode", "-1"}, 2, {}, "dravoke-keymap: unknown option '-1'"},
        {{"show", "--protocol", "sony"}, 2, {}, "dravoke-keymap: --protocol takes nec or rc5"},
        {{"show", "--werror"}, 2, {}, "dravoke-keymap: unknown option '--werror'"},
        {{"watch", "extra"}, 2, {}, "dravoke-keymap: unexpected argument 'extra'"},
        {{"check", "--dir"}, 2, {}, "dravoke-keymap: --dir needs a value"},
        // Before a session is spent on it.
        {{"learn", "--out", "/no/such/folder"},
         2,
         {},
         "dravoke-keymap: cannot write into /no/such/folder: No such file or directory\n"},
        // The virtual keyboard's layout: each standard name that is an Android label.
        {{"android-layout", "--out", made},
         0,
         {standard + ":17: note: \"Settings\" (scancode 60) not written: not an Android key "
                     "label (did you mean \"SETTINGS\"?)",
          standard + ":11: note: \"TV_PLAY\" (scancode 223) not written",
          "wrote " + made +
              "/orvex-ir-uinput.kl: 6 keys, each delivered as orvex-ir.kl names "
              "it; 2 standard lines not written"},
         ""},
        {{"android-layout", "--out", made},
         1,
         {"", "", made + "/orvex-ir-uinput.kl: error: exists; --force overwrites it",
          "android-layout: nothing written"},
         ""},
        {{"android-layout", "--force", "--out", made}, 0, {"", "", "wrote " + made}, ""},
    };
    for (const auto &c : cases) {
        tool_run_t got = run_tool(c.args);
        SCOPED_TRACE(got.out + got.err);
        EXPECT_EQ(got.status, c.status);
        std::vector<std::string> out = lines_of(got.out);
        ASSERT_GE(out.size(), c.out.size());
        for (size_t i = 0; i < c.out.size(); i++) {
            EXPECT_EQ(out[i].substr(0, c.out[i].size()), c.out[i]);
        }
        EXPECT_EQ(got.err.substr(0, c.err.size()), c.err);
    }
    // watch shows the daemon's answer to a receiver queue that overflowed: the key goes up.
    tool_options_t options;
    options.dir = g_keylayout_dir;
    options.protocols = {0};
    raw_describer_t describer;
    ASSERT_EQ(start_describer(&describer, &options, stderr), 0);
    struct input_event events[2];
    memset(events, 0, sizeof(events));
    events[0].type = EV_MSC;
    events[0].value = 0x01bf4005;
    events[1].type = EV_SYN;
    events[1].code = SYN_DROPPED;
    describe_event(&describer, &events[0]);
    EXPECT_EQ(describe_event(&describer, &events[1]),
              "NEC SYN_DROPPED, the receiver's queue overflowed and lost events: writes release "
              "KEY_UP (103)\n");
    take_logs();

    // Showing is not doing: the one-touch-play key was described, not acted on.
    char value[PROPERTY_VALUE_MAX];
    EXPECT_EQ(property_get(k_one_touch_play_property, value, ""), 0);
}

// The tool's tables are the daemon's: random folders, built by the daemon's start-up and
// shown by the tool, must give the same bytes.
TEST_F(keymap_tool, show_prints_the_daemons_tables) {
    std::mt19937 random(20261208);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const char *names[] = {"POWER", "BACK", "HOME", "DPAD_UP", "Dpad_Up", "MENU", "OK", "x74"};
    auto layout = [&](int lines) {
        std::string text;
        for (int i = 0; i < lines; i++) {
            const char *forms[] = {"key %d %s\n",    "  key %d %s extra\n", "KEY %d %s\n",
                                   "key %d\t%s\r\n", "# key %d %s\n",       "key 0x%d %s\n"};
            char line[96];
            snprintf(line, sizeof(line), forms[pick(6)], pick(300) - 20, names[pick(8)]);
            text += line;
        }
        return text;
    };
    std::string dir_path;
    for (int round = 0; round < 60; round++) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::string dir = "keylayout" + std::to_string(round);
        ASSERT_EQ(mkdir(path(dir).c_str(), 0755), 0);
        dir_path = path(dir);
        g_keylayout_dir = dir_path.c_str();
        if (pick(8) != 0) {
            write_file(dir + "/orvex-ir.kl", layout(pick(40)));
        }
        for (int files = pick(22); files > 0; files--) {
            const char *patterns[] = {"customer_ir_%04x.kl", "customer_ir_%04X.kl",
                                      "customer_rc5_ir_%02x.kl", "customer_ir_%03x.kl"};
            char name[64];
            snprintf(name, sizeof(name), patterns[pick(4)], pick(4) == 0 ? pick(64) : pick(8));
            write_file(dir + "/" + name, layout(pick(12)));
        }
        int32_t protocol = pick(2);
        write_file("orvex_ir_protocol", std::string(reinterpret_cast<char *>(&protocol), 4));

        reset_daemon_state();
        // The stand-in virtual keyboard accepts every request; no receiver answers a name.
        g_kernel.ioctl = [](int, unsigned long, void *) { return 0; };
        int status = 0;
        start(&status);
        take_logs();
        int count = g_customer_map_count;
        std::vector<customer_map_t> daemon(g_customer_maps, g_customer_maps + count);

        tool_run_t shown = run_tool({"show"});
        std::vector<customer_map_t> tool;
        for (const std::string &line : lines_of(shown.out)) {
            int table;
            unsigned code;
            int command;
            int scancode;
            if (sscanf(line.c_str(), "%*s table %d: customer 0x%x,", &table, &code) == 2) {
                tool.emplace_back();
                memset(&tool.back(), 0, sizeof(customer_map_t));
                tool.back().customer_code = static_cast<int32_t>(code);
            } else if (sscanf(line.c_str(), " %d (0x%*x) -> %d", &command, &scancode) == 2) {
                ASSERT_FALSE(tool.empty());
                tool.back().scancode_map[command] = scancode;
            }
        }
        ASSERT_EQ(tool.size(), daemon.size()) << shown.out;
        for (size_t t = 0; t < daemon.size(); t++) {
            EXPECT_EQ(memcmp(&tool[t], &daemon[t], sizeof(customer_map_t)), 0) << shown.out;
        }

        // The virtual keyboard's layout written from it reads back, by Android's rules, as the
        // daemon's every standard name that is an Android label, and check finds it right.
        tool_run_t made = run_tool({"android-layout", "--dir", dir_path, "--force"});
        std::ifstream written(dir_path + "/orvex-ir-uinput.kl");
        android_layout_t read;
        read_android_layout(std::string(std::istreambuf_iterator<char>(written), {}), &read);
        EXPECT_TRUE(read.refusals.empty());
        int labels = 0;
        for (int i = 1; i < k_keymap_size; i++) {
            bool label = g_base_keymap[i].scancode != 0 && is_android_label(g_base_keymap[i].name);
            labels += label;
            EXPECT_EQ(read.labels[i], label ? g_base_keymap[i].name : "") << made.out;
        }
        EXPECT_EQ(made.status, labels > 0 ? 0 : 1);
        for (const std::string &line : lines_of(made.out)) {
            EXPECT_NE(line.compare(0, dir_path.size() + 19, dir_path + "/orvex-ir-uinput.kl"), 0);
            if (line.find("reaches Android") != std::string::npos) {
                EXPECT_NE(line.find("is not an Android key label"), std::string::npos) << line;
            }
        }
    }
}

}  // namespace
