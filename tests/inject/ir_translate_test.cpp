// SPDX-License-Identifier: Apache-2.0
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "core/kernel_calls.h"
#include "core/protocol.h"
#include "daemon/daemon.h"
#include "inject/inject.h"
#include "keymap/keymap.h"
#include "support/daemon_fixture.h"
#include "support/log_capture.h"

namespace {

// A raw code as the driver reports it, NEC or RC5 alike.
uint32_t raw(uint32_t customer, uint32_t command, bool pressed) {
    return (pressed ? 0x1000000u : 0) | customer << 8 | command;
}

struct table_t {
    int32_t customer_code;
    std::vector<std::pair<int, int>> entries;  // command -> standard scancode
};

class translation : public daemon_test {
   protected:
    void SetUp() override {
        daemon_test::SetUp();
        use_keyboard();
    }

    // Fills tables as the key maps would build them; those beyond stay as they were.
    static void load_tables(const std::vector<table_t> &tables) {
        g_customer_map_count = static_cast<int>(tables.size());
        for (size_t i = 0; i < tables.size(); i++) {
            memset(&g_customer_maps[i], 0, sizeof(g_customer_maps[i]));
            g_customer_maps[i].customer_code = tables[i].customer_code;
            for (const auto &entry : tables[i].entries) {
                g_customer_maps[i].scancode_map[entry.first] = entry.second;
            }
        }
    }

    // Hands one event to the translator as the loop would. Type, code and time are junk:
    // every event is decoded from its value alone, whatever its type.
    static void receive(uint32_t value) {
        memset(&g_receive_buffer, 0xA5, sizeof(g_receive_buffer));
        g_receive_buffer.value = static_cast<int32_t>(value);
        detect_key_input(&g_key_dev);
    }
};

// Raw codes in, keys out.
TEST_F(translation, raw_codes_in_keys_out) {
    const table_t remote = {0x12ff, {{3, 115}, {4, 114}, {5, 0}, {0xfe, 200}}};
    const table_t first = {0x12ff, {{3, 0}, {4, 114}}};
    const table_t second = {0x12ff, {{3, 113}, {4, 112}}};
    const table_t rc5_remote = {0x1f, {{0x3c, 115}, {0xbc, 99}, {0x05, 114}}};
    const uint32_t a = raw(0x12ff, 3, true);
    const uint32_t a_up = raw(0x12ff, 3, false);
    const uint32_t b = raw(0x12ff, 4, true);
    const uint32_t b_up = raw(0x12ff, 4, false);
    const struct {
        const char *title;
        int32_t protocol;
        std::vector<table_t> tables;
        std::vector<uint32_t> values;  // what the receiver reports, one event each
        const char *keys;              // what the virtual keyboard receives
        int32_t key_down;              // the standard scancode left down, 0 for none
    } cases[] = {
        {"press_release", 0, {remote}, {a, a_up}, "+115 SYN -115 SYN", 0},
        {"highest_command", 0, {remote}, {raw(0x12ff, 0xfe, true)}, "+200 SYN", 200},
        // A repeated press report is a separate stroke.
        {"press_twice", 0, {remote}, {a, a}, "+115 SYN -115 SYN +115 SYN", 115},
        {"release_with_nothing_down", 0, {remote}, {a_up}, "", 0},
        // B pressed while A is down: A goes up before B goes down, and nothing stays down.
        {"overlap", 0, {remote}, {a, b, a_up, b_up}, "+115 SYN -115 SYN +114 SYN -114 SYN", 0},
        // A release report names another key: the key that is down goes up.
        {"release_of_other_key", 0, {remote}, {a, b_up}, "+115 SYN -115 SYN", 0},
        {"release_without_entry", 0, {remote}, {a, raw(0x12ff, 5, false)}, "+115 SYN", 115},
        {"press_without_entry", 0, {remote}, {raw(0x12ff, 5, true)}, "", 0},
        {"unknown", 0, {remote}, {a, raw(0xfe, 3, false), raw(0xff00, 3, true)}, "+115 SYN", 115},
        // Only the counted tables are searched: the case before left its table in place.
        {"table_beyond_count", 0, {}, {a}, "", 0},
        // Bits 25-31 are ignored, the sign bit included.
        {"ignored_bits", 0, {remote}, {a | 0xfe000000, a_up | 0xfe000000}, "+115 SYN -115 SYN", 0},
        // A SYN_REPORT read from the receiver is customer 0, command 0, released.
        {"syn_report", 0, {remote}, {a, 0}, "+115 SYN", 115},
        {"syn_report_customer_0", 0, {remote, {0, {{0, 116}}}}, {a, 0}, "+115 SYN -115 SYN", 0},
        // The lower table decides, also where its entry is empty.
        {"same_code_twice", 0, {first, second}, {a, b}, "+114 SYN", 114},
        // Bit 7, bits 13-23 and bits 25-31 are ignored.
        {"rc5_ignored_bits", 1, {rc5_remote}, {0xffffffbc, 0xfeffffbc}, "+115 SYN -115 SYN", 0},
        // An address above 31 cannot be reported: its table never matches.
        {"rc5_address_above_31", 1, {{0x25, {{0x05, 114}}}}, {raw(0x25, 0x05, true)}, "", 0},
        // Bit 7 is not part of the command: entries above 127 cannot be reached.
        {"rc5_entries_above_127", 1, {rc5_remote}, {raw(0x1f, 0xbc, true)}, "+115 SYN", 115},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.title);
        ir_protocol_used = c.protocol;
        g_key_dev.key_down = 0;
        load_tables(c.tables);
        for (uint32_t value : c.values) {
            receive(value);
        }
        EXPECT_EQ(new_keyboard_events(), c.keys);
        EXPECT_EQ(g_key_dev.key_down, c.key_down);
    }
}

// The kernel dropped events queued for the daemon, perhaps a release.
TEST_F(translation, dropped_events_release_the_key_that_is_down) {
    load_tables({{0x12ff, {{3, 115}}}});
    auto receive_dropped = [] {
        memset(&g_receive_buffer, 0, sizeof(g_receive_buffer));
        g_receive_buffer.type = EV_SYN;
        g_receive_buffer.code = SYN_DROPPED;
        g_receive_buffer.value = static_cast<int32_t>(raw(0x12ff, 3, true));
        detect_key_input(&g_key_dev);
    };
    receive(raw(0x12ff, 3, true));
    receive_dropped();
    EXPECT_EQ(new_keyboard_events(), "+115 SYN -115 SYN");
    EXPECT_EQ(g_key_dev.key_down, 0);
    // Its value, a press here, is not decoded.
    receive_dropped();
    EXPECT_EQ(new_keyboard_events(), "");
}

std::vector<off_t> g_keyboard_size_at_log;

// How much had reached the keyboard when a line was logged.
void note_keyboard_size(const log_line_t &) {
    struct stat keyboard;
    fstat(g_key_dev.fd, &keyboard);
    g_keyboard_size_at_log.push_back(keyboard.st_size);
}

TEST_F(translation, one_touch_play_is_triggered_before_its_press_only) {
    load_tables({{0x12ff, {{9, 223}}}});
    g_log_observer = note_keyboard_size;
    // Each press sets the property and logs, before its key is written.
    for (const char *keys : {"+223 SYN", "-223 SYN +223 SYN"}) {
        g_keyboard_size_at_log.clear();
        struct stat before;
        fstat(g_key_dev.fd, &before);
        receive(raw(0x12ff, 9, true));
        EXPECT_EQ(new_keyboard_events(), keys);
        EXPECT_EQ(g_keyboard_size_at_log, std::vector<off_t>(2, before.st_size));
        std::vector<log_line_t> lines = take_logs();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0].text, "host property hdmi_cts.one_touch_play set to '1'");
        EXPECT_EQ(lines[1].priority, ANDROID_LOG_DEBUG);
        EXPECT_EQ(lines[1].tag, "dravoke");
        EXPECT_EQ(lines[1].text, "trigger one touch play.");
    }
    // The release touches neither the property nor the log.
    receive(raw(0x12ff, 9, false));
    EXPECT_EQ(new_keyboard_events(), "-223 SYN");
    EXPECT_TRUE(take_logs().empty());
}

ssize_t interrupted_read(int, void *, size_t) {
    errno = EINTR;
    return -1;
}

TEST_F(translation, reads_only_whole_events) {
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
    write_raw_code(fds[1], 0x0100ff03);
    struct input_event buf;
    EXPECT_EQ(input_event_process(fds[0], &buf), 0);
    EXPECT_EQ(buf.value, 0x0100ff03);

    // A partial record, end of file, an interrupted read.
    ASSERT_EQ(write(fds[1], &buf, sizeof(buf) / 2), static_cast<ssize_t>(sizeof(buf) / 2));
    EXPECT_EQ(input_event_process(fds[0], &buf), -1);
    close(fds[1]);
    EXPECT_EQ(input_event_process(fds[0], &buf), -1);
    g_kernel.read = interrupted_read;
    EXPECT_EQ(input_event_process(fds[0], &buf), -1);
    close(fds[0]);
}

}  // namespace
