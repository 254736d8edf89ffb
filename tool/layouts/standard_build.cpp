// SPDX-License-Identifier: Apache-2.0
#include <string.h>

#include "tool/layouts/layouts.h"
#include "tool/options.h"
#include "tool/print.h"

int build_from_standard(const tool_options_t *options, layout_build_t *build, const char *use,
                        FILE *err) {
    if (build_layouts(options->dir.c_str(), options->protocols[0], build) != 0) {
        // Off the box, the system folder is not there: the box's layouts are in its sources.
        tool_print(err, "dravoke-keymap: cannot list %s: %s%s\n", options->dir.c_str(),
                   strerror(build->dir_error),
                   options->dir_given ? ""
                                      : " (not on a box? --dir DIR names the folder of the "
                                        "box's standard layout)");
        return -1;
    }
    std::string standard = standard_layout_path(build);
    auto failure = build->failures.find(standard);
    if (failure != build->failures.end()) {
        tool_print(err, "dravoke-keymap: %s: %s: %s\n", standard.c_str(), failure->second.c_str(),
                   use);
        return -1;
    }
    return 0;
}

std::string output_folder(const tool_options_t *options) {
    return !options->out_dir.empty() ? options->out_dir : options->dir_given ? options->dir : ".";
}
