#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <memory>

#include "core/daemon.h"
#include "core/paths.h"
#include "core/protocol.h"
#include "inject/inject.h"
#include "receiver/receiver.h"
#include "tool/keymap_tool.h"

namespace {

struct learn_t {
    const tool_options_t *options;
    const layout_build_t *build;
    std::string out_dir;
    std::vector<std::string> names;       // the standard layout's, in its file's order
    size_t at;                            // the name asked for; names.size() when done
    int customer_code;                    // -1 until the first press
    std::map<int, std::string> assigned;  // command -> name: the file's lines
    bool held;                            // a button is down: its repeats are not presses
    raw_code_t held_code;
    bool done;
    int status;  // when done without writing
    FILE *out;
};

// The names a customer button can be given: those with a standard scancode above 0, once
// each, in the order the standard layout's lines name them.
std::vector<std::string> standard_names(const layout_build_t *build) {
    std::vector<std::string> names;
    auto lines = build->lines.find(standard_layout_path(build));
    if (lines == build->lines.end()) {
        return names;
    }
    for (const seen_line_t &line : lines->second) {
        bool at_zero;
        if (line.scancode > 0 &&
            standard_scancode_of(build, line.name.c_str(), &at_zero) == line.scancode &&
            std::find(names.begin(), names.end(), line.name) == names.end()) {
            names.push_back(line.name);
        }
    }
    return names;
}

std::string commands_of(const learn_t *learn, const std::string &name) {
    std::string commands;
    for (const auto &entry : learn->assigned) {
        if (entry.second == name) {
            commands += (commands.empty() ? "" : ", ") + std::to_string(entry.first);
        }
    }
    return commands;
}

void prompt(learn_t *learn) {
    if (learn->done) {
        return;
    }
    const std::string &name = learn->names[learn->at];
    std::string now = commands_of(learn, name);
    tool_print(learn->out, "press %s on the new remote%s (Enter: skip, b: back, q: finish)\n",
               name.c_str(), now.empty() ? "" : (", now command " + now).c_str());
    fflush(learn->out);
}

void advance(learn_t *learn) {
    learn->at++;
    learn->done = learn->at >= learn->names.size();
    prompt(learn);
}

// The lines of the customer file that learning starts from: the one in --out when it is to
// be overwritten, else the daemon's own table of that customer code.
void start_from_existing(learn_t *learn) {
    int32_t protocol = learn->build->protocol;
    std::string name = customer_file_name(protocol, learn->customer_code);
    std::string target = learn->out_dir + "/" + name;
    struct stat st;
    keymap_t table[k_keymap_size];
    memset(table, 0, sizeof(table));
    std::string from;
    if (lstat(target.c_str(), &st) == 0) {
        if (!learn->options->force) {
            tool_print(learn->out,
                       "%s exists: 'learn --force' extends it, or give another --out; nothing "
                       "written\n",
                       target.c_str());
            learn->done = true;
            learn->status = 1;
            return;
        }
        create_keymap_from_file(target.c_str(), table);
        from = target;
    } else {
        for (int t = 0; t < learn->build->count && from.empty(); t++) {
            if (learn->build->maps[t].customer_code == learn->customer_code) {
                memcpy(table, learn->build->customer[t], sizeof(table));
                from = learn->build->table_path[t];
            }
        }
    }
    for (int command = 0; command < k_keymap_size; command++) {
        if (table[command].name[0] != '\0') {
            learn->assigned[command] = table[command].name;
        }
    }
    if (!from.empty()) {
        tool_print(learn->out,
                   "learning starts from %s: its %zu buttons stay unless pressed anew\n",
                   from.c_str(), learn->assigned.size());
    }
}

void on_press(learn_t *learn, const raw_code_t &raw) {
    int32_t protocol = learn->build->protocol;
    std::string code = "customer 0x" + customer_code_text(protocol, raw.customer_code);
    if (learn->customer_code < 0) {
        learn->customer_code = raw.customer_code;
        tool_print(learn->out, "the new remote is %s %s\n", protocol_name(protocol), code.c_str());
        for (const std::string &note : {swapped_file_advice(learn->build, raw.customer_code),
                                        library_remotes_text(protocol, raw.customer_code)}) {
            if (!note.empty()) {
                tool_print(learn->out, "note: %s\n", note.c_str());
            }
        }
        start_from_existing(learn);
        if (learn->done) {
            return;
        }
    } else if (raw.customer_code != learn->customer_code) {
        tool_print(learn->out, "refused: that press is from %s, another remote than %s's\n",
                   code.c_str(), customer_code_text(protocol, learn->customer_code).c_str());
        prompt(learn);
        return;
    }
    const std::string &name = learn->names[learn->at];
    auto taken = learn->assigned.find(raw.command);
    if (taken != learn->assigned.end() && taken->second != name) {
        tool_print(learn->out, "refused: command %d is %s's already\n", raw.command,
                   taken->second.c_str());
        prompt(learn);
        return;
    }
    // A name pressed anew loses the commands it had.
    for (auto entry = learn->assigned.begin(); entry != learn->assigned.end();) {
        entry = entry->second == name ? learn->assigned.erase(entry) : std::next(entry);
    }
    learn->assigned[raw.command] = name;
    tool_print(learn->out, "%s: command %d (0x%02x)\n", name.c_str(), raw.command, raw.command);
    advance(learn);
}

void on_answer(learn_t *learn, std::string answer) {
    while (!answer.empty() && (answer.back() == '\r' || answer.back() == ' ')) {
        answer.pop_back();
    }
    const std::string &name = learn->names[learn->at];
    if (answer.empty()) {
        std::string now = commands_of(learn, name);
        tool_print(learn->out, "%s: %s\n", name.c_str(),
                   now.empty() ? "skipped" : ("keeps command " + now).c_str());
        advance(learn);
    } else if (answer == "b" && learn->at > 0) {
        learn->at--;
        tool_print(learn->out, "back to %s\n", learn->names[learn->at].c_str());
        prompt(learn);
    } else if (answer == "b") {
        tool_print(learn->out, "%s is the first name\n", name.c_str());
        prompt(learn);
    } else if (answer == "q") {
        tool_print(learn->out, "finished\n");
        learn->done = true;
    } else {
        tool_print(learn->out, "'%s' is no answer: press the button, or Enter, b or q\n",
                   answer.c_str());
        prompt(learn);
    }
}

int write_learned(learn_t *learn) {
    if (learn->status != 0) {
        return learn->status;
    }
    if (learn->customer_code < 0 || learn->assigned.empty()) {
        tool_print(learn->out, "nothing learned: no file written\n");
        return 1;
    }
    int32_t protocol = learn->build->protocol;
    std::string name = customer_file_name(protocol, learn->customer_code);
    std::string path = learn->out_dir + "/" + name;
    std::string text = std::string("# ") + protocol_name(protocol) + " customer 0x" +
                       customer_code_text(protocol, learn->customer_code) +
                       ", learned by dravoke-keymap learn\n";
    for (const auto &entry : learn->assigned) {
        text += "key " + std::to_string(entry.first) + " " + entry.second + "\n";
    }
    FILE *file = fopen(path.c_str(), learn->options->force ? "we" : "wxe");
    bool failed = file == nullptr || fwrite(text.data(), 1, text.size(), file) != text.size();
    failed = (file != nullptr && fclose(file) != 0) || failed;
    if (failed) {
        tool_print(learn->out, "%s: error: cannot write: %s; nothing written\n", path.c_str(),
                   strerror(errno));
        return 1;
    }
    tool_print(learn->out, "wrote %s: %zu button%s (%s customer 0x%s)\n", path.c_str(),
               learn->assigned.size(), learn->assigned.size() == 1 ? "" : "s",
               protocol_name(protocol), customer_code_text(protocol, learn->customer_code).c_str());
    check_written(learn->options, learn->out_dir, {name}, {protocol}, learn->out);
    tool_print(learn->out,
               "to install it: put it in %s beside %s (adb root; adb remount; adb push %s "
               "%s/), or add it to PRODUCT_COPY_FILES in the device tree; then restart the "
               "service: adb shell 'stop dravoke; start dravoke'\n",
               g_keylayout_dir, k_standard_layout_file, path.c_str(), g_keylayout_dir);
    return 0;
}

}  // namespace

int run_learn(const tool_options_t *options, FILE *out, FILE *err) {
    std::string out_dir = options->out_dir.empty() ? "." : options->out_dir;
    if (options->out_dir.empty() && same_folder(out_dir, g_keylayout_dir)) {
        tool_print(err,
                   "dravoke-keymap: the current folder is the system's key layout folder: learn "
                   "writes there only when --out names it\n");
        return 2;
    }
    // Learning needs one protocol; when the driver's file cannot be read, the daemon's.
    int32_t protocol = options->protocols.size() == 1 ? options->protocols[0] : k_ir_protocol_nec;
    auto build = std::make_unique<layout_build_t>();
    if (build_layouts(options->dir.c_str(), protocol, build.get()) != 0) {
        tool_print(err, "dravoke-keymap: cannot list %s: %s\n", options->dir.c_str(),
                   strerror(build->dir_error));
        return 1;
    }
    learn_t learn = {options, build.get(), out_dir, standard_names(build.get()),
                     0,       -1,          {},      false,
                     {},      false,       0,       out};
    if (learn.names.empty()) {
        tool_print(err, "dravoke-keymap: %s gives no name to learn\n",
                   standard_layout_path(build.get()).c_str());
        return 1;
    }
    use_layouts(build.get());

    // Standard input in the slot of the daemon's uevent socket, which the tool does not use.
    receiver_follow_t follow;
    if (start_following(&follow, err) != 0) {
        return 1;
    }
    follow.slots[k_slot_uevent] = {options->input_fd, POLLIN, 0};
    tool_print(err, "dravoke-keymap: %s%s; %s%s\n", follow.receiver != nullptr ? "reading " : "",
               receiver_state(&follow).c_str(),
               options->protocols.size() == 1 ? "" : "NEC, the daemon's choice: ",
               options->protocol_origin.c_str());
    tool_print(out, "learning a %s remote with the %zu names of %s\n", protocol_name(protocol),
               learn.names.size(), standard_layout_path(build.get()).c_str());
    prompt(&learn);

    std::string pending;
    while (!learn.done) {
        if (poll(follow.slots, g_nfds, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (serve_receiver_slots(&follow)) {
            struct input_event event;
            key_report_t report;
            if (input_event_process(follow.slots[k_slot_receiver].fd, &event) == 0 &&
                event.type != EV_SYN) {
                plan_key_report(&event, &report);
                // Releases end a press; the repeats of a held button are not presses.
                bool repeat = learn.held &&
                              report.raw.customer_code == learn.held_code.customer_code &&
                              report.raw.command == learn.held_code.command;
                learn.held = report.raw.pressed;
                learn.held_code = report.raw;
                if (report.raw.pressed && !repeat) {
                    on_press(&learn, report.raw);
                }
            }
        }
        // Answers come a line at a time; the end of input finishes.
        if (follow.slots[k_slot_uevent].revents & (POLLIN | POLLHUP | POLLERR)) {
            char buffer[256];
            ssize_t n = read(options->input_fd, buffer, sizeof(buffer));
            bool ended = n == 0 || (n < 0 && errno != EINTR);
            pending.append(buffer, n > 0 ? static_cast<size_t>(n) : 0);
            for (size_t end; !learn.done && (end = pending.find('\n')) != std::string::npos;) {
                std::string answer = pending.substr(0, end);
                pending.erase(0, end + 1);
                on_answer(&learn, answer);
            }
            if (ended && !learn.done && !pending.empty()) {
                on_answer(&learn, pending);  // a last answer without its newline
            }
            if (ended && !learn.done) {
                tool_print(out, "end of input\n");
                learn.done = true;
            }
        }
    }
    stop_following(&follow);
    return write_learned(&learn);
}
