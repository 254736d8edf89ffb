// SPDX-License-Identifier: Apache-2.0
#pragma once

// The guest-side test driver: stands in for the receiver's driver and the HDMI driver,
// runs the real daemon with its fixed paths and reads what the platform would see.

#include <linux/input.h>
#include <stdint.h>
#include <sys/types.h>

#include <string>
#include <vector>

// Fixed paths of the daemon under test, as a box has them.
constexpr const char k_daemon_path[] = "/usr/bin/dravoke";
constexpr const char k_forwarder_path[] = "/usr/bin/e2e-forwarder";
constexpr const char k_keymap_tool_path[] = "/usr/bin/dravoke-keymap";
constexpr const char k_keylayout_dir[] = "/system/usr/keylayout";
constexpr const char k_protocol_file[] = "/proc/orvex_ir_protocol";
constexpr const char k_uinput_module[] = "/modules/uinput.ko";
constexpr const char k_protocol_module[] = "/modules/orvex_ir_protocol.ko";
constexpr const char k_hdmi_module[] = "/modules/hdmi_cec_uevent.ko";
constexpr const char k_receiver_name[] = "orvex-ir";
constexpr const char k_keyboard_name[] = "orvex-ir-uinput";

// Raw codes as the receiver's driver reports them in MSC_SCAN values.
constexpr uint32_t k_pressed_bit = 1u << 24;
inline uint32_t nec_raw(uint32_t customer, uint32_t command, bool pressed) {
    return (customer << 8) | command | (pressed ? k_pressed_bit : 0);
}

// Pass/fail tally of the whole run.
struct tally_t {
    int passed;
    int failed;
};
extern tally_t g_tally;

// Records one case: a failure names the case and what differed.
bool check(const std::string &name, bool ok, const std::string &detail);

// A stand-in input device created through uinput by the driver.
struct source_t {
    int fd;                // uinput descriptor; -1 once destroyed
    std::string node;      // the devtmpfs node, e.g. /dev/input/event5
    std::string sys_name;  // e.g. event5
    unsigned dev_major;
    unsigned dev_minor;
};
int create_source(const char *name, source_t *out);
void destroy_source(source_t *source);
// One raw code: MSC_SCAN with the value, then SYN_REPORT, in one write.
int send_raw(const source_t *source, uint32_t raw);
// Several raw codes in one write, each with its SYN_REPORT.
int send_raw_burst(const source_t *source, const uint32_t *raws, int count);

// Finds the event node of an input device by name through sysfs and opens a private
// node for it (independent of whatever is mounted on /dev/input). -1 when absent.
int open_input_by_name(const char *name, int timeout_ms, std::string *sys_name);

// A daemon (or forwarder) run with its output captured in files.
struct daemon_t {
    pid_t pid;
    std::string out_path;
    std::string err_path;
    bool exited;
    int status;  // exit status once exited, -1 when killed by a signal
};
// child_setup runs in the child before exec; returning non-zero aborts the child.
int start_daemon(daemon_t *d, const char *tag, int (*child_setup)(void) = nullptr);
int start_program(daemon_t *d, const char *tag, const char *path, const char *arg);
// A program with its arguments (args[0] its path), reading stdin_fd when not -1.
int start_command(daemon_t *d, const char *tag, const std::vector<std::string> &args,
                  int stdin_fd = -1);
bool wait_exit(daemon_t *d, int timeout_ms);
void stop_daemon(daemon_t *d);
std::string read_file(const std::string &path);
int write_file(const std::string &path, const void *data, size_t len);
// True when the log holds a line of the given priority letter whose text contains msg
// (and also, when given, that text too).
bool log_has(const std::string &log, char priority, const std::string &msg,
             const std::string &also = std::string());
// True when the messages appear in this order, each on a line of its priority.
bool log_in_order(const std::string &log, const std::vector<std::pair<char, std::string>> &msgs,
                  std::string *missing);
bool wait_log(const daemon_t *d, char priority, const std::string &msg, int timeout_ms);
// True once the file holds text, within the time given.
bool wait_file_has(const std::string &path, const std::string &text, int timeout_ms);
// Waits until the daemon sleeps in poll, i.e. has handled everything pending.
bool wait_idle(pid_t pid, int timeout_ms);
bool wait_fd_open(pid_t pid, const std::string &path, bool open, int timeout_ms);
// Stops the process (SIGSTOP) and waits until the kernel shows it stopped.
bool stop_process(pid_t pid, int timeout_ms);

// Key events read from an event node, as text like "+103 -103" (value 2 repeats dropped).
std::string read_keys(int fd, int want, int timeout_ms, int quiet_ms);
std::string read_events_raw(int fd, int timeout_ms, std::vector<input_event> *events);
void drain(int fd);
// Keys the node reports as down now (EVIOCGKEY), as text like "103"; empty when none.
std::string keys_down(int fd);

// Process figures from /proc: scheduler run time in ns, and context switches (each sleep
// in poll is one voluntary switch, so they count wake-ups).
struct proc_usage_t {
    uint64_t run_ns;
    uint64_t switches;
};
proc_usage_t read_usage(pid_t pid);

int load_module(const char *path);
int unload_module(const char *name);
int set_protocol(const void *bytes, size_t len);
void write_layouts(const std::vector<std::pair<std::string, std::string>> &files);
// Uevent datagrams from user space, as any process allowed to send them could: to the
// daemon's port, or to a multicast group (1 the kernel's, 2 udev's rebroadcast).
int send_uevent(pid_t pid, const std::vector<std::string> &fields);
int multicast_uevent(uint32_t group, const std::vector<std::string> &fields);
// A uevent raised by the kernel, through the HDMI stand-in module: the "change" of the device
// that header names ("change@/devices/..."), with these variables after the kernel's ACTION,
// DEVPATH and SUBSYSTEM.
int raise_hdmi_uevent(const std::string &header, const std::vector<std::string> &vars);
// Uevents raised by the kernel through the stand-in module, in one write: count of them, of
// its device at devpath ("/devices/..."), with this action ("add", "change", ...) and these
// variables.
int raise_uevents(const std::string &devpath, const char *action, int count,
                  const std::vector<std::string> &vars);
// A non-blocking socket of the kernel's multicast group, to see the datagrams the daemon gets;
// and the fields of the first one on it whose first field is header, with its sender's port
// (none when no such datagram came in time).
int listen_kernel_uevents();
std::vector<std::string> receive_uevent(int s, const std::string &header, uint32_t *port,
                                        int timeout_ms);
uint64_t now_ms();
void sleep_ms(int ms);
std::string key_name(int code);

// The standard layout "orvex-ir.kl", NEC remotes 0xbf40 and 0x7f01, RC5 remotes 0x1f and 0x05.
std::vector<std::pair<std::string, std::string>> all_layouts();

int run_cases();
int run_bench();
int run_demo();
int run_soak();
