// Vector versions of the hot loops, and the scalar colour loop they fall back on.
#ifndef LUMAPIX_JPEG_SIMD_HPP
#define LUMAPIX_JPEG_SIMD_HPP

#include <cstddef>
#include <cstdint>

#include "jpeg_internal.hpp"

namespace lumapix::jpeg {

// Full IDCT of a natural-order block into out, zeroing the block; false (block
// untouched) when its coefficients are too large for the vector form.
bool IdctSimd(int16_t* coef, int16_t* out, size_t stride, int32_t level);
#if defined(__x86_64__) || defined(__i386__)
// The two forms IdctSimd chooses from; the AVX2 one only where HaveAvx2().
bool IdctSse2(int16_t* coef, int16_t* out, size_t stride, int32_t level);
bool IdctAvx2(int16_t* coef, int16_t* out, size_t stride, int32_t level);
bool HaveAvx2();
#endif
// Vector converters for the processor in use, or null.
McuConverter SimdYccConverter(int pattern);
McuConverter SimdGreyConverter(int32_t mode);

inline uint8_t ClampByte(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// 8-bit YCbCr to blue, green, red with chroma replicated RX x RY times.
template <int HM, int VM, int RX, int RY>
void YccToRgbScalar(const Decoder& d, uint8_t* out, size_t stride) {
    constexpr int kW = 8 * HM, kH = 8 * VM, kCw = kW / RX;
    const int16_t* y = d.samples + d.comp[0].plane;
    const int16_t* cb = d.samples + d.comp[1].plane;
    const int16_t* cr = d.samples + d.comp[2].plane;
    for (int py = 0; py < kH; ++py) {
        const int16_t* yr = y + py * kW;
        const int16_t* cbr = cb + (py / RY) * kCw;
        const int16_t* crr = cr + (py / RY) * kCw;
        uint8_t* o = out + static_cast<size_t>(py) * stride;
        for (int cx = 0; cx < kCw; ++cx) {
            int32_t u = cbr[cx] - 128, v = crr[cx] - 128;
            int32_t bo = (454 * u) >> 8, go = (-88 * u - 183 * v) >> 8, ro = (359 * v) >> 8;
            for (int k = 0; k < RX; ++k) {
                int32_t l = yr[cx * RX + k];
                o[0] = ClampByte(l + bo);
                o[1] = ClampByte(l + go);
                o[2] = ClampByte(l + ro);
                o += 3;
            }
        }
    }
}

}  // namespace lumapix::jpeg

#endif
