// The newcomer's tour: two customer remotes and the TV's Standby, and what the box sees on
// its virtual keyboard, printed the way evtest prints it; then the integrator's tool, the two
// traps between the virtual keyboard and Android's keys, and the two routes to a new remote,
// import and learn.
#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cases.h"

namespace {

// Prints every event that arrives within the time given, evtest style.
void show_events(int fd, int ms) {
    std::vector<input_event> events;
    read_events_raw(fd, ms, &events);
    for (const auto &ev : events) {
        if (ev.type == EV_SYN) {
            printf("    Event: time %ld.%06ld, -------------- SYN_REPORT ------------\n",
                   static_cast<long>(ev.time.tv_sec), static_cast<long>(ev.time.tv_usec));
        } else if (ev.type == EV_KEY) {
            printf("    Event: time %ld.%06ld, type 1 (EV_KEY), code %d (%s), value %d\n",
                   static_cast<long>(ev.time.tv_sec), static_cast<long>(ev.time.tv_usec), ev.code,
                   key_name(ev.code).c_str(), ev.value);
        } else {
            printf("    Event: time %ld.%06ld, type %d, code %d, value %d\n",
                   static_cast<long>(ev.time.tv_sec), static_cast<long>(ev.time.tv_usec), ev.type,
                   ev.code, ev.value);
        }
    }
    if (events.empty()) {
        printf("    (nothing)\n");
    }
}

void press(const source_t *receiver, int keyboard, const char *what, uint32_t customer,
           uint32_t command, int hold_ms) {
    printf("\n>>> %s\n", what);
    printf("    receiver reports raw code 0x%08x (pressed), then 0x%08x (released)\n",
           nec_raw(customer, command, true), nec_raw(customer, command, false));
    send_raw(receiver, nec_raw(customer, command, true));
    sleep_ms(hold_ms);
    send_raw(receiver, nec_raw(customer, command, false));
    show_events(keyboard, 300);
}

void print_layout(const std::string &name, const std::string &text) {
    printf("  %s\n", name.c_str());
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        printf("      %s\n", line.c_str());
        at = end == std::string::npos ? text.size() : end + 1;
    }
}

void print_layouts() {
    printf("Key layouts in /system/usr/keylayout (NEC selected by /proc/orvex_ir_protocol):\n");
    for (const auto &f : all_layouts()) {
        if (f.first.find("rc5") == std::string::npos) {
            print_layout(f.first, f.second);
        }
    }
}

// Runs a command line in the guest's shell and shows it with what it printed.
void show_command(const std::string &command) {
    printf("\n$ %s\n", command.c_str());
    fflush(stdout);
    FILE *p = popen((command + " 2>&1").c_str(), "r");
    if (p == nullptr) {
        printf("    (cannot run it)\n");
        return;
    }
    char line[1024];
    while (fgets(line, sizeof(line), p) != nullptr) {
        printf("%s", line);
    }
    int status = pclose(p);
    printf("(exit status %d)\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
}

// An integrator's first try at two new remotes, with the mistakes people make.
void show_check() {
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
    show_command(std::string(k_keymap_tool_path) + " check " + dir);
    show_command(std::string(k_keymap_tool_path) + " check --protocol rc5 " + dir);
}

// The virtual keyboard's keys reach Android through orvex-ir-uinput.kl, or else Generic.kl:
// a label Android does not know makes it refuse the whole file, and without the file a
// standard scancode may stand for another key in Generic.kl.
void show_android_traps() {
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
    show_command(std::string(k_keymap_tool_path) + " check --protocol nec " + dir);
    put("orvex-ir.kl", standard + "key 223 MEDIA_PLAY\n");
    put("customer_ir_bf40.kl", customer + "key 20 MEDIA_PLAY\n");
    unlink((dir + "/orvex-ir-uinput.kl").c_str());
    printf(
        "\n>>> Trap 2: Android labels only, and no orvex-ir-uinput.kl. Generic.kl turns scancode\n"
        "    200 into MEDIA_PLAY: every customer remote's GUIDE button plays\n");
    show_command(std::string(k_keymap_tool_path) + " check --protocol nec " + dir);
    printf("\n>>> android-layout writes the virtual keyboard's layout from the standard one\n");
    show_command(std::string(k_keymap_tool_path) + " android-layout --protocol nec --dir " + dir);
}

// Starts the daemon again, so that it reads the key layouts again, as 'stop dravoke; start
// dravoke' does on a box.
bool restart_daemon(daemon_t *daemon, int *keyboard, const source_t *receiver) {
    close(*keyboard);
    stop_daemon(daemon);
    start_daemon(daemon, "demo-restarted");
    *keyboard = open_input_by_name(k_keyboard_name, 5000, nullptr);
    bool up = *keyboard >= 0 && wait_fd_open(daemon->pid, receiver->node, true, 5000) &&
              wait_idle(daemon->pid, 5000);
    if (!up) {
        printf("demo: the daemon did not come up again; its log:\n%s",
               read_file(daemon->err_path).c_str());
    }
    return up;
}

// A remote that the Linux keymap library describes: one command writes its file.
void show_import(daemon_t *daemon, int *keyboard, const source_t *receiver) {
    printf(
        "\n>>> A remote that the Linux keymap library describes (beelink_gs1, NEC customer\n"
        "    0x7f80): import writes its file, with each Linux key under the Android label\n"
        "    that the standard layout has, or else its meaning on a remote (KEY_HOME: HOME),\n"
        "    and names every key it leaves out\n");
    show_command(std::string(k_keymap_tool_path) + " import --dir " + k_keylayout_dir +
                 " beelink_gs1.toml");
    printf("\n>>> The daemon restarted (adb shell 'stop dravoke; start dravoke') reads it\n");
    if (!restart_daemon(daemon, keyboard, receiver)) {
        return;
    }
    press(receiver, *keyboard, "beelink_gs1's remote: KEY_UP (its scancode 0x8026)", 0x7f80, 0x26,
          80);
    press(receiver, *keyboard, "beelink_gs1's remote: KEY_OK (0x800d), Android's DPAD_CENTER",
          0x7f80, 0x0d, 80);
    press(receiver, *keyboard, "beelink_gs1's remote: KEY_HOME (0x8053), HOME on a remote", 0x7f80,
          0x53, 80);
}

// Runs learn beside the daemon through the steps, then prints what it said and returns the
// file it wrote.
std::string run_learn(source_t *receiver, uint32_t customer, const std::vector<std::string> &args,
                      const std::vector<learn_step_t> &steps) {
    const char *dir = "/tmp/demo-learned";
    mkdir(dir, 0755);
    std::vector<std::string> all = {"--out", dir};
    all.insert(all.end(), args.begin(), args.end());
    daemon_t learn;
    std::string failed_at = drive_learn(&learn, all, receiver, steps);
    if (!failed_at.empty()) {
        printf("demo: learn did not get past %s\n", failed_at.c_str());
    }
    stop_daemon(&learn);
    std::string shown;
    for (const std::string &arg : all) {
        shown += " " + arg;
    }
    printf("\n$ %s learn%s\n%s%s(exit status %d)\n", k_keymap_tool_path, shown.c_str(),
           read_file(learn.err_path).c_str(), read_file(learn.out_path).c_str(), learn.status);
    char file[64];
    snprintf(file, sizeof(file), "%s/customer_ir_%04x.kl", dir, customer);
    return read_file(file);
}

// A remote without a file: learn recognises one of the library in a few presses, and asks
// for each standard name in turn of any other.
void show_learn(daemon_t *daemon, int *keyboard, source_t *receiver) {
    printf(
        "\n>>> A remote without a file (NEC customer 0x3cc3) that the library gives by its\n"
        "    commands alone, so import cannot write it: learn asks first for the names that\n"
        "    tell the library's remotes apart, and offers the whole remote once the presses\n"
        "    fit one. Pressed on it: command 15 for VOLUME_UP, 10 for POWER, 21 for DPAD_UP;\n"
        "    then Enter (take them) and q\n");
    std::string recognised = run_learn(receiver, 0x3cc3, {},
                                       {{k_press, 0x3cc3, 15, nullptr, "VOLUME_UP: command"},
                                        {k_press, 0x3cc3, 10, nullptr, "POWER: command"},
                                        {k_press, 0x3cc3, 21, nullptr, "take them? [Y/n]"},
                                        {k_answer, 0, 0, "\n", "took "},
                                        {k_answer, 0, 0, "q\n", "finished"}});
    printf(
        "\n>>> Another remote without a file (NEC customer 0x0707): with --no-library, learn\n"
        "    asks for each name of the standard layout in turn, and says which library remote\n"
        "    shares its code. Pressed on it: command 10 for POWER, 11 for DPAD_UP; then Enter\n"
        "    (skip DPAD_DOWN), command 12 for DPAD_LEFT, and q\n");
    std::string learned = run_learn(receiver, 0x0707, {"--no-library"},
                                    {{k_press, 0x0707, 10, nullptr, "POWER: command"},
                                     {k_press, 0x0707, 11, nullptr, "DPAD_UP: command"},
                                     {k_answer, 0, 0, "\n", "DPAD_DOWN: skipped"},
                                     {k_press, 0x0707, 12, nullptr, "DPAD_LEFT: command"},
                                     {k_answer, 0, 0, "q\n", "finished"}});
    printf("\n>>> Both installed as learn says, and the daemon restarted:\n");
    for (const auto &[name, text] : {std::make_pair("customer_ir_3cc3.kl", recognised),
                                     std::make_pair("customer_ir_0707.kl", learned)}) {
        write_file(std::string(k_keylayout_dir) + "/" + name, text.data(), text.size());
    }
    if (!restart_daemon(daemon, keyboard, receiver)) {
        return;
    }
    press(receiver, *keyboard,
          "The recognised remote: its command 23, DPAD_LEFT in the library, never pressed", 0x3cc3,
          23, 80);
    press(receiver, *keyboard, "The learned remote: its command 10, learned as POWER", 0x0707, 10,
          80);
    press(receiver, *keyboard, "The learned remote: its command 12, learned as DPAD_LEFT", 0x0707,
          12, 80);
}

}  // namespace

int run_demo() {
    if (load_module(k_uinput_module) != 0 || load_module(k_protocol_module) != 0 ||
        load_module(k_hdmi_module) != 0) {
        printf("demo: cannot load the uinput and protocol modules\n");
        return -1;
    }
    uint32_t nec = 0;
    set_protocol(&nec, sizeof(nec));
    write_layouts(all_layouts());
    print_layouts();
    // Android's own layout for the virtual keyboard, so that it delivers the standard keys.
    printf("\n>>> Android's key layout for the virtual keyboard, from the standard one\n");
    show_command(std::string(k_keymap_tool_path) + " android-layout --dir " + k_keylayout_dir);
    std::string keyboard_layout = std::string(k_keyboard_name) + ".kl";
    print_layout(keyboard_layout, read_file(std::string(k_keylayout_dir) + "/" + keyboard_layout));

    source_t receiver;
    if (create_source(k_receiver_name, &receiver) != 0) {
        printf("demo: cannot create the stand-in receiver\n");
        return -1;
    }
    // The owners and modes a box's ueventd gives these nodes.
    if (chown("/dev/uinput", 3011, 3011) != 0 || chmod("/dev/uinput", 0660) != 0 ||
        chown(receiver.node.c_str(), 0, 1004) != 0 || chmod(receiver.node.c_str(), 0660) != 0) {
        printf("demo: cannot give the nodes a box's owners and modes\n");
    }
    printf("\nStand-in IR receiver \"orvex-ir\" is %s. Starting dravoke ...\n",
           receiver.node.c_str());
    daemon_t daemon;
    start_daemon(&daemon, "demo");
    std::string sys_name;
    int keyboard = open_input_by_name(k_keyboard_name, 5000, &sys_name);
    if (keyboard < 0 || !wait_fd_open(daemon.pid, receiver.node, true, 5000) ||
        !wait_idle(daemon.pid, 5000)) {
        printf("demo: the daemon did not come up; its log:\n%s",
               read_file(daemon.err_path).c_str());
        stop_daemon(&daemon);
        return -1;
    }
    printf("dravoke printed: %s", read_file(daemon.out_path).c_str());
    // The integrator's tool watches the same receiver beside the daemon.
    daemon_t watch;
    if (start_program(&watch, "demo-watch", k_keymap_tool_path, "watch") != 0) {
        watch.exited = true;
    }
    bool watching = !watch.exited && wait_file_has(watch.err_path, "watching", 5000);

    char name[128] = {0};
    struct input_id id;
    memset(&id, 0, sizeof(id));
    ioctl(keyboard, EVIOCGNAME(sizeof(name) - 1), name);
    ioctl(keyboard, EVIOCGID, &id);
    printf("\nWhat the box's input stack sees on /dev/input/%s:\n", sys_name.c_str());
    printf("Input device ID: bus 0x%x vendor 0x%x product 0x%x version 0x%x\n", id.bustype,
           id.vendor, id.product, id.version);
    printf("Input device name: \"%s\"\n", name);

    press(&receiver, keyboard, "Remote 1 (NEC customer 0xbf40): DPAD_UP (its command 5)", 0xbf40, 5,
          80);
    press(&receiver, keyboard,
          "Remote 1: VOLUME_UP (command 12) held for 0.4 s; the kernel repeats it", 0xbf40, 12,
          400);
    press(&receiver, keyboard, "Remote 2 (NEC customer 0x7f01): MENU (its command 72)", 0x7f01, 72,
          80);
    press(&receiver, keyboard, "Remote 2: VOLUME_UP (its command 65): the same key as remote 1's",
          0x7f01, 65, 80);
    press(&receiver, keyboard,
          "Remote 1: MEDIA_PLAY (command 20 -> standard scancode 223, also sets "
          "hdmi_cts.one_touch_play=1)",
          0xbf40, 20, 80);
    press(&receiver, keyboard, "A remote nobody configured (customer 0x1234): ignored", 0x1234, 5,
          80);

    printf("\n>>> The TV sends HDMI-CEC Standby (the HDMI driver raises CEC_MSG=36)\n");
    raise_hdmi_uevent("change@/devices/platform/soc/hdmi", {"CEC_MSG=36"});
    show_events(keyboard, 300);
    printf("\n>>> The TV repeats Standby a second later: within six seconds, so ignored\n");
    sleep_ms(1000);
    raise_hdmi_uevent("change@/devices/platform/soc/hdmi", {"CEC_MSG=36"});
    show_events(keyboard, 300);

    printf("\ndravoke's log (stderr):\n%s", read_file(daemon.err_path).c_str());
    if (watching) {
        kill(watch.pid, SIGINT);
        wait_exit(&watch, 2000);
        printf("\n>>> Meanwhile, beside the daemon: dravoke-keymap watch\n%s%s",
               read_file(watch.err_path).c_str(), read_file(watch.out_path).c_str());
    }
    stop_daemon(&watch);
    show_check();
    show_android_traps();
    printf(
        "\n>>> Last, is this box set up right? One line a check, in the order the daemon needs\n"
        "    them, with what to do for anything not ok\n");
    show_command(std::string(k_keymap_tool_path) + " doctor");
    show_import(&daemon, &keyboard, &receiver);
    show_learn(&daemon, &keyboard, &receiver);
    close(keyboard);
    stop_daemon(&daemon);
    destroy_source(&receiver);
    return 0;
}
