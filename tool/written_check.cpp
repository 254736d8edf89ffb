#include <dirent.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "keymap/keymap.h"
#include "tool/keymap_tool.h"

namespace {

int copy_file(const std::string &from, const std::string &to) {
    FILE *in = fopen(from.c_str(), "re");
    if (in == nullptr) {
        return -1;
    }
    FILE *out = fopen(to.c_str(), "wxe");
    char buffer[4096];
    bool failed = out == nullptr;
    for (size_t n; !failed && (n = fread(buffer, 1, sizeof(buffer), in)) > 0;) {
        failed = fwrite(buffer, 1, n, out) != n;
    }
    fclose(in);
    failed = (out != nullptr && fclose(out) != 0) || failed;
    return failed ? -1 : 0;
}

void replace_all(std::string *text, const std::string &from, const std::string &to) {
    for (size_t at = text->find(from); at != std::string::npos;
         at = text->find(from, at + to.size())) {
        text->replace(at, from.size(), to);
    }
}

}  // namespace

bool same_folder(const std::string &a, const std::string &b) {
    struct stat sa;
    struct stat sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

int check_written(const tool_options_t *options, const std::string &out_dir,
                  const std::vector<std::string> &files, const std::vector<int32_t> &protocols,
                  FILE *out) {
    if (same_folder(out_dir, options->dir)) {
        // The files are where the daemon will read them: the folder as it stands is the result.
        return run_check(options, out, nullptr);
    }
    // Otherwise a folder of their own beside them, with the standard layout and nothing else,
    // checked under the files' own protocols.
    std::string temp = out_dir + "/.dravoke-keymap-check.XXXXXX";
    if (mkdtemp(&temp[0]) == nullptr) {
        tool_print(out, "%s: warning: not checked: cannot make a folder beside them: %s\n",
                   out_dir.c_str(), strerror(errno));
        return 0;
    }
    std::vector<std::string> copies;
    std::string standard = options->dir + "/" + k_standard_layout_file;
    if (copy_file(standard, temp + "/" + k_standard_layout_file) == 0) {
        copies.push_back(k_standard_layout_file);
    }
    for (const std::string &file : files) {
        if (copy_file(out_dir + "/" + file, temp + "/" + file) == 0) {
            copies.push_back(file);
        }
    }
    tool_options_t check = *options;
    check.dir = temp;
    check.protocols = protocols;
    std::sort(check.protocols.begin(), check.protocols.end());
    check.protocols.erase(std::unique(check.protocols.begin(), check.protocols.end()),
                          check.protocols.end());
    check.protocol_origin = "the written files' protocol";
    char *text = nullptr;
    size_t size = 0;
    FILE *captured = open_memstream(&text, &size);
    int status = run_check(&check, captured, nullptr);
    fclose(captured);
    std::string report = text;
    free(text);
    replace_all(&report, temp + "/" + k_standard_layout_file, standard);
    replace_all(&report, temp, out_dir);
    tool_print(out, "%s", report.c_str());
    for (const std::string &copy : copies) {
        unlink((temp + "/" + copy).c_str());
    }
    rmdir(temp.c_str());
    return status;
}
