// SPDX-License-Identifier: Apache-2.0
#include <sys/stat.h>

#include "tool/files/files.h"

bool same_folder(const std::string &a, const std::string &b) {
    struct stat sa;
    struct stat sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}
