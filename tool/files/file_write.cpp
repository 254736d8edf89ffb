// SPDX-License-Identifier: Apache-2.0
#include <errno.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "tool/files/file_calls.h"
#include "tool/files/files.h"

namespace {

// Through syscall: not every C library the tool is built with has renameat2's wrapper.
int real_rename_noreplace(const char *from, const char *to) {
    return static_cast<int>(syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE));
}

int write_all(int fd, const std::string &text) {
    for (size_t done = 0; done < text.size();) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno != EINTR) {
            return -1;
        }
        done += n > 0 ? static_cast<size_t>(n) : 0;
    }
    return 0;
}

// Removes the temporary file of a write that failed, keeping the failure's errno.
int discard(int fd, const std::string &temp) {
    int error = errno;
    if (fd >= 0) {
        close(fd);
    }
    unlink(temp.c_str());
    errno = error;
    return -1;
}

// Gives temp the name target unless a file has it, even one made a moment ago: the kernel
// looks as it renames. Where the filesystem (or an old kernel) lacks that rename, a hard link,
// which an existing name refuses too; where it lacks hard links as well (a FAT or FUSE
// folder), a last look just before a plain rename is the best there is.
int name_new_file(const std::string &temp, const std::string &target) {
    if (g_file_calls.rename_noreplace(temp.c_str(), target.c_str()) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return -1;
    }
    if (g_file_calls.link(temp.c_str(), target.c_str()) == 0) {
        unlink(temp.c_str());
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) {
        return -1;
    }
    struct stat st;
    if (lstat(target.c_str(), &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return rename(temp.c_str(), target.c_str());
}

}  // namespace

file_calls_t g_file_calls = {real_rename_noreplace, link};

void reset_file_calls(void) {
    g_file_calls = {real_rename_noreplace, link};
}

int write_file_atomically(const std::string &dir, const std::string &name, const std::string &text,
                          bool replace) {
    std::string target = dir + "/" + name;
    // Hidden, and named after its file, so that a write cut short by a crash says whose it was.
    std::string temp = dir + "/." + name + ".XXXXXX";
    int fd = mkostemp(&temp[0], O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    // Key layouts are public, and the service reads them as another user: a new file is
    // 0644 whatever the umask; a replaced one keeps the mode it was given.
    struct stat st;
    mode_t mode = replace && stat(target.c_str(), &st) == 0 ? st.st_mode & 07777 : 0644;
    if (fchmod(fd, mode) != 0 || write_all(fd, text) != 0 || fsync(fd) != 0) {
        return discard(fd, temp);
    }
    if (close(fd) != 0) {
        return discard(-1, temp);
    }
    if ((replace ? rename(temp.c_str(), target.c_str()) : name_new_file(temp, target)) != 0) {
        return discard(-1, temp);
    }
    // The rename itself reaches the disk with the folder's own sync.
    int folder = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
    return 0;
}

int try_folder_writable(const std::string &dir) {
    std::string temp = dir + "/.dravoke-keymap-probe.XXXXXX";
    int fd = mkostemp(&temp[0], O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    // A byte, so that a folder whose disk is full is found out too.
    if (write_all(fd, "\n") != 0) {
        return discard(fd, temp);
    }
    close(fd);
    unlink(temp.c_str());
    return 0;
}
