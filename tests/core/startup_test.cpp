#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/daemon.h"
#include "inject/inject.h"
#include "keymap/keymap.h"
#include "support/daemon_fixture.h"
#include "support/log_capture.h"

namespace {

class startup : public daemon_test {
   protected:
    void SetUp() override {
        daemon_test::SetUp();
        write_file("orvex_ir_protocol", std::string("\x00\x00\x00\x00", 4));
        write_file("keylayout/orvex-ir.kl", "key 115 VOLUME_UP\n");
        write_file("keylayout/customer_ir_00ff.kl", "key 3 VOLUME_UP\n");
    }

    int run(int *status) {
        testing::internal::CaptureStdout();
        int result = start_daemon(status);
        stdout_ = testing::internal::GetCapturedStdout();
        return result;
    }

    std::string stdout_;
};

TEST_F(startup, reaches_the_loop_with_inotify_in_slot_zero) {
    int status = 12345;
    ASSERT_EQ(run(&status), 0);
    EXPECT_EQ(status, 12345);
    EXPECT_EQ(stdout_, "IR_PROTOCOL_USED = 0\n");

    EXPECT_GT(g_uinputfd, 0);
    EXPECT_EQ(g_key_dev.fd, g_uinputfd);
    EXPECT_EQ(g_key_dev.event, &g_receive_buffer);
    EXPECT_EQ(g_key_dev.key_down, 0);
    EXPECT_GE(g_customer_map_count, 1);

    // No receiver here: two slots counted whether or not the uevent socket opened.
    EXPECT_EQ(g_nfds, 2);
    EXPECT_GE(g_poll_set[k_slot_inotify].fd, 0);
    EXPECT_EQ(g_poll_set[k_slot_inotify].events, POLLIN);
    EXPECT_EQ(g_poll_set[k_slot_receiver].fd, -1);
    EXPECT_EQ(g_poll_set[k_slot_receiver].events, 0);
    EXPECT_EQ(g_poll_set[k_slot_receiver].revents, 0);

    // The watch is on the input directory: a node created there wakes slot 0.
    write_file("dev/input/event5", "");
    struct pollfd watch = {g_poll_set[k_slot_inotify].fd, POLLIN, 0};
    EXPECT_EQ(poll(&watch, 1, 5000), 1);

    std::vector<std::string> debug = logged_texts(ANDROID_LOG_DEBUG);
    ASSERT_GE(debug.size(), 2u);
    EXPECT_EQ(debug[0], "dravoke open uinput dev");
    EXPECT_EQ(debug[1], "uinputfd=" + std::to_string(g_uinputfd) + "\n");
}

TEST_F(startup, missing_uinput_ends_with_status_zero_before_key_maps) {
    unlink(path("dev/uinput").c_str());
    // Were the key maps built, the missing directory would be logged.
    unlink(path("keylayout/orvex-ir.kl").c_str());
    unlink(path("keylayout/customer_ir_00ff.kl").c_str());
    rmdir(path("keylayout").c_str());
    int status = 12345;
    EXPECT_EQ(run(&status), -1);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(stdout_, "IR_PROTOCOL_USED = 0\n");
    std::vector<log_line_t> lines = take_logs();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, "dravoke open uinput dev");
    EXPECT_EQ(lines[1].text,
              "could not open '" + path("dev/uinput") + "', No such file or directory\n");
    EXPECT_EQ(lines[2].priority, ANDROID_LOG_DEBUG);
    EXPECT_EQ(lines[2].text, "uinputfd=-1\n");
    EXPECT_EQ(g_nfds, 0);
}

TEST_F(startup, refused_virtual_keyboard_ends_with_status_zero) {
    ioctl_handler = [](int, unsigned long request, void *) {
        return request == UI_DEV_CREATE ? -1 : 0;
    };
    int status = 12345;
    EXPECT_EQ(run(&status), -1);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(logged_texts(ANDROID_LOG_DEBUG).back(), "uinputfd=-1\n");
    take_logs();
}

TEST_F(startup, unwatchable_input_directory_ends_with_status_255) {
    rmdir(path("dev/input").c_str());
    int status = 0;
    EXPECT_EQ(run(&status), -1);
    EXPECT_EQ(static_cast<unsigned char>(status), 255);
    EXPECT_EQ(logged_texts(ANDROID_LOG_ERROR),
              std::vector<std::string>{"could not add watch for '" + path("dev/input") +
                                       "', No such file or directory"});
    take_logs();
}

}  // namespace
