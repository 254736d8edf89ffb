// SPDX-License-Identifier: Apache-2.0
// doctor's verdict on SELinux denials for the daemon.
#include <string.h>

#include "tool/doctor/selinux_verdict.h"

int judge_selinux_denials(const std::string &log, int log_error, std::string *text) {
    if (log_error != 0) {
        // From adb shell the kernel log is closed (dmesg_restrict) and adb root is refused on
        // user builds; logd copies the same audit lines into Android's log, which the shell
        // may read.
        *text = std::string("cannot read the kernel log (") + strerror(log_error) +
                "): Android's log has the same denials: logcat -d -b all | grep 'avc: "
                ".*dravoke' lists them";
        return 1;
    }
    int denials = 0;
    std::string first;
    size_t at = 0;
    while (at < log.size()) {
        size_t end = log.find('\n', at);
        std::string line = log.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (line.find("avc:") != std::string::npos && line.find("denied") != std::string::npos &&
            line.find("scontext=u:r:dravoke:") != std::string::npos) {
            denials++;
            first = first.empty() ? line : first;
        }
        at = end == std::string::npos ? log.size() : end + 1;
    }
    if (denials == 0) {
        *text = "no denial for dravoke in the kernel log";
        return 0;
    }
    *text = std::to_string(denials) + " denials for dravoke in the kernel log; the first: " + first;
    return 2;
}
