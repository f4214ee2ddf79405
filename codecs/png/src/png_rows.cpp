// Row filters (None, Sub, Up, Average, Paeth) undone in place, alpha dropped,
// and rows turned into record pixels. The filter is chosen once per row; each
// kernel is specialised for its pixel distance so the loops carry no branches.
#include <array>
#include <cstdlib>
#include <cstring>

#include "png_internal.hpp"

namespace lumapix::png {

namespace {

inline uint8_t Add(uint32_t a, uint32_t b) { return static_cast<uint8_t>(a + b); }

template <uint32_t B>
void UnfilterSub(uint8_t* __restrict row, const uint8_t* __restrict src, uint32_t pos, uint32_t size) {
    uint32_t i = 0;
    if (pos == 0)
        for (; i < B; ++i) row[i] = src[i];
    for (; i < size; ++i) row[pos + i] = Add(src[i], row[pos + i - B]);
}

void UnfilterUp(uint8_t* __restrict row, const uint8_t* __restrict src, uint32_t pos, uint32_t size) {
    uint8_t* out = row + pos;
    for (uint32_t i = 0; i < size; ++i) out[i] = Add(src[i], out[i]);
}

template <uint32_t B>
void UnfilterAverage(uint8_t* __restrict row, const uint8_t* __restrict src, uint32_t pos, uint32_t size) {
    uint32_t i = 0;
    if (pos == 0)
        for (; i < B; ++i) row[i] = Add(src[i], row[i] >> 1u);
    for (; i < size; ++i) row[pos + i] = Add(src[i], (uint32_t{row[pos + i - B]} + row[pos + i]) >> 1);
}

inline int32_t PaethPredictor(int32_t a, int32_t b, int32_t c) {
    int32_t pa = std::abs(b - c);
    int32_t pb = std::abs(a - c);
    int32_t pc = std::abs(a + b - 2 * c);
    int32_t bOrC = pb <= pc ? b : c;
    return pa <= pb && pa <= pc ? a : bOrC;
}

// The left and upper-left neighbours of each channel ride along in registers;
// the upper-left one is the previous row's byte, read before it is overwritten.
template <uint32_t B>
void UnfilterPaeth(uint8_t* __restrict row, const uint8_t* __restrict src, uint32_t pos, uint32_t size,
                   const uint8_t* carry) {
    uint8_t* out = row + pos;
    int32_t left[B], upLeft[B];
    uint32_t i = 0;
    if (pos == 0) {
        for (uint32_t k = 0; k < B; ++k) {  // no left neighbours: the predictor is the byte above
            int32_t up = out[k];
            out[k] = Add(src[k], static_cast<uint32_t>(up));
            left[k] = out[k];
            upLeft[k] = up;
        }
        i = B;
    } else {
        for (uint32_t k = 0; k < B; ++k) {
            left[k] = row[pos - B + k];
            upLeft[k] = carry[k];
        }
    }
    for (; i < size; i += B) {
        for (uint32_t k = 0; k < B; ++k) {
            int32_t up = out[i + k];
            uint8_t value = Add(src[i + k], static_cast<uint32_t>(PaethPredictor(left[k], up, upLeft[k])));
            out[i + k] = value;
            left[k] = value;
            upLeft[k] = up;
        }
    }
}

template <uint32_t B>
void UnfilterWith(uint32_t filterType, uint8_t* row, const uint8_t* src, uint32_t pos, uint32_t size,
                  const uint8_t* carry) {
    switch (filterType) {
        case 0: std::memcpy(row + pos, src, size); break;
        case 1: UnfilterSub<B>(row, src, pos, size); break;
        case 2: UnfilterUp(row, src, pos, size); break;
        case 3: UnfilterAverage<B>(row, src, pos, size); break;
        default: UnfilterPaeth<B>(row, src, pos, size, carry); break;
    }
}

// Sub-byte samples to one byte per pixel, most significant bits first: a table
// gives the pixels of each possible byte.
template <uint32_t Bits>
constexpr auto MakeUnpackTable() {
    constexpr uint32_t kPer = 8 / Bits;
    std::array<std::array<uint8_t, kPer>, 256> table{};
    for (uint32_t v = 0; v < 256; ++v)
        for (uint32_t p = 0; p < kPer; ++p)
            table[v][p] = static_cast<uint8_t>(v >> (8 - Bits * (p + 1)) & ((1u << Bits) - 1));
    return table;
}

template <uint32_t Bits>
constexpr auto kUnpack = MakeUnpackTable<Bits>();

template <uint32_t Bits>
void UnpackRow(const uint8_t* row, uint8_t* out, uint32_t width) {
    constexpr uint32_t kPer = 8 / Bits;
    uint32_t whole = width / kPer;
    for (uint32_t i = 0; i < whole; ++i) std::memcpy(out + size_t{i} * kPer, kUnpack<Bits>[row[i]].data(), kPer);
    if (uint32_t rest = width % kPer) std::memcpy(out + size_t{whole} * kPer, kUnpack<Bits>[row[whole]].data(), rest);
}

void CopyRow(const uint8_t* row, uint8_t* out, uint32_t width) { std::memcpy(out, row, width); }

// Red, green, blue to the record's blue, green, red.
void SwapRedBlue(const uint8_t* __restrict row, uint8_t* __restrict out, uint32_t width) {
    for (uint32_t x = 0; x < width; ++x, row += 3, out += 3) {
        out[0] = row[2];
        out[1] = row[1];
        out[2] = row[0];
    }
}

}  // namespace

void Unfilter(uint32_t filterType, uint32_t bpp, uint8_t* row, const uint8_t* src, uint32_t pos, uint32_t size,
              const uint8_t* carry) {
    if (bpp == 3) UnfilterWith<3>(filterType, row, src, pos, size, carry);
    else UnfilterWith<1>(filterType, row, src, pos, size, carry);
}

void DropAlpha(uint8_t* data, uint32_t count, uint32_t pixelBytes) {
    if (pixelBytes == 2) {
        for (uint32_t i = 0; i < count; ++i) data[i] = data[2 * i];
    } else {
        for (uint32_t i = 0; i < count; ++i) {
            data[3 * i] = data[4 * i];
            data[3 * i + 1] = data[4 * i + 1];
            data[3 * i + 2] = data[4 * i + 2];
        }
    }
}

RowOutputFn ChooseRowOutput(uint8_t colourType, uint8_t bitDepth) {
    if (colourType == 2 || colourType == 6) return SwapRedBlue;
    switch (bitDepth) {
        case 1: return UnpackRow<1>;
        case 2: return UnpackRow<2>;
        case 4: return UnpackRow<4>;
        default: return CopyRow;
    }
}

}  // namespace lumapix::png
