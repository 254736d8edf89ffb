#include "core/protocol.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include "core/log.h"
#include "core/paths.h"

int32_t ir_protocol_used = 0;

void select_ir_protocol(void) {
    // A failed open is caught by the read on descriptor -1, which fails in turn.
    int fd = open(g_protocol_file, O_RDONLY | O_NONBLOCK);
    // The driver gives a 32-bit integer in the platform's byte order; fewer bytes leave
    // the higher-order ones at zero.
    ssize_t n = read(fd, &ir_protocol_used, sizeof(ir_protocol_used));

    printf("IR_PROTOCOL_USED = %d\n", ir_protocol_used);
    // The loop never exits, so stdout (a pipe or file under a service manager) would
    // otherwise keep this line buffered for ever.
    fflush(stdout);

    if (n < 0) {
        log_error("can not read IR_PROTOCOL_USED\n");
        log_error("WRONG:faied to get ir_protocol_used             default to use NEC protocol\n");
        ir_protocol_used = k_ir_protocol_nec;
    } else if (static_cast<uint32_t>(ir_protocol_used) >= 2) {
        log_error("WRONG : orvex only support rc5 or nec protocol now\n\n");
        log_error("WRONG:faied to get ir_protocol_used             default to use NEC protocol\n");
        ir_protocol_used = k_ir_protocol_nec;
    }

    if (fd >= 0) {
        close(fd);
    }
}
