// MONO placement: pixel x of a row is bit 7 - (x mod 8) of byte x / 8.
#include <array>

#include "rotator_kernels.hpp"

namespace lumapix::rot {

namespace {

constexpr std::array<uint8_t, 256> kBitReversed = [] {
    std::array<uint8_t, 256> table{};
    for (unsigned v = 0; v < 256; ++v) {
        unsigned r = 0;
        for (unsigned bit = 0; bit < 8; ++bit) r |= ((v >> bit) & 1u) << (7 - bit);
        table[v] = static_cast<uint8_t>(r);
    }
    return table;
}();

size_t RowBytes(size_t width) { return (width + 7) / 8; }

// Transposes an 8 x 8 bit matrix held with row 0 in the top byte and column 0
// in each byte's top bit: bit (7 - c) of result byte r is bit (7 - r) of
// source byte c. Three rounds of swapping 1 x 1, 2 x 2 and 4 x 4 blocks.
uint64_t Transpose8x8(uint64_t m) {
    uint64_t t = (m ^ (m >> 7)) & 0x00AA00AA00AA00AAull;
    m ^= t ^ (t << 7);
    t = (m ^ (m >> 14)) & 0x0000CCCC0000CCCCull;
    m ^= t ^ (t << 14);
    t = (m ^ (m >> 28)) & 0x00000000F0F0F0F0ull;
    m ^= t ^ (t << 28);
    return m;
}

}  // namespace

void MonoCopy(uint8_t* __restrict row, const uint8_t* __restrict line, size_t width) {
    size_t bytes = RowBytes(width);
    std::memcpy(row, line, bytes);
    // Whatever the source keeps in its spare bits stays out of the destination.
    if (width % 8) row[bytes - 1] = static_cast<uint8_t>(row[bytes - 1] & (0xFF00u >> (width % 8)));
}

void MonoReversed(uint8_t* __restrict row, const uint8_t* __restrict line, size_t width) {
    size_t bytes = RowBytes(width);
    // Reversed, the source's spare bits come first; shifting them out leaves
    // zeros at the end of the row.
    unsigned spare = static_cast<unsigned>((8 - width % 8) % 8);
    for (size_t i = 0; i < bytes; ++i) {
        unsigned high = kBitReversed[line[bytes - 1 - i]];
        unsigned low = i + 1 < bytes ? kBitReversed[line[bytes - 2 - i]] : 0u;
        row[i] = static_cast<uint8_t>((((high << 8) | low) << spare) >> 8);
    }
}

// Each line goes straight to its final column (height - 1 - y or y), so the
// image starts at bit 7 of every row with nothing to realign after the last
// line, and the result does not depend on the order lines come in.
void MonoColumn(const Target& t, const uint8_t* line, size_t y, bool clockwise) {
    size_t column = clockwise ? t.height - 1 - y : y;
    size_t byte = column / 8;
    auto mask = static_cast<uint8_t>(0x80u >> (column % 8));
    // Bits are set or cleared, not ORed, so placing a line twice is harmless.
    for (size_t x = 0; x < t.width; ++x) {
        unsigned bit = (unsigned{line[x / 8]} >> (7 - x % 8)) & 1u;
        uint8_t* to = t.pixels + (clockwise ? x : t.width - 1 - x) * t.stride + byte;
        *to = static_cast<uint8_t>(bit ? *to | mask : *to & ~unsigned{mask});
    }
}

void MonoTurnBlocked(const Target& t, const uint8_t* source, size_t sourceStride, bool clockwise) {
    // Destination byte j of every row holds columns 8j .. 8j + 7, that is eight
    // source lines; source byte k holds pixels 8k .. 8k + 7, that is eight
    // destination rows. Each pair (j, k) is one transpose, and every
    // destination byte is written once, spare bits included (as zero).
    const size_t rowBytes = RowBytes(t.height);
    const size_t lineBytes = RowBytes(t.width);
    constexpr size_t kBlock = 16;  // bytes each way: 128 source lines, 128 destination rows
    for (size_t j0 = 0; j0 < rowBytes; j0 += kBlock) {
        size_t j1 = std::min(j0 + kBlock, rowBytes);
        for (size_t k0 = 0; k0 < lineBytes; k0 += kBlock) {
            size_t k1 = std::min(k0 + kBlock, lineBytes);
            for (size_t j = j0; j < j1; ++j) {
                const uint8_t* lines[8];
                for (size_t i = 0; i < 8; ++i) {
                    size_t column = 8 * j + i;
                    if (column >= t.height) {
                        lines[i] = nullptr;
                    } else {
                        size_t y = clockwise ? t.height - 1 - column : column;
                        lines[i] = source + y * sourceStride;
                    }
                }
                for (size_t k = k0; k < k1; ++k) {
                    uint64_t m = 0;
                    for (size_t i = 0; i < 8; ++i) m = (m << 8) | (lines[i] ? lines[i][k] : 0u);
                    m = Transpose8x8(m);
                    size_t pixels = std::min<size_t>(8, t.width - 8 * k);
                    for (size_t r = 0; r < pixels; ++r) {
                        size_t x = 8 * k + r;
                        size_t row = clockwise ? x : t.width - 1 - x;
                        t.pixels[row * t.stride + j] = static_cast<uint8_t>(m >> (56 - 8 * r));
                    }
                }
            }
        }
    }
}

}  // namespace lumapix::rot
