// SPDX-License-Identifier: Apache-2.0
// The soak's uevent flood: datagrams from user space, nearly all foreign or malformed and
// some of them forged Standbys, all of which the daemon must drop; among them the kernel's
// Standbys, raised through the HDMI stand-in, which POWER must follow exactly as a model of
// the quiet period says.
#include <errno.h>
#include <linux/netlink.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <vector>

#include "soak.h"

namespace {

int g_uevent_socket = -1;

void send_datagram(pid_t pid, const std::string &bytes) {
    if (g_uevent_socket < 0) {
        g_uevent_socket = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    }
    struct sockaddr_nl to;
    memset(&to, 0, sizeof(to));
    to.nl_family = AF_NETLINK;
    to.nl_pid = static_cast<uint32_t>(pid);
    // Blocking: with the daemon's buffer full the send waits, so nothing is dropped.
    sendto(g_uevent_socket, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr *>(&to),
           sizeof(to));
}

const char k_header[] = "change@/devices/platform/soc/hdmi";
const char k_header_2[] = "change@/devices/soc.0/1ee0000.hdmi";
// The daemon receives this much of a datagram.
constexpr size_t k_received = 1023;

// An HDMI announcement: the header, then ACTION, DEVPATH, SUBSYSTEM and more fields, with
// CEC_MSG as the field at position (the 4th for a real one). No NUL after the last field.
std::string announcement(const std::string &header, int position, const std::string &opcode) {
    const char *fields[] = {"ACTION=change", "DEVPATH=/devices/platform/soc/hdmi", "SUBSYSTEM=hdmi",
                            "SEQNUM=1234", "HDMI=1"};
    std::string body = header;
    for (int f = 1, next = 0; f <= std::max(position, 4); f++) {
        body += '\0';
        body += f == position ? "CEC_MSG=" + opcode : fields[next++];
    }
    return body;
}

// A field of filler, size bytes with its NUL (5 at the least).
std::string padding(size_t size) {
    return "PAD=" + std::string(size > 5 ? size - 5 : 0, 'p') + '\0';
}

// The datagram head, its NUL and filler up to size bytes in all.
std::string filled(const std::string &head, size_t size) {
    return head + '\0' + padding(size > head.size() + 1 ? size - head.size() - 1 : 0);
}

// A well-formed Standby of 1,023 to 2,000 bytes, as another process could forge it: either
// header, the opcode with or without 0x, or ending exactly at the last byte the daemon
// receives.
std::string forged_standby(std::mt19937 &r) {
    int form = static_cast<int>(r() % 3);
    std::string standby =
        announcement(form == 1 ? k_header_2 : k_header, 4, form == 1 ? "0x36" : "36");
    if (form == 2) {
        standby = padding(k_received - standby.size()) + standby;
    }
    return filled(standby, 1023 + r() % 978);
}

// A datagram of 1,023 to 2,000 bytes that holds no Standby the daemon may act on: noise,
// a header that only resembles the HDMI one, CEC_MSG in another field, another opcode,
// a Standby that begins, or whose opcode ends, past what the daemon receives, or a
// well-formed Standby, forged.
std::string foreign_datagram(std::mt19937 &r) {
    static const char *const near_headers[] = {
        "change@/devices/platform/soc/hdmi/cec0", "add@/devices/platform/soc/hdmi",
        "change@/devices/platform/soc/hdm", "xchange@/devices/soc.0/1ee0000.hdmi",
        "add@/devices/virtual/input/input7"};
    // "36x", " 36" or "036" would read as 0x36.
    static const char *const opcodes[] = {"4", "136", "0x360", "3", "", "x36", "-36", "63"};
    static const int other_positions[] = {1, 2, 3, 5, 6};
    size_t size = 1023 + r() % 978;
    std::string header = r() % 2 == 0 ? k_header : k_header_2;
    std::string body;
    switch (r() % 7) {
        case 0: {
            std::string noise(size, '\0');
            for (char &c : noise) {
                c = static_cast<char>(r() % 4 == 0 ? 0 : r());
            }
            return noise;
        }
        case 1:
            body = announcement(near_headers[r() % 5], 1 + static_cast<int>(r() % 6), "36");
            break;
        case 2:
            body = announcement(header, other_positions[r() % 5], "36");
            break;
        case 3:
            body = announcement(header, 4, opcodes[r() % 8]);
            break;
        case 4:
            return filled(padding(k_received + 1) + announcement(header, 4, "36"), size);
        case 5:
            return forged_standby(r);
        default: {
            // Cut after "CEC_MSG=3": opcode 3.
            std::string standby = announcement(header, 4, "36");
            return filled(padding(k_received + 1 - standby.size()) + standby, size);
        }
    }
    return filled(body, size);
}

// Bytes the kernel puts before the first variable of a uevent of the HDMI device that header
// names: the header, ACTION, DEVPATH and SUBSYSTEM, each with its NUL. Learnt once from a
// uevent of another opcode, which the daemon passes over; 0 when none came.
size_t kernel_head_size(const std::string &header) {
    static std::map<std::string, size_t> sizes;
    if (sizes.count(header) == 0) {
        int listener = listen_kernel_uevents();
        uint32_t port = 0;
        std::vector<std::string> fields;
        if (listener >= 0 && raise_hdmi_uevent(header, {"CEC_MSG=4"}) == 0) {
            fields = receive_uevent(listener, header, &port, 2000);
        }
        if (listener >= 0) {
            close(listener);
        }
        size_t size = 0;
        for (size_t i = 0; i < 4 && fields.size() > 4; i++) {
            size += fields[i].size() + 1;
        }
        sizes[header] = size;
    }
    return sizes[header];
}

// A Standby raised by the kernel, of 1,023 to 2,000 bytes before the kernel's own last
// variables: either header, the opcode with or without 0x, or written with leading zeros so
// that its last digit is the last byte the daemon receives. 0 once raised.
int raise_standby(std::mt19937 &r) {
    int form = static_cast<int>(r() % 3);
    std::string header = form == 1 ? k_header_2 : k_header;
    size_t head = kernel_head_size(header);
    if (head == 0) {
        return -1;
    }
    std::string opcode = form == 1 ? "0x36" : "36";
    if (form == 2) {
        opcode.insert(0, k_received - head - strlen("CEC_MSG=36"), '0');
    }
    std::vector<std::string> vars = {"CEC_MSG=" + opcode};
    size_t used = head + vars[0].size() + 1;
    size_t size = 1023 + r() % 978;
    if (size > used + 5) {
        vars.push_back(padding(size - used));
        vars.back().pop_back();  // the kernel adds the NUL
    }
    return raise_hdmi_uevent(header, vars);
}

}  // namespace

// Foreign datagrams, and every 1,000 two Standbys of the kernel's: the first acted on after a
// quiet gap of 7 s or more (the flood sleeps when needed, and at least every third of the
// run), the second a few datagrams later, never acted on.
flood_result_t flood(soak_t *s, int count) {
    flood_result_t result = {0, 0, 0, std::string()};
    uint64_t &last_standby = s->last_standby_ms;
    auto standby = [&](bool acted, int index) {
        // Raised with the daemon idle: the kernel drops a uevent for a full socket.
        std::string before = new_keys(s);
        bool raised = raise_standby(s->random) == 0;
        std::string got = new_keys(s);
        last_standby = now_ms();
        result.standbys++;
        result.powers_expected += acted;
        result.powers_seen += got == "+116 -116";
        std::string want = acted ? "+116 -116" : "";
        if ((got != want || !before.empty() || !raised) && result.failure.empty()) {
            result.failure = "datagram " + std::to_string(index) + ": expected '" + want +
                             "', got '" + got + "' (before it: '" + before + "')" +
                             (raised ? "" : "; not raised: " + std::string(strerror(errno)));
        }
    };
    for (int i = 0; i < count; i++) {
        if (i % 1000 == 0) {
            uint64_t gap = now_ms() - last_standby;
            bool late = last_standby == 0 || gap >= 7000;
            if (!late && (gap >= 4000 || (i / 1000) % 33 == 0)) {
                sleep_ms(static_cast<int>(7000 - gap));
                late = true;
            }
            standby(late, i);
        }
        if (i % 1000 == 10) {
            standby(false, i);
        }
        send_datagram(s->daemon.pid, foreign_datagram(s->random));
    }
    std::string after = new_keys(s);
    if (!after.empty() && result.failure.empty()) {
        result.failure = "keys from foreign datagrams: " + after;
    }
    return result;
}
