// SPDX-License-Identifier: Apache-2.0
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>

#include "keymap/keymap.h"
#include "tool/android/android.h"
#include "tool/check/check.h"
#include "tool/files/files.h"
#include "tool/options.h"
#include "tool/print.h"

namespace {

// Copies from into to. Returns 0; 1 when from cannot be read, which check then reports of the
// user's folder; -1 with errno when the copy failed: the tool's own failure.
int copy_file(const std::string &from, const std::string &to) {
    FILE *in = fopen(from.c_str(), "re");
    if (in == nullptr) {
        return 1;
    }
    FILE *out = fopen(to.c_str(), "wxe");
    char buffer[4096];
    bool failed = out == nullptr;
    for (size_t n; !failed && (n = fread(buffer, 1, sizeof(buffer), in)) > 0;) {
        failed = fwrite(buffer, 1, n, out) != n;
    }
    int error = errno;
    fclose(in);
    if (out != nullptr && fclose(out) != 0 && !failed) {
        failed = true;
        error = errno;
    }
    errno = error;
    return failed ? -1 : 0;
}

void replace_all(std::string *text, const std::string &from, const std::string &to) {
    for (size_t at = text->find(from); at != std::string::npos;
         at = text->find(from, at + to.size())) {
        text->replace(at, from.size(), to);
    }
}

// check over the scratch folder, under the files' own protocols, its report given the paths of
// the files themselves.
int check_copies(const tool_options_t *options, const std::string &temp,
                 const std::string &standard, const std::string &out_dir,
                 const std::vector<int32_t> &protocols, FILE *out) {
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
    if (captured != nullptr) {
        fclose(captured);
    }
    std::string report = text != nullptr ? text : "";
    free(text);
    replace_all(&report, temp + "/" + k_standard_layout_file, standard);
    replace_all(&report, temp + "/" + keyboard_layout_file(),
                options->dir + "/" + keyboard_layout_file());
    replace_all(&report, temp, out_dir);
    tool_print(out, "%s", report.c_str());
    return status;
}

}  // namespace

int check_written(const tool_options_t *options, const std::string &out_dir,
                  const std::vector<std::string> &files, const std::vector<int32_t> &protocols,
                  FILE *out) {
    if (same_folder(out_dir, options->dir)) {
        // The files are where the daemon will read them: the folder as it stands is the result.
        return run_check(options, out, nullptr);
    }
    // Otherwise a folder of their own beside them, with the standard layout and the virtual
    // keyboard's, when there is one, and nothing else.
    std::string temp = out_dir + "/.dravoke-keymap-check.XXXXXX";
    if (mkdtemp(&temp[0]) == nullptr) {
        tool_print(out, "%s: warning: not checked: cannot make a folder beside them: %s\n",
                   out_dir.c_str(), strerror(errno));
        return 0;
    }
    std::vector<std::string> names = {k_standard_layout_file, keyboard_layout_file()};
    std::vector<std::string> sources = {options->dir + "/" + k_standard_layout_file,
                                        options->dir + "/" + keyboard_layout_file()};
    for (const std::string &file : files) {
        names.push_back(file);
        sources.push_back(out_dir + "/" + file);
    }
    int error = 0;
    for (size_t i = 0; i < names.size() && error == 0; i++) {
        error = copy_file(sources[i], temp + "/" + names[i]) < 0 ? errno : 0;
    }
    int status = 0;
    if (error != 0) {
        // A check without every file would blame the user's files for the tool's own failure.
        tool_print(out,
                   "%s: warning: not checked: cannot copy them into a folder beside them: %s\n",
                   out_dir.c_str(), strerror(error));
    } else {
        status = check_copies(options, temp, sources[0], out_dir, protocols, out);
    }
    // Every copy begun goes, whole or not, and the folder with them.
    for (const std::string &name : names) {
        unlink((temp + "/" + name).c_str());
    }
    rmdir(temp.c_str());
    return status;
}
