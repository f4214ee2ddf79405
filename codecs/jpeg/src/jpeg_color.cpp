// MCU colour converters: per-component sample planes to output pixels in the
// work buffer. Chroma is upsampled by replication. The common 8-bit YCbCr and
// grey cases have dedicated loops; everything else goes through one generic
// loop over per-component sample maps.
#include <cstring>

#include "jpeg_internal.hpp"
#include "jpeg_simd.hpp"
#include "lumapix/pixel_formulas.h"

namespace lumapix::jpeg {

namespace {

inline uint8_t Clamp8(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }
inline uint16_t Clamp16(int64_t v) { return static_cast<uint16_t>(v < 0 ? 0 : v > 65535 ? 65535 : v); }
inline void Store16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
// round(x / 255) for 0 <= x <= 255 * 255.
inline uint8_t Div255(int32_t x) { return static_cast<uint8_t>((x + 128 + ((x + 128) >> 8)) >> 8); }

// 12-bit sample to a 16-bit word.
inline uint16_t Wide(int32_t v) { return Clamp16(int64_t{v} * 16); }

// The YCbCr sampling patterns with converters, as H x V of Y, Cb and Cr.
struct Pattern {
    uint8_t hy, vy, hc, vc;
};
constexpr Pattern kPatterns[8] = {{1, 1, 1, 1}, {2, 1, 1, 1}, {1, 2, 1, 1}, {2, 2, 1, 1},
                                  {2, 2, 1, 2}, {2, 2, 2, 1}, {4, 1, 1, 1}, {4, 1, 2, 1}};

int FindPattern(const Decoder& d) {
    if (d.nf != 3) return -1;
    const Component* c = d.comp;
    if (c[1].h != c[2].h || c[1].v != c[2].v) return -1;
    for (int i = 0; i < 8; ++i) {
        const Pattern& p = kPatterns[i];
        if (c[0].h == p.hy && c[0].v == p.vy && c[1].h == p.hc && c[1].v == p.vc) return i;
    }
    return -1;
}

constexpr McuConverter kYccScalar[8] = {YccToRgbScalar<1, 1, 1, 1>, YccToRgbScalar<2, 1, 2, 1>,
                                        YccToRgbScalar<1, 2, 1, 2>, YccToRgbScalar<2, 2, 2, 2>,
                                        YccToRgbScalar<2, 2, 2, 1>, YccToRgbScalar<2, 2, 1, 2>,
                                        YccToRgbScalar<4, 1, 4, 1>, YccToRgbScalar<4, 1, 2, 1>};

void GreyToGray(const Decoder& d, uint8_t* out, size_t stride) {
    const int16_t* s = d.samples;
    for (int py = 0; py < 8; ++py, s += 8) {
        uint8_t* o = out + static_cast<size_t>(py) * stride;
        for (int x = 0; x < 8; ++x) o[x] = Clamp8(s[x]);
    }
}

void GreyToRgb(const Decoder& d, uint8_t* out, size_t stride) {
    const int16_t* s = d.samples;
    for (int py = 0; py < 8; ++py, s += 8) {
        uint8_t* o = out + static_cast<size_t>(py) * stride;
        for (int x = 0; x < 8; ++x, o += 3) o[0] = o[1] = o[2] = Clamp8(s[x]);
    }
}

// Generic loop: Pixel::Put(samples, x, out) writes one output pixel.
template <class Pixel>
void Generic(const Decoder& d, uint8_t* out, size_t stride) {
    int w = 8 * d.hmax, h = 8 * d.vmax;
    int n = d.nf;
    for (int py = 0; py < h; ++py) {
        const int16_t* rows[4];
        for (int c = 0; c < n; ++c) rows[c] = d.samples + d.comp[c].plane + d.ymap[c][py];
        uint8_t* o = out + static_cast<size_t>(py) * stride;
        for (int px = 0; px < w; ++px, o += Pixel::kBytes) {
            int32_t s[4] = {0, 0, 0, 0};
            for (int c = 0; c < n; ++c) s[c] = rows[c][d.xmap[c][px]];
            Pixel::Put(d, s, px, o);
        }
    }
}

struct GreyYuv {
    static constexpr int kBytes = 2;
    static void Put(const Decoder&, const int32_t* s, int, uint8_t* o) {
        o[0] = Clamp8(s[0]);
        o[1] = 128;
    }
};
// Cb on even pixels, Cr on odd ones, each taken at that pixel.
struct YccYuv {
    static constexpr int kBytes = 2;
    static void Put(const Decoder&, const int32_t* s, int x, uint8_t* o) {
        o[0] = Clamp8(s[0]);
        o[1] = Clamp8(s[1 + (x & 1)]);
    }
};
struct LabLab {
    static constexpr int kBytes = 3;
    static void Put(const Decoder&, const int32_t* s, int, uint8_t* o) {
        o[0] = Clamp8(s[0]);
        o[1] = Clamp8(s[1]);
        o[2] = Clamp8(s[2]);
    }
};
struct LabRgb {
    static constexpr int kBytes = 3;
    static void Put(const Decoder&, const int32_t* s, int, uint8_t* o) {
        const uint8_t lab[3] = {Clamp8(s[0]), Clamp8(s[1]), Clamp8(s[2])};
        RgbFromLab(lab, o);
    }
};
struct CmykRgb {
    static constexpr int kBytes = 3;
    static void Put(const Decoder& d, const int32_t* s, int, uint8_t* o) {
        CmykToBgr(s[0], s[1], s[2], s[3], d.adobe != 0, o);
    }
};
// Adobe's YCCK: YCbCr gives the complement of CMY in Adobe's inverted form, K
// is stored inverted as in its CMYK files.
struct YcckRgb {
    static constexpr int kBytes = 3;
    static void Put(const Decoder&, const int32_t* s, int, uint8_t* o) {
        uint8_t rgb[3];
        YccToBgr8(s[0], s[1], s[2], rgb);
        CmykToBgr(255 - rgb[2], 255 - rgb[1], 255 - rgb[0], s[3], true, o);
    }
};
struct YccRgbw {
    static constexpr int kBytes = 6;
    static void Put(const Decoder&, const int32_t* s, int, uint8_t* o) {
        double y = s[0], cb = s[1] - 2048.0, cr = s[2] - 2048.0;
        double b = (4096.0 * y + 7257.2928 * cb) / 4096.0;
        double g = (4096.0 * y - 1409.4336 * cb - 2924.1344 * cr) / 4096.0;
        double r = (4096.0 * y + 5742.592 * cr) / 4096.0;
        Store16(o, Clamp16(static_cast<int64_t>(b) * 16));
        Store16(o + 2, Clamp16(static_cast<int64_t>(g) * 16));
        Store16(o + 4, Clamp16(static_cast<int64_t>(r) * 16));
    }
};
struct YccYuvw {
    static constexpr int kBytes = 4;
    static void Put(const Decoder&, const int32_t* s, int x, uint8_t* o) {
        Store16(o, Wide(s[0]));
        Store16(o + 2, Wide(s[1 + (x & 1)]));
    }
};
struct GreyGrayw {
    static constexpr int kBytes = 2;
    static void Put(const Decoder&, const int32_t* s, int, uint8_t* o) { Store16(o, Wide(s[0])); }
};

struct Choice {
    McuConverter convert;
    uint32_t bytes;
    McuConverter scalar = nullptr;  // the vector converter's fallback
};

// The converter for an output mode, or a null one when the combination has none.
Choice Choose(const Decoder& d, int32_t mode) {
    int pattern = FindPattern(d);
    uint8_t cls = d.colourClass;
    if (d.precision == 8) {
        switch (mode) {
            case XR_MODE_RGB:
                if (cls == kYcc) {
                    if (pattern < 0) return {nullptr, 3};
                    McuConverter simd = d.allowSimd ? SimdYccConverter(pattern) : nullptr;
                    return {simd ? simd : kYccScalar[pattern], 3, kYccScalar[pattern]};
                }
                if (cls == kGrey) {
                    McuConverter simd = d.allowSimd ? SimdGreyConverter(XR_MODE_RGB) : nullptr;
                    return {simd ? simd : GreyToRgb, 3};
                }
                if (cls == kLab) return {Generic<LabRgb>, 3};
                if (cls == kCmyk) return {Generic<CmykRgb>, 3};
                return {Generic<YcckRgb>, 3};
            case XR_MODE_YUV:
                if (cls == kYcc) return {pattern >= 0 ? Generic<YccYuv> : nullptr, 2};
                if (cls == kGrey) return {Generic<GreyYuv>, 2};
                return {nullptr, 0};
            case XR_MODE_GRAY: {
                if (cls != kGrey) return {nullptr, 1};
                McuConverter simd = d.allowSimd ? SimdGreyConverter(XR_MODE_GRAY) : nullptr;
                return {simd ? simd : GreyToGray, 1};
            }
            case XR_MODE_LAB: return {cls == kLab ? Generic<LabLab> : nullptr, 3};
            default: return {nullptr, 0};
        }
    }
    switch (mode) {
        case XR_MODE_RGBW: return {cls == kYcc && (pattern == 0 || pattern == 1) ? Generic<YccRgbw> : nullptr, 6};
        case XR_MODE_YUVW: return {cls == kYcc && pattern == 1 ? Generic<YccYuvw> : nullptr, 4};
        case XR_MODE_GRAYW: return {cls == kGrey ? Generic<GreyGrayw> : nullptr, 2};
        default: return {nullptr, 0};
    }
}

}  // namespace

void YccToBgr8(int32_t y, int32_t cb, int32_t cr, uint8_t out[3]) {
    int32_t u = cb - 128, v = cr - 128;
    out[0] = Clamp8(y + ((454 * u) >> 8));
    out[1] = Clamp8(y + ((-88 * u - 183 * v) >> 8));
    out[2] = Clamp8(y + ((359 * v) >> 8));
}

void CmykToBgr(int32_t c, int32_t m, int32_t y, int32_t k, bool inverted, uint8_t out[3]) {
    int32_t cc = Clamp8(c), mm = Clamp8(m), yy = Clamp8(y), kk = Clamp8(k);
    if (!inverted) cc = 255 - cc, mm = 255 - mm, yy = 255 - yy, kk = 255 - kk;
    out[0] = Div255(yy * kk);
    out[1] = Div255(mm * kk);
    out[2] = Div255(cc * kk);
}

void SetupSampleMaps(Decoder& d) {
    uint16_t plane = 0;
    for (int c = 0; c < d.nf; ++c) {
        Component& k = d.comp[c];
        k.plane = plane;
        plane = static_cast<uint16_t>(plane + k.h * k.v * 64);
        uint32_t stride = 8u * k.h;
        for (uint32_t x = 0; x < 32; ++x) d.xmap[c][x] = static_cast<uint8_t>(x < 8u * d.hmax ? x * k.h / d.hmax : 0);
        for (uint32_t y = 0; y < 16; ++y)
            d.ymap[c][y] = static_cast<uint16_t>(y < 8u * d.vmax ? (y * k.v / d.vmax) * stride : 0);
    }
}

CodecStatus SelectConverter(Decoder& d, int32_t mode) {
    switch (mode) {
        case XR_MODE_RGB: case XR_MODE_YUV: case XR_MODE_GRAY: case XR_MODE_RGBW:
        case XR_MODE_YUVW: case XR_MODE_GRAYW: case XR_MODE_LAB: break;
        default: return XR_ERR_MISMATCH;
    }
    bool greyMode = mode == XR_MODE_GRAY || mode == XR_MODE_GRAYW;
    if (greyMode && d.colourClass != kGrey) return XR_ERR_MISMATCH;
    Choice choice = Choose(d, mode);
    if (!choice.convert) return XR_ERR_UNSUPPORTED;
    d.convert = choice.convert;
    d.scalarConvert = choice.scalar;
    d.outMode = mode;
    d.outBytes = choice.bytes;
    return XR_OK;
}

}  // namespace lumapix::jpeg
