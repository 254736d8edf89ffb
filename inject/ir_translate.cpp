#include <unistd.h>

#include "core/kernel_calls.h"
#include "inject/inject.h"

key_dev_t g_key_dev;

int input_event_process(int fd, struct input_event *buf) {
    ssize_t n = g_kernel.read(fd, buf, sizeof(*buf));
    return n == static_cast<ssize_t>(sizeof(*buf)) ? 0 : -1;
}

// Placeholder until the translation tables are wired in: nothing is written yet.
void detect_key_input(key_dev_t *dev) {
    (void)dev;
}

void ir_key_down(key_dev_t *dev, int code) {
    (void)dev;
    (void)code;
}
