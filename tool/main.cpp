// SPDX-License-Identifier: Apache-2.0
#include <stdio.h>

#include "core/log.h"
#include "tool/commands.h"

int main(int argc, char **argv) {
    // The daemon's code logs what it meets under the daemon's tag; here the tool reports it
    // itself, and the box's log must not show the daemon failing when it did not run.
    __android_log_set_minimum_priority(ANDROID_LOG_SILENT);
    return run_keymap_tool(argc, argv, stdout, stderr);
}
