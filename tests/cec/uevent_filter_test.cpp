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

// The daemon's filter on one end of a datagram socketpair: the kernel runs it on everything
// sent from the other end, as it does on the uevent socket.
class uevent_filter : public ::testing::Test {
   protected:
    void SetUp() override {
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0, ends_), 0);
        ASSERT_EQ(attach_uevent_filter(ends_[0]), 0) << strerror(errno);
    }
    void TearDown() override {
        close(ends_[0]);
        close(ends_[1]);
    }

    // Whether the datagram was queued, and then whole.
    bool passes(const std::string &datagram) {
        EXPECT_EQ(send(ends_[1], datagram.data(), datagram.size(), 0),
                  static_cast<ssize_t>(datagram.size()));
        char received[2048];
        ssize_t n = recv(ends_[0], received, sizeof(received), 0);
        if (n < 0) {
            EXPECT_EQ(errno, EAGAIN) << strerror(errno);
            return false;
        }
        EXPECT_EQ(std::string(received, static_cast<size_t>(n)), datagram);
        return true;
    }

    int ends_[2];
};

TEST_F(uevent_filter, passes_only_datagrams_whose_first_field_is_an_hdmi_header) {
    const std::string platform = k_platform_header;
    const struct {
        const char *name;
        std::string datagram;
        bool passes;
    } cases[] = {
        {"platform header", hdmi_uevent(platform), true},
        {"soc.0 header", hdmi_uevent(k_soc_header), true},
        {"header alone", join_uevent_fields({platform}), true},
        {"another opcode, left to the bridge", hdmi_uevent(platform, "CEC_MSG=04"), true},
        {"child device of the HDMI device", hdmi_uevent(platform + "/cec0"), false},
        {"other action", hdmi_uevent("add@/devices/platform/soc/hdmi"), false},
        {"other device", join_uevent_fields({"change@/devices/platform/soc/usb", "CEC_MSG=36"}),
         false},
        {"header not first", join_uevent_fields({"libudev", k_soc_header, "CEC_MSG=36"}), false},
        {"empty datagram", "", false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(passes(c.datagram), c.passes) << c.name;
    }
    // Every byte of each header and its NUL counts, and a datagram that ends inside one is
    // dropped.
    for (const char *header : k_hdmi_headers) {
        const std::string whole = join_uevent_fields({header, "CEC_MSG=36"});
        const size_t size = strlen(header) + 1;
        for (size_t at = 0; at < size; at++) {
            std::string changed = whole;
            changed[at] ^= 1;
            EXPECT_FALSE(passes(changed)) << header << " with byte " << at << " changed";
            EXPECT_FALSE(passes(whole.substr(0, at))) << header << " cut to " << at << " bytes";
        }
    }
}

}  // namespace
