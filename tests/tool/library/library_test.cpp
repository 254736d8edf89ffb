// SPDX-License-Identifier: Apache-2.0
// The Linux keymap library as the tool finds and reads it at run time: the copy installed with
// it, ir-keytable's folders, --library, and what is left out of them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/daemon_fixture.h"
#include "tool/library/library.h"
#include "tool/tool_run.h"

namespace {

using keymap_library = daemon_test;

std::vector<std::string> names_of(const std::vector<library_keymap_t> &keymaps) {
    std::vector<std::string> names;
    for (const library_keymap_t &keymap : keymaps) {
        names.push_back(keymap.name);
    }
    return names;
}

// Every field of every keymap, a line each, so that two libraries compare as text.
std::string text_of(const std::vector<library_keymap_t> &keymaps) {
    std::string text;
    for (const library_keymap_t &k : keymaps) {
        text += k.name + " " + k.file + " " + k.table.name + "\n";
        for (const keytable_protocol_t &p : k.table.protocols) {
            text += p.protocol + " " + p.variant + " " + std::to_string(p.line) + "\n";
            for (const keytable_entry_t &e : p.entries) {
                text +=
                    std::to_string(e.line) + " " + std::to_string(e.scancode) + " " + e.key + "\n";
            }
        }
    }
    return text;
}

const char k_head[] = "# a comment\nformat dravoke-keymaps 1\n";
const char k_first[] =
    "keymap one.toml One Remote\nprotocol 2 2 nec necx\n7 0x7f8051 KEY_POWER\n8 0x7f804d "
    "KEY_MUTE\n";
const char k_second[] = "keymap two.toml two\nprotocol 1 1 rc5\n6 0x1e3b KEY_HOME\n";

// Damage anywhere leaves out the keymap it falls in, named with the copy's line; the rest stays.
TEST_F(keymap_library, the_copy_keeps_each_whole_keymap_and_names_each_left_out) {
    const struct {
        std::string text;
        std::vector<std::string> kept;
        std::string problem;  // "" when none
    } rows[] = {
        {std::string(k_head) + k_first + k_second + "end\n", {"one", "two"}, ""},
        // Cut short: the last keymap may have lost a protocol.
        {std::string(k_head) + k_first + k_second,
         {"one"},
         "c:9: error: cut short: no \"end\" line; two.toml left out"},
        {std::string(k_head) + "keymap one.toml One\nprotocol 2 2 nec\n7 0x8051 KEY_POWER\n" +
             k_second + "end\n",
         {"two"},
         "c:6: error: 1 more keys were due for its last protocol; one.toml left out"},
        {std::string(k_head) + k_first + "9 0x7f8040 KEY_MENU\n" + k_second + "end\n",
         {"two"},
         "c:7: error: expected \"protocol LINE KEYS PROTOCOL [VARIANT]\" or \"keymap FILE NAME\"; "
         "one.toml left out"},
        {std::string(k_head) + k_first +
             "keymap two.toml two\nprotocol 1 1 rc5\n6 0x1e3b KEY_\xff\nend\n",
         {"one"},
         "c:9: error: expected \"LINE SCANCODE KEY\"; two.toml left out"},
        {std::string(k_head) + k_first +
             "keymap two.toml two\nprotocol 1 1 rc5\n6 0x1ffffffff KEY_HOME\nend\n",
         {"one"},
         "c:9: error: expected \"LINE SCANCODE KEY\""},
        {std::string(k_head) + k_first + "keymap two.toml two\nprotocol 1\nend\n",
         {"one"},
         "c:8: error: expected \"protocol LINE KEYS PROTOCOL [VARIANT]\"; two.toml left out"},
        {std::string(k_head) + "keymap empty.toml empty\n" + k_second + "end\n",
         {"two"},
         "c:4: error: a keymap without a protocol line; empty.toml left out"},
        {"[[protocols]]\nname = \"one\"\n",
         {},
         "c:1: error: not a copy of the Linux keymap library"},
        {"", {}, "c: error: empty, where a copy of the Linux keymap library was expected"},
        {std::string(k_head) + "keymap one.toml One\r\nend\n",
         {},
         "c:3: error: a byte that is not printable ASCII"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.text);
        std::vector<library_keymap_t> keymaps;
        std::vector<std::string> problems;
        parse_library_copy(row.text, "c", true, &keymaps, &problems);
        EXPECT_EQ(names_of(keymaps), row.kept);
        ASSERT_EQ(problems.size(), row.problem.empty() ? 0u : 1u);
        EXPECT_TRUE(row.problem.empty() ||
                    problems[0].compare(0, row.problem.size(), row.problem) == 0)
            << problems[0];
    }
    std::vector<library_keymap_t> keymaps;
    std::vector<std::string> problems;
    parse_library_copy(std::string(k_head) + k_first + "end\n", "c", true, &keymaps, &problems);
    EXPECT_EQ(text_of(keymaps),
              "one one.toml One Remote\nnec necx 2\n7 8355921 KEY_POWER\n8 8355917 KEY_MUTE\n");
}

// The copy installed with the tool holds, keymap by keymap, what the tool reads from
// ir-keytable's own files: the same names, protocols, scancodes, keys and lines.
TEST_F(keymap_library, the_copy_holds_what_ir_keytable_gives) {
    std::string folder = ir_keytable_folder();
    if (folder.empty()) {
        GTEST_SKIP() << "no /lib/udev/rc_keymaps: the ir-keytable package";
    }
    const tool_options_t options{};
    keymap_library_t from_folder;
    keymap_library_t from_copy;
    {
        library_places_t places({folder.c_str()}, "/nonexistent");
        read_keymap_library(&options, true, &from_folder);
    }
    {
        library_places_t places({});
        read_keymap_library(&options, true, &from_copy);
    }
    EXPECT_EQ(from_folder.problems, std::vector<std::string>());
    EXPECT_EQ(from_copy.problems, std::vector<std::string>());
    EXPECT_EQ(text_of(from_copy.keymaps), text_of(from_folder.keymaps))
        << "refresh the copy: python3 third_party/rc_keymaps/refresh.py";
    printf("the copy holds the %zu keymaps of %s as the tool reads them\n",
           from_copy.keymaps.size(), folder.c_str());
}

// The places in order, the first keymap of a name winning; each file that is no keymap named
// with its line and left out, the rest used; a keymap needed but unreadable fails the command.
TEST_F(keymap_library, the_first_keymap_of_a_name_wins_and_bad_files_are_left_out) {
    for (const char *folder : {"mine", "mine/protocols", "etc"}) {
        ASSERT_EQ(mkdir(path(folder).c_str(), 0755), 0);
    }
    write_file("keylayout/orvex-ir.kl", "key 1 POWER\nkey 2 HOME\n");
    // --library's folder, with ir-keytable's folder of BPF protocols, which is no keymap
    write_file("mine/mine.toml",
               "[[protocols]]\nname = \"mine\"\nprotocol = \"nec\"\n[protocols.scancodes]\n"
               "0x12a05 = \"KEY_POWER\"\n");
    write_file("mine/not_a_keymap.toml", "hello\n");
    write_file("mine/cut.toml", "[[protocols]]\nname = \"cut\"\nprotocol = \"nec\"\n[protocols.sc");
    write_file("mine/high.toml",
               "[[protocols]]\nprotocol = \"nec\"\n[protocols.scancodes]\n0x12a06 = \"KEY_\xff\"\n"
               "\"\xc3\xa9\" = \"KEY_HOME\"\n");
    write_file("mine/plain", "# table plain, type: RC5\n0x1e3b KEY_HOME\n");
    // The host's own folders: the user's, whose beelink_gs1 takes the place of the copy's, and
    // one that cannot be read.
    write_file("etc/beelink_gs1.toml",
               "[[protocols]]\nname = \"beelink_gs1\"\nprotocol = \"nec\"\n"
               "[protocols.scancodes]\n0x8002 = \"KEY_HOME\"\n");
    write_file("not_a_folder", "");
    std::string etc = path("etc");
    std::string file = path("not_a_folder");
    library_places_t places({etc.c_str(), file.c_str()});
    std::string mine = path("mine");

    tool_run_t listed = run_tool({"import", "--library", mine, "--list"});
    EXPECT_EQ(listed.status, 0);
    std::vector<std::string> names = lines_of(listed.out);
    for (const char *name : {"beelink_gs1", "mine", "plain", "x96max"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    }
    for (const char *name : {"cut", "high", "not_a_keymap", "protocols"}) {
        EXPECT_EQ(std::find(names.begin(), names.end(), name), names.end()) << name;
    }
    for (const std::string &problem :
         {mine + "/not_a_keymap.toml:1:6: error: ", mine + "/cut.toml:4:",
          mine + "/high.toml:5:2: error: byte 0xc3 in a key",
          file + ": error: cannot read the folder: Not a directory"}) {
        EXPECT_NE(listed.err.find(problem), std::string::npos) << problem << " in " << listed.err;
    }
    EXPECT_EQ(lines_of(listed.err).size(), 4u) << listed.err;

    const struct {
        std::string keymap;
        int status;
        std::string file;     // written, "" for none
        std::string lines;    // its key lines
        std::string printed;  // on standard output or error
    } imports[] = {
        {"mine", 0, "customer_ir_2a01.kl", "key 5 POWER\n", "wrote "},
        {"plain.toml", 0, "customer_rc5_ir_1e.kl", "key 59 HOME\n", "plain:2: note: KEY_HOME"},
        {"beelink_gs1", 0, "customer_ir_7f80.kl", "key 2 HOME\n", "beelink_gs1.toml:5: note: "},
        {"not_a_keymap", 2, "", "", mine + "/not_a_keymap.toml:1:6: error: "},
        {"high", 2, "", "", mine + "/high.toml:5:2: error: "},
        {"nothere", 2, "", "",
         "nothere: no such file, nor a keymap of the Linux keymap library (looked in " + mine +
             ", " + etc + ", " + file + ", /nonexistent, "},
    };
    for (const auto &row : imports) {
        SCOPED_TRACE(row.keymap);
        std::string out = path("out-" + row.keymap);
        ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
        tool_run_t got = run_tool(
            {"import", "--library", mine, "--dir", path("keylayout"), "--out", out, row.keymap});
        EXPECT_EQ(got.status, row.status) << got.out << got.err;
        EXPECT_NE((got.out + got.err).find(row.printed), std::string::npos) << got.out << got.err;
        EXPECT_EQ(count_entries(out), row.file.empty() ? 0 : 1);
        if (!row.file.empty()) {
            std::string text = read_whole(out + "/" + row.file);
            EXPECT_EQ(text.substr(text.find('\n') + 1), row.lines) << text;
        }
    }
    // A folder named that holds no keymap, or none at all, is said; the copy is used.
    ASSERT_EQ(mkdir(path("empty").c_str(), 0755), 0);
    for (const std::string &library : {path("empty"), path("gone")}) {
        tool_run_t got = run_tool({"import", "--library", library, "--list"});
        EXPECT_EQ(got.status, 0);
        EXPECT_NE(got.err.find(library + ": error: "), std::string::npos) << got.err;
        EXPECT_GT(lines_of(got.out).size(), 50u);
    }
}

// With no library anywhere, import and import --list say where they looked and how to get one;
// learn goes on without recognition, as with --no-library.
TEST_F(keymap_library, without_a_library_the_commands_say_where_they_looked) {
    write_file("keylayout/orvex-ir.kl", "key 1 POWER\nkey 2 HOME\n");
    library_places_t places({}, "/nonexistent/rc_keymaps.txt");
    const std::string looked =
        "no Linux keymap library found: looked in /nonexistent, /nonexistent, /nonexistent and "
        "/nonexistent/rc_keymaps.txt; name one with --library PATH (a folder of keymaps, or the "
        "tool's rc_keymaps.txt), or install ir-keytable";
    tool_run_t listed = run_tool({"import", "--list"});
    EXPECT_EQ(listed.status, 1);
    EXPECT_EQ(listed.out, "");
    EXPECT_EQ(listed.err, "dravoke-keymap: " + looked + "\n");
    tool_run_t imported = run_tool({"import", "--dir", path("keylayout"), "beelink_gs1"});
    EXPECT_EQ(imported.status, 2);
    EXPECT_EQ(imported.err, "dravoke-keymap: beelink_gs1: no such file, and " + looked + "\n");

    tool_run_t learned = run_tool_answering(
        {"learn", "--dir", path("keylayout"), "--out", path("keylayout")}, "q\n");
    EXPECT_NE(
        learned.out.find(looked + ": learning walks the names in order, as with --no-library\n"),
        std::string::npos)
        << learned.out;
    EXPECT_EQ(learned.out.find("recognising"), std::string::npos);
}

}  // namespace
