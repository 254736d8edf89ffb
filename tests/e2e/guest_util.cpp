// SPDX-License-Identifier: Apache-2.0
// Guest-side helpers: the tally, time, files, kernel modules, the protocol file, key layouts
// and uevents. Stand-in devices are in guest_devices.cpp, processes in guest_process.cpp.
#include <fcntl.h>
#include <linux/netlink.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <time.h>

#include "e2e.h"

tally_t g_tally = {0, 0};

bool check(const std::string &name, bool ok, const std::string &detail) {
    static const uint64_t started = now_ms();
    double at = static_cast<double>(now_ms() - started) / 1000.0;
    if (ok) {
        g_tally.passed++;
        printf("PASS %s\n", name.c_str());
    } else {
        g_tally.failed++;
        printf("FAIL %s (at %.1f s): %s\n", name.c_str(), at, detail.c_str());
    }
    fflush(stdout);
    return ok;
}

uint64_t now_ms() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
}

void sleep_ms(int ms) {
    struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

std::string read_file(const std::string &path) {
    std::string text;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return text;
    }
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof(buf))) > 0) {
        text.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return text;
}

int write_file(const std::string &path, const void *data, size_t len) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return -1;
    }
    ssize_t n = write(fd, data, len);
    close(fd);
    return n == static_cast<ssize_t>(len) ? 0 : -1;
}

int load_module(const char *path) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    long r = syscall(SYS_finit_module, fd, "", 0);
    int saved = errno;
    close(fd);
    return (r == 0 || saved == EEXIST) ? 0 : -1;
}

int unload_module(const char *name) {
    return syscall(SYS_delete_module, name, O_NONBLOCK) == 0 ? 0 : -1;
}

int set_protocol(const void *bytes, size_t len) {
    int fd = open(k_protocol_file, O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    ssize_t n = write(fd, bytes, len);
    close(fd);
    std::string back = read_file(k_protocol_file);
    return (n == static_cast<ssize_t>(len) && back.size() == len &&
            memcmp(back.data(), bytes, len) == 0)
               ? 0
               : -1;
}

void write_layouts(const std::vector<std::pair<std::string, std::string>> &files) {
    if (system("rm -rf /system/usr/keylayout && mkdir -p /system/usr/keylayout") != 0) {
        printf("e2e: cannot reset %s\n", k_keylayout_dir);
    }
    for (const auto &f : files) {
        write_file(std::string(k_keylayout_dir) + "/" + f.first, f.second.data(), f.second.size());
    }
}

namespace {

std::string joined_fields(const std::vector<std::string> &fields) {
    std::string buf;
    for (const auto &f : fields) {
        buf += f;
        buf += '\0';
    }
    return buf;
}

// From a socket of this process: to the port given, or when it is 0, to the multicast group.
int send_user_uevent(uint32_t port, uint32_t group, const std::vector<std::string> &fields) {
    std::string buf = joined_fields(fields);
    int s = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    if (s < 0) {
        return -1;
    }
    struct sockaddr_nl to;
    memset(&to, 0, sizeof(to));
    to.nl_family = AF_NETLINK;
    to.nl_pid = port;
    to.nl_groups = group;
    ssize_t n =
        sendto(s, buf.data(), buf.size(), 0, reinterpret_cast<struct sockaddr *>(&to), sizeof(to));
    close(s);
    return n == static_cast<ssize_t>(buf.size()) ? 0 : -1;
}

}  // namespace

int send_uevent(pid_t pid, const std::vector<std::string> &fields) {
    return send_user_uevent(static_cast<uint32_t>(pid), 0, fields);
}

int multicast_uevent(uint32_t group, const std::vector<std::string> &fields) {
    return send_user_uevent(0, group, fields);
}

namespace {

// One write to a file of the stand-in module's device at devpath ("/devices/...").
int write_stand_in(const std::string &devpath, const char *file, const std::string &text) {
    int fd = open(("/sys" + devpath + "/" + file).c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    ssize_t n = write(fd, text.data(), text.size());
    int saved = errno;
    close(fd);
    errno = saved;
    return n == static_cast<ssize_t>(text.size()) ? 0 : -1;
}

std::string variable_lines(const std::vector<std::string> &vars) {
    std::string lines;
    for (const auto &v : vars) {
        lines += v + "\n";
    }
    return lines;
}

}  // namespace

int raise_hdmi_uevent(const std::string &header, const std::vector<std::string> &vars) {
    static const char action[] = "change@";
    if (header.compare(0, strlen(action), action) != 0) {
        errno = EINVAL;
        return -1;
    }
    // One write: one uevent.
    return write_stand_in(header.substr(strlen(action)), "change_uevent", variable_lines(vars));
}

int raise_uevents(const std::string &devpath, const char *action, int count,
                  const std::vector<std::string> &vars) {
    return write_stand_in(
        devpath, "raise_uevents",
        std::string(action) + " " + std::to_string(count) + "\n" + variable_lines(vars));
}

int listen_kernel_uevents() {
    int s = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT);
    struct sockaddr_nl address;
    memset(&address, 0, sizeof(address));
    address.nl_family = AF_NETLINK;
    address.nl_groups = 1;
    if (s >= 0 && bind(s, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0) {
        close(s);
        return -1;
    }
    return s;
}

std::vector<std::string> receive_uevent(int s, const std::string &header, uint32_t *port,
                                        int timeout_ms) {
    uint64_t deadline = now_ms() + static_cast<uint64_t>(timeout_ms);
    char buf[4096];
    while (now_ms() < deadline) {
        struct pollfd ready = {s, POLLIN, 0};
        struct sockaddr_nl from;
        socklen_t length = sizeof(from);
        ssize_t n =
            poll(&ready, 1, 50) == 1
                ? recvfrom(s, buf, sizeof(buf), 0, reinterpret_cast<sockaddr *>(&from), &length)
                : -1;
        std::vector<std::string> fields;
        for (ssize_t at = 0; at < n; at += static_cast<ssize_t>(fields.back().size()) + 1) {
            fields.emplace_back(buf + at, strnlen(buf + at, static_cast<size_t>(n - at)));
        }
        if (!fields.empty() && fields[0] == header) {
            *port = from.nl_pid;
            return fields;
        }
    }
    return {};
}

std::string key_name(int code) {
    static const struct {
        int code;
        const char *name;
    } names[] = {
        {KEY_ENTER, "KEY_ENTER"},
        {KEY_HOME, "KEY_HOME"},
        {KEY_UP, "KEY_UP"},
        {KEY_LEFT, "KEY_LEFT"},
        {KEY_RIGHT, "KEY_RIGHT"},
        {KEY_DOWN, "KEY_DOWN"},
        {KEY_MUTE, "KEY_MUTE"},
        {KEY_VOLUMEDOWN, "KEY_VOLUMEDOWN"},
        {KEY_VOLUMEUP, "KEY_VOLUMEUP"},
        {KEY_POWER, "KEY_POWER"},
        {KEY_MENU, "KEY_MENU"},
        {KEY_BACK, "KEY_BACK"},
        {KEY_CANCEL, "KEY_CANCEL"},
        {KEY_PLAYPAUSE, "KEY_PLAYPAUSE"},
    };
    for (const auto &n : names) {
        if (n.code == code) {
            return n.name;
        }
    }
    return "?";
}
