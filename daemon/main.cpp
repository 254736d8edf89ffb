// SPDX-License-Identifier: Apache-2.0
#include "core/log.h"
#include "daemon/daemon.h"

int main() {
#ifndef __ANDROID__
    // On a Linux host liblog hides DEBUG by default; show every line on stderr.
    __android_log_set_minimum_priority(ANDROID_LOG_VERBOSE);
#endif
    int exit_status = 0;
    if (start_daemon(&exit_status) != 0) {
        return exit_status;
    }
    for (;;) {
        poll_loop_turn();
    }
}
