// SPDX-License-Identifier: Apache-2.0
// The demo's scenes of the integrator's tool: check finding the usual slips, the two traps
// between the virtual keyboard and Android's keys, and the two routes to a new remote, import
// and learn, each followed by the restarted daemon translating the remote.
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "demo.h"

namespace {

std::string tool_command(const std::string &arguments) {
    return std::string(k_keymap_tool_path) + " " + arguments;
}

// Runs learn beside the daemon through the steps, then prints what it said and returns the
// file it wrote; every reply must come, the file be written, and learn say each of wants.
std::string run_learn(demo_t *demo, const char *scene, source_t *receiver, uint32_t customer,
                      const std::vector<std::string> &args, const std::vector<learn_step_t> &steps,
                      const std::vector<std::string> &wants) {
    const char *dir = "/tmp/demo-learned";
    mkdir(dir, 0755);
    std::vector<std::string> all = {"--out", dir};
    all.insert(all.end(), args.begin(), args.end());
    daemon_t learn;
    std::string failed_at = drive_learn(&learn, all, receiver, steps);
    stop_daemon(&learn);
    std::string shown;
    for (const std::string &arg : all) {
        shown += " " + arg;
    }
    std::string printed = read_file(learn.out_path);
    printf("\n$ %s learn%s\n%s%s(exit status %d)\n", k_keymap_tool_path, shown.c_str(),
           read_file(learn.err_path).c_str(), printed.c_str(), learn.status);
    char file[64];
    snprintf(file, sizeof(file), "%s/customer_ir_%04x.kl", dir, customer);
    std::string written = read_file(file);
    demo_expect(demo, scene, failed_at.empty(), "learn did not get past " + failed_at);
    demo_expect(demo, scene, learn.exited && learn.status == 0 && !written.empty(),
                std::string("learn ended with status ") + std::to_string(learn.status) +
                    " and wrote " + (written.empty() ? "nothing" : file));
    for (const std::string &want : wants) {
        demo_expect(demo, scene, printed.find(want) != std::string::npos,
                    "learn did not say \"" + want + "\"");
    }
    return written;
}

}  // namespace

// An integrator's first try at two new remotes, with the mistakes people make.
void show_check(demo_t *demo) {
    const char *dir = "/tmp/new-remotes";
    mkdir(dir, 0755);
    const std::pair<const char *, std::string> files[] = {
        {"orvex-ir.kl", all_layouts()[0].second + "\t# a comment after a tab\nkey 0x74 POWER\n"
                                                  "key 300 SETTINGS\n"},
        {"customer_ir_80ff.kl", "key 18 POWER\nkey 5 DPAD_up\nkey 6 DPAD_DOWNN\nkey 7 BACK\n"},
        {"customer_ir_80FF.kl", "key 18 POWER\n"},
        {"customer_ir_80ff.KL", "key 18 POWER\n"},
        {"customer-ir_80ff.kl", "key 18 POWER\n"},
        {"customer_ir_f01.kl", "key 1 POWER\n"},
        {"customer_rc5_ir_25.kl", "key 1 POWER\n"},
    };
    for (const auto &file : files) {
        std::string path = std::string(dir) + "/" + file.first;
        write_file(path, file.second.data(), file.second.size());
    }
    printf(
        "\n>>> An integrator drops layouts for new remotes, with the usual slips, and checks\n"
        "    them before flashing: file, line, what goes wrong, what to do.\n");
    show_command(demo, tool_command("check ") + dir, 1,
                 {"customer_ir_80ff.kl:3: warning: \"DPAD_DOWNN\" is not in orvex-ir.kl",
                  "did you mean \"DPAD_DOWN\"?",
                  "customer code 0x80ff has two files, customer_ir_80FF.kl and "
                  "customer_ir_80ff.kl"});
    show_command(demo, tool_command("check --protocol rc5 ") + dir, 1,
                 {"customer_rc5_ir_25.kl: warning: customer code 0x25 never arrives"});
}

// The virtual keyboard's keys reach Android through orvex-ir-uinput.kl, or else Generic.kl:
// a label Android does not know makes it refuse the whole file, and without the file a
// standard scancode may stand for another key in Generic.kl.
void show_android_traps(demo_t *demo) {
    std::string dir = "/tmp/android-traps";
    mkdir(dir.c_str(), 0755);
    std::string standard = "key 116 POWER\nkey 28 DPAD_CENTER\nkey 102 HOME\nkey 200 GUIDE\n";
    std::string customer = "key 18 POWER\nkey 9 DPAD_CENTER\nkey 11 HOME\nkey 31 GUIDE\n";
    auto put = [&](const char *name, const std::string &text) {
        write_file(dir + "/" + name, text.data(), text.size());
    };
    put("orvex-ir.kl", standard + "key 223 TV_PLAY\n");
    put("orvex-ir-uinput.kl", standard + "key 223 TV_PLAY\n");
    put("customer_ir_bf40.kl", customer + "key 20 TV_PLAY\n");
    printf(
        "\n>>> Between the virtual keyboard and Android stands one more file: Android maps its\n"
        "    scancodes through orvex-ir-uinput.kl, or Generic.kl. Trap 1: a standard layout\n"
        "    that names 223 TV_PLAY, not an Android key label, copied into orvex-ir-uinput.kl.\n"
        "    Android refuses both files whole, and every key goes through Generic.kl\n");
    show_command(demo, tool_command("check --protocol nec ") + dir, 1,
                 {"orvex-ir.kl:5: error: \"TV_PLAY\" is not an Android key label",
                  "orvex-ir-uinput.kl:5: error: \"TV_PLAY\" is not an Android key label",
                  "reaches Android as ENTER, through Generic.kl"});
    put("orvex-ir.kl", standard + "key 223 MEDIA_PLAY\n");
    put("customer_ir_bf40.kl", customer + "key 20 MEDIA_PLAY\n");
    unlink((dir + "/orvex-ir-uinput.kl").c_str());
    printf(
        "\n>>> Trap 2: Android labels only, and no orvex-ir-uinput.kl. Generic.kl turns scancode\n"
        "    200 into MEDIA_PLAY: every customer remote's GUIDE button plays\n");
    show_command(demo, tool_command("check --protocol nec ") + dir, 0,
                 {"GUIDE (scancode 200) reaches Android as MEDIA_PLAY, through Generic.kl"});
    printf("\n>>> android-layout writes the virtual keyboard's layout from the standard one\n");
    show_command(demo, tool_command("android-layout --protocol nec --dir ") + dir, 0,
                 {"wrote " + dir + "/orvex-ir-uinput.kl"});
}

// A remote that the Linux keymap library describes: one command writes its file.
void show_import(demo_t *demo, daemon_t *daemon, int *keyboard, const source_t *receiver) {
    printf(
        "\n>>> A remote that the Linux keymap library describes (beelink_gs1, NEC customer\n"
        "    0x7f80): import writes its file, with each Linux key under the Android label\n"
        "    that the standard layout has, or else its meaning on a remote (KEY_HOME: HOME),\n"
        "    and names every key it leaves out\n");
    show_command(demo, tool_command("import --dir ") + k_keylayout_dir + " beelink_gs1.toml", 0,
                 {"KEY_HOME written as HOME, its meaning on a remote",
                  "not written: KEY_MODE has no Android key label",
                  std::string("wrote ") + k_keylayout_dir + "/customer_ir_7f80.kl"});
    printf("\n>>> The daemon restarted (adb shell 'stop dravoke; start dravoke') reads it\n");
    if (!restart_daemon(demo, daemon, keyboard, receiver)) {
        return;
    }
    press(demo, receiver, *keyboard, "beelink_gs1's remote: KEY_UP (its scancode 0x8026)", 0x7f80,
          0x26, 80, "+103 -103");
    press(demo, receiver, *keyboard, "beelink_gs1's remote: KEY_OK (0x800d), Android's DPAD_CENTER",
          0x7f80, 0x0d, 80, "+28 -28");
    press(demo, receiver, *keyboard, "beelink_gs1's remote: KEY_HOME (0x8053), HOME on a remote",
          0x7f80, 0x53, 80, "+102 -102");
}

// A remote without a file: learn recognises one of the library in a few presses, and asks
// for each standard name in turn of any other.
void show_learn(demo_t *demo, daemon_t *daemon, int *keyboard, source_t *receiver) {
    printf(
        "\n>>> A remote without a file (NEC customer 0x3cc3) that the library gives by its\n"
        "    commands alone, so import cannot write it: learn asks first for the names that\n"
        "    tell the library's remotes apart, and offers the whole remote once the presses\n"
        "    fit one. Pressed on it: command 15 for VOLUME_UP, 10 for POWER, 21 for DPAD_UP;\n"
        "    then Enter (take them) and q\n");
    std::string recognised =
        run_learn(demo, "learn recognises a library remote", receiver, 0x3cc3, {},
                  {{k_press, 0x3cc3, 15, nullptr, "VOLUME_UP: command"},
                   {k_press, 0x3cc3, 10, nullptr, "POWER: command"},
                   {k_press, 0x3cc3, 21, nullptr, "take them? [Y/n]"},
                   {k_answer, 0, 0, "\n", "took "},
                   {k_answer, 0, 0, "q\n", "finished"}},
                  {"this is cinergy"});
    printf(
        "\n>>> Another remote without a file (NEC customer 0x0707): with --no-library, learn\n"
        "    asks for each name of the standard layout in turn, and says which library remote\n"
        "    shares its code. Pressed on it: command 10 for POWER, 11 for DPAD_UP; then Enter\n"
        "    (skip DPAD_DOWN), command 12 for DPAD_LEFT, and q\n");
    std::string learned =
        run_learn(demo, "learn walks the names", receiver, 0x0707, {"--no-library"},
                  {{k_press, 0x0707, 10, nullptr, "POWER: command"},
                   {k_press, 0x0707, 11, nullptr, "DPAD_UP: command"},
                   {k_answer, 0, 0, "\n", "DPAD_DOWN: skipped"},
                   {k_press, 0x0707, 12, nullptr, "DPAD_LEFT: command"},
                   {k_answer, 0, 0, "q\n", "finished"}},
                  {"customer 0x0707 is khamsin's remote in the Linux keymap library"});
    printf("\n>>> Both installed as learn says, and the daemon restarted:\n");
    for (const auto &[name, text] : {std::make_pair("customer_ir_3cc3.kl", recognised),
                                     std::make_pair("customer_ir_0707.kl", learned)}) {
        write_file(std::string(k_keylayout_dir) + "/" + name, text.data(), text.size());
    }
    if (!restart_daemon(demo, daemon, keyboard, receiver)) {
        return;
    }
    press(demo, receiver, *keyboard,
          "The recognised remote: its command 23, DPAD_LEFT in the library, never pressed", 0x3cc3,
          23, 80, "+105 -105");
    press(demo, receiver, *keyboard, "The learned remote: its command 10, learned as POWER", 0x0707,
          10, 80, "+116 -116");
    press(demo, receiver, *keyboard, "The learned remote: its command 12, learned as DPAD_LEFT",
          0x0707, 12, 80, "+105 -105");
}
