// SPDX-License-Identifier: Apache-2.0
#include "core/protocol.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include "core/log.h"
#include "core/paths.h"

int32_t ir_protocol_used = 0;

void read_ir_protocol(protocol_reading_t *reading) {
    reading->value = 0;
    // A failed open is caught by the read on descriptor -1, which fails in turn.
    int fd = open(g_protocol_file, O_RDONLY | O_NONBLOCK);
    // The driver gives a 32-bit integer in the platform's byte order; fewer bytes leave
    // the higher-order ones at zero.
    reading->bytes = read(fd, &reading->value, sizeof(reading->value));
    if (fd >= 0) {
        close(fd);
    }
    bool valid = reading->bytes >= 0 && static_cast<uint32_t>(reading->value) < 2;
    reading->selected = valid ? reading->value : k_ir_protocol_nec;
}

void select_ir_protocol(void) {
    protocol_reading_t reading;
    read_ir_protocol(&reading);

    printf("IR_PROTOCOL_USED = %d\n", reading.value);
    // The loop never exits, so stdout (a pipe or file under a service manager) would
    // otherwise keep this line buffered for ever.
    fflush(stdout);

    if (reading.bytes < 0) {
        log_error("can not read IR_PROTOCOL_USED\n");
        log_error("WRONG:faied to get ir_protocol_used             default to use NEC protocol\n");
    } else if (reading.selected != reading.value) {
        log_error("WRONG : orvex only support rc5 or nec protocol now\n\n");
        log_error("WRONG:faied to get ir_protocol_used             default to use NEC protocol\n");
    }
    ir_protocol_used = reading.selected;
}
