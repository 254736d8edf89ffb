// SPDX-License-Identifier: Apache-2.0
// A learning session: each standard name in turn, filled by a press or passed over by an
// answer.
#include <string.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "keymap/keymap.h"
#include "tool/layouts/layouts.h"
#include "tool/learn/learn_session.h"
#include "tool/live/live.h"
#include "tool/print.h"

namespace {

std::string commands_of(const learn_t *learn, const std::string &name) {
    std::string commands;
    for (const auto &entry : learn->assigned) {
        if (entry.second == name) {
            commands += (commands.empty() ? "" : ", ") + std::to_string(entry.first);
        }
    }
    return commands;
}

void advance(learn_t *learn) {
    learn->at++;
    learn->done = learn->at >= learn->names.size() && !learn->match.offered;
    learn_prompt(learn);
}

// The remote has no button for the name: it keeps no command.
void drop_name(learn_t *learn, const std::string &name) {
    for (std::map<int, std::string> *lines : {&learn->assigned, &learn->match.pressed}) {
        for (auto entry = lines->begin(); entry != lines->end();) {
            entry = entry->second == name ? lines->erase(entry) : std::next(entry);
        }
    }
}

// The lines learning starts from: those of the file the customer code has already, in the
// output folder or the key layout folder, in either digit case. Only --force lets learning
// replace it, under its own name, so that no folder gets two files for one remote.
void start_from_existing(learn_t *learn) {
    customer_target_t target = find_customer_target(learn->out_dir, learn->options->dir,
                                                    learn->build->protocol, learn->customer_code);
    learn->file_name = target.name;
    if (target.existing.empty()) {
        return;
    }
    const std::string &from = target.existing[0];
    std::string path = learn->out_dir + "/" + target.name;
    if (!learn->options->force) {
        tool_print(learn->out, "%s exists: 'learn --force' extends it%s; nothing written\n",
                   from.c_str(), from == path ? "" : (" into " + path).c_str());
        learn->done = true;
        learn->status = 1;
        return;
    }
    keymap_t table[k_keymap_size];
    memset(table, 0, sizeof(table));
    create_keymap_from_file(from.c_str(), table);
    for (int command = 0; command < k_keymap_size; command++) {
        if (table[command].name[0] != '\0') {
            learn->assigned[command] = table[command].name;
        }
    }
    tool_print(learn->out, "learning starts from %s: its %zu buttons stay unless pressed anew\n",
               from.c_str(), learn->assigned.size());
}

// The answer to the offer, but q: yes takes the keymap's buttons, no goes on name by name.
void answer_offer(learn_t *learn, const std::string &answer) {
    library_match_t &match = learn->match;
    if (answer == "n" || answer == "no" || answer == "N") {
        tool_print(learn->out, "not taken: learning goes on name by name\n");
    } else if (answer.empty() || answer == "y" || answer == "yes" || answer == "Y") {
        const std::map<int, std::string> &taken = offered_lines(match);
        std::set<std::string> names;
        for (const auto &line : taken) {
            names.insert(line.second);
        }
        // A line learning started from stays where the keymap says nothing of its command or
        // its name.
        for (auto line = learn->assigned.begin(); line != learn->assigned.end();) {
            bool spoken = taken.count(line->first) != 0 || names.count(line->second) != 0;
            line = spoken ? learn->assigned.erase(line) : std::next(line);
        }
        learn->assigned.insert(taken.begin(), taken.end());
        auto rest = learn->names.begin() + static_cast<long>(learn->at);
        learn->names.erase(std::remove_if(rest, learn->names.end(),
                                          [&](const std::string &n) { return names.count(n); }),
                           learn->names.end());
        tool_print(learn->out, "took %zu buttons; %s\n", taken.size(),
                   learn->at >= learn->names.size()
                       ? "the keymap has every standard name"
                       : "now the standard names the keymap lacks (q: finish)");
    } else {
        tool_print(learn->out, "'%s' is no answer: Enter or y takes them, n goes on\n",
                   answer.c_str());
        print_offer(match, learn->out);
        return;
    }
    match.on = false;
    match.offered = false;
    learn->done = learn->at >= learn->names.size();
    learn_prompt(learn);
}

}  // namespace

std::vector<std::string> learnable_names(const layout_build_t *build) {
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

void learn_prompt(learn_t *learn) {
    if (learn->done) {
        return;
    }
    if (learn->match.offered) {
        print_offer(learn->match, learn->out);
        return;
    }
    // The name that tells the library's remotes apart first; the others keep the layout's
    // order, for when recognition ends.
    size_t next = choose_next_name(&learn->match, learn->names, learn->at, learn->customer_code);
    if (next != learn->at) {
        auto chosen = learn->names.begin() + static_cast<long>(next);
        std::rotate(learn->names.begin() + static_cast<long>(learn->at), chosen, chosen + 1);
    }
    const std::string &name = learn->names[learn->at];
    std::string now = commands_of(learn, name);
    tool_print(learn->out,
               "press %s on the new remote%s (Enter: skip, n: none on it, b: back, q: finish)\n",
               name.c_str(), now.empty() ? "" : (", now command " + now).c_str());
    fflush(learn->out);
}

void learn_press(learn_t *learn, const raw_code_t &raw) {
    if (learn->status != 0) {
        return;
    }
    if (learn->done) {
        tool_print(learn->out, "not learned: command %d came after the last name\n", raw.command);
        return;
    }
    int32_t protocol = learn->build->protocol;
    std::string code = "customer 0x" + customer_code_text(protocol, raw.customer_code);
    if (learn->customer_code < 0) {
        learn->customer_code = raw.customer_code;
        tool_print(learn->out, "the new remote is %s %s\n", protocol_name(protocol), code.c_str());
        for (const std::string &note :
             {swapped_file_advice(learn->build, raw.customer_code),
              library_remotes_text(*learn->library, protocol, raw.customer_code)}) {
            if (!note.empty()) {
                tool_print(learn->out, "note: %s\n", note.c_str());
            }
        }
        start_from_existing(learn);
        if (learn->done) {
            return;
        }
    } else if (learn->match.offered) {
        tool_print(learn->out, "refused: first the offer: Enter or y takes them, n goes on\n");
        print_offer(learn->match, learn->out);
        return;
    } else if (raw.customer_code != learn->customer_code) {
        tool_print(learn->out, "refused: that press is from %s, another remote than %s's\n",
                   code.c_str(), customer_code_text(protocol, learn->customer_code).c_str());
        learn_prompt(learn);
        return;
    }
    const std::string &name = learn->names[learn->at];
    auto taken = learn->assigned.find(raw.command);
    if (taken != learn->assigned.end() && taken->second != name) {
        tool_print(learn->out, "refused: command %d is %s's already\n", raw.command,
                   taken->second.c_str());
        learn_prompt(learn);
        return;
    }
    // A name pressed anew loses the commands it had.
    drop_name(learn, name);
    learn->assigned[raw.command] = name;
    learn->match.pressed[raw.command] = name;
    learn->match.absent.erase(name);
    tool_print(learn->out, "%s: command %d (0x%02x)\n", name.c_str(), raw.command, raw.command);
    match_evidence(&learn->match, learn->customer_code, learn->out);
    advance(learn);
}

void learn_answer(learn_t *learn, std::string answer) {
    if (learn->done) {
        return;
    }
    while (!answer.empty() && (answer.back() == '\r' || answer.back() == ' ')) {
        answer.pop_back();
    }
    if (learn->match.offered && answer != "q") {
        answer_offer(learn, answer);
        return;
    }
    const std::string name = learn->at < learn->names.size() ? learn->names[learn->at] : "";
    if (answer == "q") {
        tool_print(learn->out, "finished\n");
        learn->done = true;
    } else if (answer.empty()) {
        std::string now = commands_of(learn, name);
        tool_print(learn->out, "%s: %s\n", name.c_str(),
                   now.empty() ? "skipped" : ("keeps command " + now).c_str());
        advance(learn);
    } else if (answer == "n") {
        drop_name(learn, name);
        learn->match.absent.insert(name);
        tool_print(learn->out, "%s: none on this remote\n", name.c_str());
        match_evidence(&learn->match, learn->customer_code, learn->out);
        advance(learn);
    } else if (answer == "b" && learn->at > 0) {
        learn->at--;
        tool_print(learn->out, "back to %s\n", learn->names[learn->at].c_str());
        learn_prompt(learn);
    } else if (answer == "b") {
        tool_print(learn->out, "%s is the first name\n", name.c_str());
        learn_prompt(learn);
    } else {
        tool_print(learn->out, "'%s' is no answer: press the button, or Enter, n, b or q\n",
                   answer.c_str());
        learn_prompt(learn);
    }
}
