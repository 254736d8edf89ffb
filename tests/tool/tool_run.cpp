// SPDX-License-Identifier: Apache-2.0
#include "tool/tool_run.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <utility>

#include <gtest/gtest.h>

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

tool_run_t run_tool_answering(std::vector<std::string> args, const std::string &answers) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0 || write(pipe_fds[1], answers.data(), answers.size()) !=
                                   static_cast<ssize_t>(answers.size())) {
        ADD_FAILURE() << "cannot give the tool its answers";
        return {-1, "", ""};
    }
    close(pipe_fds[1]);
    int saved_input = dup(0);
    dup2(pipe_fds[0], 0);
    close(pipe_fds[0]);
    tool_run_t run = run_tool(std::move(args));
    dup2(saved_input, 0);
    close(saved_input);
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

const char k_box_standard[] =
    "key 116 POWER\nkey 113 VOLUME_MUTE\nkey 2 1\nkey 3 2\nkey 4 3\nkey 5 4\nkey 6 5\n"
    "key 7 6\nkey 8 7\nkey 9 8\nkey 10 9\nkey 11 0\nkey 103 DPAD_UP\nkey 108 DPAD_DOWN\n"
    "key 105 DPAD_LEFT\nkey 106 DPAD_RIGHT\nkey 232 DPAD_CENTER\nkey 158 BACK\nkey 102 HOME\n"
    "key 139 MENU\nkey 115 VOLUME_UP\nkey 114 VOLUME_DOWN\nkey 104 CHANNEL_UP\n"
    "key 109 CHANNEL_DOWN\nkey 164 MEDIA_PLAY_PAUSE\nkey 166 MEDIA_STOP\nkey 163 MEDIA_NEXT\n"
    "key 165 MEDIA_PREVIOUS\nkey 168 MEDIA_REWIND\nkey 208 MEDIA_FAST_FORWARD\n"
    "key 167 MEDIA_RECORD\nkey 180 GUIDE\nkey 181 INFO\nkey 182 PROG_RED\nkey 183 PROG_GREEN\n"
    "key 184 PROG_YELLOW\nkey 185 PROG_BLUE\nkey 186 TV\nkey 187 CAPTIONS\n"
    "key 188 MEDIA_AUDIO_TRACK\nkey 189 TV_INPUT\nkey 14 DEL\nkey 190 SETTINGS\nkey 217 SEARCH\n";

std::string gzip_of(const std::string &data, const std::string &options) {
    std::string path = testing::TempDir() + "dravoke-gzip-XXXXXX";
    int fd = mkstemp(&path[0]);
    if (fd < 0) {
        return "";
    }
    close(fd);
    FILE *gzip = popen(("gzip -c -n " + options + " >" + path).c_str(), "w");
    if (gzip == nullptr) {
        return "";
    }
    fwrite(data.data(), 1, data.size(), gzip);
    std::string gz = pclose(gzip) == 0 ? read_whole(path) : "";
    unlink(path.c_str());
    return gz;
}

library_places_t::library_places_t(std::vector<const char *> dirs, const char *copy) {
    for (int i = 0; i < k_host_library_dir_count; i++) {
        saved_dirs[i] = g_host_library_dirs[i];
        g_host_library_dirs[i] = i < static_cast<int>(dirs.size()) ? dirs[i] : "/nonexistent";
    }
    saved_copy = g_host_library_copy;
    g_host_library_copy = copy;
}

library_places_t::~library_places_t() {
    for (int i = 0; i < k_host_library_dir_count; i++) {
        g_host_library_dirs[i] = saved_dirs[i];
    }
    g_host_library_copy = saved_copy;
}

std::string ir_keytable_folder(void) {
    struct stat st;
    return stat("/lib/udev/rc_keymaps", &st) == 0 ? "/lib/udev/rc_keymaps" : "";
}
