#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string.h>
#include <unistd.h>

#include <cutils/properties.h>
#include <string>
#include <utility>
#include <vector>

#include "core/daemon.h"
#include "core/kernel_calls.h"
#include "core/protocol.h"
#include "inject/inject.h"
#include "keymap/keymap.h"
#include "support/daemon_fixture.h"
#include "support/log_capture.h"

namespace {

constexpr uint32_t k_pressed = 0x1000000;

uint32_t nec(uint32_t customer, uint32_t command, bool pressed) {
    return (pressed ? k_pressed : 0) | customer << 8 | command;
}

struct table_t {
    int32_t customer_code;
    std::vector<std::pair<int, int>> entries;  // command -> standard scancode
};

// Raw codes in, keys out. Tables are filled as the key maps would build them.
struct scenario_t {
    const char *title;
    int32_t protocol;
    std::vector<table_t> tables;
    std::vector<uint32_t> values;  // what the receiver reports, one event each
    const char *keys;              // what the virtual keyboard receives
    int32_t key_down;              // the standard scancode left down, 0 for none
};

void PrintTo(const scenario_t &s, std::ostream *os) {
    *os << s.title;
}

class translation : public daemon_test {
   protected:
    void SetUp() override {
        daemon_test::SetUp();
        int fds[2];
        ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
        keyboard_reader_ = fds[0];
        g_key_dev.fd = fds[1];
        g_key_dev.event = &g_receive_buffer;
    }

    void TearDown() override {
        close(keyboard_reader_);
        daemon_test::TearDown();
    }

    static void load_tables(const std::vector<table_t> &tables) {
        g_customer_map_count = static_cast<int>(tables.size());
        for (size_t i = 0; i < tables.size(); i++) {
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

    std::string written_keys() const {
        std::vector<struct input_event> events;
        struct input_event event;
        while (read(keyboard_reader_, &event, sizeof(event)) ==
               static_cast<ssize_t>(sizeof(event))) {
            events.push_back(event);
        }
        return render_events(events);
    }

    int keyboard_reader_ = -1;
};

class key_scenarios : public translation, public ::testing::WithParamInterface<scenario_t> {};

TEST_P(key_scenarios, raw_codes_in_keys_out) {
    const scenario_t &s = GetParam();
    ir_protocol_used = s.protocol;
    load_tables(s.tables);
    for (uint32_t value : s.values) {
        receive(value);
    }
    EXPECT_EQ(written_keys(), s.keys);
    EXPECT_EQ(g_key_dev.key_down, s.key_down);
}

const table_t k_remote = {0x00ff, {{3, 115}, {4, 114}, {5, 0}, {0xfe, 200}}};
const uint32_t k_press_a = nec(0x00ff, 3, true);
const uint32_t k_release_a = nec(0x00ff, 3, false);
const uint32_t k_press_b = nec(0x00ff, 4, true);
const uint32_t k_release_b = nec(0x00ff, 4, false);

INSTANTIATE_TEST_SUITE_P(
    nec, key_scenarios,
    ::testing::Values(
        scenario_t{"press", 0, {k_remote}, {k_press_a}, "+115 SYN", 115},
        scenario_t{
            "press_release", 0, {k_remote}, {k_press_a, k_release_a}, "+115 SYN -115 SYN", 0},
        scenario_t{"highest_command", 0, {k_remote}, {nec(0x00ff, 0xfe, true)}, "+200 SYN", 200},
        // A repeated press report is a separate stroke.
        scenario_t{"press_twice",
                   0,
                   {k_remote},
                   {k_press_a, k_press_a},
                   "+115 SYN -115 SYN +115 SYN",
                   115},
        scenario_t{"release_with_nothing_down", 0, {k_remote}, {k_release_a}, "", 0},
        // B pressed while A is down: A goes up before B goes down, and nothing stays down.
        scenario_t{"overlapping_keys",
                   0,
                   {k_remote},
                   {k_press_a, k_press_b, k_release_a, k_release_b},
                   "+115 SYN -115 SYN +114 SYN -114 SYN",
                   0},
        // A release report names another key: the key that is down goes up.
        scenario_t{"release_of_other_key",
                   0,
                   {k_remote},
                   {k_press_a, k_release_b},
                   "+115 SYN -115 SYN",
                   0},
        scenario_t{"release_without_entry_keeps_key_down",
                   0,
                   {k_remote},
                   {k_press_a, nec(0x00ff, 5, false)},
                   "+115 SYN",
                   115},
        scenario_t{"press_without_entry", 0, {k_remote}, {nec(0x00ff, 5, true)}, "", 0},
        scenario_t{"unknown_customer_changes_nothing",
                   0,
                   {k_remote},
                   {k_press_a, nec(0x00fe, 3, false), nec(0xff00, 3, true)},
                   "+115 SYN",
                   115},
        // Bits 25-31 are ignored, the sign bit included.
        scenario_t{"ignored_bits",
                   0,
                   {k_remote},
                   {k_press_a | 0xfe000000, k_release_a | 0xfe000000},
                   "+115 SYN -115 SYN",
                   0},
        // A SYN_REPORT read from the receiver is customer 0, command 0, released.
        scenario_t{
            "syn_report_without_customer_zero", 0, {k_remote}, {k_press_a, 0}, "+115 SYN", 115},
        scenario_t{"syn_report_with_customer_zero",
                   0,
                   {k_remote, {0x0000, {{0, 116}}}},
                   {k_press_a, 0},
                   "+115 SYN -115 SYN",
                   0},
        // The lower table decides, also where its entry is empty.
        scenario_t{"two_tables_one_customer_code",
                   0,
                   {{0x00ff, {{3, 0}, {4, 114}}}, {0x00ff, {{3, 113}, {4, 112}}}},
                   {k_press_a, k_press_b},
                   "+114 SYN",
                   114},
        // Only the counted tables are searched.
        scenario_t{"table_beyond_count", 0, {}, {k_press_a}, "", 0}),
    [](const ::testing::TestParamInfo<scenario_t> &info) { return info.param.title; });

uint32_t rc5(uint32_t address, uint32_t command, bool pressed) {
    return (pressed ? k_pressed : 0) | address << 8 | command;
}

const table_t k_rc5_remote = {0x1f, {{0x3c, 115}, {0xbc, 99}, {0x05, 114}}};

INSTANTIATE_TEST_SUITE_P(
    rc5, key_scenarios,
    ::testing::Values(
        scenario_t{"press_release",
                   1,
                   {k_rc5_remote},
                   {rc5(0x1f, 0x3c, true), rc5(0x1f, 0x3c, false)},
                   "+115 SYN -115 SYN",
                   0},
        // Bit 7, bits 13-23 and bits 25-31 are ignored.
        scenario_t{
            "ignored_bits", 1, {k_rc5_remote}, {0xffffffbc, 0xfeffffbc}, "+115 SYN -115 SYN", 0},
        // An address above 31 cannot be reported: its table never matches.
        scenario_t{"table_above_address_range",
                   1,
                   {{0x25, {{0x05, 114}}}},
                   {rc5(0x25, 0x05, true), rc5(0x05, 0x05, true)},
                   "",
                   0},
        // Bit 7 is not part of the command: entries above 127 cannot be reached.
        scenario_t{"entries_above_127_unreachable",
                   1,
                   {k_rc5_remote},
                   {rc5(0x1f, 0xbc, true)},
                   "+115 SYN",
                   115}),
    [](const ::testing::TestParamInfo<scenario_t> &info) { return info.param.title; });

TEST_F(translation, one_touch_play_is_triggered_before_its_press_only) {
    load_tables({{0x00ff, {{9, 223}}}});
    char value[PROPERTY_VALUE_MAX];

    receive(nec(0x00ff, 9, true));
    EXPECT_EQ(written_keys(), "+223 SYN");
    property_get("hdmi_cts.one_touch_play", value, "unset");
    EXPECT_STREQ(value, "1");
    std::vector<log_line_t> lines = take_logs();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "host property hdmi_cts.one_touch_play set to '1'");
    EXPECT_EQ(lines[1].priority, ANDROID_LOG_DEBUG);
    EXPECT_EQ(lines[1].tag, "dravoke");
    EXPECT_EQ(lines[1].text, "trigger one touch play.");

    // The release touches neither the property nor the log.
    host_properties_clear();
    receive(nec(0x00ff, 9, false));
    EXPECT_EQ(written_keys(), "-223 SYN");
    property_get("hdmi_cts.one_touch_play", value, "unset");
    EXPECT_STREQ(value, "unset");
    EXPECT_TRUE(take_logs().empty());

    // Each press triggers it again.
    receive(nec(0x00ff, 9, true));
    receive(nec(0x00ff, 9, true));
    EXPECT_EQ(logged_texts(ANDROID_LOG_DEBUG).size(), 4u);
    take_logs();
}

ssize_t interrupted_read(int, void *, size_t) {
    errno = EINTR;
    return -1;
}

TEST_F(translation, reads_only_whole_events) {
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
    struct input_event event;
    memset(&event, 0, sizeof(event));
    event.value = 0x0100ff03;
    ASSERT_EQ(write(fds[1], &event, sizeof(event)), static_cast<ssize_t>(sizeof(event)));
    struct input_event buf;
    EXPECT_EQ(input_event_process(fds[0], &buf), 0);
    EXPECT_EQ(memcmp(&buf, &event, sizeof(event)), 0);

    // A partial record, end of file, an interrupted read.
    ASSERT_EQ(write(fds[1], &event, sizeof(event) / 2), static_cast<ssize_t>(sizeof(event) / 2));
    EXPECT_EQ(input_event_process(fds[0], &buf), -1);
    close(fds[1]);
    EXPECT_EQ(input_event_process(fds[0], &buf), -1);
    g_kernel.read = interrupted_read;
    EXPECT_EQ(input_event_process(fds[0], &buf), -1);
    close(fds[0]);
}

}  // namespace
