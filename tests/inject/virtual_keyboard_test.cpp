// SPDX-License-Identifier: Apache-2.0
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "inject/inject.h"
#include "support/daemon_fixture.h"
#include "support/log_capture.h"

namespace {

using virtual_keyboard = daemon_test;

TEST_F(virtual_keyboard, declares_keys_writes_record_then_creates) {
    off_t size_at_create = -1;
    ioctl_handler = [&](int fd, unsigned long request, void *) {
        struct stat st;
        fstat(fd, &st);
        size_at_create = request == UI_DEV_CREATE ? st.st_size : size_at_create;
        return 0;
    };
    // A name of 80 bytes or more fills the field and keeps no terminator.
    for (const std::string &name : {std::string("orvex-ir-uinput"), std::string(100, 'n')}) {
        SCOPED_TRACE(name);
        write_file("dev/uinput", "");
        ioctl_calls.clear();
        int fd = setup_virtual_input_dev(name.c_str());
        ASSERT_GT(fd, 0);
        EXPECT_EQ(g_uinputfd, fd);
        EXPECT_EQ(fcntl(fd, F_GETFL) & (O_ACCMODE | O_NONBLOCK), O_WRONLY | O_NONBLOCK);
        EXPECT_EQ(logged_texts(ANDROID_LOG_DEBUG),
                  std::vector<std::string>{"dravoke open uinput dev"});
        take_logs();

        // Three event types in order, every key code 0..255 in order, then the creation,
        // which comes after the whole record was written.
        auto call = [](int on, unsigned long request, long arg) {
            return std::to_string(on) + " " + std::to_string(request) + " " + std::to_string(arg);
        };
        std::vector<std::string> expected_calls = {call(fd, UI_SET_EVBIT, EV_KEY),
                                                   call(fd, UI_SET_EVBIT, EV_MSC),
                                                   call(fd, UI_SET_EVBIT, EV_REP)};
        for (long code = 0; code <= 255; code++) {
            expected_calls.push_back(call(fd, UI_SET_KEYBIT, code));
        }
        expected_calls.push_back(call(fd, UI_DEV_CREATE, 0));
        std::vector<std::string> calls;
        for (const ioctl_call_t &made : ioctl_calls) {
            calls.push_back(call(made.fd, made.request, made.arg));
        }
        EXPECT_EQ(calls, expected_calls);
        EXPECT_EQ(size_at_create, static_cast<off_t>(sizeof(struct uinput_user_dev)));

        struct uinput_user_dev expected = {};
        memcpy(expected.name, name.data(), std::min(name.size(), sizeof(expected.name)));
        expected.id.bustype = BUS_HOST;
        expected.id.version = 4;
        struct uinput_user_dev record;
        std::ifstream(path("dev/uinput"), std::ios::binary)
            .read(reinterpret_cast<char *>(&record), sizeof(record));
        EXPECT_EQ(memcmp(&record, &expected, sizeof(record)), 0);
        close(fd);
    }
}

TEST_F(virtual_keyboard, refused_creation_closes_descriptor) {
    ioctl_handler = [](int, unsigned long request, void *) {
        errno = EEXIST;
        return request == UI_DEV_CREATE ? -1 : 0;
    };
    EXPECT_EQ(setup_virtual_input_dev("orvex-ir-uinput"), -1);
    EXPECT_EQ(g_uinputfd, -1);
    ASSERT_EQ(ioctl_calls.size(), 260u);
    EXPECT_EQ(fcntl(ioctl_calls.back().fd, F_GETFD), -1);
    EXPECT_EQ(errno, EBADF);
    EXPECT_EQ(logged_texts(ANDROID_LOG_ERROR),
              std::vector<std::string>{"could not create uinput device, File exists\n"});
    take_logs();
}

TEST_F(virtual_keyboard, report_writes_event_then_optional_sync) {
    use_keyboard();
    struct input_event event = {};
    event.type = EV_KEY;
    event.code = 115;
    event.value = 1;
    for (int sync : {0, 1, 7}) {
        report_key_event(g_key_dev.fd, &event, sync);
        EXPECT_EQ(new_keyboard_events(), sync ? "+115 SYN" : "+115") << sync;
    }
}

}  // namespace
