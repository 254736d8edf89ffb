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
#include <set>
#include <sstream>

#include "cec/standby_bridge.h"
#include "core/daemon.h"
#include "core/kernel_calls.h"
#include "core/paths.h"
#include "core/protocol.h"
#include "inject/inject.h"
#include "keymap/keymap.h"
#include "receiver/receiver.h"
#include "support/log_capture.h"

std::vector<ioctl_call_t> daemon_test::ioctl_calls;
std::map<std::string, std::string> daemon_test::device_names;
std::function<int(int, unsigned long, void *)> daemon_test::ioctl_handler;

namespace {

std::string g_protocol_file_storage;
std::string g_uinput_path_storage;
std::string g_input_dir_storage;
std::string g_keylayout_dir_storage;

std::string descriptor_path(int fd) {
    char link[64];
    char target[PATH_MAX];
    snprintf(link, sizeof(link), "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, target, sizeof(target) - 1);
    if (n < 0) {
        return "";
    }
    target[n] = '\0';
    return target;
}

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
    if (_IOC_TYPE(request) == 'E' && _IOC_NR(request) == _IOC_NR(EVIOCGNAME(0)) &&
        _IOC_DIR(request) == _IOC_READ) {
        auto found = daemon_test::device_names.find(descriptor_path(fd));
        if (found == daemon_test::device_names.end()) {
            errno = ENOTTY;
            return -1;
        }
        size_t room = _IOC_SIZE(request);
        size_t length = found->second.size() + 1;
        if (length > room) {
            length = room;
        }
        memcpy(arg, found->second.c_str(), length);
        return static_cast<int>(length);
    }
    errno = ENOTTY;
    return -1;
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

    char root[] = "/tmp/dravoke-test-XXXXXX";
    ASSERT_NE(mkdtemp(root), nullptr) << strerror(errno);
    root_ = root;
    ASSERT_EQ(mkdir(path("dev").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(path("dev/input").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(path("keylayout").c_str(), 0755), 0);
    write_file("dev/uinput", "");

    g_protocol_file_storage = path("orvex_ir_protocol");
    g_uinput_path_storage = path("dev/uinput");
    g_input_dir_storage = path("dev/input");
    g_keylayout_dir_storage = path("keylayout");
    g_protocol_file = g_protocol_file_storage.c_str();
    g_uinput_path = g_uinput_path_storage.c_str();
    g_input_dir = g_input_dir_storage.c_str();
    g_keylayout_dir = g_keylayout_dir_storage.c_str();

    g_kernel.ioctl = fake_ioctl;
}

void daemon_test::TearDown() {
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

std::vector<struct input_event> daemon_test::keyboard_events() const {
    std::ifstream in(path("dev/uinput"), std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::string bytes = buffer.str();
    std::vector<struct input_event> events;
    size_t offset = sizeof(struct uinput_user_dev);
    while (offset + sizeof(struct input_event) <= bytes.size()) {
        struct input_event event;
        memcpy(&event, bytes.data() + offset, sizeof(event));
        events.push_back(event);
        offset += sizeof(event);
    }
    return events;
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

int open_descriptor_count(void) {
    DIR *dir = opendir("/proc/self/fd");
    if (dir == nullptr) {
        return -1;
    }
    int count = 0;
    while (readdir(dir) != nullptr) {
        count++;
    }
    closedir(dir);
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
