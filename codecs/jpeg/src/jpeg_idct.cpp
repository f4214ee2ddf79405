// Separable integer inverse DCT: columns first, then rows, 32-bit arithmetic.
// Sums are formed in uint32_t so that the wrap-around of corrupt coefficients is
// defined; the shifts act on the signed value. Shortcuts (DC-only block, zero
// columns and rows, coefficients confined to the top-left 4x4) drop only terms
// that are zero, so they give exactly the full evaluation's result.
#include <cstring>

#include "jpeg_internal.hpp"
#include "jpeg_simd.hpp"

namespace lumapix::jpeg {

namespace {

using u32 = uint32_t;

inline u32 U(int32_t v) { return static_cast<u32>(v); }
inline int32_t Shr9(u32 v) { return static_cast<int32_t>(v) >> 9; }
// The rounding every value gets after a pass.
inline int32_t Round9(u32 v) { return static_cast<int32_t>(v + 256) >> 9; }

inline int16_t Saturate16(int32_t v) {
    return static_cast<int16_t>(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
}

// One 8-point pass. kLow: inputs 4..7 are known to be zero.
template <bool kLow>
inline void Pass(u32 x0, u32 x1, u32 x2, u32 x3, u32 x4, u32 x5, u32 x6, u32 x7, int32_t y[8]) {
    if constexpr (kLow) x4 = x5 = x6 = x7 = 0;
    u32 a = 251 * x1 + 50 * x7, b = 251 * x7 - 50 * x1;
    u32 c = 213 * x3 + 142 * x5, d = 213 * x5 - 142 * x3;
    u32 s = a + c, e = a - c, f = d + b, g = d - b;
    u32 h = e + f, i = e - f;
    u32 j = 237 * x2 + 98 * x6, k = 237 * x6 - 98 * x2;
    u32 l = 181 * (x0 + x4), m = 181 * (x0 - x4);
    u32 o = l + j, n = l - j;
    u32 p = 512 * (m + k), q = 512 * (m - k);
    y[0] = Round9(o + s);
    y[7] = Round9(o - s);
    y[3] = Round9(n + g);
    y[4] = Round9(n - g);
    y[2] = Round9(U(Shr9(p + 362 * h)));
    y[5] = Round9(U(Shr9(p - 362 * h)));
    y[1] = Round9(U(Shr9(q + 362 * i)));
    y[6] = Round9(U(Shr9(q - 362 * i)));
}

// A pass whose only non-zero input is x0 gives 181 * x0 at every output, as long
// as 512 * 181 * x0 (the odd outputs' intermediate) does not wrap.
inline int32_t DcPass(int32_t x0) { return Round9(181 * U(x0)); }
inline bool DcPassExact(int32_t x0) { return x0 >= -23170 && x0 <= 23170; }

template <bool kLow>
void Idct(const int16_t* in, int16_t* out, size_t stride, int32_t level) {
    int32_t tmp[64];
    constexpr int kCols = kLow ? 4 : 8;
    for (int c = 0; c < kCols; ++c) {
        const int16_t* col = in + c;
        bool acZero = kLow ? (col[8] | col[16] | col[24]) == 0
                           : (col[8] | col[16] | col[24] | col[32] | col[40] | col[48] | col[56]) == 0;
        if (acZero && DcPassExact(col[0])) {
            int32_t v = DcPass(col[0]);
            for (int r = 0; r < 8; ++r) tmp[r * 8 + c] = v;
            continue;
        }
        int32_t y[8];
        Pass<kLow>(U(col[0]), U(col[8]), U(col[16]), U(col[24]), U(col[32]), U(col[40]), U(col[48]),
                   U(col[56]), y);
        for (int r = 0; r < 8; ++r) tmp[r * 8 + c] = y[r];
    }
    if constexpr (kLow) {
        for (int r = 0; r < 8; ++r) tmp[r * 8 + 4] = tmp[r * 8 + 5] = tmp[r * 8 + 6] = tmp[r * 8 + 7] = 0;
    }
    for (int r = 0; r < 8; ++r) {
        const int32_t* row = tmp + r * 8;
        int16_t* o = out + static_cast<size_t>(r) * stride;
        bool acZero = kLow ? (row[1] | row[2] | row[3]) == 0
                           : (row[1] | row[2] | row[3] | row[4] | row[5] | row[6] | row[7]) == 0;
        if (acZero && DcPassExact(row[0])) {
            int16_t v = Saturate16(DcPass(row[0]) + level);
            for (int k = 0; k < 8; ++k) o[k] = v;
            continue;
        }
        int32_t y[8];
        Pass<kLow>(U(row[0]), U(row[1]), U(row[2]), U(row[3]), U(row[4]), U(row[5]), U(row[6]), U(row[7]), y);
        for (int k = 0; k < 8; ++k) o[k] = Saturate16(y[k] + level);
    }
}

}  // namespace

void InverseDct(int16_t* coef, int16_t* out, size_t stride, int precision, int lastZigZag, bool simd) {
    int32_t level = 1 << (precision - 1);
    if (lastZigZag == 0 && DcPassExact(coef[0])) {
        int16_t v = Saturate16(DcPass(DcPass(coef[0])) + level);
        coef[0] = 0;
        for (int r = 0; r < 8; ++r) {
            int16_t* o = out + static_cast<size_t>(r) * stride;
            for (int k = 0; k < 8; ++k) o[k] = v;
        }
        return;
    }
    if (simd && IdctSimd(coef, out, stride, level)) return;
    if (lastZigZag <= 9) {  // zig-zag positions 0..9 lie in the top-left 4x4
        Idct<true>(coef, out, stride, level);
    } else {
        Idct<false>(coef, out, stride, level);
    }
    std::memset(coef, 0, 64 * sizeof(int16_t));
}

void InverseDctFull(const int16_t* coef, int16_t* out, size_t stride, int precision) {
    int32_t level = 1 << (precision - 1);
    int32_t tmp[64];
    for (int c = 0; c < 8; ++c) {
        const int16_t* col = coef + c;
        int32_t y[8];
        Pass<false>(U(col[0]), U(col[8]), U(col[16]), U(col[24]), U(col[32]), U(col[40]), U(col[48]),
                    U(col[56]), y);
        for (int r = 0; r < 8; ++r) tmp[r * 8 + c] = y[r];
    }
    for (int r = 0; r < 8; ++r) {
        const int32_t* row = tmp + r * 8;
        int32_t y[8];
        Pass<false>(U(row[0]), U(row[1]), U(row[2]), U(row[3]), U(row[4]), U(row[5]), U(row[6]), U(row[7]), y);
        for (int k = 0; k < 8; ++k) out[static_cast<size_t>(r) * stride + static_cast<size_t>(k)] = Saturate16(y[k] + level);
    }
}

}  // namespace lumapix::jpeg
