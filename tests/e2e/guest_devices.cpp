// SPDX-License-Identifier: Apache-2.0
// Guest-side helpers: stand-in input devices made through uinput, and reading the event
// nodes the platform reads.
#include <dirent.h>
#include <fcntl.h>
#include <linux/uinput.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "e2e.h"

static std::string trim(const std::string &s) {
    size_t b = s.find_first_not_of(" \n\r\t");
    size_t e = s.find_last_not_of(" \n\r\t");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// Finds the evdev child ("eventN") of an input device's sysfs folder.
static std::string find_event_child(const std::string &dir) {
    DIR *d = opendir(dir.c_str());
    if (d == nullptr) {
        return std::string();
    }
    std::string found;
    while (struct dirent *e = readdir(d)) {
        if (strncmp(e->d_name, "event", 5) == 0) {
            found = e->d_name;
            break;
        }
    }
    closedir(d);
    return found;
}

static int read_dev_numbers(const std::string &sys_name, unsigned *major_out, unsigned *minor_out) {
    std::string dev = read_file("/sys/class/input/" + sys_name + "/dev");
    return sscanf(dev.c_str(), "%u:%u", major_out, minor_out) == 2 ? 0 : -1;
}

int create_source(const char *name, source_t *out) {
    out->fd = -1;
    int fd = open("/dev/uinput", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct uinput_setup setup;
    memset(&setup, 0, sizeof(setup));
    setup.id.bustype = BUS_HOST;
    snprintf(setup.name, sizeof(setup.name), "%s", name);
    if (ioctl(fd, UI_SET_EVBIT, EV_MSC) < 0 || ioctl(fd, UI_SET_MSCBIT, MSC_SCAN) < 0 ||
        ioctl(fd, UI_DEV_SETUP, &setup) < 0 || ioctl(fd, UI_DEV_CREATE) < 0) {
        close(fd);
        return -1;
    }
    char sys[64] = {0};
    if (ioctl(fd, UI_GET_SYSNAME(sizeof(sys) - 1), sys) < 0) {
        close(fd);
        return -1;
    }
    std::string dir = std::string("/sys/devices/virtual/input/") + sys;
    std::string event;
    for (int i = 0; i < 200 && event.empty(); i++) {
        event = find_event_child(dir);
        if (event.empty()) {
            sleep_ms(5);
        }
    }
    if (event.empty() || read_dev_numbers(event, &out->dev_major, &out->dev_minor) != 0) {
        close(fd);
        return -1;
    }
    out->fd = fd;
    out->sys_name = event;
    out->node = "/dev/input/" + event;
    return 0;
}

void destroy_source(source_t *source) {
    if (source->fd >= 0) {
        ioctl(source->fd, UI_DEV_DESTROY);
        close(source->fd);
        source->fd = -1;
    }
}

int send_raw_burst(const source_t *source, const uint32_t *raws, int count) {
    std::vector<input_event> events(static_cast<size_t>(count) * 2);
    memset(events.data(), 0, events.size() * sizeof(input_event));
    for (int i = 0; i < count; i++) {
        input_event &scan = events[static_cast<size_t>(i) * 2];
        scan.type = EV_MSC;
        scan.code = MSC_SCAN;
        scan.value = static_cast<int32_t>(raws[i]);
        // The second record stays all zero: SYN_REPORT.
    }
    size_t len = events.size() * sizeof(input_event);
    return write(source->fd, events.data(), len) == static_cast<ssize_t>(len) ? 0 : -1;
}

int send_raw(const source_t *source, uint32_t raw) {
    return send_raw_burst(source, &raw, 1);
}

int open_input_by_name(const char *name, int timeout_ms, std::string *sys_name) {
    uint64_t deadline = now_ms() + static_cast<uint64_t>(timeout_ms);
    mkdir("/run/e2e-nodes", 0755);
    do {
        DIR *d = opendir("/sys/class/input");
        std::string match;
        while (d != nullptr) {
            struct dirent *e = readdir(d);
            if (e == nullptr) {
                break;
            }
            if (strncmp(e->d_name, "event", 5) != 0) {
                continue;
            }
            std::string dev_name =
                trim(read_file(std::string("/sys/class/input/") + e->d_name + "/device/name"));
            if (dev_name == name) {
                match = e->d_name;
                break;
            }
        }
        if (d != nullptr) {
            closedir(d);
        }
        unsigned maj = 0;
        unsigned min = 0;
        if (!match.empty() && read_dev_numbers(match, &maj, &min) == 0) {
            std::string node = "/run/e2e-nodes/" + match;
            unlink(node.c_str());
            if (mknod(node.c_str(), S_IFCHR | 0600, makedev(maj, min)) == 0) {
                int fd = open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) {
                    if (sys_name != nullptr) {
                        *sys_name = match;
                    }
                    return fd;
                }
            }
        }
        sleep_ms(10);
    } while (now_ms() < deadline);
    return -1;
}

std::string read_events_raw(int fd, int timeout_ms, std::vector<input_event> *events) {
    uint64_t deadline = now_ms() + static_cast<uint64_t>(timeout_ms);
    for (;;) {
        input_event ev[64];
        ssize_t n = read(fd, ev, sizeof(ev));
        if (n > 0) {
            for (size_t i = 0; i < static_cast<size_t>(n) / sizeof(input_event); i++) {
                events->push_back(ev[i]);
            }
            continue;
        }
        uint64_t now = now_ms();
        if (now >= deadline) {
            break;
        }
        struct pollfd p = {fd, POLLIN, 0};
        poll(&p, 1, static_cast<int>(deadline - now));
    }
    return std::string();
}

std::string read_keys(int fd, int want, int timeout_ms, int quiet_ms) {
    std::string keys;
    int got = 0;
    uint64_t deadline = now_ms() + static_cast<uint64_t>(timeout_ms);
    uint64_t quiet_until = 0;
    if (want == 0) {
        deadline = now_ms() + static_cast<uint64_t>(quiet_ms);
    }
    for (;;) {
        input_event ev[64];
        ssize_t n = read(fd, ev, sizeof(ev));
        if (n > 0) {
            for (size_t i = 0; i < static_cast<size_t>(n) / sizeof(input_event); i++) {
                if (ev[i].type != EV_KEY || ev[i].value == 2) {
                    continue;
                }
                if (!keys.empty()) {
                    keys += ' ';
                }
                keys += (ev[i].value ? '+' : '-') + std::to_string(ev[i].code);
                if (++got == want) {
                    quiet_until = now_ms() + static_cast<uint64_t>(quiet_ms);
                }
            }
            continue;
        }
        uint64_t now = now_ms();
        uint64_t until = (quiet_until != 0 && quiet_until < deadline) ? quiet_until : deadline;
        if (now >= until) {
            break;
        }
        struct pollfd p = {fd, POLLIN, 0};
        poll(&p, 1, static_cast<int>(until - now));
    }
    return keys;
}

void drain(int fd) {
    input_event ev[64];
    while (read(fd, ev, sizeof(ev)) > 0) {
    }
}

std::string keys_down(int fd) {
    unsigned char bits[KEY_MAX / 8 + 1];
    memset(bits, 0, sizeof(bits));
    if (ioctl(fd, EVIOCGKEY(sizeof(bits)), bits) < 0) {
        return "?";
    }
    std::string down;
    for (int code = 0; code <= KEY_MAX; code++) {
        if (bits[code / 8] & (1 << (code % 8))) {
            down += (down.empty() ? "" : " ") + std::to_string(code);
        }
    }
    return down;
}
