// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <sys/socket.h>
#include <sys/time.h>

#include <string>
#include <vector>

// A uevent datagram: each field followed by its NUL, as the kernel sends them.
std::string join_uevent_fields(const std::vector<std::string> &fields);

// The HDMI device's "change" header under its two paths.
constexpr char k_platform_header[] = "change@/devices/platform/soc/hdmi";
constexpr char k_soc_header[] = "change@/devices/soc.0/1ee0000.hdmi";

// An announcement as the HDMI driver raises it: the header, ACTION, DEVPATH and SUBSYSTEM,
// then the CEC_MSG field given, then SEQNUM.
std::string hdmi_uevent(const std::string &header, const std::string &cec_msg = "CEC_MSG=36");

// Who sends a test's datagram. No process can send from port 0 as the kernel does: the
// kernel's datagrams come from a stand-in socket of this process, whose port
// kernel_standin_recvfrom reports as 0. Any other process's come from a fresh socket.
enum uevent_sender_t { k_as_kernel, k_from_user_space };

// Sends one datagram to the port this process's bridge binds (its pid). Returns 0, or -1
// with errno (EPERM without CAP_NET_ADMIN).
int send_uevent(const std::string &datagram, uevent_sender_t sender = k_as_kernel);

// The recvfrom entry of the kernel-call table in the daemon's tests: the real call, which
// then reports the kernel stand-in's datagrams as sent from port 0.
ssize_t kernel_standin_recvfrom(int fd, void *buf, size_t count, int flags, struct sockaddr *from,
                                socklen_t *from_length);

// Whether this process may send to a uevent socket: false when the kernel refuses for want
// of privilege; any other failure fails the test. Probes with a datagram that nothing acts
// on, so call drain_uevents() after it.
bool uevent_sending_permitted(void);

// Hands every datagram queued on g_uevent_sock to uevent_process_event. The kernel's own
// uevents may be among them; the bridge ignores those. Returns the number handled.
int drain_uevents(void);

// The wall clock of the kernel-call table, under the test's control: each reading returns
// g_fake_now and then moves it on by one microsecond, so readings can be told apart.
extern struct timeval g_fake_now;
int fake_gettimeofday(struct timeval *tv);
