// Inline colour formulas for the hot loops; pixel_formulas.cpp wraps them for C.
// Right shifts of negative values are arithmetic (floor), as C++20 defines them.
#ifndef LUMAPIX_PIXEL_MATH_HPP
#define LUMAPIX_PIXEL_MATH_HPP

#include <bit>
#include <cstdint>
#include <cstring>

#include "lumapix/pixel_formulas.h"
#include "pixel_tables.hpp"

namespace lumapix::px {

static_assert(std::endian::native == std::endian::little, "16-bit modes store host words");

constexpr uint8_t Clamp8(int64_t v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }
constexpr uint16_t Clamp16(int64_t v) { return static_cast<uint16_t>(v < 0 ? 0 : v > 65535 ? 65535 : v); }

inline uint16_t Load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void Store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }

struct Ycc {
    int32_t y, cb, cr;
};

constexpr int32_t Luma8(int32_t r, int32_t g, int32_t b) { return (77 * r + 150 * g + 29 * b) >> 8; }

constexpr Ycc YccFromRgb8(int32_t r, int32_t g, int32_t b) {
    return {Luma8(r, g, b), ((-43 * r - 85 * g + 128 * b) >> 8) + 128, ((128 * r - 107 * g - 21 * b) >> 8) + 128};
}

struct Rgb {
    int32_t r, g, b;
};

constexpr Rgb RgbFromYcc8(int32_t y, int32_t cb, int32_t cr) {
    int32_t u = cb - 128, v = cr - 128;
    return {Clamp8((256 * y + 359 * v) >> 8), Clamp8((256 * y - 88 * u - 183 * v) >> 8),
            Clamp8((256 * y + 454 * u) >> 8)};
}

// Truncation toward zero, then clamping, as the 16-bit modes define it.
constexpr uint16_t Trunc16(double v) { return Clamp16(static_cast<int64_t>(v)); }

constexpr uint16_t Luma16(double r, double g, double b) {
    return Trunc16((19595.264 * r + 38469.632 * g + 7471.104 * b) / 65536.0);
}

constexpr Ycc YccFromRgb16(double r, double g, double b) {
    return {Luma16(r, g, b), Trunc16((-11055.9232 * r - 21712.0768 * g + 32768.0 * b) / 65536.0 + 32768.0),
            Trunc16((32768.0 * r - 27439.9232 * g - 5328.0768 * b) / 65536.0 + 32768.0)};
}

constexpr Rgb RgbFromYcc16(double y, double cb, double cr) {
    double u = cb - 32768.0, v = cr - 32768.0;
    return {Trunc16((65536.0 * y + 91881.472 * v) / 65536.0),
            Trunc16((65536.0 * y - 22550.9376 * u - 46786.1504 * v) / 65536.0),
            Trunc16((65536.0 * y + 116116.6848 * u) / 65536.0)};
}

// CIE L*a*b* with integer arithmetic; ÷ is C++ division (toward zero).
inline int64_t LabF(int64_t t) {
    if (t <= 290) return ((t * 255164) >> 15) + 4520;
    if (t > 32768) t = 32768;
    return int64_t{kTables.cubeRoot[t / 32]} << 5;
}

struct Lab {
    uint8_t l, a, b;
};

inline Lab LabFromRgb(int64_t R, int64_t G, int64_t B) {
    int64_t r = R * 32768 / 255, g = G * 32768 / 255, b = B * 32768 / 255;
    auto q = [](int64_t x) { return (x >> 15) << 15; };
    int64_t X = (q(14290 * r) + q(12619 * g) + q(4689 * b)) / 31596;
    int64_t Y = (7291 * r >> 15) + (23491 * g >> 15) + (1986 * b >> 15);
    int64_t Z = (q(455 * r) + q(3182 * g) + q(23400 * b)) / 27040;
    int64_t fx = LabF(X), fy = LabF(Y), fz = LabF(Z);
    int64_t L = ((29580 * fy - 133693440) / 100 + 16384) >> 15;
    int64_t a = ((fx - fy) * 127500 / 170 + 4210688) >> 15;
    int64_t bb = ((fy - fz) * 51000 / 200 + 3162112) >> 15;
    return {Clamp8(L), Clamp8(a), Clamp8(bb)};
}

inline int64_t LabCube(int64_t f) {
    int64_t cube = ((f * f >> 14) * f) >> 14;
    return cube <= 145 ? (f - 2260) * 16384 / 127582 : cube;
}

inline Rgb RgbFromLab(int64_t L, int64_t a, int64_t b) {
    int64_t fy = (L * 25 * 65536 / 255 + 262144) / 116;
    int64_t fx = fy + ((a - 128) * 85 * 32768 / 255) / 500;
    int64_t fz = fy + ((96 - b) * 25 * 131072 / 255) / 200;
    int64_t X = LabCube(fx) * 15798 >> 14, Y = LabCube(fy), Z = LabCube(fz) * 13520 >> 14;
    int64_t r = (X * 51341 >> 14) + (Y * -26489 >> 14) + (Z * -8039 >> 14);
    int64_t g = (X * -16033 >> 14) + (Y * 31393 >> 14) + (Z * 549 >> 14);
    int64_t bl = (X * 1181 >> 14) + (Y * -3752 >> 14) + (Z * 23025 >> 14);
    auto byte = [](int64_t v) { return Clamp8((v * 255 + 8192) >> 14); };
    return {byte(r), byte(g), byte(bl)};
}

constexpr uint16_t HighFromRgb(int32_t r, int32_t g, int32_t b) {
    return static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
}

constexpr uint8_t CubeIndex(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint8_t>(36 * kTables.cubeLevel[r] + 6 * kTables.cubeLevel[g] + kTables.cubeLevel[b]);
}

}  // namespace lumapix::px

#endif
