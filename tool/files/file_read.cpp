// SPDX-License-Identifier: Apache-2.0
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tool/files/files.h"

namespace {

std::string not_regular(mode_t mode) {
    const char *kind = S_ISDIR(mode)    ? "a directory"
                       : S_ISFIFO(mode) ? "a FIFO"
                       : S_ISCHR(mode)  ? "a character device"
                       : S_ISBLK(mode)  ? "a block device"
                       : S_ISSOCK(mode) ? "a socket"
                                        : "of an unknown kind";
    return std::string(kind) + ", not a regular file";
}

int fail(int fd, std::string *why, const std::string &reason) {
    close(fd);
    *why = reason;
    return -1;
}

}  // namespace

int read_regular_file(const std::string &path, size_t limit, std::string *text, std::string *why) {
    struct stat st;
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        int error = errno;
        // A socket cannot be opened at all: its kind says more than the error.
        bool named = stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
        *why = named ? not_regular(st.st_mode) : strerror(error);
        return -1;
    }
    if (fstat(fd, &st) != 0) {
        return fail(fd, why, strerror(errno));
    }
    if (!S_ISREG(st.st_mode)) {
        return fail(fd, why, not_regular(st.st_mode));
    }
    std::string over = "over the limit of " + std::to_string(limit) + " bytes";
    if (static_cast<size_t>(st.st_size) > limit) {
        return fail(fd, why, std::to_string(st.st_size) + " bytes, " + over);
    }
    text->clear();
    char buffer[4096];
    ssize_t n = 0;
    // A file that grows while it is read stops at the limit all the same.
    while (text->size() <= limit &&
           ((n = read(fd, buffer, sizeof(buffer))) > 0 || (n < 0 && errno == EINTR))) {
        text->append(buffer, n > 0 ? static_cast<size_t>(n) : 0);
    }
    if (n < 0) {
        return fail(fd, why, strerror(errno));
    }
    if (text->size() > limit) {
        return fail(fd, why, over);
    }
    close(fd);
    return 0;
}
