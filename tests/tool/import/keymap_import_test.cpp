// SPDX-License-Identifier: Apache-2.0
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "support/daemon_fixture.h"
#include "tool/files/file_calls.h"
#include "tool/library/library.h"
#include "tool/tool_run.h"

namespace {

using keymap_import = daemon_test;

const char k_header[] = "), from the Linux keymap library by dravoke-keymap import\n";

TEST_F(keymap_import, writes_each_customer_code_by_the_receivers_rules) {
    ASSERT_EQ(mkdir(path("std").c_str(), 0755), 0);
    write_file(
        "std/orvex-ir.kl",
        "key 1 POWER\nkey 2 DPAD_CENTER\nkey 3 DPAD_UP\nkey 4 HOME\nkey 0 MENU\nkey 5 ENTER\n");
    write_file("a.toml",
               "[[protocols]]\nname = \"box_a\"\nprotocol = \"nec\"\nvariant = \"nec\"\n"
               "[protocols.scancodes]\n"
               "0x8051 = \"KEY_POWER\"\n"    // 6
               "0x800d = \"KEY_OK\"\n"       // 7
               "0x8026 = \"KEY_UP\"\n"       // 8
               "0x8052 = \"KEY_EPG\"\n"      // 9: no Android label; GUIDE, which the layout lacks
               "0x8053 = \"KEY_HOME\"\n"     // 10: MOVE_HOME, which it lacks: HOME on a remote
               "0x8054 = \"KEY_FROB\"\n"     // 11
               "0x8055 = \"KEY_MENU\"\n"     // 12: only at standard scancode 0
               "0x8056 = \"KEY_HOME\"\n"     // 13: its meaning said once
               "0x8057 = \"KEY_ENTER\"\n");  // 14: ENTER, before its meaning on a remote
    write_file("b.toml",
               "[[protocols]]\nprotocol = \"nec\"\nvariant = \"necx\"\n[protocols.scancodes]\n"
               "0x123451 = \"KEY_POWER\"\n"
               "0x8051 = \"KEY_UP\"\n"  // 6: NECX 0x008051, customer 0x8000
               "[[protocols]]\nprotocol = \"nec\"\nvariant = \"nec32\"\n[protocols.scancodes]\n"
               "0x30850051 = \"KEY_POWER\"\n"
               "0x30850151 = \"KEY_UP\"\n"  // 12: the same customer code and command
               "[[protocols]]\nprotocol = \"nec\"\n[protocols.scancodes]\n"
               "0x4151 = \"KEY_POWER\"\n0x223351 = \"KEY_OK\"\n0x55667751 = \"KEY_UP\"\n"
               "0x0 = \"KEY_UP\"\n"
               "[[protocols]]\nprotocol = \"rc5\"\nvariant = \"rc5\"\n[protocols.scancodes]\n"
               "0x1e3b = \"KEY_POWER\"\n0xeb01 = \"KEY_UP\"\n0x0180 = \"KEY_OK\"\n"
               "[[protocols]]\nprotocol = \"rc6\"\n[protocols.scancodes]\n0x1 = \"KEY_UP\"\n"
               "[[protocols]]\nprotocol = \"unknown\"\n[protocols.scancodes]\n0x12 = \"KEY_UP\"\n"
               "[[protocols]]\nprotocol = \"nec\"\nvariant = \"nec-x\"\n[protocols.scancodes]\n"
               "0x1 = \"KEY_UP\"\n");
    write_file("c.txt", "# table old_box, type: NEC\n0x8051 KEY_POWER\n\n# more\n0x8026 KEY_UP\n");
    write_file("bad.toml", "[[protocols]]\nprotocol = \"nec\"\n[protocols.scancodes]\nx = [\n");
    write_file("bad.txt", "# table old_box, type: NEC\n0x8051 KEY_POWER extra\n");
    write_file("named.toml",
               "# caf\xc3\xa9\n[[protocols]]\nname = \"box\\nkey 7 POWER \xc3\xa9\"\n"
               "protocol = \"nec\"\n[protocols.scancodes]\n0x8051 = \"KEY_POWER\"\n");
    write_file("star.toml", "[[*protocols]]\nprotocol = \"nec\"\n");
    write_file("nbsp.toml", "[[protocols]]\nprotocol = \"nec\" \xc2\xa0\n");
    write_file("after_value.toml", "[[protocols]]\nname = 0x30\"caf\xc3\xa9\"\n");
    write_file("quoted_key.toml",
               "[[protocols]]\nprotocol = \"nec\"\n[protocols.scancodes]\n"
               "\"0x80\xc3\xa9\" = \"KEY_UP\"\n");
    write_file("long.toml", "[[protocols]]\nname = \"\"\"a\\\n\\\xc3\xa9\"\"\"\n");
    write_file("bad_key.toml",
               "[[protocols]]\nprotocol = \"nec\"\n[protocols.scancodes]\n0x80zz = \"KEY_UP\"\n");
    write_file("first_line.toml", "\"\200x\" = 1\n");
    write_file("literal.toml", "[[protocols]]\nname = 'a\\' \xc3\xa9\n");
    write_file("quotes.toml", "[[protocols]]\nname = \"\"\"\"\"\xc3\xa9\"\"\"\n");
    write_file("after_long.toml", "[[protocols]]\nname = \"\"\"a\"\"\"\n\xc3\xa9 = 1\n");
    write_file("rc6.txt", "# table rc6_box, type: RC6\n0x1 KEY_UP\n");
    // A hand-tuned file of 0x7f80 under the other digit case, in an output folder and in a
    // second standard folder; a keymap of 18 customer codes; paths that are no keymap.
    for (const char *dir : {"out", "cased", "fresh", "std2", "dir.toml", "raced", "named"}) {
        ASSERT_EQ(mkdir(path(dir).c_str(), 0755), 0);
    }
    write_file("cased/customer_ir_7F80.kl", "key 81 POWER\n");
    write_file("std2/customer_ir_7F80.kl", "key 81 POWER\n");
    write_file("std2/orvex-ir.kl", read_whole(path("std/orvex-ir.kl")));
    // The check after writing names the standard layout's own lines at their own path.
    const std::string standard_line =
        path("std2") + "/orvex-ir.kl:1: warning: POWER (scancode 1) reaches Android as ESCAPE";
    std::string many = "# table many, type: NEC\n";
    for (int i = 0; i < 18; i++) {
        many += "0x" + std::to_string(30 + i) + "1051 KEY_POWER\n";  // NECX customer 0x10..
    }
    write_file("many.txt", many);
    write_file("rc5.txt", "# table rc5_box, type: RC5\n0x1e3b KEY_POWER\n");
    ASSERT_EQ(mkfifo(path("fifo.toml").c_str(), 0644), 0);
    write_file("big.toml", "");
    ASSERT_EQ(truncate(path("big.toml").c_str(), 2 << 20), 0);
    const std::string std_dir = path("std");
    if (!toml_keymaps_supported()) {
        // The box's build: TOML is named as left out; the plain text still imports.
        tool_run_t got = run_tool({"import", "--dir", std_dir, path("a.toml")});
        EXPECT_EQ(got.status, 2);
        EXPECT_NE(got.err.find("this build of dravoke-keymap leaves TOML keymaps out"),
                  std::string::npos);
        EXPECT_EQ(run_tool({"import", "--dir", std_dir, path("c.txt")}).status, 0);
        return;
    }
    const std::string out = path("out");
    const std::string cased = path("cased");
    const std::string fresh = path("fresh");
    const std::string raced = path("raced");
    const std::string named = path("named");
    const std::string a_lines =
        "key 13 DPAD_CENTER\nkey 38 DPAD_UP\nkey 81 POWER\nkey 83 HOME\nkey 86 HOME\nkey 87 "
        "ENTER\n";

    const struct {
        std::vector<std::string> args;  // after "import --dir STD"
        int status;
        std::vector<std::string> printed;  // each found in standard output or error; "!TEXT" not
        std::map<std::string, std::string> files;  // in --out; "" must not exist
        bool race = false;  // another file takes the name between the look and the write
    } runs[] = {
        {{"--out", out, path("a.toml")},
         0,
         {"a.toml:9: note: 0x8052 not written: KEY_EPG has no Android key label, and is GUIDE "
          "on a remote, which orvex-ir.kl lacks (--map",
          "a.toml:10: note: KEY_HOME written as HOME, its meaning on a remote",
          "!a.toml:13: note: KEY_HOME written",
          "a.toml:11: note: 0x8054 not written: KEY_FROB is not a Linux key name",
          "a.toml:12: note: 0x8055 not written: KEY_MENU is Android's MENU, which orvex-ir.kl "
          "lacks",
          "wrote " + out + "/customer_ir_7f80.kl: 6 buttons (NEC customer 0x7f80)",
          "NEC: 1 table, 6 buttons translated", "import: 1 file written, 6 buttons; 3 keys"},
         {{"customer_ir_7f80.kl",
           std::string("# box_a (NEC customer 0x7f80") + k_header + a_lines}}},
        // Nothing over a file without --force, not even the files that do not exist yet.
        {{"--out", out, path("a.toml"), path("c.txt")},
         1,
         {out + "/customer_ir_7f80.kl: error: exists; --force overwrites it",
          "import: nothing written"},
         {{"customer_ir_7f80.kl",
           std::string("# box_a (NEC customer 0x7f80") + k_header + a_lines}}},
        // --map before the generic label and the meaning on a remote.
        {{"--out", out, "--force", "--map", "KEY_HOME=DPAD_UP", "--map", "KEY_ENTER=DPAD_CENTER",
          path("a.toml"), path("c.txt")},
         0,
         {"import: 1 file written, 6 buttons; 3 keys", "!written as HOME"},
         {{"customer_ir_7f80.kl", std::string("# box_a, old_box (NEC customer 0x7f80") + k_header +
                                      "key 13 DPAD_CENTER\nkey 38 DPAD_UP\nkey 81 POWER\n"
                                      "key 83 DPAD_UP\nkey 86 DPAD_UP\nkey 87 DPAD_CENTER\n"}}},
        {{"--out", out, "--swap-address", path("c.txt")},
         0,
         {},
         {{"customer_ir_807f.kl", std::string("# old_box (NEC customer 0x807f") + k_header +
                                      "key 38 DPAD_UP\nkey 81 POWER\n"}}},
        {{"--out", out, "--protocol", "nec", path("b.toml")},
         0,
         {"b.toml:12: note: 0x30850151 KEY_UP not written: customer 0x3085 command 81 is "
          "KEY_POWER already (" +
              path("b.toml") + ":11)",
          "b.toml:25: note: KEY_UP not written: RC5 scancode 0xeb01 has an address above 0x1f, "
          "beyond the receiver's 5 address bits",
          "b.toml:26: note: KEY_OK not written: RC5 scancode 0x0180 has a command above 0x7f, "
          "beyond the receiver's 7 command bits",
          "b.toml:27: note: protocol rc6 skipped (1 key): the receiver decodes NEC and RC5 only",
          "b.toml:31: note: protocol unknown skipped (1 key): its scancodes carry no address, so "
          "the remote's customer code is unknown: 'dravoke-keymap learn'",
          "customer_rc5_ir_1e.kl: note: an RC5 layout, and the receiver decodes NEC (NEC from "
          "--protocol): the daemon does not read it",
          "b.toml:35: note: protocol nec (nec-x) skipped (1 key)",
          "import: 8 files written, 8 buttons; 6 keys"},
         // A keymap that gives no name of its own is called by its file's, without ".toml".
         {{"customer_ir_3412.kl",
           std::string("# b (NEC customer 0x3412") + k_header + "key 81 POWER\n"},
          {"customer_ir_8000.kl", "key 81 DPAD_UP\n"},
          {"customer_ir_3085.kl", "key 81 POWER\n"},
          {"customer_ir_be41.kl", "key 81 POWER\n"},
          {"customer_ir_3322.kl", "key 81 DPAD_CENTER\n"},
          {"customer_ir_5566.kl", "key 81 DPAD_UP\n"},
          {"customer_ir_ff00.kl", "key 0 DPAD_UP\n"},
          {"customer_rc5_ir_1e.kl", "key 59 POWER\n"}}},
        {{"--out", out, path("bad.toml")}, 2, {"bad.toml:4:7: error: "}, {}},
        {{"--out", out, path("bad.txt")},
         2,
         {"bad.txt:2:1: error: expected \"SCANCODE KEY_NAME\""},
         {}},
        {{"--out", out, path("star.toml")},
         2,
         {"star.toml:1:3: error: Error while parsing key: expected bare key starting character"},
         {}},
        {{"--out", out, path("nbsp.toml")},
         2,
         {"nbsp.toml:2:18: error: byte 0xc2 outside a string or a comment, where TOML allows "
          "only ASCII"},
         {}},
        // toml++ tests a key's characters, and those after a value, against Unicode's spaces
        // with undefined behaviour: a byte beyond ASCII only in a comment or a one-line value.
        {{"--out", out, path("after_value.toml")},
         2,
         {"after_value.toml:2:16: error: byte 0xc3 in a key, an array or a multi-line string"},
         {}},
        {{"--out", out, path("quoted_key.toml")}, 2, {"quoted_key.toml:4:6: error: byte 0xc3"}, {}},
        {{"--out", out, path("long.toml")},
         2,
         {"long.toml:3:2: error: byte 0xc3 in a key, an array or a multi-line string"},
         {}},
        {{"--out", out, path("first_line.toml")},
         2,
         {"first_line.toml:1:2: error: byte 0x80 in a key"},
         {}},
        {{"--out", out, path("literal.toml")},
         2,
         {"literal.toml:2:13: error: byte 0xc3 outside a string"},
         {}},
        {{"--out", out, path("after_long.toml")},
         2,
         {"after_long.toml:3:1: error: byte 0xc3 outside a string"},
         {}},
        // Two quotes that open a multi-line string's text.
        {{"--out", out, path("quotes.toml")},
         2,
         {"quotes.toml:2:13: error: byte 0xc3 in a key, an array or a multi-line string"},
         {}},
        {{"--out", out, path("bad_key.toml")},
         2,
         {"bad_key.toml:4:1: error: \"0x80zz\" is not a 32-bit scancode"},
         {}},
        {{"--out", out, path("missing.toml")}, 2, {"cannot read " + path("missing.toml")}, {}},
        // A name alone: the library folder's keymap of that name, else the tool's copy.
        {{"--out", out, "bad_key"}, 2, {path("bad_key.toml") + ":4:1: error: "}, {}},
        {{"--out", out, "adstech_dvb_t_pci"},
         1,
         {"adstech_dvb_t_pci.toml:2: note: protocol unknown skipped"},
         {}},
        {{"--dir", out, path("a.toml")},
         1,
         {out + "/orvex-ir.kl: cannot open: No such file or directory: imported keys take"},
         {}},
        {{"--out", out, path("rc6.txt")},
         1,
         {"rc6.txt:1: note: protocol rc6 skipped (1 key)",
          "import: nothing to write: no key of the keymap\n"},
         {}},
        {{"--map", "KEY_HOME=HOMEE", path("a.toml")},
         2,
         {"--map KEY_HOME=HOMEE: orvex-ir.kl has no HOMEE (did you mean HOME?)"},
         {}},
        {{"--out", out}, 2, {"dravoke-keymap: no keymap given"}, {}},
        // One file per customer code, whatever the case of its digits, where it is written
        // and in the folder the daemon reads; --force replaces it under its own name.
        {{"--out", cased, path("a.toml")},
         1,
         {cased + "/customer_ir_7F80.kl: error: exists; --force overwrites it"},
         {{"../cased/customer_ir_7F80.kl", "key 81 POWER\n"},
          {"../cased/customer_ir_7f80.kl", ""}}},
        {{"--out", cased, "--force", path("a.toml")},
         0,
         {"wrote " + cased + "/customer_ir_7F80.kl: 6 buttons"},
         {{"../cased/customer_ir_7F80.kl", a_lines}, {"../cased/customer_ir_7f80.kl", ""}}},
        {{"--dir", path("std2"), "--out", fresh, path("a.toml")},
         1,
         {"std2/customer_ir_7F80.kl: error: exists, for customer 0x7f80; --force writes "},
         {{"../fresh/customer_ir_7f80.kl", ""}}},
        // At most 18 files of a protocol, counting the one in the daemon's folder.
        {{"--dir", path("std2"), "--out", fresh, path("many.txt")},
         1,
         {fresh + "/customer_ir_1047.kl: error: not written: the daemon reads at most 18 NEC",
          standard_line,
          "import: 17 files written, 17 buttons, 1 not: customer_ir_1047.kl; 0 keys"},
         {{"../fresh/customer_ir_1046.kl", "key 81 POWER\n"},
          {"../fresh/customer_ir_1047.kl", ""}}},
        {{"--out", fresh, "--swap-address", path("rc5.txt")},
         0,
         {"note: --swap-address applies to NEC only"},
         {{"../fresh/customer_rc5_ir_1e.kl", "key 59 POWER\n"}}},
        {{"--map", "KEY_HOMEE=HOME", path("a.toml")},
         2,
         {"--map KEY_HOMEE=HOME: KEY_HOMEE is not a Linux key name (did you mean KEY_HOME?)"},
         {}},
        {{"--map", "key_home=HOME", path("a.toml")}, 2, {"(did you mean KEY_HOME?)"}, {}},
        {{"--map", "=HOME", path("a.toml")}, 2, {"--map takes KEY_X=NAME, not '=HOME'"}, {}},
        // A keymap's name makes no line of the file; bytes beyond ASCII in strings and comments.
        {{"--out", named, path("named.toml")},
         0,
         {},
         {{"../named/customer_ir_7f80.kl",
           std::string("# box\\nkey 7 POWER \\xc3\\xa9 (NEC customer 0x7f80") + k_header +
               "key 81 POWER\n"}}},
        {{"--out", raced, path("c.txt")},
         1,
         {raced + "/customer_ir_7f80.kl: error: exists now, left as it is; --force overwrites it",
          "import: 0 files written, 0 buttons, 1 not: customer_ir_7f80.kl"},
         {{"../raced/customer_ir_7f80.kl", "theirs"}},
         true},
        {{path("fifo.toml")}, 2, {"fifo.toml: a FIFO, not a regular file"}, {}},
        {{path("dir.toml")}, 2, {"dir.toml: a directory, not a regular file"}, {}},
        {{"/dev/zero"}, 2, {"/dev/zero: a character device, not a regular file"}, {}},
        {{path("big.toml")}, 2, {"big.toml: 2097152 bytes, over the limit of 1048576"}, {}},
    };
    std::string library = path("");
    library.pop_back();  // the test's folder
    library_places_t places({library.c_str()});
    for (const auto &run : runs) {
        std::vector<std::string> args = {"import", "--dir", std_dir};
        args.insert(args.end(), run.args.begin(), run.args.end());
        if (run.race) {
            g_file_calls.rename_noreplace = rename_after_theirs;
        }
        tool_run_t got = run_tool(args);
        reset_file_calls();
        SCOPED_TRACE(got.out + got.err);
        EXPECT_EQ(got.status, run.status);
        for (const std::string &text : run.printed) {
            bool never = text[0] == '!';  // "!TEXT": not printed
            EXPECT_EQ((got.out + got.err).find(text.substr(never)) == std::string::npos, never)
                << text;
        }
        for (const auto &file : run.files) {
            std::string content = read_whole(out + "/" + file.first);
            if (file.second.empty()) {
                EXPECT_EQ(content, "(missing)") << file.first;
                continue;
            }
            // A row may give the key lines alone.
            size_t from = file.second[0] == '#' ? 0 : content.find("\nkey") + 1;
            EXPECT_EQ(content.substr(from), file.second) << file.first;
        }
    }
    // Only the files named above: nothing half-written, no temporary file, no folder of check's.
    for (const auto &folder :
         std::map<std::string, int>{{out, 10}, {cased, 1}, {fresh, 18}, {raced, 1}, {named, 1}}) {
        EXPECT_EQ(count_entries(folder.first), folder.second) << folder.first;
    }
}

// Four remotes into a folder with room for one: the one is written, the others named, and
// nothing else is left or blamed on the files.
TEST_F(keymap_import, a_full_disk_leaves_the_folder_as_it_was_but_for_what_was_written) {
    std::string full = path("full");
    ASSERT_EQ(mkdir(full.c_str(), 0755), 0);
    if (geteuid() != 0 || mount("tmpfs", full.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "a small tmpfs needs root";
    }
    struct unmount_t {
        std::string at;
        ~unmount_t() { umount(at.c_str()); }
    } unmount = {full};
    // All but a page taken: room for one small file.
    int filler = open(path("full/filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(posix_fallocate(filler, 0, 60 << 10), 0);
    close(filler);
    ASSERT_EQ(mkdir(path("std").c_str(), 0755), 0);
    write_file("std/orvex-ir.kl", "key 1 POWER\n");
    write_file("four.txt",
               "# table four, type: NEC\n0x118051 KEY_POWER\n0x128051 KEY_POWER\n"
               "0x138051 KEY_POWER\n0x148051 KEY_POWER\n");
    tool_run_t got = run_tool({"import", "--dir", path("std"), "--out", full, path("four.txt")});
    EXPECT_EQ(got.status, 1);
    EXPECT_NE(got.out.find("import: 1 file written, 1 buttons, 3 not: customer_ir_8012.kl, "
                           "customer_ir_8013.kl, customer_ir_8014.kl"),
              std::string::npos)
        << got.out;
    EXPECT_EQ(got.out.find("translates no button"), std::string::npos);
    EXPECT_EQ(count_entries(full), 2) << "only the filler and customer_ir_8011.kl";
}

}  // namespace
