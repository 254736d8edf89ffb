// learn recognising a remote of the Linux keymap library that import cannot write, its keymap
// giving commands alone: the remote presses what learn asks for until learn offers the keymap;
// the daemon, restarted with the file taken, translates a button that was never pressed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cases.h"

namespace {

// The remote of the library's cinergy keymap (protocol unknown, scancodes of one byte) under a
// customer code of no keymap: its buttons that the bench's standard layout names.
constexpr uint32_t k_recognised = 0x3cc3;
struct button_t {
    const char *name;
    uint32_t command;
    int standard;  // the standard layout's scancode of the name
};
const button_t k_cinergy[] = {
    {"DPAD_LEFT", 23, 105}, {"VOLUME_MUTE", 20, 113}, {"DPAD_RIGHT", 24, 106},
    {"POWER", 10, 116},     {"VOLUME_UP", 15, 115},   {"VOLUME_DOWN", 16, 114},
    {"DPAD_UP", 21, 103},   {"DPAD_DOWN", 22, 108},   {"MEDIA_PLAY", 31, 223},
};

// learn's prompt after the first seen ones (a name to press, or the offer), "" when none comes.
std::string prompt_after(const std::string &path, size_t seen, int timeout_ms) {
    for (int waited = 0; waited <= timeout_ms; waited += 20) {
        std::vector<std::string> prompts;
        std::string text = read_file(path);
        for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
            std::string line = text.substr(at, end - at);
            if (line.compare(0, 6, "press ") == 0 || line.compare(0, 8, "this is ") == 0) {
                prompts.push_back(line);
            }
        }
        if (prompts.size() > seen) {
            return prompts[seen];
        }
        sleep_ms(20);
    }
    return "";
}

}  // namespace

void run_recognise_case() {
    use_nec_layouts();
    mkdir("/tmp/recognised", 0755);
    source_t receiver;
    if (!create_receiver("recognise", &receiver)) {
        return;
    }
    daemon_t learn;
    int answers[2] = {-1, -1};
    bool started =
        pipe2(answers, O_CLOEXEC) == 0 &&
        start_command(&learn, "keymap-recognise",
                      {k_keymap_tool_path, "learn", "--out", "/tmp/recognised"}, answers[0]) == 0;
    close(answers[0]);
    std::vector<std::string> pressed;
    std::string prompt;
    for (size_t seen = 0; started && seen < 20; seen++) {
        prompt = prompt_after(learn.out_path, seen, 5000);
        std::string name = prompt.compare(0, 6, "press ") != 0
                               ? ""
                               : prompt.substr(6, prompt.find(" on the new remote") - 6);
        auto button = std::find_if(std::begin(k_cinergy), std::end(k_cinergy),
                                   [&](const button_t &b) { return name == b.name; });
        if (button == std::end(k_cinergy)) {
            break;  // the offer, or a name the remote lacks
        }
        send_raw(&receiver, nec_raw(k_recognised, button->command, true));
        send_raw(&receiver, nec_raw(k_recognised, button->command, false));
        pressed.push_back(button->name);
    }
    // Enter takes the keymap, q finishes with the names it lacks.
    bool answered = started && write(answers[1], "\nq\n", 3) == 3;
    close(answers[1]);
    bool ended = started && wait_exit(&learn, 10000);
    std::string file = read_file("/tmp/recognised/customer_ir_3cc3.kl");
    int lines = 0;
    for (size_t at = file.find("\nkey "); at != std::string::npos;
         at = file.find("\nkey ", at + 1)) {
        lines++;
    }
    check(
        "learn: recognises a remote the library gives by its commands alone within 3 presses, "
        "and takes its 9 buttons",
        answered && ended && learn.status == 0 && pressed.size() <= 3 &&
            prompt == "this is cinergy (9 buttons): take them? [Y/n]" && lines == 9,
        std::to_string(pressed.size()) + " presses, then " + quoted(prompt) + "; status " +
            std::to_string(learn.status) + "; it printed:\n" + read_file(learn.out_path) +
            read_file(learn.err_path) + "file:\n" + file);
    stop_daemon(&learn);

    // A button of the remote never pressed, as the standard layout names it.
    const button_t *never =
        std::find_if(std::begin(k_cinergy), std::end(k_cinergy), [&](const button_t &b) {
            return std::find(pressed.begin(), pressed.end(), b.name) == pressed.end();
        });
    auto layouts = all_layouts();
    layouts.push_back({"customer_ir_3cc3.kl", file});
    write_layouts(layouts);
    session_t s;
    if (open_session(&s, "recognised-daemon") &&
        wait_fd_open(s.daemon.pid, receiver.node, true, 2000)) {
        std::string keys =
            "+" + std::to_string(never->standard) + " -" + std::to_string(never->standard);
        run_key_cases(&s, &receiver,
                      {{std::string("learn: the daemon translates the recognised remote's ") +
                            never->name + ", never pressed",
                        {nec_raw(k_recognised, never->command, true),
                         nec_raw(k_recognised, never->command, false)},
                        keys.c_str()}});
    }
    close_session(&s);
    destroy_source(&receiver);
}
