// SPDX-License-Identifier: Apache-2.0
// Entry point of the guest-side driver.
//   e2e-driver test   the cases, then the benchmark; prints "N passed, N failed"
//   e2e-driver soak   flaps, random codes, a uevent flood, a stalled daemon; figures, a tally
//   e2e-driver demo   the newcomer's tour, shown like evtest
//   e2e-driver exit N hands N to the host through QEMU's isa-debug-exit port (x86 only)
#include <dirent.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "e2e.h"

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define E2E_EXIT_PORT 1
#endif

namespace {

#ifdef E2E_EXIT_PORT
int exit_through_port(int status) {
    // QEMU exits at once with (byte << 1) | 1. The byte is status + 1, so that QEMU's own
    // failure status 1 never reads as a driver's success.
    if (ioperm(0xf4, 4, 1) != 0) {
        perror("e2e-driver: ioperm");
        return 1;
    }
    outb(static_cast<unsigned char>(status + 1), 0xf4);
    return 1;
}
#endif

#ifndef E2E_WATCHDOG_S
#define E2E_WATCHDOG_S 200
#endif

// A hung case must not hang the bench: after the limit, show where the driver and the
// daemons sleep, then end the driver so the guest still hands a status back.
pid_t start_watchdog(int seconds) {
    pid_t driver = getpid();
    pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    sleep(static_cast<unsigned>(seconds));
    printf("FAIL e2e watchdog: the driver is stuck after %d s\n", seconds);
    DIR *d = opendir("/proc");
    while (struct dirent *e = d != nullptr ? readdir(d) : nullptr) {
        std::string base = std::string("/proc/") + e->d_name;
        std::string comm = read_file(base + "/comm");
        if (comm == "dravoke\n" || comm == "e2e-driver\n") {
            printf("  pid %s %s  wchan %s\n%s", e->d_name, comm.c_str(),
                   read_file(base + "/wchan").c_str(), read_file(base + "/stack").c_str());
        }
    }
    fflush(stdout);
    kill(driver, SIGKILL);
    _exit(0);
}

#ifndef E2E_SOAK_WATCHDOG_S
#define E2E_SOAK_WATCHDOG_S 600
#endif

}  // namespace

int main(int argc, char **argv) {
    setvbuf(stdout, nullptr, _IOLBF, 0);
#ifdef E2E_EXIT_PORT
    if (argc == 3 && strcmp(argv[1], "exit") == 0) {
        return exit_through_port(atoi(argv[2]));
    }
#endif
    if (argc == 2 && strcmp(argv[1], "demo") == 0) {
        return run_demo() == 0 ? 0 : 1;
    }
    if (argc == 2 && strcmp(argv[1], "test") == 0) {
        pid_t watchdog = start_watchdog(E2E_WATCHDOG_S);
        if (run_cases() == 0) {
            run_bench();
        }
        kill(watchdog, SIGKILL);
        waitpid(watchdog, nullptr, 0);
        printf("%d passed, %d failed\n", g_tally.passed, g_tally.failed);
        return g_tally.failed == 0 && g_tally.passed > 0 ? 0 : 1;
    }
    if (argc == 2 && strcmp(argv[1], "soak") == 0) {
        // The soak has its own boot, and its own limit, well above its few minutes.
        pid_t watchdog = start_watchdog(E2E_SOAK_WATCHDOG_S);
        run_soak();
        kill(watchdog, SIGKILL);
        waitpid(watchdog, nullptr, 0);
        printf("%d passed, %d failed\n", g_tally.passed, g_tally.failed);
        return g_tally.failed == 0 && g_tally.passed > 0 ? 0 : 1;
    }
    fprintf(stderr, "usage: e2e-driver test|demo|soak|exit N\n");
    return 2;
}
