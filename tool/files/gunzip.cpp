// SPDX-License-Identifier: Apache-2.0
// A gzip file's content, for the kernel's /proc/config.gz: the box's build links no
// compression library the tool could use, and the format is small enough to read here.
// Deflate as RFC 1951 gives it, in the canonical-code form, decoding a bit at a time.
#include <stdint.h>

#include <string>

#include "tool/files/files.h"

namespace {

struct bits_t {
    const std::string &in;
    size_t at;  // the next byte
    uint32_t held;
    int count;  // bits held
    bool past;  // a read past the end
};

uint32_t take(bits_t *b, int n) {
    while (b->count < n) {
        b->past = b->past || b->at >= b->in.size();
        uint32_t byte = b->past ? 0 : static_cast<uint8_t>(b->in[b->at++]);
        b->held |= byte << b->count;
        b->count += 8;
    }
    uint32_t value = b->held & ((uint32_t{1} << n) - 1);
    b->held >>= n;
    b->count -= n;
    return value;
}

// A canonical code: how many codes of each length, and the symbols in code order.
struct code_t {
    uint16_t counts[16];
    uint16_t symbols[288];
};

// False when the lengths over-subscribe the code, or leave it incomplete where zlib refuses
// that: it takes a literal or distance code of one 1-bit code, or of none.
bool build(code_t *c, const uint8_t *lengths, int n, bool code_lengths = false) {
    uint16_t offsets[16];
    for (int len = 0; len < 16; len++) {
        c->counts[len] = 0;
    }
    for (int i = 0; i < n; i++) {
        c->counts[lengths[i]]++;
    }
    int left = 1;
    int longest = 0;
    offsets[1] = 0;
    for (int len = 1; len < 16; len++) {
        left = left * 2 - c->counts[len];
        longest = c->counts[len] != 0 ? len : longest;
        if (left < 0) {
            return false;
        }
        if (len < 15) {
            offsets[len + 1] = static_cast<uint16_t>(offsets[len] + c->counts[len]);
        }
    }
    if (left > 0 && longest > 0 && (code_lengths || longest != 1)) {
        return false;
    }
    for (int i = 0; i < n; i++) {
        if (lengths[i] != 0) {
            c->symbols[offsets[lengths[i]]++] = static_cast<uint16_t>(i);
        }
    }
    return true;
}

// The next symbol, -1 for a code the table lacks.
int decode(bits_t *b, const code_t *c) {
    int code = 0;
    int first = 0;
    int index = 0;
    for (int len = 1; len < 16; len++) {
        code |= static_cast<int>(take(b, 1));
        int count = c->counts[len];
        if (code - first < count) {
            return c->symbols[index + code - first];
        }
        index += count;
        first = (first + count) << 1;
        code <<= 1;
    }
    return -1;
}

const uint16_t k_length_base[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                    31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t k_length_extra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                    2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t k_distance_base[30] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t k_distance_extra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                      6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// A block's codes into out; false for a malformed block or out past limit.
bool inflate_codes(bits_t *b, const code_t *lengths, const code_t *distances, size_t limit,
                   std::string *out) {
    for (;;) {
        int symbol = decode(b, lengths);
        if (symbol < 0 || symbol > 285 || b->past || out->size() > limit) {
            return false;
        }
        if (symbol < 256) {
            out->push_back(static_cast<char>(symbol));
            continue;
        }
        if (symbol == 256) {
            return true;
        }
        symbol -= 257;
        size_t length = k_length_base[symbol] + take(b, k_length_extra[symbol]);
        int d = decode(b, distances);
        if (d < 0 || d > 29) {
            return false;
        }
        size_t distance = k_distance_base[d] + take(b, k_distance_extra[d]);
        if (distance > out->size()) {
            return false;
        }
        // Byte by byte: a copy may overlap what it writes.
        for (size_t i = 0; i < length; i++) {
            out->push_back((*out)[out->size() - distance]);
        }
    }
}

bool inflate_dynamic(bits_t *b, size_t limit, std::string *out) {
    static const uint8_t k_order[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                        11, 4,  12, 3, 13, 2, 14, 1, 15};
    int literals = static_cast<int>(take(b, 5)) + 257;
    int distances = static_cast<int>(take(b, 5)) + 1;
    int code_lengths = static_cast<int>(take(b, 4)) + 4;
    uint8_t lengths[320] = {};
    for (int i = 0; i < code_lengths; i++) {
        lengths[k_order[i]] = static_cast<uint8_t>(take(b, 3));
    }
    code_t lencode;
    code_t distcode;
    if (literals > 286 || distances > 30 || !build(&lencode, lengths, 19, true)) {
        return false;
    }
    for (int i = 0; i < literals + distances;) {
        int symbol = decode(b, &lencode);
        if (symbol < 0 || b->past) {
            return false;
        }
        if (symbol < 16) {
            lengths[i++] = static_cast<uint8_t>(symbol);
            continue;
        }
        if (symbol == 16 && i == 0) {
            return false;
        }
        uint8_t repeated = symbol == 16 ? lengths[i - 1] : 0;
        int times = symbol == 16   ? 3 + static_cast<int>(take(b, 2))
                    : symbol == 17 ? 3 + static_cast<int>(take(b, 3))
                                   : 11 + static_cast<int>(take(b, 7));
        if (i + times > literals + distances) {
            return false;
        }
        while (times-- > 0) {
            lengths[i++] = repeated;
        }
    }
    return lengths[256] != 0 && build(&lencode, lengths, literals) &&
           build(&distcode, lengths + literals, distances) &&
           inflate_codes(b, &lencode, &distcode, limit, out);
}

bool inflate_fixed(bits_t *b, size_t limit, std::string *out) {
    // Distance codes 30 and 31 complete the code; a block that uses one is refused.
    uint8_t lengths[288 + 32];
    for (int i = 0; i < 288 + 32; i++) {
        lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : i < 288 ? 8 : 5;
    }
    code_t lencode;
    code_t distcode;
    return build(&lencode, lengths, 288) && build(&distcode, lengths + 288, 32) &&
           inflate_codes(b, &lencode, &distcode, limit, out);
}

bool inflate_stored(bits_t *b, size_t limit, std::string *out) {
    b->held = 0;
    b->count = 0;
    if (b->at + 4 > b->in.size()) {
        return false;
    }
    const auto *p = reinterpret_cast<const uint8_t *>(b->in.data() + b->at);
    size_t length = static_cast<size_t>(p[0] | p[1] << 8);
    if (static_cast<size_t>(p[2] | p[3] << 8) != (~length & 0xffff) ||
        b->at + 4 + length > b->in.size()) {
        return false;
    }
    if (out->size() + length > limit) {
        // A byte past the limit says why it stopped.
        out->append(b->in, b->at + 4, limit + 1 - out->size());
        return false;
    }
    out->append(b->in, b->at + 4, length);
    b->at += 4 + length;
    return true;
}

uint32_t crc32_of(const std::string &data) {
    uint32_t crc = 0xffffffff;
    for (char c : data) {
        crc ^= static_cast<uint8_t>(c);
        for (int k = 0; k < 8; k++) {
            crc = (crc >> 1) ^ (0xedb88320 & (0 - (crc & 1)));
        }
    }
    return ~crc;
}

uint32_t le32(const std::string &in, size_t at) {
    const auto *p = reinterpret_cast<const uint8_t *>(in.data() + at);
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

int gunzip(const std::string &gz, size_t limit, std::string *out, std::string *why) {
    out->clear();
    // The header: magic, deflate, flags, then what the flags add.
    size_t at = 10;
    // Reserved flags set: a header of a later format, which zlib refuses too.
    if (gz.size() < 18 || gz.compare(0, 3, "\x1f\x8b\x08") != 0 ||
        (static_cast<uint8_t>(gz[3]) & 0xe0) != 0) {
        *why = "not a gzip file";
        return -1;
    }
    uint8_t flags = static_cast<uint8_t>(gz[3]);
    if ((flags & 4) != 0) {
        at += 2 + (static_cast<uint8_t>(gz[10]) | static_cast<uint8_t>(gz[11]) << 8);
    }
    for (int named : {8, 16}) {
        if ((flags & named) != 0) {
            at = gz.find('\0', at);
            at = at == std::string::npos ? gz.size() : at + 1;
        }
    }
    // The header's own CRC: its low 16 bits.
    bool good = at + ((flags & 2) != 0 ? 2 : 0) <= gz.size();
    if (good && (flags & 2) != 0) {
        uint32_t crc = crc32_of(gz.substr(0, at));
        good = (static_cast<uint8_t>(gz[at]) | static_cast<uint8_t>(gz[at + 1]) << 8) ==
               static_cast<int>(crc & 0xffff);
        at += 2;
    }
    bits_t b = {gz, at, 0, 0, false};
    bool last = false;
    while (good && !last) {
        last = take(&b, 1) != 0;
        uint32_t type = take(&b, 2);
        good = type == 0   ? inflate_stored(&b, limit, out)
               : type == 1 ? inflate_fixed(&b, limit, out)
                           : type == 2 && inflate_dynamic(&b, limit, out);
        good = good && !b.past && out->size() <= limit;
    }
    // The trailer, after the last whole byte: the content's CRC-32 and size.
    if (!good || b.at + 8 > gz.size() || le32(gz, b.at) != crc32_of(*out) ||
        le32(gz, b.at + 4) != static_cast<uint32_t>(out->size())) {
        *why = out->size() > limit ? "over the limit of " + std::to_string(limit) + " bytes"
                                   : "a damaged gzip file";
        return -1;
    }
    return 0;
}
