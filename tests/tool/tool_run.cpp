#include "tool/tool_run.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "support/log_capture.h"
#include "tool/commands.h"
#include "tool/files/file_calls.h"

tool_run_t run_tool(std::vector<std::string> args) {
    args.insert(args.begin(), "dravoke-keymap");
    std::vector<char *> argv;
    for (std::string &arg : args) {
        argv.push_back(&arg[0]);
    }
    char *out_text = nullptr;
    char *err_text = nullptr;
    size_t out_size = 0;
    size_t err_size = 0;
    FILE *out = open_memstream(&out_text, &out_size);
    FILE *err = open_memstream(&err_text, &err_size);
    tool_run_t run;
    run.status = run_keymap_tool(static_cast<int>(argv.size()), argv.data(), out, err);
    fclose(out);
    fclose(err);
    run.out.assign(out_text, out_size);
    run.err.assign(err_text, err_size);
    free(out_text);
    free(err_text);
    // The daemon's own code logged what it met; the tool reports it itself.
    take_logs();
    return run;
}

std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string read_whole(const std::string &path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return in ? text.str() : "(missing)";
}

int count_entries(const std::string &folder) {
    int entries = -2;
    DIR *dir = opendir(folder.c_str());
    for (struct dirent *e = readdir(dir); e != nullptr; e = readdir(dir)) {
        entries++;
    }
    closedir(dir);
    return entries;
}

void make_theirs(const char *path) {
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 || write(fd, "theirs", 6) != 6) {
        abort();
    }
    close(fd);
}

int rename_after_theirs(const char *from, const char *to) {
    make_theirs(to);
    reset_file_calls();
    return g_file_calls.rename_noreplace(from, to);
}

const char k_fixture_standard[] =
    "key 116 POWER\n"              // 1
    "key 103 DPAD_UP\n"            // 2
    "key 108 DPAD_DOWN\n"          // 3
    "key 105 DPAD_LEFT\n"          // 4
    "key 158 BACK\n"               // 5: BACK again at 4, the lowest
    "key 4 BACK\n"                 // 6
    "key 0 HOME\n"                 // 7: never a target
    "\t# a comment after a tab\n"  // 8
    "key 0x74 POWER\n"             // 9: scancode 0, "x74", and line 7 loses
    "key 300 MENU\n"               // 10
    "key 223 TV_PLAY\n"            // 11
    "kye 18 POWER\n"               // 12
    "18 DPAD_UP\n"                 // 13
    "\xc2\xa0key 5 HOME\n"         // 14: a no-break space first
    "key 400 GUIDE\n"              // 15
    "axis 0x00 X\n"                // 16
    "key 60 Settings\n";           // 17: Android's labels are upper case
