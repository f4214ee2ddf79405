// The bicubic kernel: cubic convolution in integers, tabulated at 16 phases.
#ifndef LUMAPIX_RESAMPLER_KERNEL_HPP
#define LUMAPIX_RESAMPLER_KERNEL_HPP

#include <cstdint>

#include "resampler_state.hpp"

namespace lumapix::res {

// The kernel's free parameter a in Q8 (-1.0 at sharpness 0, 0 at -128, about -2 at 127).
constexpr int32_t CubicParameter(int32_t sharpness) { return -2 * sharpness - 256; }

// Weight in Q16 at distance d in Q8 (|d| < 512 is inside the kernel). The outer
// piece a|x|^3 - 5a|x|^2 + 8a|x| - 4a has its coefficients 8a and 5a written out
// rather than as shifts of a, which is negative.
constexpr int32_t CubicWeight(int32_t a, int32_t d) {
    const int32_t t = d < 0 ? -d : d;
    if (t >= 512) return 0;
    const int32_t t2 = t * t >> 8;
    const int32_t t3 = t * t * t >> 16;
    if (t < 256) return (a + 512) * t3 - (a + 768) * t2 + 65536;
    return 8 * a * t - 5 * a * t2 + (t3 - 1024) * a;
}

// Four taps per phase for columns (or rows) x0 - 1 .. x0 + 2 at fraction phase / 16.
// A reduction stretches the distances by its factor, so the kernel widens to
// low-pass the source (still four taps); each phase is scaled to sum to exactly
// 256, the rounding left over going to the first tap.
constexpr void BuildKernel(int16_t (&kernel)[kPhases][kTaps], uint32_t step, int32_t sharpness) {
    const int32_t a = CubicParameter(sharpness);
    const int32_t widen = step < static_cast<uint32_t>(kOne) ? 256 : static_cast<int32_t>(0x1000000u / step);
    for (int32_t p = 0; p < kPhases; ++p) {
        int32_t distance[kTaps] = {256 + 16 * p, 16 * p, 256 - 16 * p, 512 - 16 * p};
        int32_t weight[kTaps] = {};
        int32_t scale = 0;
        for (int i = 0; i < kTaps; ++i) {
            if (step >= static_cast<uint32_t>(kOne)) distance[i] = distance[i] * widen >> 8;
            weight[i] = CubicWeight(a, distance[i]);
            scale += weight[i] >> 8;
        }
        // A cubic convolution kernel sums to about one at every phase; the guard only keeps
        // the division defined.
        if (scale == 0) scale = 256;
        int32_t sum = 0;
        for (int i = 0; i < kTaps; ++i) {
            kernel[p][i] = static_cast<int16_t>(weight[i] / scale);
            sum += kernel[p][i];
        }
        kernel[p][0] = static_cast<int16_t>(kernel[p][0] + 256 - sum);
    }
}

}  // namespace lumapix::res

#endif
