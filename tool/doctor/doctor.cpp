// SPDX-License-Identifier: Apache-2.0
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/klog.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/paths.h"
#include "core/protocol.h"
#include "receiver/receiver.h"
#include "tool/check/check.h"
#include "tool/doctor/android_verdict.h"
#include "tool/doctor/doctor.h"
#include "tool/doctor/selinux_verdict.h"
#include "tool/layouts/layouts.h"
#include "tool/options.h"
#include "tool/print.h"

namespace {

enum status_t { k_ok, k_warn, k_fail };

struct doctor_t {
    FILE *out;
    int counts[3];
};

void report(doctor_t *doctor, status_t status, const char *check, const std::string &text) {
    const char *labels[] = {"ok", "warn", "FAIL"};
    tool_print(doctor->out, "%-5s %s: %s\n", labels[status], check, text.c_str());
    fflush(doctor->out);
    doctor->counts[status]++;
}

void check_uinput(doctor_t *doctor) {
    struct stat st;
    if (stat(g_uinput_path, &st) != 0) {
        report(doctor, k_fail, "uinput",
               std::string(g_uinput_path) + " is missing (" + strerror(errno) +
                   "): the kernel needs CONFIG_INPUT_UINPUT, or the uinput module loaded");
    } else if (!service_may(st, 2)) {
        report(doctor, k_fail, "uinput",
               std::string(g_uinput_path) + " " + describe_node(st) + ": " + k_service_identity +
                   " cannot write it; ueventd.rc should give it 0660 uhid uhid");
    } else {
        report(doctor, k_ok, "uinput",
               std::string(g_uinput_path) + " " + describe_node(st) + ": " + k_service_identity +
                   " can write it");
    }
}

// Finds the receiver with the daemon's own lookup, and counts the nodes of its name.
std::string check_receiver(doctor_t *doctor) {
    char path[4096];
    if (try_to_find_device(k_receiver_name, path) != 0) {
        report(doctor, k_fail, "receiver",
               std::string("cannot list ") + g_input_dir + ": " + strerror(errno));
        return "";
    }
    int matches = 0;
    int unopened = 0;
    DIR *dir = opendir(g_input_dir);
    for (struct dirent *entry = dir != nullptr ? readdir(dir) : nullptr; entry != nullptr;
         entry = readdir(dir)) {
        std::string node = std::string(g_input_dir) + "/" + entry->d_name;
        struct stat st;
        if (entry->d_name[0] == '.' || stat(node.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) {
            continue;
        }
        if (access(node.c_str(), R_OK) != 0) {
            unopened++;
            continue;
        }
        matches += probe_device_name(node.c_str(), k_receiver_name) == 0;
    }
    if (dir != nullptr) {
        closedir(dir);
    }
    std::string unopened_note = unopened == 0 ? ""
                                              : " (" + std::to_string(unopened) +
                                                    " nodes could not be opened here: run as root)";
    if (path[0] == '\0') {
        report(doctor, k_fail, "receiver",
               std::string("no input device named ") + k_receiver_name + " in " + g_input_dir +
                   unopened_note +
                   ": load the receiver's driver; the daemon opens it when it comes");
        return "";
    }
    struct stat st;
    stat(path, &st);
    std::string found = std::string(path) + " " + describe_node(st) + ", named " + k_receiver_name;
    if (!service_may(st, 6)) {
        report(
            doctor, k_fail, "receiver",
            found + ": " + k_service_identity +
                " cannot open it read-write; ueventd.rc should give /dev/input/* 0660 root input");
    } else if (matches > 1) {
        report(doctor, k_warn, "receiver",
               found + ": " + std::to_string(matches) +
                   " devices have that name; the daemon takes " + path +
                   ", the first listed, and the first of the others still there whenever the "
                   "one it holds goes away");
    } else {
        report(doctor, k_ok, "receiver",
               found + ": " + k_service_identity + " can open it read-write");
    }
    return path;
}

int32_t check_protocol(doctor_t *doctor) {
    protocol_reading_t reading;
    read_ir_protocol(&reading);
    std::string file = g_protocol_file;
    if (reading.bytes < 0) {
        struct stat st;
        std::string why = stat(g_protocol_file, &st) != 0 ? strerror(errno) : "not readable here";
        report(doctor, k_warn, "protocol",
               file + " cannot be read (" + why +
                   "): the daemon uses NEC; the receiver's driver "
                   "should provide it, world-readable (0444), with 0 for NEC or 1 for RC5");
        return reading.selected;
    }
    std::string bytes;
    for (ssize_t i = 0; i < reading.bytes; i++) {
        char hex[4];
        snprintf(hex, sizeof(hex), "%s%02x", i == 0 ? "" : " ",
                 reinterpret_cast<const unsigned char *>(&reading.value)[i]);
        bytes += hex;
    }
    std::string gives = file + " gives " + (bytes.empty() ? "nothing" : bytes);
    if (reading.selected != reading.value) {
        report(doctor, k_warn, "protocol",
               gives + ", the value " + std::to_string(reading.value) +
                   ", neither 0 (NEC) nor 1 (RC5): the daemon falls back to NEC; the driver should "
                   "give a 4-byte integer");
    } else {
        report(doctor, k_ok, "protocol", gives + ": " + protocol_name(reading.selected));
    }
    return reading.selected;
}

void check_layouts(doctor_t *doctor, const tool_options_t *options, int32_t protocol) {
    tool_options_t check = *options;
    check.protocols = {protocol};
    check.werror = false;
    check.on_box = true;
    check.android_apart = true;
    check_totals_t totals;
    run_check(&check, nullptr, &totals);
    std::string text = options->dir + ": " + totals.summary;
    if (totals.errors > 0) {
        report(doctor, k_fail, "key layouts",
               text + "; first: " + totals.first_error + "; 'dravoke-keymap check' tells all");
    } else if (totals.warnings > 0) {
        report(doctor, k_warn, "key layouts", text + "; 'dravoke-keymap check' tells which");
    } else {
        report(doctor, k_ok, "key layouts", text);
    }
}

pid_t find_daemon(void) {
    DIR *proc = opendir("/proc");
    pid_t found = 0;
    for (struct dirent *entry = proc != nullptr ? readdir(proc) : nullptr;
         entry != nullptr && found == 0; entry = readdir(proc)) {
        char comm[64] = "";
        std::string path = std::string("/proc/") + entry->d_name + "/comm";
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        ssize_t n = read(fd, comm, sizeof(comm) - 1);
        close(fd);
        if (n > 0 && strcmp(comm, "dravoke\n") == 0) {
            found = static_cast<pid_t>(atoi(entry->d_name));
        }
    }
    if (proc != nullptr) {
        closedir(proc);
    }
    return found;
}

// 1 when the process holds path open, 0 when it does not, -1 when that cannot be seen here.
int holds_open(pid_t pid, const std::string &path) {
    std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    DIR *dir = opendir(fds.c_str());
    if (dir == nullptr) {
        return -1;
    }
    int held = 0;
    for (struct dirent *entry = readdir(dir); entry != nullptr; entry = readdir(dir)) {
        char target[4096];
        ssize_t n = readlink((fds + "/" + entry->d_name).c_str(), target, sizeof(target) - 1);
        if (n > 0) {
            target[n] = '\0';
            held |= path == target;
        }
    }
    closedir(dir);
    return held;
}

void check_daemon(doctor_t *doctor, const std::string &receiver) {
    pid_t pid = find_daemon();
    if (pid == 0) {
        report(doctor, k_fail, "daemon",
               "dravoke is not running: start it (adb root; adb shell start dravoke), and "
               "'adb logcat -s dravoke' shows why it ended");
        return;
    }
    std::string text = "dravoke running, pid " + std::to_string(pid);
    char keyboard[4096] = "";
    try_to_find_device(k_virtual_keyboard_name, keyboard);
    if (keyboard[0] == '\0') {
        report(doctor, k_fail, "daemon",
               text + ", but no input device is named " + k_virtual_keyboard_name +
                   ": it did not create its virtual keyboard ('adb logcat -s dravoke' says why)");
        return;
    }
    text += "; virtual keyboard " + std::string(k_virtual_keyboard_name) + " at " + keyboard;
    if (receiver.empty()) {
        report(doctor, k_ok, "daemon", text);
        return;
    }
    int held = holds_open(pid, receiver);
    if (held == 0) {
        report(doctor, k_fail, "daemon",
               text + "; it does not hold the receiver " + receiver +
                   " open: restart it (adb shell 'stop dravoke; start dravoke')");
    } else {
        report(doctor, k_ok, "daemon",
               text + (held > 0 ? "; holds the receiver " + receiver + " open"
                                : "; holds the receiver: unknown (run as root)"));
    }
}

void check_android_layout(doctor_t *doctor, const tool_options_t *options, int32_t protocol) {
    std::string text;
    int verdict = judge_android_delivery(options, protocol, &text);
    report(doctor, static_cast<status_t>(verdict), "Android", text);
}

void check_selinux(doctor_t *doctor) {
    if (access("/sys/fs/selinux/enforce", F_OK) != 0) {
        report(doctor, k_ok, "SELinux", "not enabled here: nothing is denied");
        return;
    }
    int size = klogctl(10 /* SYSLOG_ACTION_SIZE_BUFFER */, nullptr, 0);
    std::string log(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    int got = size > 0 ? klogctl(3 /* SYSLOG_ACTION_READ_ALL */, &log[0], size) : -1;
    int error = got < 0 ? errno : 0;
    log.resize(got > 0 ? static_cast<size_t>(got) : 0);
    std::string text;
    int verdict = judge_selinux_denials(log, error, &text);
    report(doctor, static_cast<status_t>(verdict), "SELinux", text);
}

}  // namespace

int run_doctor(const tool_options_t *options, FILE *out, FILE *) {
    doctor_t doctor = {out, {0, 0, 0}};
    // Looking never writes: input nodes are opened for reading only.
    g_receiver_open_mode = O_RDONLY;
    // Under --root a box's files alone, in a folder here: the devices, the daemon and SELinux
    // are the box's own; the protocol is --protocol's, else the daemon's NEC.
    bool box = options->root.empty();
    std::string receiver;
    int32_t protocol = options->protocols.size() == 1 ? options->protocols[0] : k_ir_protocol_nec;
    if (box) {
        check_uinput(&doctor);
        receiver = check_receiver(&doctor);
        protocol = check_protocol(&doctor);
    } else {
        tool_print(out,
                   "doctor: the files under %s alone; devices, daemon and SELinux are checked "
                   "on the box\n",
                   options->root.c_str());
    }
    check_layouts(&doctor, options, protocol);
    if (box) {
        check_daemon(&doctor, receiver);
    }
    check_android_layout(&doctor, options, protocol);
    if (box) {
        check_selinux(&doctor);
    }
    tool_print(out, "doctor: %d ok, %d warn, %d FAIL\n", doctor.counts[k_ok], doctor.counts[k_warn],
               doctor.counts[k_fail]);
    return doctor.counts[k_fail] > 0 ? 1 : 0;
}
