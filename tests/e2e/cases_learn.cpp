// dravoke-keymap's two routes to a new remote on the guest: learn, driven by presses from the
// stand-in receiver and answers on a pipe, and import of a remote of the Linux keymap library;
// then the daemon, restarted with the file written, translates the remote's buttons.
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cases.h"

namespace {

int count_of(const std::string &text, const std::string &part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        count++;
    }
    return count;
}

// One step of a learning session: a press on a remote (customer, command), or an answer on
// standard input; then the line learn answers with.
struct learn_step_t {
    uint32_t customer;  // 0: the step is an answer
    uint32_t command;
    const char *answer;
    const char *reply;
};

// The learned remote 0x0707, whose code the Linux library knows.
constexpr uint32_t k_learned = 0x0707;

}  // namespace

void run_learn_case() {
    use_nec_layouts();
    mkdir("/tmp/learned", 0755);
    source_t receiver;
    if (!create_receiver("learn", &receiver)) {
        return;
    }
    session_t s;
    daemon_t learn;
    learn.exited = true;
    int answers[2] = {-1, -1};
    if (open_session(&s, "learn-daemon") && wait_fd_open(s.daemon.pid, receiver.node, true, 2000) &&
        pipe2(answers, O_CLOEXEC) == 0 &&
        start_command(&learn, "keymap-learn",
                      {k_keymap_tool_path, "learn", "--out", "/tmp/learned"}, answers[0]) == 0) {
        close(answers[0]);
        const learn_step_t steps[] = {
            {k_learned, 10, nullptr, "POWER: command 10 (0x0a)"},
            {k_nec_a, 5, nullptr, "refused: that press is from customer 0xbf40"},
            {k_learned, 10, nullptr, "refused: command 10 is POWER's already"},
            {k_learned, 11, nullptr, "DPAD_UP: command 11 (0x0b)"},
            {0, 0, "\n", "DPAD_DOWN: skipped"},
            {0, 0, "b\n", "back to DPAD_DOWN"},
            {k_learned, 12, nullptr, "DPAD_DOWN: command 12 (0x0c)"},
            {0, 0, "q\n", "finished"},
        };
        bool ok = wait_file_has(learn.out_path, "press POWER on the new remote (Enter: skip", 5000);
        std::string failed_at = ok ? "" : "no first prompt";
        for (const learn_step_t &step : steps) {
            if (!ok) {
                break;
            }
            if (step.customer != 0) {
                // A held button repeats its press: one press all the same.
                send_raw(&receiver, nec_raw(step.customer, step.command, true));
                send_raw(&receiver, nec_raw(step.customer, step.command, true));
                send_raw(&receiver, nec_raw(step.customer, step.command, false));
            } else {
                ok = write(answers[1], step.answer, strlen(step.answer)) ==
                     static_cast<ssize_t>(strlen(step.answer));
            }
            ok = ok && wait_file_has(learn.out_path, step.reply, 5000);
            failed_at = ok ? "" : step.reply;
        }
        close(answers[1]);
        bool ended = wait_exit(&learn, 10000);
        std::string printed = read_file(learn.out_path);
        check(
            "learn: walks the standard names, refusing another remote and a command given "
            "twice, skipping, going back",
            ok && count_of(printed, "refused: command 10") == 1,
            "no \"" + failed_at + "\"; it printed:\n" + printed + read_file(learn.err_path));
        check("learn: names the remote of the Linux keymap library at the first press",
              printed.find("note: customer 0x0707 is khamsin's remote in the Linux keymap "
                           "library") != std::string::npos,
              printed);
        std::string file = read_file("/tmp/learned/customer_ir_0707.kl");
        std::string lines = file.substr(file.find('\n') + 1);
        check(
            "learn: writes the file and checks it with the standard layout",
            ended && learn.status == 0 &&
                lines == "key 10 POWER\nkey 11 DPAD_UP\nkey 12 DPAD_DOWN\n" &&
                printed.find("0 warnings, 0 errors") != std::string::npos,
            "status " + std::to_string(learn.status) + ", file:\n" + file + "printed:\n" + printed);
    } else {
        check("learn: starts beside the daemon", false, read_file(learn.err_path));
    }
    stop_daemon(&learn);
    close_session(&s);

    // The daemon, restarted with the learned file, translates each learned button.
    auto layouts = all_layouts();
    layouts.push_back({"customer_ir_0707.kl", read_file("/tmp/learned/customer_ir_0707.kl")});
    write_layouts(layouts);
    if (open_session(&s, "learned-daemon") &&
        wait_fd_open(s.daemon.pid, receiver.node, true, 2000)) {
        run_key_cases(&s, &receiver,
                      {{"learn: the daemon restarted with the learned file translates its buttons",
                        {nec_raw(k_learned, 10, true), nec_raw(k_learned, 10, false),
                         nec_raw(k_learned, 11, true), nec_raw(k_learned, 11, false),
                         nec_raw(k_learned, 12, true), nec_raw(k_learned, 12, false)},
                        "+116 -116 +103 -103 +108 -108"}});
    }
    close_session(&s);
    destroy_source(&receiver);
}

void run_import_case() {
    use_nec_layouts();
    daemon_t import;
    bool ran = start_command(&import, "keymap-import",
                             {k_keymap_tool_path, "import", "--dir", k_keylayout_dir,
                              "beelink_gs1.toml"}) == 0 &&
               wait_exit(&import, 10000);
    std::string printed = read_file(import.out_path) + read_file(import.err_path);
    check("import: writes a library remote's file into the folder given",
          ran && import.status == 0 &&
              printed.find("wrote /system/usr/keylayout/customer_ir_7f80.kl: 12 buttons") !=
                  std::string::npos,
          "status " + std::to_string(import.status) + "; it printed:\n" + printed);
    daemon_t again;
    ran = start_command(
              &again, "keymap-import-again",
              {k_keymap_tool_path, "import", "--dir", k_keylayout_dir, "beelink_gs1.toml"}) == 0 &&
          wait_exit(&again, 10000);
    check("import: never over a file without --force", ran && again.status == 1,
          "status " + std::to_string(again.status) + "; it printed:\n" + read_file(again.out_path));

    source_t receiver;
    session_t s;
    if (create_receiver("import", &receiver) && open_session(&s, "imported-daemon") &&
        wait_fd_open(s.daemon.pid, receiver.node, true, 2000)) {
        // beelink_gs1: 0x8051 KEY_POWER, 0x8026 KEY_UP, 0x800d KEY_OK, 0x801b KEY_BACK, and
        // 0x8053 KEY_HOME, the remote's Home.
        run_key_cases(&s, &receiver,
                      {{"import: the daemon translates the imported remote's buttons",
                        {nec_raw(0x7f80, 0x51, true), nec_raw(0x7f80, 0x51, false),
                         nec_raw(0x7f80, 0x26, true), nec_raw(0x7f80, 0x26, false),
                         nec_raw(0x7f80, 0x0d, true), nec_raw(0x7f80, 0x0d, false),
                         nec_raw(0x7f80, 0x1b, true), nec_raw(0x7f80, 0x1b, false),
                         nec_raw(0x7f80, 0x53, true), nec_raw(0x7f80, 0x53, false)},
                        "+116 -116 +103 -103 +28 -28 +158 -158 +102 -102"}});
    }
    close_session(&s);
    destroy_source(&receiver);
}
