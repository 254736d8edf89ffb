// SPDX-License-Identifier: Apache-2.0
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cutils/properties.h>
#include <string>
#include <vector>

#include "core/paths.h"
#include "inject/inject.h"
#include "support/daemon_fixture.h"
#include "support/log_capture.h"
#include "tool/files/file_calls.h"
#include "tool/live/raw_describer.h"
#include "tool/options.h"
#include "tool/tool_run.h"

namespace {

using keymap_tool = daemon_test;

TEST_F(keymap_tool, commands_decode_and_refuse_bad_usage) {
    write_file("orvex_ir_protocol", std::string(4, '\0'));
    write_file("keylayout/orvex-ir.kl", k_fixture_standard);
    write_file("keylayout/customer_ir_bf40.kl",
               "key 5 DPAD_UP\nkey 6 DPAD_DOWN\nkey 9 TV_PLAY\n"
               "key 10 x74\n");
    const std::string made = path("made");
    ASSERT_EQ(mkdir(made.c_str(), 0755), 0);
    write_file("made/customer_ir_0001.kl", "key 9 TV_PLAY\n");
    const std::string standard = path("keylayout/orvex-ir.kl");
    const struct {
        std::vector<std::string> args;
        int status;
        std::vector<std::string> out;  // lines, each matched by its start
        std::string err;
        bool race = false;  // someone's file appears just before the tool's rename
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
        {{"help"}, 0, {"usage: dravoke-keymap COMMAND [OPTIONS]"}, ""},
        {{"watch", "--help"}, 0, {"usage: dravoke-keymap watch [--dir DIR]"}, ""},
        {{}, 2, {}, "dravoke-keymap: no command given\nTry 'dravoke-keymap --help'.\n"},
        {{"frob"}, 2, {}, "dravoke-keymap: unknown command 'frob'\n"},
        {{"decode"},
         2,
         {},
         "dravoke-keymap: no raw code given\nTry 'dravoke-keymap decode --help'.\n"},
        {{"decode", "1bf400511"}, 2, {}, "dravoke-keymap: '1bf400511' is not a raw code"},
        {{"decode", "-1"}, 2, {}, "dravoke-keymap: unknown option '-1'"},
        {{"decode", "-"}, 2, {}, "dravoke-keymap: '-' is not a raw code"},
        {{"show", "--protocol", "sony"}, 2, {}, "dravoke-keymap: --protocol takes nec or rc5"},
        {{"show", "--werror"}, 2, {}, "dravoke-keymap: unknown option '--werror'"},
        {{"watch", "extra"}, 2, {}, "dravoke-keymap: unexpected argument 'extra'"},
        {{"check", "a", "b"}, 2, {}, "dravoke-keymap: unexpected argument 'b'"},
        {{"check", "--protocol", "nec", "/no/such/folder"},
         1,
         {"/no/such/folder: error: cannot list the key layout folder: No such file or directory"},
         ""},
        // Trailing slashes go, but the root's own.
        {{"check", "--protocol", "nec", "///"}, 1, {"//orvex-ir.kl: error: cannot open"}, ""},
        {{"check", "--dir"}, 2, {}, "dravoke-keymap: --dir needs a value"},
        {{"check", "--android", "8"},
         2,
         {},
         "dravoke-keymap: --android takes a version from 9 to 16, not '8'"},
        {{"show", "--android", "15"}, 2, {}, "dravoke-keymap: unknown option '--android'"},
        {{"check", "--abi", "16"}, 2, {}, "dravoke-keymap: --abi takes 32 or 64, not '16'"},
        {{"import", "--abi", "32", "x"}, 2, {}, "dravoke-keymap: unknown option '--abi'"},
        {{"export", "--abi", "32", "x"}, 2, {}, "dravoke-keymap: unknown option '--abi'"},
        {{"export", "--map", "1=POWER", "x"}, 2, {}, "dravoke-keymap: unknown option '--map'"},
        {{"decode", "--map", "1=POWER", "01bf4005"},
         2,
         {},
         "dravoke-keymap: unknown option '--map'"},
        {{"doctor", "--swap-address"}, 2, {}, "dravoke-keymap: unknown option '--swap-address'"},
        {{"check", "--werror", "--protocol", "nec", "/no/such/folder"},
         1,
         {"/no/such/folder: error: cannot list the key layout folder"},
         ""},
        {{"android-layout", "x"}, 2, {}, "dravoke-keymap: unexpected argument 'x'"},
        // No verdict on what Android delivers without the layouts it rests on.
        {{"doctor", "--dir", "/no/such/folder", "--android", "15"},
         1,
         {"", "", "", "", "",
          "warn  Android: cannot judge what Android delivers: /no/such/folder "
          "cannot be listed (No such file or directory)"},
         ""},
        {{"learn", "--dir", made, "--out", made},
         1,
         {},
         "dravoke-keymap: " + made + "/orvex-ir.kl gives no name to learn"},
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
        // A customer layout given back as a keymap, but the names no Linux key means.
        {{"export", "--out", made, path("keylayout/customer_ir_bf40.kl")},
         0,
         {path("keylayout/customer_ir_bf40.kl") + ": note: command 9 TV_PLAY not exported: no "
                                                  "Linux key that import names so again",
          path("keylayout/customer_ir_bf40.kl") + ": note: command 10 x74 not exported",
          "wrote " + made + "/customer_ir_bf40.toml: 2 keys (NEC customer 0xbf40)"},
         ""},
        {{"export", "--out", made, path("keylayout/customer_ir_bf40.kl")},
         1,
         {"", "", made + "/customer_ir_bf40.toml: error: exists; --force overwrites it"},
         ""},
        {{"export", "--out", path("keylayout"), path("keylayout/customer_ir_bf40.kl")},
         1,
         {"", "",
          path("keylayout") +
              "/customer_ir_bf40.toml: error: exists now, left as it is; --force overwrites it"},
         "",
         true},
        {{"export", "--out", made, made + "/customer_ir_0001.kl"},
         1,
         {"", made + "/customer_ir_0001.kl: error: no button to export"},
         ""},
        {{"export", "--out", made, made + "/customer_ir_0002.kl"},
         1,
         {made + "/customer_ir_0002.kl: error: No such file or directory"},
         ""},
        {{"export", "--out", made, standard},
         1,
         {standard + ": error: not a customer layout's name (customer_ir_XXXX.kl or "
                     "customer_rc5_ir_XX.kl)"},
         ""},
        {{"export"}, 2, {}, "dravoke-keymap: no customer layout given"},
        {{"import", "--no-library", "x"}, 2, {}, "dravoke-keymap: unknown option '--no-library'"},
        // The library's keymaps that import writes, by name: not adstech_dvb_t_pci, whose
        // scancodes are commands alone.
        {{"import", "--list"}, 0, {"alink_dtu_m", "allwinner_ba10_tv_box"}, ""},
        {{"import", "--list", "beelink_gs1"}, 2, {}, "dravoke-keymap: --list takes no keymap"},
    };
    for (const auto &c : cases) {
        if (c.race) {
            g_file_calls.rename_noreplace = rename_after_theirs;
        }
        tool_run_t got = run_tool(c.args);
        reset_file_calls();
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

    // learn says where its one protocol comes from: the daemon's choice only when the driver's
    // file cannot say; with --force, a press of a remote that has a file starts from its
    // buttons. "q" ends it, with the receiver and its watch closed.
    // The tool opens the receiver read-only: a writer keeps that open from waiting.
    int writer = open(make_device_node("event9", "orvex-ir").c_str(), O_RDWR);
    const struct {
        bool driver_says;
        bool press;  // of customer 0xbf40, whose file has 4 buttons
    } learns[] = {{true, false}, {true, true}, {false, false}};
    for (const auto &run : learns) {
        if (!run.driver_says) {
            ASSERT_EQ(unlink(path("orvex_ir_protocol").c_str()), 0);
        }
        int before = open_descriptor_count();
        if (run.press) {
            write_raw_code(writer, 0x01bf4005);
        }
        tool_run_t got = run_tool_answering(
            {"learn", "--force", "--no-library", "--dir", path("keylayout"), "--out", made}, "q\n");
        EXPECT_EQ(got.err.find("; NEC, the daemon's choice: ") == std::string::npos,
                  run.driver_says)
            << got.err;
        EXPECT_NE(got.err.find("reading " + path("dev/input/event9")), std::string::npos);
        EXPECT_EQ(got.out.find("learning starts from " + path("keylayout/customer_ir_bf40.kl") +
                               ": its 4 buttons stay") != std::string::npos,
                  run.press)
            << got.out;
        EXPECT_EQ(open_descriptor_count(), before);
    }
    close(writer);
}

// Every keymap import --list names, which the completion offers, import writes a file from.
TEST_F(keymap_tool, import_writes_every_keymap_it_lists) {
    write_file("keylayout/orvex-ir.kl", k_box_standard);
    std::vector<std::string> names = lines_of(run_tool({"import", "--list"}).out);
    EXPECT_GT(names.size(), 50u);
    for (const std::string &name : names) {
        const std::string out = path("out-" + name);
        ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
        tool_run_t got = run_tool({"import", "--dir", path("keylayout"), "--out", out, name});
        EXPECT_EQ(got.status, 0) << name << ":\n" << got.out << got.err;
    }
}

}  // namespace
