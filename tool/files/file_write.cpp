#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tool/files/files.h"

namespace {

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

}  // namespace

int write_file_atomically(const std::string &dir, const std::string &name,
                          const std::string &text) {
    std::string target = dir + "/" + name;
    // Hidden, and named after its file, so that a write cut short by a crash says whose it was.
    std::string temp = dir + "/." + name + ".XXXXXX";
    int fd = mkostemp(&temp[0], O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat st;
    mode_t mask = umask(0);
    umask(mask);
    mode_t mode = stat(target.c_str(), &st) == 0 ? st.st_mode & 07777 : 0666 & ~mask;
    if (fchmod(fd, mode) != 0 || write_all(fd, text) != 0 || fsync(fd) != 0) {
        return discard(fd, temp);
    }
    if (close(fd) != 0 || rename(temp.c_str(), target.c_str()) != 0) {
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
