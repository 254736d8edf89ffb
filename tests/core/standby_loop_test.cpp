#include <errno.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cec/standby_bridge.h"
#include "core/daemon.h"
#include "core/kernel_calls.h"
#include "support/daemon_fixture.h"
#include "support/log_capture.h"
#include "support/uevent_source.h"

namespace {

bool uevent_pending(void) {
    struct pollfd ready = {g_uevent_sock, POLLIN, 0};
    return poll(&ready, 1, 0) == 1 && (ready.revents & POLLIN);
}

// Start-up opens the real uevent socket into slot 1, and the poll loop hands it a Standby
// announcement sent to the daemon's port id.
class standby_loop : public daemon_test {
   protected:
    void SetUp() override {
        daemon_test::SetUp();
        write_file("orvex_ir_protocol", std::string("\x00\x00\x00\x00", 4));
        write_file("keylayout/orvex-ir.kl", "key 116 POWER\nkey 115 VOLUME_UP\n");
        write_file("keylayout/customer_ir_00ff.kl", "key 3 POWER\nkey 4 VOLUME_UP\n");
        g_kernel.gettimeofday = fake_gettimeofday;
        g_fake_now = {1700000000, 0};
    }

    int start(int *status) {
        testing::internal::CaptureStdout();
        int result = start_daemon(status);
        testing::internal::GetCapturedStdout();
        return result;
    }
};

TEST_F(standby_loop, standby_in_slot_one_becomes_a_power_press_and_release) {
    int status = 0;
    ASSERT_EQ(start(&status), 0);
    ASSERT_GT(g_uevent_sock, 0);
    EXPECT_EQ(g_poll_set[k_slot_uevent].fd, g_uevent_sock);
    EXPECT_EQ(g_poll_set[k_slot_uevent].events, POLLIN);
    EXPECT_EQ(g_nfds, 2);
    std::vector<std::string> debug = logged_texts(ANDROID_LOG_DEBUG);
    EXPECT_EQ(std::count(debug.begin(), debug.end(), "uevent listen start"), 1);
    take_logs();

    if (!uevent_sending_permitted()) {
        GTEST_SKIP() << "sending to a uevent socket needs CAP_NET_ADMIN, which this process "
                        "lacks";
    }
    ASSERT_EQ(send_uevent(join_uevent_fields({"change@/devices/platform/soc/hdmi", "ACTION=change",
                                              "DEVPATH=/devices/platform/soc/hdmi",
                                              "SUBSYSTEM=hdmi", "CEC_MSG=36"})),
              0)
        << strerror(errno);
    // One datagram a wake-up: the probe, the announcement and any kernel uevent each take
    // a turn. Only turns with something pending, since the loop's poll has no time-out.
    int turns = 0;
    while (uevent_pending() && turns < 256) {
        poll_loop_turn();
        turns++;
    }
    EXPECT_GE(turns, 2);

    std::vector<struct input_event> events = keyboard_events();
    ASSERT_EQ(events.size(), 4u);
    const struct {
        int type;
        int code;
        int value;
    } expected[] = {
        {EV_KEY, KEY_POWER, 1},
        {EV_SYN, SYN_REPORT, 0},
        {EV_KEY, KEY_POWER, 0},
        {EV_SYN, SYN_REPORT, 0},
    };
    for (size_t i = 0; i < 4; i++) {
        EXPECT_EQ(events[i].type, expected[i].type) << i;
        EXPECT_EQ(events[i].code, expected[i].code) << i;
        EXPECT_EQ(events[i].value, expected[i].value) << i;
    }
    EXPECT_EQ(logged_texts(ANDROID_LOG_DEBUG),
              (std::vector<std::string>{"standby request from HDMI-CEC\n",
                                        "receive CEC standy request, interval = 1700000000 sec"}));
    take_logs();
}

}  // namespace
