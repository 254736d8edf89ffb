// Guest-side helpers: stand-in devices, daemon processes, logs, event nodes, /proc figures.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/netlink.h>
#include <linux/uinput.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "e2e.h"

tally_t g_tally = {0, 0};

bool check(const std::string &name, bool ok, const std::string &detail) {
    static const uint64_t started = now_ms();
    double at = static_cast<double>(now_ms() - started) / 1000.0;
    if (ok) {
        g_tally.passed++;
        printf("PASS %s\n", name.c_str());
    } else {
        g_tally.failed++;
        printf("FAIL %s (at %.1f s): %s\n", name.c_str(), at, detail.c_str());
    }
    fflush(stdout);
    return ok;
}

uint64_t now_ms() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
}

void sleep_ms(int ms) {
    struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

std::string read_file(const std::string &path) {
    std::string text;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return text;
    }
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof(buf))) > 0) {
        text.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return text;
}

int write_file(const std::string &path, const void *data, size_t len) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return -1;
    }
    ssize_t n = write(fd, data, len);
    close(fd);
    return n == static_cast<ssize_t>(len) ? 0 : -1;
}

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

static int spawn(daemon_t *d, const char *tag, const char *path, const char *arg,
                 int (*child_setup)(void)) {
    d->out_path = std::string("/tmp/") + tag + ".out";
    d->err_path = std::string("/tmp/") + tag + ".err";
    d->exited = false;
    d->status = -1;
    fflush(stdout);
    pid_t pid = fork();
    if (pid < 0) {
        return -1;
    }
    if (pid == 0) {
        int in = open("/dev/null", O_RDONLY);
        int out = open(d->out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(d->err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0) {
            _exit(126);
        }
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        for (int fd : {in, out, err}) {
            if (fd > 2) {
                close(fd);
            }
        }
        // The daemon under test runs at normal priority even when the driver idles.
        struct sched_param param = {0};
        sched_setscheduler(0, SCHED_OTHER, &param);
        if (child_setup != nullptr && child_setup() != 0) {
            dprintf(2, "e2e: child set-up failed: %s\n", strerror(errno));
            _exit(126);
        }
        char *const argv[] = {const_cast<char *>(path), const_cast<char *>(arg), nullptr};
        char *const envp[] = {nullptr};
        execve(path, argv, envp);
        _exit(127);
    }
    d->pid = pid;
    return 0;
}

int start_daemon(daemon_t *d, const char *tag, int (*child_setup)(void)) {
    return spawn(d, tag, k_daemon_path, nullptr, child_setup);
}

int start_program(daemon_t *d, const char *tag, const char *path, const char *arg) {
    return spawn(d, tag, path, arg, nullptr);
}

bool wait_exit(daemon_t *d, int timeout_ms) {
    if (d->exited) {
        return true;
    }
    uint64_t deadline = now_ms() + static_cast<uint64_t>(timeout_ms);
    for (;;) {
        int st = 0;
        pid_t r = waitpid(d->pid, &st, WNOHANG);
        if (r == d->pid) {
            d->exited = true;
            d->status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
            return true;
        }
        if (now_ms() >= deadline) {
            return false;
        }
        sleep_ms(5);
    }
}

void stop_daemon(daemon_t *d) {
    if (!d->exited) {
        kill(d->pid, SIGKILL);
        int st = 0;
        waitpid(d->pid, &st, 0);
        d->exited = true;
        d->status = -1;
    }
}

// Splits a liblog stderr line "dravoke D 12-07 21:23:56  pid  tid text" into its parts.
static bool split_log_line(const std::string &line, char *priority, std::string *text) {
    static const char tag[] = "dravoke ";
    if (line.compare(0, sizeof(tag) - 1, tag) != 0 || line.size() < sizeof(tag)) {
        return false;
    }
    *priority = line[sizeof(tag) - 1];
    // Skip date, time, pid and tid: four blank-separated words.
    size_t pos = sizeof(tag);
    for (int word = 0; word < 4; word++) {
        pos = line.find_first_not_of(' ', pos);
        if (pos == std::string::npos) {
            return false;
        }
        pos = line.find(' ', pos);
        if (pos == std::string::npos) {
            return false;
        }
    }
    *text = line.substr(pos + 1);
    return true;
}

static std::vector<std::pair<char, std::string>> parse_log(const std::string &log) {
    std::vector<std::pair<char, std::string>> lines;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find('\n', start);
        if (end == std::string::npos) {
            end = log.size();
        }
        char priority = 0;
        std::string text;
        if (split_log_line(log.substr(start, end - start), &priority, &text)) {
            lines.emplace_back(priority, text);
        }
        start = end + 1;
    }
    return lines;
}

bool log_has(const std::string &log, char priority, const std::string &msg,
             const std::string &also) {
    for (const auto &line : parse_log(log)) {
        if (line.first == priority && line.second.find(msg) != std::string::npos &&
            line.second.find(also) != std::string::npos) {
            return true;
        }
    }
    return false;
}

bool log_in_order(const std::string &log, const std::vector<std::pair<char, std::string>> &msgs,
                  std::string *missing) {
    std::vector<std::pair<char, std::string>> lines = parse_log(log);
    size_t at = 0;
    for (const auto &want : msgs) {
        bool found = false;
        while (at < lines.size() && !found) {
            found = lines[at].first == want.first &&
                    lines[at].second.find(want.second) != std::string::npos;
            at++;
        }
        if (!found) {
            *missing = std::string(1, want.first) + " \"" + want.second + "\"";
            return false;
        }
    }
    return true;
}

// True while the process runs: not gone, not a zombie waiting to be reaped.
static bool is_running(pid_t pid) {
    std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
    size_t paren = stat.rfind(')');
    return paren != std::string::npos && paren + 2 < stat.size() && stat[paren + 2] != 'Z';
}

bool wait_log(const daemon_t *d, char priority, const std::string &msg, int timeout_ms) {
    uint64_t deadline = now_ms() + static_cast<uint64_t>(timeout_ms);
    for (;;) {
        bool running = !d->exited && is_running(d->pid);
        if (log_has(read_file(d->err_path), priority, msg)) {
            return true;
        }
        if (!running || now_ms() >= deadline) {
            return false;
        }
        sleep_ms(10);
    }
}

bool wait_file_has(const std::string &path, const std::string &text, int timeout_ms) {
    uint64_t deadline = now_ms() + static_cast<uint64_t>(timeout_ms);
    while (read_file(path).find(text) == std::string::npos) {
        if (now_ms() >= deadline) {
            return false;
        }
        sleep_ms(10);
    }
    return true;
}

bool wait_idle(pid_t pid, int timeout_ms) {
    std::string path = "/proc/" + std::to_string(pid) + "/syscall";
    uint64_t deadline = now_ms() + static_cast<uint64_t>(timeout_ms);
    do {
        // Blocked in poll (7) or ppoll (271): nothing is pending for the daemon.
        std::string s = read_file(path);
        if (s.compare(0, 2, "7 ") == 0 || s.compare(0, 4, "271 ") == 0) {
            return true;
        }
        if (s.empty()) {
            return false;  // gone
        }
        sleep_ms(2);
    } while (now_ms() < deadline);
    return false;
}

static bool has_fd_to(pid_t pid, const std::string &target) {
    std::string dir = "/proc/" + std::to_string(pid) + "/fd";
    DIR *d = opendir(dir.c_str());
    if (d == nullptr) {
        return false;
    }
    bool found = false;
    while (struct dirent *e = readdir(d)) {
        char link[512];
        ssize_t n = readlink((dir + "/" + e->d_name).c_str(), link, sizeof(link) - 1);
        if (n > 0) {
            link[n] = '\0';
            // A node deleted while open reads "<path> (deleted)".
            if (strncmp(link, target.c_str(), target.size()) == 0 &&
                (link[target.size()] == '\0' || link[target.size()] == ' ')) {
                found = true;
                break;
            }
        }
    }
    closedir(d);
    return found;
}

bool wait_fd_open(pid_t pid, const std::string &path, bool open, int timeout_ms) {
    uint64_t deadline = now_ms() + static_cast<uint64_t>(timeout_ms);
    do {
        if (has_fd_to(pid, path) == open) {
            return true;
        }
        sleep_ms(5);
    } while (now_ms() < deadline);
    return false;
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

proc_usage_t read_usage(pid_t pid) {
    proc_usage_t usage = {0, 0};
    std::string base = "/proc/" + std::to_string(pid);
    std::string sched = read_file(base + "/schedstat");
    unsigned long long run_ns = 0;
    if (sscanf(sched.c_str(), "%llu", &run_ns) == 1) {
        usage.run_ns = run_ns;
    }
    std::string status = read_file(base + "/status");
    for (const char *key : {"voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:"}) {
        size_t at = status.find(std::string("\n") + key);
        if (at != std::string::npos) {
            usage.switches += strtoull(status.c_str() + at + 1 + strlen(key), nullptr, 10);
        }
    }
    return usage;
}

int load_module(const char *path) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    long r = syscall(SYS_finit_module, fd, "", 0);
    int saved = errno;
    close(fd);
    return (r == 0 || saved == EEXIST) ? 0 : -1;
}

int unload_module(const char *name) {
    return syscall(SYS_delete_module, name, O_NONBLOCK) == 0 ? 0 : -1;
}

int set_protocol(const void *bytes, size_t len) {
    int fd = open(k_protocol_file, O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    ssize_t n = write(fd, bytes, len);
    close(fd);
    std::string back = read_file(k_protocol_file);
    return (n == static_cast<ssize_t>(len) && back.size() == len &&
            memcmp(back.data(), bytes, len) == 0)
               ? 0
               : -1;
}

void write_layouts(const std::vector<std::pair<std::string, std::string>> &files) {
    if (system("rm -rf /system/usr/keylayout && mkdir -p /system/usr/keylayout") != 0) {
        printf("e2e: cannot reset %s\n", k_keylayout_dir);
    }
    for (const auto &f : files) {
        write_file(std::string(k_keylayout_dir) + "/" + f.first, f.second.data(), f.second.size());
    }
}

int send_uevent(pid_t pid, const std::vector<std::string> &fields) {
    std::string buf;
    for (const auto &f : fields) {
        buf += f;
        buf += '\0';
    }
    int s = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    if (s < 0) {
        return -1;
    }
    struct sockaddr_nl to;
    memset(&to, 0, sizeof(to));
    to.nl_family = AF_NETLINK;
    to.nl_pid = static_cast<uint32_t>(pid);
    to.nl_groups = 0;
    ssize_t n =
        sendto(s, buf.data(), buf.size(), 0, reinterpret_cast<struct sockaddr *>(&to), sizeof(to));
    close(s);
    return n == static_cast<ssize_t>(buf.size()) ? 0 : -1;
}

std::string key_name(int code) {
    static const struct {
        int code;
        const char *name;
    } names[] = {
        {KEY_ENTER, "KEY_ENTER"},
        {KEY_HOME, "KEY_HOME"},
        {KEY_UP, "KEY_UP"},
        {KEY_LEFT, "KEY_LEFT"},
        {KEY_RIGHT, "KEY_RIGHT"},
        {KEY_DOWN, "KEY_DOWN"},
        {KEY_MUTE, "KEY_MUTE"},
        {KEY_VOLUMEDOWN, "KEY_VOLUMEDOWN"},
        {KEY_VOLUMEUP, "KEY_VOLUMEUP"},
        {KEY_POWER, "KEY_POWER"},
        {KEY_MENU, "KEY_MENU"},
        {KEY_BACK, "KEY_BACK"},
        {KEY_CANCEL, "KEY_CANCEL"},
        {KEY_PLAYPAUSE, "KEY_PLAYPAUSE"},
    };
    for (const auto &n : names) {
        if (n.code == code) {
            return n.name;
        }
    }
    return "?";
}
