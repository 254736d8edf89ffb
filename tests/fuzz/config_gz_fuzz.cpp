// SPDX-License-Identifier: Apache-2.0
// The kernel's /proc/config.gz as the tool reads it. zlib, which the box's build cannot link,
// is the judge: a file is read here exactly when zlib reads it whole, and as zlib reads it.
#include <stdint.h>
#include <stdlib.h>
#include <zlib.h>

#include <string>

#include "tool/files/files.h"

namespace {

// Small enough that inputs reach it; the tool's own limit is far above a real configuration.
constexpr size_t k_limit = 1 << 16;

// zlib's reading of one gzip member: 1 when whole within the limit, 0 when damaged, -1 when
// it makes more than the limit.
int zlib_gunzip(const uint8_t *data, size_t size, std::string *out) {
    z_stream z = {};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) {
        abort();
    }
    static unsigned char buffer[k_limit + 1];
    z.next_in = const_cast<uint8_t *>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = buffer;
    z.avail_out = sizeof(buffer);
    int status = inflate(&z, Z_FINISH);
    out->assign(reinterpret_cast<char *>(buffer), sizeof(buffer) - z.avail_out);
    inflateEnd(&z);
    if (out->size() > k_limit) {
        return -1;
    }
    return status == Z_STREAM_END ? 1 : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string gz(reinterpret_cast<const char *>(data), size);
    std::string out;
    std::string why;
    int ours = gunzip(gz, k_limit, &out, &why);
    std::string theirs;
    int zlib = zlib_gunzip(data, size, &theirs);
    if ((ours == 0) != (zlib == 1) || (ours == 0 && out != theirs)) {
        abort();
    }
    if (ours != 0 && why.empty()) {
        abort();
    }
    return 0;
}
