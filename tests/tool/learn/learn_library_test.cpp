// SPDX-License-Identifier: Apache-2.0
// learn recognising the remotes of the Linux keymap library: a session simulated for every
// remote of the library, pressing what learn asks for, on a box's 44-key standard layout.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/protocol.h"
#include "support/daemon_fixture.h"
#include "tool/import/import.h"
#include "tool/layouts/layouts.h"
#include "tool/learn/learn_session.h"
#include "tool/library/library.h"
#include "tool/tool_run.h"

namespace {

using learn_library = daemon_test;

// A remote of the library: a keymap under one customer code, its keys at their commands.
struct remote_t {
    std::string name;
    int32_t protocol;
    int customer_code;
    std::string keymap;  // as a plain-text keymap of the codes it sends, for import
};

// Every keymap-and-customer-code of the tool's library; command-byte keymaps under spare, a
// customer code of no keymap.
std::vector<remote_t> every_library_remote(const keymap_library_t &library, int spare) {
    std::vector<remote_t> remotes;
    for (const library_keymap_t &keymap : library.keymaps) {
        keytable_t table = keymap.table;
        table.name = keymap.name;
        std::map<std::pair<int32_t, int>, size_t> at;
        for (const keytable_protocol_t &p : table.protocols) {
            int bits = 0;
            bool bytes = p.protocol == "unknown";
            int32_t protocol = bytes ? k_ir_protocol_nec : receiver_protocol_of(p, &bits);
            if (protocol < 0 || (bytes && !scancodes_are_commands(p))) {
                continue;
            }
            for (const keytable_entry_t &entry : p.entries) {
                ir_code_t code = {protocol, spare, static_cast<int>(entry.scancode)};
                std::string why;
                if (!bytes &&
                    scancode_to_code(protocol, bits, entry.scancode, false, &code, &why)) {
                    continue;
                }
                bool rc5 = protocol == k_ir_protocol_rc5;
                if (at.count({protocol, code.customer_code}) == 0) {
                    at[{protocol, code.customer_code}] = remotes.size();
                    remotes.push_back(
                        {table.name, protocol, code.customer_code,
                         "# table " + table.name + (rc5 ? ", type: RC5\n" : ", type: NECX\n")});
                }
                // NECX 0xAABBcc is customer 0xBBAA.
                uint32_t c = static_cast<uint32_t>(code.customer_code);
                uint32_t address = rc5 ? c << 8 : (c & 0xff) << 16 | (c >> 8) << 8;
                remotes[at[{protocol, code.customer_code}]].keymap +=
                    std::to_string(address | static_cast<uint32_t>(code.command)) + " " +
                    entry.key + "\n";
            }
        }
    }
    return remotes;
}

// import's file for the remote, as command -> name.
std::map<int, std::string> imported_lines(const remote_t &remote, const std::string &dir) {
    FILE *file = fopen((dir + "/keymap.txt").c_str(), "w");
    fputs(remote.keymap.c_str(), file);
    fclose(file);
    run_tool({"import", "--dir", dir, "--out", dir + "/imported", "--force", dir + "/keymap.txt"});
    std::map<int, std::string> lines;
    std::string name = customer_file_name(remote.protocol, remote.customer_code);
    for (const std::string &line : lines_of(read_whole(dir + "/imported/" + name))) {
        char standard[64];
        int command;
        if (sscanf(line.c_str(), "key %d %63s", &command, standard) == 2) {
            lines[command] = standard;
        }
    }
    return lines;
}

struct session_t {
    std::string printed;
    std::map<int, std::string> lines;  // the file's
    int offered_after;                 // presses and answers before the offer; -1: none
};

// A session from start, whose library's files are made: each step presses the remote's
// button for the name asked ("", or answers n when it has none), a command ("#12"), or answers;
// without steps, it goes on until the offer and takes it.
session_t run_session(const learn_t &start, const remote_t &remote,
                      const std::map<int, std::string> &file, std::vector<std::string> steps) {
    std::map<std::string, int> buttons;  // the remote's first button of each name
    for (const auto &line : file) {
        buttons.insert({line.second, line.first});
    }
    char *text = nullptr;
    size_t size = 0;
    learn_t learn = start;
    learn.out = open_memstream(&text, &size);
    learn_prompt(&learn);
    session_t session = {"", {}, -1};
    bool until_offer = steps.empty();
    for (size_t step = 0; !learn.done && step < (until_offer ? 60 : steps.size()); step++) {
        std::string action = until_offer ? "" : steps[step];
        if (until_offer && learn.match.offered) {
            session.offered_after = static_cast<int>(step);
            learn_answer(&learn, "");
            break;
        }
        auto button = learn.match.offered ? buttons.end() : buttons.find(learn.names[learn.at]);
        if (action[0] == '#' || (action.empty() && button != buttons.end())) {
            int command = action.empty() ? button->second : std::stoi(action.substr(1));
            learn_press(&learn, {remote.customer_code, command, true});
            continue;
        }
        learn_answer(&learn, action.empty() ? "n" : action);
    }
    fclose(learn.out);
    session.printed.assign(text, size);
    free(text);
    session.lines = learn.assigned;
    return session;
}

// A session's start on the standard layout of a build, recognising the library's remotes, so
// that each session run from it finds the library's files made.
learn_t recognising_start(const layout_build_t *build, const tool_options_t *options,
                          const keymap_library_t *library, const std::string &out_dir) {
    learn_t start = {};
    start.options = options;
    start.build = build;
    start.out_dir = out_dir;
    start.names = learnable_names(build);
    start.customer_code = -1;
    start.out = stdout;
    start.library = library;
    start_library_match(&start.match, build, options, *library, start.names, stdout);
    return start;
}

TEST_F(learn_library, recognises_the_librarys_remotes_within_three_presses) {
    ASSERT_EQ(mkdir(path("box").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(path("box/imported").c_str(), 0755), 0);
    // A name at scancode 0 alone is never a target: not one to learn.
    write_file("box/orvex-ir.kl", std::string(k_box_standard) + "key 0 SLEEP\n");
    // A session's start under each protocol, the library's files made once.
    std::unique_ptr<layout_build_t[]> builds(new layout_build_t[2]);
    tool_options_t options[2] = {};
    learn_t start[2] = {};
    // The copy of the library installed with the tool, as on a box.
    library_places_t places({});
    keymap_library_t library;
    read_keymap_library(&options[0], true, &library);
    ASSERT_TRUE(library.problems.empty()) << library.problems[0];
    for (int32_t protocol : {k_ir_protocol_nec, k_ir_protocol_rc5}) {
        ASSERT_EQ(build_layouts(path("box").c_str(), protocol, &builds[protocol]), 0);
        options[protocol].dir = path("box");
        options[protocol].protocols = {protocol};
        start[protocol] =
            recognising_start(&builds[protocol], &options[protocol], &library, path("box"));
    }
    ASSERT_EQ(start[k_ir_protocol_nec].names.size(), 44u);

    std::map<int, int> needed;  // presses and answers before the offer -> sessions; -1: none
    int sessions = 0;
    int equal = 0;
    std::vector<std::string> wrong;
    std::map<std::string, std::pair<remote_t, std::map<int, std::string>>> by_name;
    for (const remote_t &remote : every_library_remote(library, 0x3cc3)) {
        std::map<int, std::string> file = imported_lines(remote, path("box"));
        if (file.size() < 3) {
            continue;  // fewer than three standard names: not a remote to recognise
        }
        session_t session = run_session(start[remote.protocol], remote, file, {});
        by_name[remote.name] = {remote, file};
        // Three remotes left are named, with no "and 0 more".
        EXPECT_EQ(session.printed.find(" and 0 more"), std::string::npos) << remote.name;
        sessions++;
        needed[session.offered_after]++;
        equal += session.lines == file;
        if (session.offered_after >= 0 && session.lines != file) {
            wrong.push_back(remote.name);
        }
    }
    std::string distribution;
    int within_three = 0;
    for (const auto &count : needed) {
        distribution += (distribution.empty() ? "" : ", ") +
                        (count.first < 0 ? "never" : std::to_string(count.first)) + ": " +
                        std::to_string(count.second);
        within_three += count.first >= 0 && count.first <= 3 ? count.second : 0;
    }
    printf(
        "learn over %d remotes of the library (keymap and customer code, 3 standard names or "
        "more): presses and answers before the offer: %s; %d within 3 (%.1f%%); %d wrong; %d "
        "files equal to import's\n",
        sessions, distribution.c_str(), within_three, 100.0 * within_three / sessions,
        static_cast<int>(wrong.size()), equal);
    EXPECT_TRUE(wrong.empty()) << wrong[0];
    EXPECT_EQ(needed.count(-1), 0u) << "every remote is offered in the end";
    // Three presses for a remote the library gives by its commands alone, and a "none" among
    // them for some, put the best any order of prompts can do a little above nine in ten.
    EXPECT_GE(within_three * 10, sessions * 9);
    EXPECT_GT(sessions, 100);

    // cinergy's commands alone: the offer after three presses, answered with a press, a word,
    // then no, which ends the offers; a press that no keymap fits ends recognition, said once. An
    // RC5 remote at address 0 tells its code at the first press, as any other.
    std::string offer = "this is cinergy (" + std::to_string(by_name["cinergy"].second.size()) +
                        " buttons): take them?";
    const struct {
        const char *remote;
        std::vector<std::string> steps;
        std::vector<std::string> printed;  // in this order; "!TEXT": not after those before
        size_t lines;
    } rows[] = {
        {"cinergy",
         {"", "", "", "#10", "x", "n", "", "", "q"},
         {"fits 1 remote of the library: cinergy", offer, "refused: first the offer", offer,
          "'x' is no answer: Enter or y takes them, n goes on", offer, "not taken", "!this is",
          "press 1 on", "!took"},
         5},
        // Back to a name pressed, then none on the remote: its command goes.
        {"cinergy",
         {"", "b", "n", "q"},
         {"back to ", "on the new remote, now command 15", ": none on this remote", "finished"},
         0},
        {"cinergy",
         {"#250", "", "", "q"},
         {": command 250 (0xfa)",
          "fits no remote of the Linux keymap library: learning goes on name by name",
          "!fits no remote", "!this is"},
         3},
        {"dvbsky", {"", ""}, {"this is dvbsky ("}, 2},
    };
    for (const auto &row : rows) {
        const auto &remote = by_name[row.remote];
        session_t session =
            run_session(start[remote.first.protocol], remote.first, remote.second, row.steps);
        size_t at = 0;
        for (const std::string &text : row.printed) {
            bool never = text[0] == '!';
            size_t found = session.printed.find(text.substr(never), at);
            EXPECT_EQ(found == std::string::npos, never) << text << " in:\n" << session.printed;
            at = never || found == std::string::npos ? at : found + 1;
        }
        EXPECT_EQ(session.lines.size(), row.lines);
    }
    // Under RC5 a keymap of command bytes is a remote only when its every command fits 7 bits.
    std::set<std::string> rc5;
    for (const library_file_t &file :
         library_files(&builds[k_ir_protocol_rc5], &options[k_ir_protocol_rc5], library)) {
        rc5.insert(file.remote);
    }
    for (const auto &keymap :
         std::map<std::string, size_t>{{"winfast_usbii_deluxe", 1}, {"tbs_nec", 0}}) {
        EXPECT_EQ(rc5.count(keymap.first), keymap.second) << keymap.first;
    }
}

// A keymap that the user adds to the host's own folder is recognised as the library's are, and
// takes the place of the copy's keymap of its name.
TEST_F(learn_library, recognises_a_keymap_the_user_adds_on_the_host) {
    ASSERT_EQ(mkdir(path("box").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(path("etc").c_str(), 0755), 0);
    write_file("box/orvex-ir.kl", k_box_standard);
    write_file("etc/mine.toml",
               "[[protocols]]\nname = \"mine\"\nprotocol = \"nec\"\nvariant = \"necx\"\n"
               "[protocols.scancodes]\n0x5aa501 = \"KEY_POWER\"\n0x5aa502 = \"KEY_UP\"\n"
               "0x5aa503 = \"KEY_DOWN\"\n0x5aa504 = \"KEY_OK\"\n");
    std::string etc = path("etc");
    library_places_t places({etc.c_str()});
    tool_options_t options = {};
    options.dir = path("box");
    options.protocols = {k_ir_protocol_nec};
    keymap_library_t library;
    read_keymap_library(&options, true, &library);
    layout_build_t build;
    ASSERT_EQ(build_layouts(path("box").c_str(), k_ir_protocol_nec, &build), 0);
    learn_t start = recognising_start(&build, &options, &library, path("box"));
    remote_t remote = {"mine", k_ir_protocol_nec, 0xa55a, ""};
    std::map<int, std::string> file = {
        {1, "POWER"}, {2, "DPAD_UP"}, {3, "DPAD_DOWN"}, {4, "DPAD_CENTER"}};
    session_t session = run_session(start, remote, file, {});
    EXPECT_TRUE(session.offered_after >= 2 && session.offered_after <= 3) << session.printed;
    for (const char *text : {"note: customer 0xa55a is mine's remote in the Linux keymap library",
                             "this is mine (4 buttons): take them?"}) {
        EXPECT_NE(session.printed.find(text), std::string::npos) << text << session.printed;
    }
    EXPECT_EQ(session.lines, file);
}

}  // namespace
