#include <gtest/gtest.h>
#include <limits.h>
#include <stdio.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "cec/standby_bridge.h"
#include "core/daemon.h"
#include "keymap/keymap.h"
#include "support/daemon_fixture.h"
#include "support/log_capture.h"

namespace {

// What the process's descriptors lead to, as /proc shows them.
std::vector<std::string> open_descriptor_targets(void) {
    std::vector<std::string> targets;
    for (int fd = 0; fd < 1024; fd++) {
        char link[64];
        char target[PATH_MAX];
        snprintf(link, sizeof(link), "/proc/self/fd/%d", fd);
        ssize_t n = readlink(link, target, sizeof(target) - 1);
        if (n > 0) {
            targets.emplace_back(target, static_cast<size_t>(n));
        }
    }
    return targets;
}

class keymap_startup : public daemon_test {
   protected:
    void SetUp() override {
        daemon_test::SetUp();
        write_file("orvex_ir_protocol", std::string("\x00\x00\x00\x00", 4));
        write_file("keylayout/orvex-ir.kl", "key 115 VOLUME_UP\n");
    }

    int run(int *status) {
        testing::internal::CaptureStdout();
        int result = start_daemon(status);
        testing::internal::GetCapturedStdout();
        return result;
    }
};

// Each case on a fresh tree: a customer file that must not count, or none.
class keymap_startup_without_table : public keymap_startup,
                                     public testing::WithParamInterface<const char *> {};

TEST_P(keymap_startup_without_table, ends_with_status_zero_before_inotify_and_socket) {
    if (GetParam()[0] != '\0') {
        write_file(GetParam(), "key 3 VOLUME_UP\n");
    }
    int status = 12345;
    EXPECT_EQ(run(&status), -1);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(g_customer_map_count, 0);
    EXPECT_EQ(logged_texts(ANDROID_LOG_ERROR), std::vector<std::string>{"cant find any ir map"});
    take_logs();
    EXPECT_EQ(g_nfds, 0);
    EXPECT_EQ(g_poll_set[k_slot_inotify].fd, -1);
    EXPECT_EQ(g_uevent_sock, -1);
    for (const std::string &target : open_descriptor_targets()) {
        EXPECT_EQ(target.find("inotify"), std::string::npos) << target;
        EXPECT_EQ(target.find("socket:"), std::string::npos) << target;
    }
}

INSTANTIATE_TEST_SUITE_P(files, keymap_startup_without_table,
                         testing::Values("", "keylayout/customer_rc5_ir_1f.kl",
                                         "keylayout/customer_ir_00ff.kl.bak",
                                         "keylayout/Customer_ir_00ff.kl"));

TEST_F(keymap_startup, unopenable_layout_directory_ends_with_status_255) {
    unlink(path("keylayout/orvex-ir.kl").c_str());
    ASSERT_EQ(rmdir(path("keylayout").c_str()), 0);
    int status = 0;
    EXPECT_EQ(run(&status), -1);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(static_cast<unsigned char>(status), 255);
    std::string dir = path("keylayout");
    EXPECT_EQ(logged_texts(ANDROID_LOG_ERROR),
              (std::vector<std::string>{
                  "open '" + dir + "/orvex-ir.kl' fail, No such file or directory\n",
                  "Open directory '" + dir + "' error, No such file or directory\n",
              }));
    take_logs();
    EXPECT_EQ(g_nfds, 0);
    EXPECT_EQ(g_poll_set[k_slot_inotify].fd, -1);
}

}  // namespace
