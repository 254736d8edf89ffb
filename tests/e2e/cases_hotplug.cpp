// SPDX-License-Identifier: Apache-2.0
// A receiver node that outlives its device, as a user-space node manager leaves it.
#include <string.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "cases.h"

// On a box a user-space node manager deletes nodes some time after the kernel removed the
// device. Here the test plays that manager on a tmpfs over /dev/input.
void run_node_outlives_device() {
    use_nec_layouts();
    if (mount("tmpfs", "/dev/input", "tmpfs", 0, "mode=755") != 0) {
        check("node outlives device: tmpfs over /dev/input", false, strerror(errno));
        return;
    }
    session_t s;
    source_t receiver;
    receiver.fd = -1;
    std::string node;
    auto make_node = [&](const source_t &src) {
        node = "/dev/input/" + src.sys_name;
        return mknod(node.c_str(), S_IFCHR | 0600, makedev(src.dev_major, src.dev_minor)) == 0;
    };
    if (open_session(&s, "late-delete") && create_source(k_receiver_name, &receiver) == 0 &&
        make_node(receiver) && wait_fd_open(s.daemon.pid, node, true, 2000)) {
        wait_idle(s.daemon.pid, 2000);
        run_key_cases(&s, &receiver,
                      {{"node outlives device: keys flow through the managed node",
                        {nec_raw(k_nec_a, 5, true), nec_raw(k_nec_a, 5, false)},
                        "+103 -103"}});
        drain(s.keyboard);
        send_raw(&receiver, nec_raw(k_nec_a, 11, true));
        wait_idle(s.daemon.pid, 2000);

        proc_usage_t before = read_usage(s.daemon.pid);
        destroy_source(&receiver);
        sleep_ms(200);
        proc_usage_t after = read_usage(s.daemon.pid);
        uint64_t cpu_us = (after.run_ns - before.run_ns) / 1000;
        uint64_t wakeups = after.switches - before.switches;
        char figures[160];
        snprintf(figures, sizeof(figures), "daemon used %llu us of CPU and %llu wake-ups in 200 ms",
                 static_cast<unsigned long long>(cpu_us), static_cast<unsigned long long>(wakeups));
        printf("     %s\n", figures);
        // A few wake-ups handle the hang-up; a busy loop runs the whole 200 ms.
        check("node outlives device: no busy loop while the node lingers",
              cpu_us < 20000 && wakeups < 20, figures);
        std::string got = read_keys(s.keyboard, 2, 1000, 50);
        std::string down = keys_down(s.keyboard);
        bool held = (" " + down + " ").find(" 102 ") != std::string::npos;
        check("node outlives device: held key released when the device goes",
              got == "+102 -102" && !held,
              expect_text("+102 -102", got) + (held ? "; still down: " + down : ""));

        unlink(node.c_str());
        wait_idle(s.daemon.pid, 2000);
        bool again = create_source(k_receiver_name, &receiver) == 0 && make_node(receiver) &&
                     wait_fd_open(s.daemon.pid, node, true, 2000);
        wait_idle(s.daemon.pid, 2000);
        check("node outlives device: a new node of the receiver is opened", again,
              "new node " + node + " not opened");
        if (again) {
            run_key_cases(&s, &receiver,
                          {{"node outlives device: keys flow after the new node",
                            {nec_raw(k_nec_b, 71, true), nec_raw(k_nec_b, 71, false)},
                            "+108 -108"}});
        }
        unlink(node.c_str());
    } else {
        check("node outlives device: set-up", false, "receiver not opened through " + node);
    }
    destroy_source(&receiver);
    close_session(&s);
    umount("/dev/input");
}
