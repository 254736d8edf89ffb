// SPDX-License-Identifier: Apache-2.0
#include <errno.h>
#include <gtest/gtest.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include "cec/uevent_datagram.h"
#include "cec/uevent_filter.h"
#include "support/uevent_source.h"

namespace {

// Whether the datagram reaches, whole, a socket with the daemon's filter: one end of a
// datagram socketpair, on which the kernel runs it as on the uevent socket.
bool passes(const std::string &datagram) {
    int ends[2] = {-1, -1};
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0, ends), 0) << strerror(errno);
    EXPECT_EQ(attach_uevent_filter(ends[0]), 0) << strerror(errno);
    send(ends[1], datagram.data(), datagram.size(), 0);
    char received[2048];
    ssize_t n = recv(ends[0], received, sizeof(received), 0);
    close(ends[0]);
    close(ends[1]);
    return n == static_cast<ssize_t>(datagram.size()) && memcmp(received, datagram.data(), n) == 0;
}

// Any byte of a header and its NUL changed (the NUL: a child device), or the datagram ending
// inside them, drops it.
TEST(uevent_filter, passes_only_datagrams_whose_first_field_is_an_hdmi_header) {
    for (const char *header : k_hdmi_headers) {
        const std::string whole = hdmi_uevent(header);
        EXPECT_TRUE(passes(whole)) << header;
        for (size_t at = 0; at <= strlen(header); at++) {
            std::string changed = whole;
            changed[at] ^= 1;
            EXPECT_FALSE(passes(changed)) << header << " with byte " << at << " changed";
            EXPECT_FALSE(passes(whole.substr(0, at))) << header << " cut to " << at << " bytes";
        }
    }
}

}  // namespace
