// SPDX-License-Identifier: Apache-2.0
// Guest-side helpers: the daemon and other programs run with their output captured, their
// logs, and what /proc tells of them.
#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <string.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#include "e2e.h"

static int spawn(daemon_t *d, const char *tag, const std::vector<std::string> &args,
                 int (*child_setup)(void), int stdin_fd = -1) {
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
        int in = stdin_fd >= 0 ? stdin_fd : open("/dev/null", O_RDONLY);
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
        std::vector<char *> argv;
        for (const std::string &arg : args) {
            argv.push_back(const_cast<char *>(arg.c_str()));
        }
        argv.push_back(nullptr);
        char *const envp[] = {nullptr};
        execve(argv[0], argv.data(), envp);
        _exit(127);
    }
    d->pid = pid;
    return 0;
}

int start_daemon(daemon_t *d, const char *tag, int (*child_setup)(void)) {
    return spawn(d, tag, {k_daemon_path}, child_setup);
}

int start_program(daemon_t *d, const char *tag, const char *path, const char *arg) {
    return spawn(
        d, tag,
        arg != nullptr ? std::vector<std::string>{path, arg} : std::vector<std::string>{path},
        nullptr);
}

int start_command(daemon_t *d, const char *tag, const std::vector<std::string> &args,
                  int stdin_fd) {
    return spawn(d, tag, args, nullptr, stdin_fd);
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

bool stop_process(pid_t pid, int timeout_ms) {
    if (kill(pid, SIGSTOP) != 0) {
        return false;
    }
    std::string path = "/proc/" + std::to_string(pid) + "/stat";
    uint64_t deadline = now_ms() + static_cast<uint64_t>(timeout_ms);
    while (read_file(path).find(") T ") == std::string::npos) {
        if (now_ms() >= deadline) {
            return false;
        }
        sleep_ms(1);
    }
    return true;
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

// poll and ppoll by this architecture's numbers; 32-bit ones also have a ppoll with
// 64-bit time, and 64-bit ARM has no poll.
static bool is_poll_call(long nr) {
#ifdef SYS_poll
    if (nr == SYS_poll) {
        return true;
    }
#endif
#ifdef SYS_ppoll_time64
    if (nr == SYS_ppoll_time64) {
        return true;
    }
#endif
    return nr == SYS_ppoll;
}

bool wait_idle(pid_t pid, int timeout_ms) {
    std::string path = "/proc/" + std::to_string(pid) + "/syscall";
    uint64_t deadline = now_ms() + static_cast<uint64_t>(timeout_ms);
    do {
        // Blocked in the poll family: nothing is pending for the daemon.
        std::string s = read_file(path);
        if (!s.empty() && isdigit(static_cast<unsigned char>(s[0])) &&
            is_poll_call(strtol(s.c_str(), nullptr, 10))) {
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
