// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>

// doctor's verdict on SELinux denials for the daemon, 0 ok, 1 warn or 2 FAIL, and its text:
// from the kernel log as read, or, when it could not be read (log_error, an errno; 0 when
// read), where else the denials are found.
int judge_selinux_denials(const std::string &log, int log_error, std::string *text);
