// SPDX-License-Identifier: Apache-2.0
#include "support/uevent_source.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <linux/netlink.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include "cec/standby_bridge.h"

struct timeval g_fake_now;

std::string join_uevent_fields(const std::vector<std::string> &fields) {
    std::string datagram;
    for (const std::string &field : fields) {
        datagram += field;
        datagram += '\0';
    }
    return datagram;
}

std::string hdmi_uevent(const std::string &header, const std::string &cec_msg) {
    return join_uevent_fields({header, "ACTION=change", "DEVPATH=/devices/platform/soc/hdmi",
                               "SUBSYSTEM=hdmi", cec_msg, "SEQNUM=88"});
}

namespace {

// The kernel's stand-in: bound once to a port that the kernel picks, and held for the life of
// the process so that no other socket can take that port. Opened by the first send as the
// kernel; -1 until then.
int g_standin_fd = -1;
__u32 g_standin_port = 0;

int kernel_standin(void) {
    if (g_standin_fd >= 0) {
        return g_standin_fd;
    }
    int fd = socket(PF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    struct sockaddr_nl address;
    memset(&address, 0, sizeof(address));
    address.nl_family = AF_NETLINK;
    socklen_t length = sizeof(address);
    if (fd < 0 || bind(fd, reinterpret_cast<struct sockaddr *>(&address), length) != 0 ||
        getsockname(fd, reinterpret_cast<struct sockaddr *>(&address), &length) != 0) {
        int saved = errno;
        if (fd >= 0) {
            close(fd);
        }
        errno = saved;
        return -1;
    }
    g_standin_fd = fd;
    g_standin_port = address.nl_pid;
    return fd;
}

}  // namespace

int send_uevent(const std::string &datagram, uevent_sender_t sender) {
    int fd = sender == k_as_kernel ? kernel_standin()
                                   : socket(PF_NETLINK, SOCK_DGRAM, NETLINK_KOBJECT_UEVENT);
    if (fd < 0) {
        return -1;
    }
    struct sockaddr_nl to;
    memset(&to, 0, sizeof(to));
    to.nl_family = AF_NETLINK;
    to.nl_pid = static_cast<__u32>(getpid());
    ssize_t sent = sendto(fd, datagram.data(), datagram.size(), 0,
                          reinterpret_cast<struct sockaddr *>(&to), sizeof(to));
    int saved = errno;
    if (sender != k_as_kernel) {
        close(fd);
    }
    errno = saved;
    return sent == static_cast<ssize_t>(datagram.size()) ? 0 : -1;
}

ssize_t kernel_standin_recvfrom(int fd, void *buf, size_t count, int flags, struct sockaddr *from,
                                socklen_t *from_length) {
    ssize_t received = recvfrom(fd, buf, count, flags, from, from_length);
    struct sockaddr_nl sender;
    if (received >= 0 && from != nullptr && *from_length >= sizeof(sender) && g_standin_fd >= 0) {
        memcpy(&sender, from, sizeof(sender));
        if (sender.nl_pid == g_standin_port) {
            sender.nl_pid = 0;
            memcpy(from, &sender, sizeof(sender));
        }
    }
    return received;
}

bool uevent_sending_permitted(void) {
    if (send_uevent(join_uevent_fields({"add@/dravoke/probe", "ACTION=add"})) == 0) {
        return true;
    }
    if (errno == EPERM) {
        return false;
    }
    ADD_FAILURE() << "cannot send a uevent: " << strerror(errno);
    return true;
}

int drain_uevents(void) {
    int handled = 0;
    // Bounded: a busy kernel cannot keep a test here.
    for (; handled < 256; handled++) {
        struct pollfd ready = {g_uevent_sock, POLLIN, 0};
        if (poll(&ready, 1, 0) != 1 || !(ready.revents & POLLIN)) {
            break;
        }
        uevent_process_event();
    }
    return handled;
}

int fake_gettimeofday(struct timeval *tv) {
    *tv = g_fake_now;
    g_fake_now.tv_usec++;
    if (g_fake_now.tv_usec >= 1000000) {
        g_fake_now.tv_usec = 0;
        g_fake_now.tv_sec++;
    }
    return 0;
}
