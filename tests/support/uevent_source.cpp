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

int send_uevent(const std::string &datagram) {
    int sender = socket(PF_NETLINK, SOCK_DGRAM, NETLINK_KOBJECT_UEVENT);
    if (sender < 0) {
        return -1;
    }
    struct sockaddr_nl to;
    memset(&to, 0, sizeof(to));
    to.nl_family = AF_NETLINK;
    to.nl_pid = static_cast<__u32>(getpid());
    ssize_t sent = sendto(sender, datagram.data(), datagram.size(), 0,
                          reinterpret_cast<struct sockaddr *>(&to), sizeof(to));
    int saved = errno;
    close(sender);
    errno = saved;
    return sent == static_cast<ssize_t>(datagram.size()) ? 0 : -1;
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
