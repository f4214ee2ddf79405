// Huffman table derivation (canonical codes from BITS and HUFFVAL) and the
// look-up tables the entropy decoder runs on.
#include <cstring>

#include "jpeg_internal.hpp"

namespace lumapix::jpeg {

const uint8_t kZigZag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

namespace {

// Sign extension of an s-bit magnitude category value (T.81 F.2.2.1).
int32_t Extend(uint32_t v, uint32_t s) {
    return v < (1u << (s - 1)) ? static_cast<int32_t>(v) - static_cast<int32_t>((1u << s) - 1)
                               : static_cast<int32_t>(v);
}

}  // namespace

bool BuildHuffTable(HuffTable& t, const uint8_t counts[16], const uint8_t* values) {
    std::memset(&t, 0, sizeof t);
    uint32_t total = 0;
    for (int l = 0; l < 16; ++l) total += counts[l];
    if (total == 0 || total > 256) return false;
    std::memcpy(t.values, values, total);

    uint32_t code = 0;  // next code of the current length
    uint32_t index = 0;
    for (uint32_t l = 1; l <= 16; ++l) {
        uint32_t n = counts[l - 1];
        t.offset[l] = static_cast<int32_t>(index) - static_cast<int32_t>(code);
        for (uint32_t i = 0; i < n; ++i, ++code, ++index) {
            if (code >= (1u << l)) return false;  // more codes than this length can hold
            if (l <= static_cast<uint32_t>(kLookBits)) {
                uint32_t shift = static_cast<uint32_t>(kLookBits) - l;
                uint32_t first = code << shift;
                auto entry = static_cast<uint16_t>(l << 8 | t.values[index]);
                for (uint32_t j = 0; j < (1u << shift); ++j) t.look[first + j] = entry;
            }
        }
        t.limit[l] = code << (16 - l);
        code <<= 1;
    }
    t.count = static_cast<uint16_t>(total);
    return true;
}

bool BuildAcTable(AcTable& t, const uint8_t counts[16], const uint8_t* values) {
    std::memset(t.fastAc, 0, sizeof t.fastAc);
    if (!BuildHuffTable(t, counts, values)) return false;
    // Codes whose run/size symbol and extra bits both fit in the look-up
    // resolve to the finished coefficient in one step.
    for (uint32_t i = 0; i < kLookSize; ++i) {
        uint32_t len = t.look[i] >> 8;
        if (len == 0) continue;
        uint32_t rs = t.look[i] & 0xFF;
        uint32_t run = rs >> 4, size = rs & 15;
        if (size == 0 || len + size > static_cast<uint32_t>(kLookBits)) continue;
        uint32_t bits = (i >> (static_cast<uint32_t>(kLookBits) - len - size)) & ((1u << size) - 1);
        int32_t value = Extend(bits, size);
        t.fastAc[i] = static_cast<int32_t>(static_cast<uint32_t>(value) << 16 | run << 8 | (len + size));
    }
    return true;
}

int32_t DecodeLongCode(const HuffTable& t, uint32_t code, uint32_t* length) {
    for (uint32_t l = kLookBits + 1; l <= 16; ++l) {
        if (code < t.limit[l]) {
            int32_t index = static_cast<int32_t>(code >> (16 - l)) + t.offset[l];
            if (index < 0 || index >= t.count) return -1;
            *length = l;
            return t.values[index];
        }
    }
    return -1;
}

}  // namespace lumapix::jpeg
