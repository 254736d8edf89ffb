// SPDX-License-Identifier: Apache-2.0
#include "cec/standby_bridge.h"

#include <linux/input.h>
#include <linux/netlink.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include "cec/uevent_datagram.h"
#include "cec/uevent_filter.h"
#include "core/kernel_calls.h"
#include "core/log.h"
#include "inject/virtual_keyboard.h"

int g_uevent_sock = -1;
char g_uevent_buf[1024];
struct timeval g_last_standby_time;

namespace {

constexpr int k_uevent_rcvbuf_size = 64 * 1024;

// Standby announcements closer than this many whole seconds to the previous one are
// not acted on.
constexpr unsigned long k_standby_quiet_seconds = 5;

// One POWER record and its SYN_REPORT, both stamped with the time of day read now. The
// SYN_REPORT keeps its key's time, so it is written here rather than by report_key_event's
// sync, which writes a zero time. A lost record is not retried.
void write_power_key(int value) {
    struct timeval now = {};
    g_kernel.gettimeofday(&now);
    struct input_event event;
    memset(&event, 0, sizeof(event));
    event.input_event_sec = now.tv_sec;
    event.input_event_usec = now.tv_usec;
    event.type = EV_KEY;
    event.code = KEY_POWER;
    event.value = value;
    report_key_event(g_uinputfd, &event, 0);
    event.type = EV_SYN;
    event.code = SYN_REPORT;
    event.value = 0;
    report_key_event(g_uinputfd, &event, 0);
}

// The HDMI driver is in the kernel, which sends from port 0. Any process allowed to send on
// this protocol could otherwise press POWER, by unicast to our port or by multicast (udev
// rebroadcasts every uevent, for one). The rest is dropped unread and without a word, so a
// flood costs one receive a datagram and cannot hold back the real Standby.
bool sent_by_kernel(const struct sockaddr_nl &sender, socklen_t sender_length) {
    return sender_length >= sizeof(sender) && sender.nl_family == AF_NETLINK && sender.nl_pid == 0;
}

// Whole seconds from the last Standby to now; negative when the clock went back.
long seconds_since_last_standby(const struct timeval &now) {
    long interval = static_cast<long>(now.tv_sec - g_last_standby_time.tv_sec);
    if (now.tv_usec < g_last_standby_time.tv_usec) {
        interval--;
    }
    return interval;
}

}  // namespace

int uevent_init(int *out) {
    int rcvbuf = k_uevent_rcvbuf_size;
    struct sockaddr_nl address;
    memset(&address, 0, sizeof(address));
    address.nl_family = AF_NETLINK;
    address.nl_pid = static_cast<__u32>(getpid());
    address.nl_groups = 0xFFFFFFFF;

    int fd = socket(PF_NETLINK, SOCK_DGRAM, NETLINK_KOBJECT_UEVENT);
    if (fd < 0) {
        return -1;
    }
    // Needs privilege; without it the socket keeps its default receive buffer.
    setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &rcvbuf, sizeof(rcvbuf));
    // Only the HDMI device's "change" uevents are queued: every other device's would wake the
    // daemon, and a burst of them could fill the buffer while it is busy, so that the kernel
    // drops a Standby behind them. Attached before the bind, so that nothing unfiltered is
    // queued. A refusal is ignored, as for the buffer: the bridge's own checks still pass
    // over the rest, at the cost of those wake-ups.
    attach_uevent_filter(fd);
    if (bind(fd, reinterpret_cast<struct sockaddr *>(&address), sizeof(address)) < 0) {
        close(fd);
        return -1;
    }
    g_uevent_sock = fd;
    *out = fd;
    // Descriptor 0 counts as failure, as it does for the virtual keyboard.
    return fd > 0 ? 0 : -1;
}

int uevent_process_event(void) {
    struct sockaddr_nl sender;
    memset(&sender, 0, sizeof(sender));
    socklen_t sender_length = sizeof(sender);
    // One byte short of the buffer: a longer datagram is cut, and the NUL still fits.
    ssize_t received =
        g_kernel.recvfrom(g_uevent_sock, g_uevent_buf, sizeof(g_uevent_buf) - 1, 0,
                          reinterpret_cast<struct sockaddr *>(&sender), &sender_length);
    if (received < 1 || !sent_by_kernel(sender, sender_length)) {
        return 0;
    }
    g_uevent_buf[received] = '\0';
    if (find_cec_opcode(g_uevent_buf, static_cast<size_t>(received)) != k_cec_standby_opcode) {
        return 0;
    }

    struct timeval now = {};
    g_kernel.gettimeofday(&now);
    long interval = seconds_since_last_standby(now);
    // Every announcement restarts the quiet period, acted on or not.
    g_last_standby_time = now;
    // A clock set back gives a negative interval, which as unsigned is large: acted on,
    // rather than holding the key back until the clock catches up.
    if (static_cast<unsigned long>(interval) > k_standby_quiet_seconds) {
        report_standby_request();
        log_debug("standby request from HDMI-CEC\n");
    }
    log_debug("receive CEC standy request, interval = %ld sec", interval);
    return 0;
}

void report_standby_request(void) {
    if (g_uinputfd < 0) {
        return;
    }
    write_power_key(1);
    write_power_key(0);
}
