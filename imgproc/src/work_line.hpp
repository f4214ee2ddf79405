// Unpack (mode -> working line) and pack (working line -> mode) for pixels
// [x, x + n) of a line. The working line holds blue, green, red as 16-bit values
// per pixel, 8-bit components shifted left by 8. Spans let the in-place line
// converters work in chunks; x is even for the paired YUV modes and a multiple
// of 8 for MONO output.
#ifndef LUMAPIX_WORK_LINE_HPP
#define LUMAPIX_WORK_LINE_HPP

#include <cstdint>
#include <cstring>

#include "lumapix/xr_image.h"
#include "pixel_math.hpp"

namespace lumapix::conv {

struct UnpackState {
    const uint8_t* palette = nullptr;  // INDEX source: 256 x (blue, green, red, 0)
    uint8_t palfmt = XR_PALFMT_BLACKISZERO;  // MONO source polarity
    uint32_t width = 0;                // whole line, for the odd-width YUV tail
    uint16_t heldCr = 0;               // Cr of the pair before x, for paired modes
};

struct PackState {
    uint8_t palfmt = XR_PALFMT_BLACKISZERO;  // MONO target polarity
};

using UnpackFn = void (*)(const uint8_t* line, uint32_t x, uint32_t n, uint16_t* work, UnpackState& s);
using PackFn = void (*)(const uint16_t* work, uint8_t* line, uint32_t x, uint32_t n, const PackState& s);

// Bits one pixel takes in a line, which decides the direction of in-place work.
constexpr uint32_t PixelBits(int32_t mode) {
    switch (mode) {
        case XR_MODE_MONO: return 1;
        case XR_MODE_GRAY: case XR_MODE_INDEX: return 8;
        case XR_MODE_YUV: case XR_MODE_GRAYW: case XR_MODE_HIGH: return 16;
        case XR_MODE_RGB: case XR_MODE_LAB: return 24;
        case XR_MODE_YUVW: return 32;
        case XR_MODE_RGBW: return 48;
        default: return 0;
    }
}

inline void Put8(uint16_t* w, int32_t b, int32_t g, int32_t r) {
    w[0] = static_cast<uint16_t>(b << 8);
    w[1] = static_cast<uint16_t>(g << 8);
    w[2] = static_cast<uint16_t>(r << 8);
}

// ---- unpack ----

inline void UnpackRgb(const uint8_t* line, uint32_t x, uint32_t n, uint16_t* w, UnpackState&) {
    const uint8_t* p = line + size_t{x} * 3;
    for (uint32_t i = 0; i < 3 * n; ++i) w[i] = static_cast<uint16_t>(p[i] << 8);
}

inline void UnpackGray(const uint8_t* line, uint32_t x, uint32_t n, uint16_t* w, UnpackState&) {
    for (uint32_t i = 0; i < n; ++i, w += 3) w[0] = w[1] = w[2] = static_cast<uint16_t>(line[x + i] << 8);
}

inline void UnpackIndex(const uint8_t* line, uint32_t x, uint32_t n, uint16_t* w, UnpackState& s) {
    for (uint32_t i = 0; i < n; ++i, w += 3) {
        const uint8_t* e = s.palette + 4 * line[x + i];
        Put8(w, e[0], e[1], e[2]);
    }
}

inline void UnpackMono(const uint8_t* line, uint32_t x, uint32_t n, uint16_t* w, UnpackState& s) {
    const uint16_t set = s.palfmt == XR_PALFMT_WHITEISZERO ? 0 : 0xFF00;
    for (uint32_t i = 0; i < n; ++i, w += 3) {
        uint32_t p = x + i;
        bool bit = line[p >> 3] >> (7 - (p & 7)) & 1;
        w[0] = w[1] = w[2] = bit ? set : static_cast<uint16_t>(0xFF00 - set);
    }
}

inline void UnpackRgbw(const uint8_t* line, uint32_t x, uint32_t n, uint16_t* w, UnpackState&) {
    std::memcpy(w, line + size_t{x} * 6, size_t{n} * 6);
}

inline void UnpackGrayw(const uint8_t* line, uint32_t x, uint32_t n, uint16_t* w, UnpackState&) {
    for (uint32_t i = 0; i < n; ++i, w += 3) w[0] = w[1] = w[2] = px::Load16(line + 2 * size_t{x + i});
}

inline void UnpackLab(const uint8_t* line, uint32_t x, uint32_t n, uint16_t* w, UnpackState&) {
    const uint8_t* p = line + size_t{x} * 3;
    for (uint32_t i = 0; i < n; ++i, p += 3, w += 3) {
        px::Rgb c = px::RgbFromLab(p[0], p[1], p[2]);
        Put8(w, c.b, c.g, c.r);
    }
}

inline void UnpackHigh(const uint8_t* line, uint32_t x, uint32_t n, uint16_t* w, UnpackState&) {
    const uint8_t* p = line + size_t{x} * 2;
    for (uint32_t i = 0; i < n; ++i, p += 2, w += 3) {
        uint32_t v = uint32_t{p[0]} << 8 | p[1];
        Put8(w, static_cast<int32_t>((v & 0x1F) << 3), static_cast<int32_t>((v >> 5 & 0x3F) << 2),
             static_cast<int32_t>((v >> 11) << 3));
    }
}

// Paired chroma: an even pixel takes Cb of its pair and Cr of the pair before
// (pair 0 its own); an odd pixel its own pair's Cb and Cr. A last odd pixel has
// no Cr of its own and keeps the held one (0 for a one-pixel line).
template <bool Wide>
void UnpackPaired(const uint8_t* line, uint32_t x, uint32_t n, uint16_t* w, UnpackState& s) {
    constexpr uint32_t kBytes = Wide ? 2 : 1;
    auto sample = [&](uint32_t index) -> uint32_t {
        const uint8_t* p = line + size_t{index} * kBytes;
        if constexpr (Wide) return px::Load16(p);
        else return *p;
    };
    if (x == 0) s.heldCr = s.width > 1 ? static_cast<uint16_t>(sample(3)) : 0;
    for (uint32_t i = 0; i < n; ++i, w += 3) {
        uint32_t p = x + i;
        uint32_t y = sample(2 * p), cb, cr;
        if ((p & 1) == 0) {
            cb = sample(2 * p + 1);
            cr = s.heldCr;
        } else {
            cb = sample(2 * p - 1);
            cr = sample(2 * p + 1);
            s.heldCr = static_cast<uint16_t>(cr);
        }
        if constexpr (Wide) {
            px::Rgb c = px::RgbFromYcc16(y, cb, cr);
            w[0] = static_cast<uint16_t>(c.b), w[1] = static_cast<uint16_t>(c.g), w[2] = static_cast<uint16_t>(c.r);
        } else {
            px::Rgb c = px::RgbFromYcc8(static_cast<int32_t>(y), static_cast<int32_t>(cb), static_cast<int32_t>(cr));
            Put8(w, c.b, c.g, c.r);
        }
    }
}

// The Cr held for a paired-mode span starting at x, read from an intact line.
inline uint16_t HeldCrBefore(int32_t mode, const uint8_t* line, uint32_t x) {
    if (x == 0) return 0;
    if (mode == XR_MODE_YUV) return line[2 * size_t{x} - 1];
    return px::Load16(line + 4 * size_t{x} - 2);
}

// ---- pack ----

inline void PackRgb(const uint16_t* w, uint8_t* line, uint32_t x, uint32_t n, const PackState&) {
    uint8_t* p = line + size_t{x} * 3;
    for (uint32_t i = 0; i < 3 * n; ++i) p[i] = static_cast<uint8_t>(w[i] >> 8);
}

inline void PackGray(const uint16_t* w, uint8_t* line, uint32_t x, uint32_t n, const PackState&) {
    for (uint32_t i = 0; i < n; ++i, w += 3)
        line[x + i] = static_cast<uint8_t>(px::Luma8(w[2] >> 8, w[1] >> 8, w[0] >> 8));
}

inline void PackRgbw(const uint16_t* w, uint8_t* line, uint32_t x, uint32_t n, const PackState&) {
    std::memcpy(line + size_t{x} * 6, w, size_t{n} * 6);
}

inline void PackGrayw(const uint16_t* w, uint8_t* line, uint32_t x, uint32_t n, const PackState&) {
    for (uint32_t i = 0; i < n; ++i, w += 3) px::Store16(line + 2 * size_t{x + i}, px::Luma16(w[2], w[1], w[0]));
}

inline void PackLab(const uint16_t* w, uint8_t* line, uint32_t x, uint32_t n, const PackState&) {
    uint8_t* p = line + size_t{x} * 3;
    for (uint32_t i = 0; i < n; ++i, p += 3, w += 3) {
        px::Lab c = px::LabFromRgb(w[2] >> 8, w[1] >> 8, w[0] >> 8);
        p[0] = c.l, p[1] = c.a, p[2] = c.b;
    }
}

inline void PackHigh(const uint16_t* w, uint8_t* line, uint32_t x, uint32_t n, const PackState&) {
    uint8_t* p = line + size_t{x} * 2;
    for (uint32_t i = 0; i < n; ++i, p += 2, w += 3) {
        uint16_t v = px::HighFromRgb(w[2] >> 8, w[1] >> 8, w[0] >> 8);
        p[0] = static_cast<uint8_t>(v >> 8);
        p[1] = static_cast<uint8_t>(v);
    }
}

template <bool Wide>
void PackPaired(const uint16_t* w, uint8_t* line, uint32_t x, uint32_t n, const PackState&) {
    for (uint32_t i = 0; i < n; ++i, w += 3) {
        uint32_t p = x + i;
        int32_t y, chroma;
        if constexpr (Wide) {
            px::Ycc c = px::YccFromRgb16(w[2], w[1], w[0]);
            y = c.y, chroma = (p & 1) ? c.cr : c.cb;
            px::Store16(line + 4 * size_t{p}, static_cast<uint16_t>(y));
            px::Store16(line + 4 * size_t{p} + 2, static_cast<uint16_t>(chroma));
        } else {
            px::Ycc c = px::YccFromRgb8(w[2] >> 8, w[1] >> 8, w[0] >> 8);
            y = c.y, chroma = (p & 1) ? c.cr : c.cb;
            line[2 * size_t{p}] = static_cast<uint8_t>(y);
            line[2 * size_t{p} + 1] = static_cast<uint8_t>(chroma);
        }
    }
}

// Fixed-threshold MONO and cube-index INDEX output, without error diffusion.
inline void PackMonoThreshold(const uint16_t* w, uint8_t* line, uint32_t x, uint32_t n, const PackState& s) {
    std::memset(line + x / 8, 0, (n + 7) / 8);
    const bool whiteIsZero = s.palfmt == XR_PALFMT_WHITEISZERO;
    for (uint32_t i = 0; i < n; ++i, w += 3) {
        int32_t y = px::Luma8(w[2] >> 8, w[1] >> 8, w[0] >> 8);
        uint32_t bit = static_cast<uint32_t>(whiteIsZero ? (255 - y) >> 7 : y >> 7);
        uint32_t p = x + i;
        line[p >> 3] = static_cast<uint8_t>(line[p >> 3] | bit << (7 - (p & 7)));
    }
}

inline void PackIndexCube(const uint16_t* w, uint8_t* line, uint32_t x, uint32_t n, const PackState&) {
    for (uint32_t i = 0; i < n; ++i, w += 3)
        line[x + i] = px::CubeIndex(static_cast<uint8_t>(w[2] >> 8), static_cast<uint8_t>(w[1] >> 8),
                                    static_cast<uint8_t>(w[0] >> 8));
}

constexpr UnpackFn UnpackFor(int32_t mode) {
    switch (mode) {
        case XR_MODE_RGB: return UnpackRgb;
        case XR_MODE_YUV: return UnpackPaired<false>;
        case XR_MODE_GRAY: return UnpackGray;
        case XR_MODE_INDEX: return UnpackIndex;
        case XR_MODE_MONO: return UnpackMono;
        case XR_MODE_RGBW: return UnpackRgbw;
        case XR_MODE_YUVW: return UnpackPaired<true>;
        case XR_MODE_GRAYW: return UnpackGrayw;
        case XR_MODE_LAB: return UnpackLab;
        case XR_MODE_HIGH: return UnpackHigh;
        default: return nullptr;
    }
}

// INDEX and MONO pack here without diffusion; the mode converter quantises them itself.
constexpr PackFn PackFor(int32_t mode) {
    switch (mode) {
        case XR_MODE_RGB: return PackRgb;
        case XR_MODE_YUV: return PackPaired<false>;
        case XR_MODE_GRAY: return PackGray;
        case XR_MODE_INDEX: return PackIndexCube;
        case XR_MODE_MONO: return PackMonoThreshold;
        case XR_MODE_RGBW: return PackRgbw;
        case XR_MODE_YUVW: return PackPaired<true>;
        case XR_MODE_GRAYW: return PackGrayw;
        case XR_MODE_LAB: return PackLab;
        case XR_MODE_HIGH: return PackHigh;
        default: return nullptr;
    }
}

}  // namespace lumapix::conv

#endif
