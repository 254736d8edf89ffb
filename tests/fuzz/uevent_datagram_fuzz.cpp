// SPDX-License-Identifier: Apache-2.0
// One uevent datagram as the socket delivers it, with its sender's port:
//   input: the sender's port (4 bytes, this machine's byte order), then the datagram
// The parser reads an exact-size heap copy without a NUL after it, so that any read past its
// length is reported. The bridge then handles the same datagram from that sender: only one
// from port 0, the kernel, may count as a Standby.
#include <linux/netlink.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>

#include <algorithm>
#include <memory>

#include "cec/standby_bridge.h"
#include "cec/uevent_datagram.h"
#include "core/kernel_calls.h"
#include "inject/virtual_keyboard.h"
#include "support/log_capture.h"

namespace {

const char *g_datagram;
size_t g_datagram_size;
__u32 g_sender_port;

// True when the data holds the HDMI header as a whole field, somewhere before "CEC_MSG=".
bool has_header_then_opcode(const char *data, size_t size) {
    static const char *const headers[] = {"change@/devices/platform/soc/hdmi",
                                          "change@/devices/soc.0/1ee0000.hdmi"};
    for (const char *header : headers) {
        size_t length = strlen(header);
        for (size_t at = 0; at + length <= size; at++) {
            bool field_start = at == 0 || data[at - 1] == '\0';
            bool field_end = at + length == size || data[at + length] == '\0';
            if (field_start && field_end && memcmp(data + at, header, length) == 0 &&
                memmem(data + at + length, size - at - length, "CEC_MSG=", 8) != nullptr) {
                return true;
            }
        }
    }
    return false;
}

ssize_t datagram_recvfrom(int, void *buf, size_t count, int, struct sockaddr *from,
                          socklen_t *from_length) {
    size_t n = std::min(count, g_datagram_size);
    memcpy(buf, g_datagram, n);
    struct sockaddr_nl sender;
    memset(&sender, 0, sizeof(sender));
    sender.nl_family = AF_NETLINK;
    sender.nl_pid = g_sender_port;
    memcpy(from, &sender, std::min<size_t>(*from_length, sizeof(sender)));
    *from_length = sizeof(sender);
    return static_cast<ssize_t>(n);
}

int fixed_gettimeofday(struct timeval *tv) {
    *tv = {1700000000, 0};
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    g_kernel.recvfrom = datagram_recvfrom;
    g_kernel.gettimeofday = fixed_gettimeofday;
    // No virtual keyboard: a Standby acted on only logs.
    g_uinputfd = -1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < sizeof(g_sender_port)) {
        return 0;
    }
    memcpy(&g_sender_port, data, sizeof(g_sender_port));
    size -= sizeof(g_sender_port);
    std::unique_ptr<char[]> datagram(new char[size]);
    memcpy(datagram.get(), data + sizeof(g_sender_port), size);
    uint32_t opcode = find_cec_opcode(datagram.get(), size);
    if (opcode != 0 && !has_header_then_opcode(datagram.get(), size)) {
        abort();
    }

    // The bridge receives at most 1023 bytes of it.
    g_datagram = datagram.get();
    g_datagram_size = size;
    g_last_standby_time = {};
    uevent_process_event();
    bool standby =
        g_sender_port == 0 &&
        find_cec_opcode(datagram.get(), std::min<size_t>(size, 1023)) == k_cec_standby_opcode;
    bool logged = !captured_logs().empty();
    bool timed = g_last_standby_time.tv_sec != 0;
    if (logged != standby || timed != standby) {
        abort();
    }
    captured_logs().clear();
    return 0;
}
