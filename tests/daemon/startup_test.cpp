// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "cec/standby_bridge.h"
#include "daemon/daemon.h"
#include "inject/inject.h"
#include "keymap/keymap.h"
#include "support/daemon_fixture.h"
#include "support/log_capture.h"

namespace {

class startup : public daemon_test {
   protected:
    void SetUp() override {
        daemon_test::SetUp();
        write_platform("key 115 VOLUME_UP\n", "key 3 VOLUME_UP\n");
    }
};

TEST_F(startup, reaches_the_loop_with_inotify_in_slot_zero) {
    int status = 12345;
    ASSERT_EQ(start(&status), 0);
    EXPECT_EQ(status, 12345);
    EXPECT_EQ(stdout_, "IR_PROTOCOL_USED = 0\n");
    EXPECT_GT(g_uinputfd, 0);
    EXPECT_EQ(g_customer_map_count, 1);
    EXPECT_EQ(logged_texts(ANDROID_LOG_DEBUG)[1], "uinputfd=" + std::to_string(g_uinputfd) + "\n");
    for (const std::string &text : logged_texts(ANDROID_LOG_DEBUG)) {
        EXPECT_EQ(text.find("find target device"), std::string::npos) << "no receiver here";
    }
    // No receiver here: two slots counted whether or not the uevent socket opened.
    EXPECT_EQ(g_nfds, 2);
    EXPECT_GE(g_poll_set[k_slot_inotify].fd, 0);
    EXPECT_EQ(g_poll_set[k_slot_inotify].events, POLLIN);
    EXPECT_EQ(g_poll_set[k_slot_receiver].fd, -1);
    EXPECT_EQ(g_poll_set[k_slot_receiver].events, 0);
}

enum failure_t { k_no_uinput, k_no_customer_file, k_no_layouts, k_no_input_dir };

TEST_F(startup, failures_end_it_with_their_exit_status) {
    const struct {
        failure_t failure;
        int status;
        std::vector<std::string> errors;  // "@" stands for the test's root
        int descriptors;                  // left open when start-up ended
    } cases[] = {
        // The key layout directory is gone too: reading it would be logged.
        {k_no_uinput, 0, {"could not open '@/dev/uinput', No such file or directory\n"}, 0},
        // Only the virtual keyboard is open: no watch, no socket.
        {k_no_customer_file, 0, {"cant find any ir map"}, 1},
        {k_no_layouts,
         255,
         {"open '@/keylayout/orvex-ir.kl' fail, No such file or directory\n",
          "Open directory '@/keylayout' error, No such file or directory\n"},
         1},
        {k_no_input_dir,
         255,
         {"could not add watch for '@/dev/input', No such file or directory"},
         2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.failure);
        TearDown();
        SetUp();
        unlink(path("keylayout/customer_ir_00ff.kl").c_str());
        if (c.failure == k_no_uinput) {
            unlink(path("dev/uinput").c_str());
        }
        if (c.failure == k_no_uinput || c.failure == k_no_layouts) {
            unlink(path("keylayout/orvex-ir.kl").c_str());
            rmdir(path("keylayout").c_str());
        }
        if (c.failure == k_no_input_dir) {
            write_file("keylayout/customer_ir_00ff.kl", "key 3 VOLUME_UP\n");
            rmdir(path("dev/input").c_str());
        }
        std::vector<std::string> errors = c.errors;
        for (std::string &error : errors) {
            size_t at = error.find('@');
            error = at == std::string::npos ? error : error.replace(at, 1, root_);
        }
        int before = open_descriptor_count();
        int status = 12345;
        EXPECT_EQ(start(&status), -1);
        EXPECT_EQ(static_cast<unsigned char>(status), c.status);
        EXPECT_EQ(stdout_, "IR_PROTOCOL_USED = 0\n");
        EXPECT_EQ(logged_texts(ANDROID_LOG_ERROR), errors);
        EXPECT_EQ(logged_texts(ANDROID_LOG_DEBUG),
                  (std::vector<std::string>{"dravoke open uinput dev",
                                            "uinputfd=" + std::to_string(g_uinputfd) + "\n"}));
        EXPECT_EQ(open_descriptor_count() - before, c.descriptors);
        take_logs();
    }
}

}  // namespace
