// x86 vector versions of the IDCT and the 8-bit YCbCr/grey converters. They
// compute exactly what the scalar code computes: the products are formed with
// pmaddwd (16 x 16 -> 32 bits, exact), sums wrap in 32 bits like the scalar
// uint32_t arithmetic, and the places where 16-bit lanes could saturate are
// guarded by range checks that send unusual blocks to the scalar code.
#include "jpeg_simd.hpp"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

namespace lumapix::jpeg {

namespace {

// Two 16-bit factors for pmaddwd: lo multiplies the first of each input pair.
inline __m128i Pair(int lo, int hi) {
    return _mm_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(lo)) |
                                               static_cast<uint32_t>(static_cast<uint16_t>(hi)) << 16));
}

inline __m128i Mul362(__m128i v) {  // 362 = 256 + 64 + 32 + 8 + 2, exact modulo 2^32
    __m128i a = _mm_add_epi32(_mm_slli_epi32(v, 8), _mm_slli_epi32(v, 6));
    __m128i b = _mm_add_epi32(_mm_slli_epi32(v, 5), _mm_slli_epi32(v, 3));
    return _mm_add_epi32(_mm_add_epi32(a, b), _mm_slli_epi32(v, 1));
}

inline __m128i Round9(__m128i v) { return _mm_srai_epi32(_mm_add_epi32(v, _mm_set1_epi32(256)), 9); }

// One pass for four lanes; each input holds (x_i, x_j) pairs as the names say.
inline void Pass4(__m128i x04, __m128i x17, __m128i x26, __m128i x35, __m128i y[8]) {
    __m128i a = _mm_madd_epi16(x17, Pair(251, 50)), b = _mm_madd_epi16(x17, Pair(-50, 251));
    __m128i c = _mm_madd_epi16(x35, Pair(213, 142)), d = _mm_madd_epi16(x35, Pair(-142, 213));
    __m128i j = _mm_madd_epi16(x26, Pair(237, 98)), k = _mm_madd_epi16(x26, Pair(-98, 237));
    __m128i l = _mm_madd_epi16(x04, Pair(181, 181)), m = _mm_madd_epi16(x04, Pair(181, -181));
    __m128i s = _mm_add_epi32(a, c), e = _mm_sub_epi32(a, c);
    __m128i f = _mm_add_epi32(d, b), g = _mm_sub_epi32(d, b);
    __m128i h = Mul362(_mm_add_epi32(e, f)), i = Mul362(_mm_sub_epi32(e, f));
    __m128i o = _mm_add_epi32(l, j), n = _mm_sub_epi32(l, j);
    __m128i p = _mm_slli_epi32(_mm_add_epi32(m, k), 9), q = _mm_slli_epi32(_mm_sub_epi32(m, k), 9);
    y[0] = Round9(_mm_add_epi32(o, s));
    y[7] = Round9(_mm_sub_epi32(o, s));
    y[3] = Round9(_mm_add_epi32(n, g));
    y[4] = Round9(_mm_sub_epi32(n, g));
    y[2] = Round9(_mm_srai_epi32(_mm_add_epi32(p, h), 9));
    y[5] = Round9(_mm_srai_epi32(_mm_sub_epi32(p, h), 9));
    y[1] = Round9(_mm_srai_epi32(_mm_add_epi32(q, i), 9));
    y[6] = Round9(_mm_srai_epi32(_mm_sub_epi32(q, i), 9));
}

// Eight lanes of 16-bit inputs x[0..7] to eight rows of int32 results (low and high four lanes).
inline void Pass8(const __m128i x[8], __m128i lo[8], __m128i hi[8]) {
    Pass4(_mm_unpacklo_epi16(x[0], x[4]), _mm_unpacklo_epi16(x[1], x[7]), _mm_unpacklo_epi16(x[2], x[6]),
          _mm_unpacklo_epi16(x[3], x[5]), lo);
    Pass4(_mm_unpackhi_epi16(x[0], x[4]), _mm_unpackhi_epi16(x[1], x[7]), _mm_unpackhi_epi16(x[2], x[6]),
          _mm_unpackhi_epi16(x[3], x[5]), hi);
}

inline void Transpose(__m128i r[8]) {
    __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]), a1 = _mm_unpackhi_epi16(r[0], r[1]);
    __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]), a3 = _mm_unpackhi_epi16(r[2], r[3]);
    __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]), a5 = _mm_unpackhi_epi16(r[4], r[5]);
    __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]), a7 = _mm_unpackhi_epi16(r[6], r[7]);
    __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
    __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
    __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
    __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
    r[0] = _mm_unpacklo_epi64(b0, b4);
    r[1] = _mm_unpackhi_epi64(b0, b4);
    r[2] = _mm_unpacklo_epi64(b1, b5);
    r[3] = _mm_unpackhi_epi64(b1, b5);
    r[4] = _mm_unpacklo_epi64(b2, b6);
    r[5] = _mm_unpackhi_epi64(b2, b6);
    r[6] = _mm_unpacklo_epi64(b3, b7);
    r[7] = _mm_unpackhi_epi64(b3, b7);
}

// Every lane of every vector within [lo, hi].
inline bool InRange(const __m128i* v, int n, int16_t lo, int16_t hi) {
    __m128i mx = v[0], mn = v[0];
    for (int i = 1; i < n; ++i) {
        mx = _mm_max_epi16(mx, v[i]);
        mn = _mm_min_epi16(mn, v[i]);
    }
    __m128i bad = _mm_or_si128(_mm_cmpgt_epi16(mx, _mm_set1_epi16(hi)), _mm_cmplt_epi16(mn, _mm_set1_epi16(lo)));
    return _mm_movemask_epi8(bad) == 0;
}

// The same pass with all eight lanes in one 256-bit register.
[[gnu::target("avx2")]] inline __m256i Pair8(int lo, int hi) {
    return _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(lo)) |
                                                  static_cast<uint32_t>(static_cast<uint16_t>(hi)) << 16));
}

[[gnu::target("avx2")]] inline __m256i Mul362(__m256i v) {
    __m256i a = _mm256_add_epi32(_mm256_slli_epi32(v, 8), _mm256_slli_epi32(v, 6));
    __m256i b = _mm256_add_epi32(_mm256_slli_epi32(v, 5), _mm256_slli_epi32(v, 3));
    return _mm256_add_epi32(_mm256_add_epi32(a, b), _mm256_slli_epi32(v, 1));
}

[[gnu::target("avx2")]] inline __m256i Round9(__m256i v) {
    return _mm256_srai_epi32(_mm256_add_epi32(v, _mm256_set1_epi32(256)), 9);
}

// (a_i, b_i) pairs for lanes 0..3 in the low half and 4..7 in the high half.
[[gnu::target("avx2")]] inline __m256i Pairs(__m128i a, __m128i b) {
    return _mm256_set_m128i(_mm_unpackhi_epi16(a, b), _mm_unpacklo_epi16(a, b));
}

[[gnu::target("avx2")]] inline void Pass8(const __m128i x[8], __m128i rows[8], __m256i level) {
    __m256i x04 = Pairs(x[0], x[4]), x17 = Pairs(x[1], x[7]), x26 = Pairs(x[2], x[6]), x35 = Pairs(x[3], x[5]);
    __m256i a = _mm256_madd_epi16(x17, Pair8(251, 50)), b = _mm256_madd_epi16(x17, Pair8(-50, 251));
    __m256i c = _mm256_madd_epi16(x35, Pair8(213, 142)), d = _mm256_madd_epi16(x35, Pair8(-142, 213));
    __m256i j = _mm256_madd_epi16(x26, Pair8(237, 98)), k = _mm256_madd_epi16(x26, Pair8(-98, 237));
    __m256i l = _mm256_madd_epi16(x04, Pair8(181, 181)), m = _mm256_madd_epi16(x04, Pair8(181, -181));
    __m256i s = _mm256_add_epi32(a, c), e = _mm256_sub_epi32(a, c);
    __m256i f = _mm256_add_epi32(d, b), g = _mm256_sub_epi32(d, b);
    __m256i h = Mul362(_mm256_add_epi32(e, f)), i = Mul362(_mm256_sub_epi32(e, f));
    __m256i o = _mm256_add_epi32(l, j), n = _mm256_sub_epi32(l, j);
    __m256i p = _mm256_slli_epi32(_mm256_add_epi32(m, k), 9), q = _mm256_slli_epi32(_mm256_sub_epi32(m, k), 9);
    __m256i y[8];
    y[0] = Round9(_mm256_add_epi32(o, s));
    y[7] = Round9(_mm256_sub_epi32(o, s));
    y[3] = Round9(_mm256_add_epi32(n, g));
    y[4] = Round9(_mm256_sub_epi32(n, g));
    y[2] = Round9(_mm256_srai_epi32(_mm256_add_epi32(p, h), 9));
    y[5] = Round9(_mm256_srai_epi32(_mm256_sub_epi32(p, h), 9));
    y[1] = Round9(_mm256_srai_epi32(_mm256_add_epi32(q, i), 9));
    y[6] = Round9(_mm256_srai_epi32(_mm256_sub_epi32(q, i), 9));
    for (int r = 0; r < 8; ++r) {
        __m256i v = _mm256_add_epi32(y[r], level);
        rows[r] = _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    }
}

}  // namespace

bool IdctSse2(int16_t* coef, int16_t* out, size_t stride, int32_t level) {
    __m128i x[8];
    for (int r = 0; r < 8; ++r) x[r] = _mm_load_si128(reinterpret_cast<const __m128i*>(coef + 8 * r));
    // Coefficients within +-12000 keep every first-pass result (at most 1353/512 of
    // the largest input) inside 16 bits, which the second pass's pmaddwd needs.
    if (!InRange(x, 8, -12000, 12000)) return false;
    __m128i zero = _mm_setzero_si128();
    for (int r = 0; r < 8; ++r) _mm_store_si128(reinterpret_cast<__m128i*>(coef + 8 * r), zero);

    __m128i lo[8], hi[8];
    Pass8(x, lo, hi);  // columns: lane c holds column c
    for (int r = 0; r < 8; ++r) x[r] = _mm_packs_epi32(lo[r], hi[r]);
    Transpose(x);
    Pass8(x, lo, hi);  // rows: lane r holds row r
    __m128i shift = _mm_set1_epi32(level);
    for (int c = 0; c < 8; ++c) x[c] = _mm_packs_epi32(_mm_add_epi32(lo[c], shift), _mm_add_epi32(hi[c], shift));
    Transpose(x);
    for (int r = 0; r < 8; ++r) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + static_cast<size_t>(r) * stride), x[r]);
    return true;
}

[[gnu::target("avx2")]] bool IdctAvx2(int16_t* coef, int16_t* out, size_t stride, int32_t level) {
    __m128i x[8];
    for (int r = 0; r < 8; ++r) x[r] = _mm_load_si128(reinterpret_cast<const __m128i*>(coef + 8 * r));
    if (!InRange(x, 8, -12000, 12000)) return false;
    __m128i zero = _mm_setzero_si128();
    for (int r = 0; r < 8; ++r) _mm_store_si128(reinterpret_cast<__m128i*>(coef + 8 * r), zero);
    Pass8(x, x, _mm256_setzero_si256());
    Transpose(x);
    Pass8(x, x, _mm256_set1_epi32(level));
    Transpose(x);
    for (int r = 0; r < 8; ++r) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + static_cast<size_t>(r) * stride), x[r]);
    return true;
}

bool HaveAvx2() {
    static const bool have = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return have;
}

bool IdctSimd(int16_t* coef, int16_t* out, size_t stride, int32_t level) {
    static const auto idct = HaveAvx2() ? IdctAvx2 : IdctSse2;
    return idct(coef, out, stride, level);
}

namespace {

// pshufb masks that interleave 16 blue, green and red bytes into 48 bytes.
struct Interleave {
    alignas(16) uint8_t m[3][3][16];  // [output vector][source b, g, r][byte]
    constexpr Interleave() : m() {
        for (int o = 0; o < 3; ++o)
            for (int s = 0; s < 3; ++s)
                for (int i = 0; i < 16; ++i) {
                    int at = 16 * o + i;
                    m[o][s][i] = static_cast<uint8_t>(at % 3 == s ? at / 3 : 0x80);
                }
    }
};
constexpr Interleave kInterleave;

[[gnu::target("ssse3")]] inline void StoreBgr(uint8_t* o, __m128i b, __m128i g, __m128i r, bool half) {
    const __m128i* m = reinterpret_cast<const __m128i*>(kInterleave.m);
    __m128i v0 = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b, m[0]), _mm_shuffle_epi8(g, m[1])), _mm_shuffle_epi8(r, m[2]));
    __m128i v1 = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b, m[3]), _mm_shuffle_epi8(g, m[4])), _mm_shuffle_epi8(r, m[5]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), v0);
    if (half) {  // eight pixels: 24 bytes
        _mm_storel_epi64(reinterpret_cast<__m128i*>(o + 16), v1);
        return;
    }
    __m128i v2 = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b, m[6]), _mm_shuffle_epi8(g, m[7])), _mm_shuffle_epi8(r, m[8]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16), v1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 32), v2);
}

// Offsets (454u) >> 8, (-88u - 183v) >> 8, (359v) >> 8 for eight chroma pairs.
inline void ChromaOffsets(__m128i cb, __m128i cr, __m128i& bo, __m128i& go, __m128i& ro) {
    __m128i half = _mm_set1_epi16(128);
    __m128i u = _mm_sub_epi16(cb, half), v = _mm_sub_epi16(cr, half);
    __m128i lo = _mm_unpacklo_epi16(u, v), hi = _mm_unpackhi_epi16(u, v);
    auto term = [&](__m128i factors) {
        return _mm_packs_epi32(_mm_srai_epi32(_mm_madd_epi16(lo, factors), 8),
                               _mm_srai_epi32(_mm_madd_epi16(hi, factors), 8));
    };
    bo = term(Pair(454, 0));
    go = term(Pair(-88, -183));
    ro = term(Pair(0, 359));
}

// Each 16-bit lane repeated n times: lanes [0, 8 / n) of v into one vector.
template <int N>
inline __m128i Spread(__m128i v, int part) {
    if constexpr (N == 1) {
        return v;
    } else if constexpr (N == 2) {
        return part ? _mm_unpackhi_epi16(v, v) : _mm_unpacklo_epi16(v, v);
    } else {
        __m128i two = part >= 2 ? _mm_unpackhi_epi16(v, v) : _mm_unpacklo_epi16(v, v);
        return part & 1 ? _mm_unpackhi_epi32(two, two) : _mm_unpacklo_epi32(two, two);
    }
}

// False, with nothing written, when a sample lies outside +-4096: beyond that
// the 16-bit offsets and sums could saturate.
template <int HM, int VM, int RX, int RY>
[[gnu::target("ssse3")]] bool YccToRgbSsse3Body(const Decoder& d, uint8_t* out, size_t stride) {
    constexpr int kW = 8 * HM, kH = 8 * VM, kCw = kW / RX, kCh = kH / RY;
    const int16_t* y = d.samples + d.comp[0].plane;
    const int16_t* cb = d.samples + d.comp[1].plane;
    const int16_t* cr = d.samples + d.comp[2].plane;
    const auto* all = reinterpret_cast<const __m128i*>(d.samples);
    if (!InRange(all, static_cast<int>(d.blocksPerMcu) * 8, -4096, 4095)) return false;
    for (int cy = 0; cy < kCh; ++cy) {
        for (int cx = 0; cx < kCw; cx += 8) {
            __m128i bo, go, ro;
            ChromaOffsets(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cb + cy * kCw + cx)),
                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(cr + cy * kCw + cx)), bo, go, ro);
            // Eight chroma samples cover 8 * RX pixels of each of RY rows.
            for (int ry = 0; ry < RY; ++ry) {
                int py = cy * RY + ry;
                const int16_t* yr = y + py * kW + cx * RX;
                uint8_t* o = out + static_cast<size_t>(py) * stride + static_cast<size_t>(cx * RX) * 3;
                for (int part = 0; part < RX; part += 2) {
                    // 16 pixels (8 when RX is 1 and the row is 8 wide).
                    __m128i y0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(yr + 8 * part));
                    __m128i b0 = _mm_adds_epi16(y0, Spread<RX>(bo, part)), g0 = _mm_adds_epi16(y0, Spread<RX>(go, part));
                    __m128i r0 = _mm_adds_epi16(y0, Spread<RX>(ro, part));
                    if constexpr (RX == 1) {
                        __m128i z = _mm_setzero_si128();
                        StoreBgr(o, _mm_packus_epi16(b0, z), _mm_packus_epi16(g0, z), _mm_packus_epi16(r0, z), true);
                    } else {
                        __m128i y1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(yr + 8 * part + 8));
                        __m128i b1 = _mm_adds_epi16(y1, Spread<RX>(bo, part + 1)), g1 = _mm_adds_epi16(y1, Spread<RX>(go, part + 1));
                        __m128i r1 = _mm_adds_epi16(y1, Spread<RX>(ro, part + 1));
                        StoreBgr(o + 48 * (part / 2), _mm_packus_epi16(b0, b1), _mm_packus_epi16(g0, g1),
                                 _mm_packus_epi16(r0, r1), false);
                    }
                }
            }
        }
    }
    return true;
}

// The scalar loop is reached through the handle rather than called directly:
// GCC 12.2 at -O3 drops a direct call to YccToRgbScalar<4, 1, 2, 1> here as if it
// wrote nothing (an interprocedural analysis fault; clang and -O2 keep it).
template <int HM, int VM, int RX, int RY>
void YccToRgbSsse3(const Decoder& d, uint8_t* out, size_t stride) {
    if (!YccToRgbSsse3Body<HM, VM, RX, RY>(d, out, stride)) d.scalarConvert(d, out, stride);
}

// Grey needs no guard: packus clamps any 16-bit sample to 0..255.
void GreyToGraySse2(const Decoder& d, uint8_t* out, size_t stride) {
    const auto* s = reinterpret_cast<const __m128i*>(d.samples);
    for (int py = 0; py < 8; ++py)
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + static_cast<size_t>(py) * stride),
                         _mm_packus_epi16(_mm_load_si128(s + py), _mm_setzero_si128()));
}

[[gnu::target("ssse3")]] void GreyToRgbSsse3(const Decoder& d, uint8_t* out, size_t stride) {
    const auto* s = reinterpret_cast<const __m128i*>(d.samples);
    for (int py = 0; py < 8; ++py) {
        __m128i g = _mm_packus_epi16(_mm_load_si128(s + py), _mm_setzero_si128());
        StoreBgr(out + static_cast<size_t>(py) * stride, g, g, g, true);
    }
}

bool HaveSsse3() {
    static const bool have = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("ssse3") != 0;
    }();
    return have;
}

}  // namespace

McuConverter SimdYccConverter(int pattern) {
    if (!HaveSsse3()) return nullptr;
    static constexpr McuConverter kTable[8] = {YccToRgbSsse3<1, 1, 1, 1>, YccToRgbSsse3<2, 1, 2, 1>,
                                               YccToRgbSsse3<1, 2, 1, 2>, YccToRgbSsse3<2, 2, 2, 2>,
                                               YccToRgbSsse3<2, 2, 2, 1>, YccToRgbSsse3<2, 2, 1, 2>,
                                               YccToRgbSsse3<4, 1, 4, 1>, YccToRgbSsse3<4, 1, 2, 1>};
    return pattern >= 0 && pattern < 8 ? kTable[pattern] : nullptr;
}

McuConverter SimdGreyConverter(int32_t mode) {
    if (mode == XR_MODE_GRAY) return GreyToGraySse2;
    if (mode == XR_MODE_RGB && HaveSsse3()) return GreyToRgbSsse3;
    return nullptr;
}

}  // namespace lumapix::jpeg

#else

namespace lumapix::jpeg {

bool IdctSimd(int16_t*, int16_t*, size_t, int32_t) { return false; }
McuConverter SimdYccConverter(int) { return nullptr; }
McuConverter SimdGreyConverter(int32_t) { return nullptr; }

}  // namespace lumapix::jpeg

#endif
