// SPDX-License-Identifier: Apache-2.0
#include "support/daemon_fixture.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <limits.h>
#include <linux/uinput.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cutils/properties.h>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "cec/standby_bridge.h"
#include "core/kernel_calls.h"
#include "core/paths.h"
#include "core/protocol.h"
#include "daemon/daemon.h"
#include "inject/inject.h"
#include "receiver/receiver.h"
#include "support/log_capture.h"
#include "support/uevent_source.h"

std::vector<ioctl_call_t> daemon_test::ioctl_calls;
std::map<std::string, std::string> daemon_test::device_names;
std::function<int(int, unsigned long, void *)> daemon_test::ioctl_handler;

namespace {

std::string g_path_storage[4];

// Succeeds for uinput requests; answers EVIOCGNAME from device_names like evdev does
// (the length of the name with its NUL); refuses everything else as a plain file would.
int fake_ioctl(int fd, unsigned long request, void *arg) {
    daemon_test::ioctl_calls.push_back({fd, request, reinterpret_cast<long>(arg)});
    if (daemon_test::ioctl_handler) {
        return daemon_test::ioctl_handler(fd, request, arg);
    }
    if (_IOC_TYPE(request) == UINPUT_IOCTL_BASE) {
        return 0;
    }
    auto found = daemon_test::device_names.find(descriptor_path(fd));
    if (_IOC_TYPE(request) != 'E' || _IOC_NR(request) != _IOC_NR(EVIOCGNAME(0)) ||
        _IOC_DIR(request) != _IOC_READ || found == daemon_test::device_names.end()) {
        errno = ENOTTY;
        return -1;
    }
    size_t length = std::min<size_t>(found->second.size() + 1, _IOC_SIZE(request));
    memcpy(arg, found->second.c_str(), length);
    return static_cast<int>(length);
}

int remove_entry(const char *path, const struct stat *, int, struct FTW *) {
    return remove(path);
}

}  // namespace

void reset_daemon_state(void) {
    std::set<int> descriptors = {g_uinputfd, g_key_dev.fd, g_uevent_sock};
    for (const struct pollfd &slot : g_poll_set) {
        descriptors.insert(slot.fd);
    }
    if (g_current_receiver != nullptr) {
        descriptors.insert(g_current_receiver->fd);
        free(g_current_receiver);
        g_current_receiver = nullptr;
    }
    for (int fd : descriptors) {
        // Never the test runner's own standard streams.
        if (fd > 2) {
            close(fd);
        }
    }
    for (struct pollfd &slot : g_poll_set) {
        slot = {-1, 0, 0};
    }

    ir_protocol_used = 0;
    g_uinputfd = -1;
    memset(&g_uinput_dev, 0, sizeof(g_uinput_dev));
    g_key_dev = key_dev_t{};
    memset(&g_receive_buffer, 0, sizeof(g_receive_buffer));
    g_nfds = 0;
    g_receiver_open_mode = O_RDWR;
    memset(g_base_keymap, 0, sizeof(g_base_keymap));
    memset(g_customer_keymap, 0, sizeof(g_customer_keymap));
    memset(g_customer_maps, 0, sizeof(g_customer_maps));
    g_customer_map_count = 0;
    g_uevent_sock = -1;
    memset(g_uevent_buf, 0, sizeof(g_uevent_buf));
    g_last_standby_time = timeval{};
    host_properties_clear();
    reset_kernel_calls();
}

void daemon_test::SetUp() {
    reset_daemon_state();
    take_logs();
    ioctl_calls.clear();
    device_names.clear();
    ioctl_handler = nullptr;

    // gtest's temporary folder: /tmp on a Linux host, /data/local/tmp on a box.
    std::string root = testing::TempDir() + "dravoke-test-XXXXXX";
    ASSERT_NE(mkdtemp(&root[0]), nullptr) << strerror(errno);
    root_ = root;
    for (const char *dir : {"dev", "dev/input", "keylayout"}) {
        ASSERT_EQ(mkdir(path(dir).c_str(), 0755), 0);
    }
    write_file("dev/uinput", "");

    const char *relative[] = {"orvex_ir_protocol", "dev/uinput", "dev/input", "keylayout"};
    const char **paths[] = {&g_protocol_file, &g_uinput_path, &g_input_dir, &g_keylayout_dir};
    for (int i = 0; i < 4; i++) {
        g_path_storage[i] = path(relative[i]);
        *paths[i] = g_path_storage[i].c_str();
    }
    g_kernel.ioctl = fake_ioctl;
    g_kernel.recvfrom = kernel_standin_recvfrom;
}

void daemon_test::TearDown() {
    g_log_observer = nullptr;
    for (const log_line_t &line : take_logs()) {
        if (line.priority >= ANDROID_LOG_ERROR) {
            ADD_FAILURE() << "unexpected ERROR line: " << line.text;
        }
    }
    reset_daemon_state();
    g_protocol_file = "/proc/orvex_ir_protocol";
    g_uinput_path = "/dev/uinput";
    g_input_dir = "/dev/input";
    g_keylayout_dir = "/system/usr/keylayout";
    if (!root_.empty()) {
        nftw(root_.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
    }
}

void daemon_test::write_file(const std::string &relative, const std::string &content) const {
    std::ofstream out(path(relative), std::ios::binary | std::ios::trunc);
    out << content;
    ASSERT_TRUE(out.good()) << "cannot write " << path(relative);
}

void daemon_test::write_platform(const std::string &standard, const std::string &customer) const {
    write_file("orvex_ir_protocol", std::string(4, '\0'));
    write_file("keylayout/orvex-ir.kl", standard);
    write_file("keylayout/customer_ir_00ff.kl", customer);
}

int daemon_test::start(int *status) {
    int ignored = 0;
    testing::internal::CaptureStdout();
    int result = start_daemon(status != nullptr ? status : &ignored);
    stdout_ = testing::internal::GetCapturedStdout();
    return result;
}

std::vector<struct input_event> daemon_test::keyboard_events() const {
    std::ifstream in(path("dev/uinput"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<struct input_event> events;
    for (size_t offset = sizeof(struct uinput_user_dev);
         offset + sizeof(struct input_event) <= bytes.size(); offset += sizeof(input_event)) {
        events.emplace_back();
        memcpy(&events.back(), bytes.data() + offset, sizeof(struct input_event));
    }
    return events;
}

std::string daemon_test::new_keyboard_events() {
    std::vector<struct input_event> events = keyboard_events();
    size_t seen = std::min(keyboard_events_seen_, events.size());
    keyboard_events_seen_ = events.size();
    return render_events(
        std::vector<struct input_event>(events.begin() + static_cast<long>(seen), events.end()));
}

void daemon_test::use_keyboard() {
    write_file("dev/uinput", std::string(sizeof(struct uinput_user_dev), '\0'));
    g_key_dev.fd = open(path("dev/uinput").c_str(), O_WRONLY | O_APPEND);
    g_key_dev.event = &g_receive_buffer;
}

std::string daemon_test::make_device_node(const std::string &entry,
                                          const std::string &device_name) const {
    std::string node = path("dev/input/" + entry);
    if (!device_name.empty()) {
        device_names[node] = device_name;
    }
    EXPECT_EQ(mkfifo(node.c_str(), 0600), 0) << node << ": " << strerror(errno);
    return node;
}

std::string daemon_test::use_deep_input_dir(size_t length) {
    std::string dir = path("dev/input");
    while (length - dir.size() > 201) {
        dir += "/" + std::string(200, 'd');
        EXPECT_EQ(mkdir(dir.c_str(), 0755), 0) << strerror(errno);
    }
    dir += "/" + std::string(length - dir.size() - 1, 'f');
    EXPECT_EQ(mkdir(dir.c_str(), 0755), 0) << strerror(errno);
    deep_input_dir_ = dir;
    g_input_dir = deep_input_dir_.c_str();
    return dir;
}

void daemon_test::change_input_dir(const std::string &steps) const {
    std::istringstream in(steps);
    for (std::string step; in >> step;) {
        size_t colon = std::min(step.find(':'), step.size());
        std::string node = path("dev/input/" + step.substr(1, colon - 1));
        std::string name = step.substr(std::min(colon + 1, step.size()));
        if (step[0] == '+') {
            make_device_node(node.substr(node.rfind('/') + 1), name);
        } else if (step[0] == '-') {
            EXPECT_EQ(unlink(node.c_str()), 0) << node;
        } else {
            device_names[node] = name;
            EXPECT_EQ(mkdir(node.c_str(), 0755), 0) << node;
        }
    }
}

void write_raw_code(int fd, int32_t value) {
    struct input_event event;
    memset(&event, 0, sizeof(event));
    event.type = EV_MSC;
    event.code = MSC_SCAN;
    event.value = value;
    ASSERT_EQ(write(fd, &event, sizeof(event)), static_cast<ssize_t>(sizeof(event)));
}

std::string descriptor_path(int fd) {
    char link[64];
    char target[PATH_MAX];
    snprintf(link, sizeof(link), "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, target, sizeof(target));
    return n < 0 ? "" : std::string(target, static_cast<size_t>(n));
}

int open_descriptor_count(void) {
    int count = 0;
    for (int fd = 0; fd < 1024; fd++) {
        count += fcntl(fd, F_GETFD) != -1;
    }
    return count;
}

std::string render_events(const std::vector<struct input_event> &events) {
    std::string text;
    for (const struct input_event &event : events) {
        if (!text.empty()) {
            text += ' ';
        }
        // The daemon leaves every timestamp zero; one that is not shows in full.
        bool untimed = event.time.tv_sec == 0 && event.time.tv_usec == 0;
        if (untimed && event.type == EV_SYN && event.code == SYN_REPORT && event.value == 0) {
            text += "SYN";
        } else if (untimed && event.type == EV_KEY && (event.value == 0 || event.value == 1)) {
            text += (event.value == 1 ? "+" : "-") + std::to_string(event.code);
        } else {
            text += "time" + std::to_string(event.time.tv_sec) + "." +
                    std::to_string(event.time.tv_usec) + "/type" + std::to_string(event.type) +
                    "/code" + std::to_string(event.code) + "/value" + std::to_string(event.value);
        }
    }
    return text;
}

void fill_marked(keymap_t *table) {
    for (int i = 0; i < k_keymap_size; i++) {
        table[i].scancode = 1000 + i;
        snprintf(table[i].name, sizeof(table[i].name), "mark%d", i);
    }
}

std::vector<std::string> changed_entries(const keymap_t *table) {
    std::vector<std::string> changed;
    for (int i = 0; i < k_keymap_size; i++) {
        if (table[i].scancode == 1000 + i && table[i].name == "mark" + std::to_string(i)) {
            continue;
        }
        changed.push_back(std::to_string(i) + "=" + table[i].name);
        if (table[i].scancode != i) {
            changed.back() += " (scancode " + std::to_string(table[i].scancode) + ")";
        }
    }
    return changed;
}
