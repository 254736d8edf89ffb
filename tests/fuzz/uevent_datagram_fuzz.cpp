// One uevent datagram as the socket delivers it: an exact-size heap copy without a NUL
// after it, so that any read past its length is reported.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <memory>

#include "cec/uevent_datagram.h"

namespace {

// True when the data holds the HDMI header as a whole field, somewhere before "CEC_MSG=".
bool has_header_then_opcode(const char *data, size_t size) {
    static const char *const headers[] = {"change@/devices/platform/soc/hdmi",
                                          "change@/devices/soc.0/1ee0000.hdmi"};
    for (const char *header : headers) {
        size_t length = strlen(header);
        for (size_t at = 0; at + length <= size; at++) {
            bool field_start = at == 0 || data[at - 1] == '\0';
            bool field_end = at + length == size || data[at + length] == '\0';
            if (field_start && field_end && memcmp(data + at, header, length) == 0 &&
                memmem(data + at + length, size - at - length, "CEC_MSG=", 8) != nullptr) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::unique_ptr<char[]> datagram(new char[size]);
    memcpy(datagram.get(), data, size);
    uint32_t opcode = find_cec_opcode(datagram.get(), size);
    if (opcode != 0 && !has_header_then_opcode(datagram.get(), size)) {
        abort();
    }
    return 0;
}
