// SPDX-License-Identifier: Apache-2.0
// One inotify batch as the hot-plug handler reads it: records of any length, a batch cut
// anywhere, names of any bytes. The watched folder holds the receiver's node, another
// device's node and a subfolder; a file beside the folder stands for everything outside.
//   input: the receiver open at the start (1 byte, low bit), then the batch
#include <errno.h>
#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "core/kernel_calls.h"
#include "core/paths.h"
#include "core/poll_set.h"
#include "receiver/receiver.h"
#include "support/log_capture.h"

namespace {

std::string g_root;
std::string g_dir;
const uint8_t *g_batch;
size_t g_batch_size;

ssize_t batch_read(int, void *buf, size_t count) {
    size_t n = std::min(count, g_batch_size);
    memcpy(buf, g_batch, n);
    return static_cast<ssize_t>(n);
}

// Every descriptor the walk opens is asked for its device name or identity: it must lead
// into the watched folder.
int checked_ioctl(int fd, unsigned long request, void *arg) {
    char link[64];
    char target[4096];
    snprintf(link, sizeof(link), "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, target, sizeof(target) - 1);
    if (n <= 0) {
        abort();
    }
    target[n] = '\0';
    if (strncmp(target, g_dir.c_str(), g_dir.size()) != 0 || target[g_dir.size()] != '/') {
        fprintf(stderr, "opened outside the watched folder: %s\n", target);
        abort();
    }
    if (request != EVIOCGNAME(79)) {
        return 0;
    }
    const char *name = strcmp(target + g_dir.size(), "/event0") == 0 ? "orvex-ir" : "other";
    strcpy(static_cast<char *>(arg), name);
    return static_cast<int>(strlen(name)) + 1;
}

void make_file(const std::string &path) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        abort();
    }
    close(fd);
}

// The lowest free descriptor: it moves when one is leaked.
int lowest_free_descriptor() {
    int fd = dup(2);
    close(fd);
    return fd;
}

void remove_tree() {
    for (const char *file : {"/input/event0", "/input/event1", "/outside"}) {
        unlink((g_root + file).c_str());
    }
    for (const char *dir : {"/input/folder", "/input", ""}) {
        rmdir((g_root + dir).c_str());
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    char root[] = "/tmp/dravoke-fuzz-input.XXXXXX";
    if (mkdtemp(root) == nullptr) {
        abort();
    }
    g_root = root;
    g_dir = g_root + "/input";
    mkdir(g_dir.c_str(), 0700);
    mkdir((g_dir + "/folder").c_str(), 0700);
    make_file(g_dir + "/event0");
    make_file(g_dir + "/event1");
    make_file(g_root + "/outside");
    atexit(remove_tree);
    // The lookup by name after a loss or an overflow lists the same folder.
    g_input_dir = g_dir.c_str();
    g_kernel.read = batch_read;
    g_kernel.ioctl = checked_ioctl;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) {
        return 0;
    }
    int lowest = lowest_free_descriptor();
    struct pollfd poll_set[k_poll_slots] = {{-1, 0, 0}, {-1, 0, 0}, {-1, 0, 0}};
    g_nfds = k_slot_receiver;
    inputdev_info *receiver = nullptr;
    if (data[0] & 1) {
        receiver = open_device((g_dir + "/event0").c_str(), poll_set);
    }
    g_batch = data + 1;
    g_batch_size = size - 1;
    notify_process(&receiver, "orvex-ir", g_dir.c_str(), -1, poll_set);

    // Open receiver and poll set agree.
    bool open = receiver != nullptr;
    if (open != (g_nfds == k_slot_receiver + 1) ||
        (open ? poll_set[k_slot_receiver].fd != receiver->fd
              : poll_set[k_slot_receiver].fd != -1)) {
        abort();
    }
    close_receiver(&receiver, poll_set);
    if (lowest_free_descriptor() != lowest) {
        abort();
    }
    captured_logs().clear();
    return 0;
}
