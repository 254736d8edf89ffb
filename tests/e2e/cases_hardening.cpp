// SPDX-License-Identifier: Apache-2.0
// Hardening: only the kernel's uevents count, and the receiver is found again after any
// loss: the device in use gone while another of its name is there, or an inotify queue
// overflow that swallowed the receiver's arrival.
#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <string.h>
#include <sys/inotify.h>
#include <unistd.h>

#include "cases.h"

namespace {

bool start_nec_session(session_t *s, const char *tag) {
    use_nec_layouts();
    return open_session(s, tag);
}

}  // namespace

// A process allowed to send uevents could press POWER if the daemon read its datagrams: by
// unicast to the daemon's port, or by multicast on the kernel's group or on udev's.
void run_standby_from_kernel_only() {
    session_t s;
    if (!start_nec_session(&s, "forged-standby")) {
        close_session(&s);
        return;
    }
    const std::vector<std::string> standby_fields = standby(k_hdmi_header, "36");
    check_uevent(&s, "cec: a process's Standby to the daemon's port gives nothing", standby_fields,
                 {"", false, 0, 0}, k_by_unicast);
    check_uevent(&s, "cec: a process's Standby on the kernel's group gives nothing", standby_fields,
                 {"", false, 0, 0}, k_by_kernel_group);
    check_uevent(&s, "cec: a process's Standby on udev's group gives nothing", standby_fields,
                 {"", false, 0, 0}, k_by_udev_group);

    // None of them started the quiet period: the kernel's, right after, is acted on.
    int listener = listen_kernel_uevents();
    check_uevent(&s, "cec: the kernel's Standby right after them gives POWER", standby_fields,
                 {"+116 -116", true, 6, LONG_MAX});
    uint32_t port = UINT32_MAX;
    std::vector<std::string> fields = receive_uevent(listener, k_hdmi_header, &port, 2000);
    std::string shown;
    for (const std::string &field : fields) {
        shown += (shown.empty() ? "" : " | ") + field;
    }
    printf("     the kernel's datagram, from port %u: %s\n", port, shown.c_str());
    check("cec: the kernel sends from port 0, CEC_MSG the fourth field after the header",
          port == 0 && fields.size() > 4 && fields[4] == "CEC_MSG=36",
          "port " + std::to_string(port) + ", fields: " + shown);
    if (listener >= 0) {
        close(listener);
    }
    close_session(&s);
}

// A re-probed driver's old device lingering, or a second IR block: when the receiver in use
// goes, the other device of its name takes over without waiting for a node to be created.
void run_second_receiver_takes_over() {
    session_t s;
    if (!start_nec_session(&s, "two-receivers")) {
        close_session(&s);
        return;
    }
    source_t first;
    source_t second;
    second.fd = -1;
    if (create_source(k_receiver_name, &first) != 0 ||
        !wait_fd_open(s.daemon.pid, first.node, true, 2000) ||
        create_source(k_receiver_name, &second) != 0) {
        check("two receivers: set-up", false, "the first not opened, or uinput refused");
    } else {
        wait_idle(s.daemon.pid, 2000);
        check("two receivers: the second is left alone while the first is open",
              wait_fd_open(s.daemon.pid, second.node, false, 100), second.node + " open");
        run_key_cases(&s, &first,
                      {{"two receivers: a code from the first is translated",
                        {nec_raw(k_nec_a, 5, true), nec_raw(k_nec_a, 5, false)},
                        "+103 -103"}});
        destroy_source(&first);
        bool taken = wait_fd_open(s.daemon.pid, second.node, true, 3000);
        wait_idle(s.daemon.pid, 2000);
        check("two receivers: the other is opened when the one in use is destroyed", taken,
              second.node + " not opened");
        if (taken) {
            run_key_cases(&s, &second,
                          {{"two receivers: a code from the other is translated",
                            {nec_raw(k_nec_b, 71, true), nec_raw(k_nec_b, 71, false)},
                            "+108 -108"}});
        }
    }
    destroy_source(&first);
    destroy_source(&second);
    close_session(&s);
}

// inotify keeps max_queued_events records and then one overflow record, dropping the rest.
// The daemon is stopped while more nodes come and go than its queue holds, and then the
// receiver arrives: its creation record is lost, and only the overflow tells of it. An
// instance of the test's own, made under the same limit and watching the same folder, shows
// what the daemon's queue held.
void run_inotify_overflow() {
    const char limit_path[] = "/proc/sys/fs/inotify/max_queued_events";
    constexpr int k_queue = 16;
    const std::string saved_limit = read_file(limit_path);
    const std::string limit = std::to_string(k_queue) + "\n";
    // The limit holds for instances made while it is set: the daemon's and the witness's.
    if (write_file(limit_path, limit.data(), limit.size()) != 0) {
        check("inotify overflow: limit lowered", false, strerror(errno));
        return;
    }
    session_t s;
    int witness = -1;
    bool ready = start_nec_session(&s, "overflow") &&
                 (witness = inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) >= 0 &&
                 inotify_add_watch(witness, "/dev/input", IN_CREATE | IN_DELETE) >= 0;
    write_file(limit_path, saved_limit.data(), saved_limit.size());
    source_t receiver;
    receiver.fd = -1;
    if (!ready || !wait_idle(s.daemon.pid, 2000) || !stop_process(s.daemon.pid, 2000)) {
        check("inotify overflow: set-up", false, "daemon or witness not ready");
    } else {
        int changes = 0;
        for (; changes < 2 * k_queue; changes += 2) {
            source_t other;
            if (create_source("e2e-churn", &other) != 0) {
                break;
            }
            destroy_source(&other);
        }
        bool created = create_source(k_receiver_name, &receiver) == 0;
        kill(s.daemon.pid, SIGCONT);

        int queued = 0;
        bool overflowed = false;
        alignas(struct inotify_event) char batch[4096];
        ssize_t n;
        while ((n = read(witness, batch, sizeof(batch))) > 0) {
            for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
                const auto *record = reinterpret_cast<const inotify_event *>(batch + at);
                overflowed |= (record->mask & IN_Q_OVERFLOW) != 0;
                queued += (record->mask & IN_Q_OVERFLOW) == 0;
                at += static_cast<ssize_t>(sizeof(inotify_event) + record->len);
            }
        }
        char figures[160];
        snprintf(figures, sizeof(figures),
                 "%d nodes came and went, then the receiver's arrived; the queue held %d "
                 "records%s",
                 changes, queued, overflowed ? " and the overflow record" : ", no overflow");
        printf("     %s\n", figures);
        check("inotify overflow: the receiver's creation was lost in an overflow",
              created && overflowed && queued == k_queue && changes > k_queue, figures);
        bool opened = created && wait_fd_open(s.daemon.pid, receiver.node, true, 3000);
        wait_idle(s.daemon.pid, 2000);
        check("inotify overflow: the receiver is found after the overflow", opened,
              receiver.node + " not opened");
        if (opened) {
            run_key_cases(&s, &receiver,
                          {{"inotify overflow: a code from the receiver is translated",
                            {nec_raw(k_nec_a, 6, true), nec_raw(k_nec_a, 6, false)},
                            "+108 -108"}});
        }
    }
    if (witness >= 0) {
        close(witness);
    }
    destroy_source(&receiver);
    close_session(&s);
}
