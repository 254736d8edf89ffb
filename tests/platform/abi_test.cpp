// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>
#include <linux/input.h>
#include <linux/netlink.h>
#include <linux/uinput.h>
#include <time.h>

#include <vector>

// The records that the daemon exchanges with the kernel must have the kernel's layout on the
// architecture the tests were built for; the test suite is cross-built for the boxes' ARM
// classes so that every other test runs with the layouts the box has.
namespace {

struct abi_case_t {
    const char *record;
    size_t size;
    size_t expected;
};

#if defined(__arm__)
// The boxes' class: 32-bit time_t (as in the platform's C library), so a timestamp is two
// 32-bit words and input_event is 16 bytes.
constexpr size_t k_time_t_size = 4;
constexpr size_t k_input_event_size = 16;
#elif defined(__aarch64__) || defined(__x86_64__)
constexpr size_t k_time_t_size = 8;
constexpr size_t k_input_event_size = 24;
#else
constexpr size_t k_time_t_size = 0;
constexpr size_t k_input_event_size = 0;
#endif

TEST(kernel_records, have_the_sizes_of_this_architecture) {
    if (k_input_event_size == 0) {
        GTEST_SKIP() << "no layout is known for this architecture";
    }
    const std::vector<abi_case_t> cases = {
        {"time_t", sizeof(time_t), k_time_t_size},
        {"input_event", sizeof(struct input_event), k_input_event_size},
        // Name, input id, ff_effects_max and the four 64-entry axis tables: no padding on any
        // architecture, so the legacy set-up write is the same everywhere.
        {"uinput_user_dev", sizeof(struct uinput_user_dev), 1116},
        {"input_id", sizeof(struct input_id), 8},
        {"sockaddr_nl", sizeof(struct sockaddr_nl), 12},
    };
    for (const abi_case_t &c : cases) {
        EXPECT_EQ(c.size, c.expected) << c.record;
    }
}

}  // namespace
