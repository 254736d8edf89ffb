#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "inject/virtual_keyboard.h"
#include "support/daemon_fixture.h"
#include "support/log_capture.h"

namespace {

using virtual_keyboard = daemon_test;

struct uinput_user_dev written_record(const std::string &file) {
    struct uinput_user_dev record;
    memset(&record, 0xAA, sizeof(record));
    int fd = open(file.c_str(), O_RDONLY);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(read(fd, &record, sizeof(record)), static_cast<ssize_t>(sizeof(record)));
    close(fd);
    return record;
}

TEST_F(virtual_keyboard, declares_keys_writes_record_then_creates) {
    off_t size_at_create = -1;
    ioctl_handler = [&](int fd, unsigned long request, void *) {
        if (request == UI_DEV_CREATE) {
            struct stat st;
            fstat(fd, &st);
            size_at_create = st.st_size;
        }
        return 0;
    };

    int fd = setup_virtual_input_dev("orvex-ir-uinput");
    ASSERT_GT(fd, 0);
    EXPECT_EQ(g_uinputfd, fd);
    EXPECT_EQ(fcntl(fd, F_GETFL) & (O_ACCMODE | O_NONBLOCK), O_WRONLY | O_NONBLOCK);

    // Three event types in order, every key code 0..255 in order, then the creation, which
    // comes after the whole record was written.
    ASSERT_EQ(ioctl_calls.size(), 3u + 256u + 1u);
    const long types[] = {EV_KEY, EV_MSC, EV_REP};
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(ioctl_calls[i].request, static_cast<unsigned long>(UI_SET_EVBIT));
        EXPECT_EQ(ioctl_calls[i].arg, types[i]);
    }
    for (int code = 0; code <= 255; code++) {
        EXPECT_EQ(ioctl_calls[3 + code].request, static_cast<unsigned long>(UI_SET_KEYBIT));
        EXPECT_EQ(ioctl_calls[3 + code].arg, code);
    }
    EXPECT_EQ(ioctl_calls.back().request, static_cast<unsigned long>(UI_DEV_CREATE));
    for (const ioctl_call_t &call : ioctl_calls) {
        EXPECT_EQ(call.fd, fd);
    }
    EXPECT_EQ(size_at_create, static_cast<off_t>(sizeof(struct uinput_user_dev)));

    struct uinput_user_dev expected;
    memset(&expected, 0, sizeof(expected));
    strcpy(expected.name, "orvex-ir-uinput");
    expected.id.bustype = BUS_HOST;
    expected.id.version = 4;
    struct uinput_user_dev record = written_record(path("dev/uinput"));
    EXPECT_EQ(memcmp(&record, &expected, sizeof(record)), 0);
    EXPECT_EQ(record.id.vendor, 0);
    EXPECT_EQ(record.id.product, 0);

    EXPECT_EQ(logged_texts(ANDROID_LOG_DEBUG), std::vector<std::string>{"dravoke open uinput dev"});
}

TEST_F(virtual_keyboard, long_name_fills_the_field_without_terminator) {
    std::string name(100, 'n');
    name.replace(80, 1, "X");
    ASSERT_GT(setup_virtual_input_dev(name.c_str()), 0);
    struct uinput_user_dev record = written_record(path("dev/uinput"));
    EXPECT_EQ(std::string(record.name, sizeof(record.name)), std::string(80, 'n'));
    EXPECT_EQ(record.id.bustype, BUS_HOST);
}

TEST_F(virtual_keyboard, refused_creation_closes_descriptor) {
    ioctl_handler = [](int, unsigned long request, void *) {
        if (request == UI_DEV_CREATE) {
            errno = EEXIST;
            return -1;
        }
        return 0;
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

TEST_F(virtual_keyboard, missing_device_logs_once_and_returns_open_result) {
    unlink(path("dev/uinput").c_str());
    EXPECT_EQ(setup_virtual_input_dev("orvex-ir-uinput"), -1);
    EXPECT_EQ(g_uinputfd, -1);
    EXPECT_TRUE(ioctl_calls.empty());
    std::vector<log_line_t> lines = take_logs();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].priority, ANDROID_LOG_DEBUG);
    EXPECT_EQ(lines[0].text, "dravoke open uinput dev");
    EXPECT_EQ(lines[1].priority, ANDROID_LOG_ERROR);
    EXPECT_EQ(lines[1].tag, "dravoke");
    EXPECT_EQ(lines[1].text,
              "could not open '" + path("dev/uinput") + "', No such file or directory\n");
}

TEST_F(virtual_keyboard, report_writes_event_then_optional_sync) {
    for (int sync : {0, 1, 7}) {
        int fds[2];
        ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
        struct input_event event;
        memset(&event, 0, sizeof(event));
        event.time.tv_sec = 12;
        event.time.tv_usec = 34;
        event.type = EV_KEY;
        event.code = 115;
        event.value = 1;
        report_key_event(fds[1], &event, sync);

        struct input_event got[3];
        ssize_t n = read(fds[0], got, sizeof(got));
        size_t expected_records = sync ? 2 : 1;
        ASSERT_EQ(n, static_cast<ssize_t>(expected_records * sizeof(struct input_event)));
        EXPECT_EQ(memcmp(&got[0], &event, sizeof(event)), 0);
        if (sync) {
            struct input_event zero;
            memset(&zero, 0, sizeof(zero));
            EXPECT_EQ(memcmp(&got[1], &zero, sizeof(zero)), 0);
        }
        close(fds[0]);
        close(fds[1]);
    }
}

}  // namespace
