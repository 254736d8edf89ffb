#include <errno.h>
#include <gtest/gtest.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "cec/uevent_datagram.h"
#include "cec/uevent_filter.h"
#include "support/uevent_source.h"

namespace {

// Whether the datagram reaches, whole, a socket with the daemon's filter: one end of a
// datagram socketpair, on which the kernel runs it as on the uevent socket.
bool passes(const std::string &datagram) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0, ends) != 0) {
        ADD_FAILURE() << strerror(errno);
        return false;
    }
    EXPECT_EQ(attach_uevent_filter(ends[0]), 0) << strerror(errno);
    send(ends[1], datagram.data(), datagram.size(), 0);
    char received[2048];
    ssize_t n = recv(ends[0], received, sizeof(received), 0);
    close(ends[0]);
    close(ends[1]);
    return n == static_cast<ssize_t>(datagram.size()) && memcmp(received, datagram.data(), n) == 0;
}

TEST(uevent_filter, passes_only_datagrams_whose_first_field_is_an_hdmi_header) {
    const std::string platform = k_platform_header;
    const std::pair<std::string, bool> cases[] = {
        {hdmi_uevent(platform), true},
        {hdmi_uevent(k_soc_header, "CEC_MSG=04"), true},
        {join_uevent_fields({platform}), true},
        {join_uevent_fields({"libudev", platform, "CEC_MSG=36"}), false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(passes(c.first), c.second) << c.first;
    }
    // Every byte of each header and its NUL counts (a child device differs in the NUL, another
    // action in the first), and a datagram that ends inside one is dropped.
    for (const char *header : k_hdmi_headers) {
        const std::string whole = join_uevent_fields({header, "CEC_MSG=36"});
        for (size_t at = 0; at <= strlen(header); at++) {
            std::string changed = whole;
            changed[at] ^= 1;
            EXPECT_FALSE(passes(changed)) << header << " with byte " << at << " changed";
            EXPECT_FALSE(passes(whole.substr(0, at))) << header << " cut to " << at << " bytes";
        }
    }
}

}  // namespace
