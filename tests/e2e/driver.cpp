// Entry point of the guest-side driver.
//   e2e-driver test   the cases, then the benchmark; prints "N passed, N failed"
//   e2e-driver demo   the newcomer's tour, shown like evtest
//   e2e-driver exit N hands N to the host through QEMU's isa-debug-exit port
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/io.h>

#include "e2e.h"

namespace {

int exit_through_port(int status) {
    // QEMU exits at once with (status << 1) | 1.
    if (ioperm(0xf4, 4, 1) != 0) {
        perror("e2e-driver: ioperm");
        return 1;
    }
    outb(static_cast<unsigned char>(status), 0xf4);
    return 1;
}

}  // namespace

int main(int argc, char **argv) {
    setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc == 3 && strcmp(argv[1], "exit") == 0) {
        return exit_through_port(atoi(argv[2]));
    }
    if (argc == 2 && strcmp(argv[1], "demo") == 0) {
        return run_demo() == 0 ? 0 : 1;
    }
    if (argc == 2 && strcmp(argv[1], "test") == 0) {
        if (run_cases() == 0) {
            run_bench();
        }
        printf("%d passed, %d failed\n", g_tally.passed, g_tally.failed);
        return g_tally.failed == 0 && g_tally.passed > 0 ? 0 : 1;
    }
    fprintf(stderr, "usage: e2e-driver test|demo|exit N\n");
    return 2;
}
