#include "tool/tool_run.h"

#include <stdio.h>
#include <stdlib.h>

#include <sstream>

#include "support/log_capture.h"
#include "tool/commands.h"

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
