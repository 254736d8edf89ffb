// SPDX-License-Identifier: Apache-2.0
#pragma once

// What the end-to-end cases share: the layouts they install, a running daemon with its
// virtual keyboard, and scenario tables of raw codes in and keys out. Each cases_*.cpp holds
// the cases of one subject; run_cases() in cases.cpp runs them in order.

#include <stdint.h>

#include <string>
#include <vector>

#include "e2e.h"

// The standard layout and the customer remotes of all_layouts().
extern const char k_standard_layout[];
extern const char k_nec_a_layout[];
extern const char k_nec_b_layout[];
extern const char k_rc5_a_layout[];
extern const char k_rc5_b_layout[];
constexpr uint32_t k_nec_a = 0xbf40;
constexpr uint32_t k_nec_b = 0x7f01;
constexpr uint32_t k_rc5_a = 0x1f;
constexpr uint32_t k_rc5_b = 0x05;

constexpr char k_hdmi_header[] = "change@/devices/platform/soc/hdmi";
constexpr char k_hdmi_header_2[] = "change@/devices/soc.0/1ee0000.hdmi";

std::string quoted(const std::string &s);
std::string expect_text(const std::string &want, const std::string &got);
// The daemon's standard output: its "IR_PROTOCOL_USED = N" line.
std::string stdout_line(const daemon_t *d);
// Lines of the daemon's log of the given priority that contain msg.
int count_lines(const daemon_t *d, char priority, const std::string &msg);

// A running daemon with its virtual keyboard open for reading.
struct session_t {
    daemon_t daemon;
    int keyboard;
};
bool open_session(session_t *s, const char *tag);
void close_session(session_t *s);

// Sends raw codes one at a time (each handled before the next, as a person's presses
// are) and compares the keys the platform sees.
struct key_case_t {
    std::string name;
    std::vector<uint32_t> raws;
    const char *keys;  // expected, e.g. "+103 -103"; "" for nothing
};
void run_key_cases(session_t *s, const source_t *receiver, const std::vector<key_case_t> &cases);

// NEC selected and every layout of all_layouts() installed: most cases start so.
void use_nec_layouts();
// Creates the stand-in receiver, checked as "TAG: stand-in receiver created".
bool create_receiver(const std::string &tag, source_t *receiver);

// Destroys the stand-in receiver and creates it again; checks that the daemon follows.
void cycle_receiver(session_t *s, source_t *receiver, const std::string &name);

// A Standby announcement's fields as the HDMI driver sends them.
std::vector<std::string> standby(const char *header, const char *opcode);
// What a uevent datagram should give: keys, and whether it is a Standby announcement, whose
// logged interval must then lie in [min_interval, max_interval].
struct uevent_want_t {
    const char *keys;
    bool is_standby;
    long min_interval;
    long max_interval;
};
// How a case's uevent reaches the daemon: raised by the kernel through the HDMI stand-in
// module, fields[0] naming the device and the fields from the fifth on its variables (the
// kernel writes ACTION, DEVPATH and SUBSYSTEM itself); or sent whole by a process, to the
// daemon's port or to a multicast group. Only the kernel can be the HDMI driver, so only
// what it raises may count; what only a process can send (a field out of place, a device
// without a stand-in) is still sent, and gives nothing in any case.
enum uevent_route_t { k_by_kernel, k_by_unicast, k_by_kernel_group, k_by_udev_group };
// Sends one uevent and checks the keys and the log lines it gives. Returns the time it was
// sent.
uint64_t check_uevent(session_t *s, const char *name, const std::vector<std::string> &fields,
                      const uevent_want_t &want, uevent_route_t route = k_by_kernel);

// The cases, by subject, in the order run_cases() runs them.
void run_startup_without_uinput();  // cases_startup.cpp
void run_startup_failures();
void run_protocol_cases();
void check_identity(session_t *s);
void run_rc5_session();  // cases_keys.cpp
void run_nec_session();
void run_node_outlives_device();  // cases_hotplug.cpp
void run_keymap_watch();          // cases_tool.cpp
void run_doctor_states();
void run_learn_case();  // cases_learn.cpp
void run_import_case();
void run_recognise_case();
void run_rc5_learn_case(source_t *receiver);  // in run_rc5_session's
void run_standby_from_kernel_only();          // cases_hardening.cpp
void run_second_receiver_takes_over();
void run_inotify_overflow();
void run_other_devices_uevents();  // cases_other_uevents.cpp

// One step of a learning session, then the line learn answers with (null: none awaited).
enum learn_action_t {
    k_press,   // a button of a remote (customer, command) pressed, repeated and released
    k_hold,    // pressed and held
    k_answer,  // a line on standard input
    k_pause,   // learn stopped, so that what follows queues up for it
    k_resume,
    k_replug,  // the receiver goes and returns
};
struct learn_step_t {
    learn_action_t action;
    uint32_t customer;
    uint32_t command;
    const char *answer;
    const char *reply;
};

// Starts learn with args after "learn", drives it through the steps, ends its input and
// waits for it to end. Returns "" when every reply came, else what did not.
std::string drive_learn(daemon_t *learn, const std::vector<std::string> &args, source_t *receiver,
                        const std::vector<learn_step_t> &steps);
