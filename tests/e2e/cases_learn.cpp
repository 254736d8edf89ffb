// SPDX-License-Identifier: Apache-2.0
// dravoke-keymap's two routes to a new remote on the guest: learn, driven by presses from the
// stand-in receiver and answers on a pipe, and import of a remote of the Linux keymap library;
// then the daemon, restarted with the file written, translates the remote's buttons.
#include <fcntl.h>
#include <signal.h>
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

// The learned remote 0x0707, whose code the Linux library knows.
constexpr uint32_t k_learned = 0x0707;

}  // namespace

std::string drive_learn(daemon_t *learn, const std::vector<std::string> &args, source_t *receiver,
                        const std::vector<learn_step_t> &steps) {
    std::vector<std::string> command = {k_keymap_tool_path, "learn"};
    command.insert(command.end(), args.begin(), args.end());
    // The prompt of an earlier session, in the same output file, must not be taken for its own.
    unlink("/tmp/keymap-learn.out");
    int answers[2] = {-1, -1};
    if (pipe2(answers, O_CLOEXEC) != 0 ||
        start_command(learn, "keymap-learn", command, answers[0]) != 0) {
        close(answers[0]);
        close(answers[1]);
        return "learn started";
    }
    close(answers[0]);
    std::string failed_at = wait_file_has(learn->out_path, " on the new remote (Enter: skip", 5000)
                                ? ""
                                : "the first prompt";
    for (size_t i = 0; i < steps.size() && failed_at.empty(); i++) {
        const learn_step_t &step = steps[i];
        bool ok = true;
        if (step.action == k_press || step.action == k_hold) {
            // A held button repeats its press: one press all the same.
            ok = send_raw(receiver, nec_raw(step.customer, step.command, true)) == 0;
        }
        if (step.action == k_press) {
            send_raw(receiver, nec_raw(step.customer, step.command, true));
            send_raw(receiver, nec_raw(step.customer, step.command, false));
        } else if (step.action == k_answer) {
            ok = write(answers[1], step.answer, strlen(step.answer)) ==
                 static_cast<ssize_t>(strlen(step.answer));
        } else if (step.action == k_pause || step.action == k_resume) {
            ok = step.action == k_pause ? stop_process(learn->pid, 2000)
                                        : kill(learn->pid, SIGCONT) == 0;
        } else if (step.action == k_replug) {
            destroy_source(receiver);
            ok = create_source(k_receiver_name, receiver) == 0 &&
                 wait_fd_open(learn->pid, receiver->node, true, 2000);
        }
        ok = ok && (step.reply == nullptr || wait_file_has(learn->out_path, step.reply, 5000));
        failed_at = ok ? "" : "step " + std::to_string(i);
    }
    close(answers[1]);
    wait_exit(learn, 10000);
    return failed_at;
}

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
    if (open_session(&s, "learn-daemon") && wait_fd_open(s.daemon.pid, receiver.node, true, 2000)) {
        std::string failed_at = drive_learn(
            &learn, {"--out", "/tmp/learned", "--no-library"}, &receiver,
            {
                // Held as the receiver goes, a button pressed after it returns counts.
                {k_hold, k_learned, 10, nullptr, "POWER: command 10 (0x0a)"},
                {k_replug, 0, 0, nullptr, nullptr},
                {k_press, k_learned, 10, nullptr, "refused: command 10 is POWER's already"},
                {k_press, k_nec_a, 5, nullptr, "refused: that press is from customer 0xbf40"},
                {k_press, k_learned, 11, nullptr, "DPAD_UP: command 11 (0x0b)"},
                {k_answer, 0, 0, "\n", "DPAD_DOWN: skipped"},
                {k_answer, 0, 0, "b\n", "back to DPAD_DOWN"},
                // Presses queued before q are all taken.
                {k_pause, 0, 0, nullptr, nullptr},
                {k_press, k_learned, 12, nullptr, nullptr},
                {k_press, k_learned, 13, nullptr, nullptr},
                {k_answer, 0, 0, "q\n", nullptr},
                {k_resume, 0, 0, nullptr, "finished"},
            });
        std::string printed = read_file(learn.out_path);
        check(
            "learn: walks the standard names, refusing another remote and a command given "
            "twice, skipping, going back, across a replug",
            failed_at.empty() && count_of(printed, "refused: command 10") == 1,
            "no \"" + failed_at + "\"; it printed:\n" + printed + read_file(learn.err_path));
        check("learn: names the remote of the Linux keymap library at the first press",
              printed.find("note: customer 0x0707 is khamsin's remote in the Linux keymap "
                           "library") != std::string::npos,
              printed);
        std::string file = read_file("/tmp/learned/customer_ir_0707.kl");
        std::string lines = file.substr(file.find('\n') + 1);
        check(
            "learn: writes the file, presses queued before q included, and checks it",
            learn.exited && learn.status == 0 &&
                lines == "key 10 POWER\nkey 11 DPAD_UP\nkey 12 DPAD_DOWN\nkey 13 DPAD_LEFT\n" &&
                printed.find("0 warnings, 0 errors") != std::string::npos,
            "status " + std::to_string(learn.status) + ", file:\n" + file + "printed:\n" + printed);
    } else {
        check("learn: starts beside the daemon", false, read_file(s.daemon.err_path));
    }
    stop_daemon(&learn);
    close_session(&s);

    // The daemon, restarted with the learned file, translates each learned button.
    auto layouts = all_layouts();
    layouts.push_back({"customer_ir_0707.kl", read_file("/tmp/learned/customer_ir_0707.kl")});
    layouts.push_back({"customer_ir_2BD4.kl", "key 5 DPAD_UP\n"});
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

    // A file of the code under the other digit case is refused at the first press.
    std::string failed_at = drive_learn(
        &learn, {"--out", k_keylayout_dir, "--no-library"}, &receiver,
        {{k_press, 0x2bd4, 7, nullptr, "customer_ir_2BD4.kl exists: 'learn --force' extends it"}});
    check("learn: refuses a file of the code in the other digit case",
          failed_at.empty() && learn.status == 1 &&
              access("/system/usr/keylayout/customer_ir_2bd4.kl", F_OK) != 0,
          failed_at + "; status " + std::to_string(learn.status) + "; it printed:\n" +
              read_file(learn.out_path));
    stop_daemon(&learn);
    destroy_source(&receiver);
}

// Under RC5 a TV's remote sends system address 0: learned, as a customer code like any other,
// into the RC5 file of that code.
void run_rc5_learn_case(source_t *receiver) {
    mkdir("/tmp/learned-rc5", 0755);
    daemon_t learn;
    learn.exited = true;
    std::string failed_at =
        drive_learn(&learn, {"--out", "/tmp/learned-rc5", "--no-library"}, receiver,
                    {{k_press, 0x00, 12, nullptr, "POWER: command 12 (0x0c)"},
                     {k_answer, 0, 0, "q\n", "finished"}});
    std::string file = read_file("/tmp/learned-rc5/customer_rc5_ir_00.kl");
    check("rc5: learn writes the remote of system address 0 into customer_rc5_ir_00.kl",
          failed_at.empty() && learn.status == 0 &&
              file.substr(file.find('\n') + 1) == "key 12 POWER\n",
          failed_at + "; status " + std::to_string(learn.status) + "; file:\n" + file +
              "printed:\n" + read_file(learn.out_path));
    stop_daemon(&learn);
}

// A remote that the library gives by its commands alone (cinergy), under a customer code of no
// keymap: learn asks for the names that tell the keymaps apart and offers cinergy's after three
// presses; the daemon, restarted with the file taken, translates a button never pressed.
void run_recognise_case() {
    use_nec_layouts();
    mkdir("/tmp/recognised", 0755);
    source_t receiver;
    if (!create_receiver("recognise", &receiver)) {
        return;
    }
    daemon_t learn;
    std::string failed_at = drive_learn(
        &learn, {"--out", "/tmp/recognised"}, &receiver,
        {{k_press, 0x3cc3, 15, nullptr, "VOLUME_UP: command 15"},
         {k_press, 0x3cc3, 10, nullptr, "POWER: command 10"},
         {k_press, 0x3cc3, 21, nullptr, "this is cinergy (9 buttons): take them? [Y/n]"},
         {k_answer, 0, 0, "\n", "took 9 buttons"},
         {k_answer, 0, 0, "q\n", "finished"}});
    std::string file = read_file("/tmp/recognised/customer_ir_3cc3.kl");
    check(
        "learn: recognises a remote that the library gives by its commands alone in 3 presses, "
        "and writes its 9 buttons",
        failed_at.empty() && learn.status == 0 && count_of(file, "\nkey ") == 9,
        "no \"" + failed_at + "\"; it printed:\n" + read_file(learn.out_path) + "file:\n" + file);
    stop_daemon(&learn);
    auto layouts = all_layouts();
    layouts.push_back({"customer_ir_3cc3.kl", file});
    write_layouts(layouts);
    session_t s;
    if (open_session(&s, "recognised-daemon") &&
        wait_fd_open(s.daemon.pid, receiver.node, true, 2000)) {
        // cinergy's DPAD_LEFT, command 23.
        run_key_cases(&s, &receiver,
                      {{"learn: the daemon translates a button of the recognised remote never "
                        "pressed",
                        {nec_raw(0x3cc3, 23, true), nec_raw(0x3cc3, 23, false)},
                        "+105 -105"}});
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
