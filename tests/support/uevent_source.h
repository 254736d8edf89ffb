#pragma once

#include <sys/time.h>

#include <string>
#include <vector>

// A uevent datagram: each field followed by its NUL, as the kernel sends them.
std::string join_uevent_fields(const std::vector<std::string> &fields);

// Sends one datagram from a fresh NETLINK_KOBJECT_UEVENT socket to the port this process's
// bridge binds (its pid). Returns 0, or -1 with errno (EPERM without CAP_NET_ADMIN).
int send_uevent(const std::string &datagram);

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
