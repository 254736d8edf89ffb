// SPDX-License-Identifier: Apache-2.0
#include "cec/uevent_filter.h"

#include <linux/filter.h>
#include <stdint.h>
#include <sys/socket.h>

#include <string>

#include "cec/uevent_datagram.h"

namespace {

// A header is compared in loads of 4, 2 or 1 bytes, as many as fit.
constexpr size_t chunk_size(size_t remaining) {
    return remaining >= 4 ? 4 : remaining >= 2 ? 2 : 1;
}

// A load and a test for each chunk of the header and its NUL, then the accept.
constexpr size_t header_test_length(const char *header) {
    const size_t size = std::char_traits<char>::length(header) + 1;
    size_t length = 1;
    for (size_t at = 0; at < size; at += chunk_size(size - at)) {
        length += 2;
    }
    return length;
}

// The tests of every header, then the drop.
constexpr size_t filter_length() {
    size_t length = 1;
    for (const char *header : k_hdmi_headers) {
        length += header_test_length(header);
    }
    return length;
}

constexpr size_t k_filter_length = filter_length();
static_assert(k_filter_length <= BPF_MAXINSNS, "too long for a socket filter");

constexpr bool jumps_fit() {
    for (const char *header : k_hdmi_headers) {
        // A failed test jumps over the rest of its header's tests, at most 255 instructions.
        if (header_test_length(header) > 256) {
            return false;
        }
    }
    return true;
}
static_assert(jumps_fit(), "a header too long for the filter's jumps");

// The whole datagram is kept; 0 drops it.
constexpr uint32_t k_accept = 0xFFFFFFFF;
constexpr uint32_t k_drop = 0;

// A load reads the datagram's bytes as a big-endian number.
uint32_t chunk_value(const char *bytes, size_t size) {
    uint32_t value = 0;
    for (size_t i = 0; i < size; i++) {
        value = value << 8 | static_cast<unsigned char>(bytes[i]);
    }
    return value;
}

// Accepts a datagram that begins with header and its NUL; on the first byte that differs,
// jumps past these instructions to what follows them. A load past the end of a shorter
// datagram ends the filter with a drop.
void append_header_test(struct sock_filter *code, size_t *length, const char *header) {
    const size_t size = std::char_traits<char>::length(header) + 1;
    size_t left = header_test_length(header);
    for (size_t at = 0; at < size;) {
        const size_t n = chunk_size(size - at);
        const uint16_t width = n == 4 ? BPF_W : n == 2 ? BPF_H : BPF_B;
        code[(*length)++] = BPF_STMT(BPF_LD | width | BPF_ABS, static_cast<uint32_t>(at));
        left -= 2;
        code[(*length)++] = BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, chunk_value(header + at, n), 0,
                                     static_cast<uint8_t>(left));
        at += n;
    }
    code[(*length)++] = BPF_STMT(BPF_RET | BPF_K, k_accept);
}

}  // namespace

int attach_uevent_filter(int fd) {
    struct sock_filter code[k_filter_length];
    size_t length = 0;
    for (const char *header : k_hdmi_headers) {
        append_header_test(code, &length, header);
    }
    code[length++] = BPF_STMT(BPF_RET | BPF_K, k_drop);
    struct sock_fprog filter = {static_cast<unsigned short>(length), code};
    return setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &filter, sizeof(filter)) == 0 ? 0 : -1;
}
