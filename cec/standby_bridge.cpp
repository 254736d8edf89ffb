#include "cec/standby_bridge.h"

int g_uevent_sock = -1;
char g_uevent_buf[1024];
struct timeval g_last_standby_time;

// Placeholder until the bridge lands: no socket, so slot 1 stays empty.
int uevent_init(int *out) {
    (void)out;
    return -1;
}

int uevent_process_event(void) {
    return 0;
}

void report_standby_request(void) {}
