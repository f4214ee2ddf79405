// MCU converters: record pixels to level-shifted sample blocks, one function
// per input mode, colour space, sampling and precision.
#include "jpeg_enc_internal.hpp"
#include "lumapix/pixel_formulas.h"

namespace lumapix::jpeg {
namespace {

// Pixel readers: three values (blue, green, red or L, a, b) at the frame's precision.
struct Bgr8 {
    static constexpr int kBytes = 3;
    static void Get(const uint8_t* p, int32_t v[3]) { v[0] = p[0], v[1] = p[1], v[2] = p[2]; }
};
struct Bgr8As12 {
    static constexpr int kBytes = 3;
    static void Get(const uint8_t* p, int32_t v[3]) { v[0] = p[0] << 4, v[1] = p[1] << 4, v[2] = p[2] << 4; }
};
// 16-bit little-endian words narrowed to the frame's precision.
template <int Shift>
struct Bgrw {
    static constexpr int kBytes = 6;
    static void Get(const uint8_t* p, int32_t v[3]) {
        for (int i = 0; i < 3; ++i) v[i] = (p[2 * i] | p[2 * i + 1] << 8) >> Shift;
    }
};

// Colour models: the luminance sample of one pixel and the two chrominance
// samples of an averaged one, all centred on zero.
struct Ycc8 {
    static int32_t Luma(const int32_t* v) { return (77 * v[2] + 150 * v[1] + 29 * v[0] - 32768) >> 8; }
    static void Chroma(const int32_t* v, int32_t& cb, int32_t& cr) {
        cb = (128 * v[0] - 85 * v[1] - 43 * v[2]) >> 8;
        cr = (128 * v[2] - 107 * v[1] - 21 * v[0]) >> 8;
    }
};
inline int32_t Clamp12(int32_t v) { return v < -2048 ? -2048 : v > 2047 ? 2047 : v; }
struct Ycc12 {
    static int32_t Luma(const int32_t* v) { return Clamp12(((1224 * v[2] + 2404 * v[1] + 466 * v[0]) >> 12) - 2048); }
    static void Chroma(const int32_t* v, int32_t& cb, int32_t& cr) {
        cb = Clamp12((2048 * v[0] - 1357 * v[1] - 690 * v[2]) >> 12);
        cr = Clamp12((2048 * v[2] - 1714 * v[1] - 333 * v[0]) >> 12);
    }
};
// L*a*b* with the mode converter's formula (8-bit only).
struct LabFromBgr {
    static int32_t Luma(const int32_t* v) {
        uint8_t lab[3];
        Convert(v, lab);
        return lab[0] - 128;
    }
    static void Chroma(const int32_t* v, int32_t& a, int32_t& b) {
        uint8_t lab[3];
        Convert(v, lab);
        a = lab[1] - 128;
        b = lab[2] - 128;
    }
    static void Convert(const int32_t* v, uint8_t lab[3]) {
        const uint8_t bgr[3] = {static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[1]), static_cast<uint8_t>(v[2])};
        LabFromRgb(bgr, lab);
    }
};
// Records that already hold L, a, b (or Y, Cb, Cr) bytes.
struct Direct {
    static int32_t Luma(const int32_t* v) { return v[0] - 128; }
    static void Chroma(const int32_t* v, int32_t& c1, int32_t& c2) { c1 = v[1] - 128, c2 = v[2] - 128; }
};

// Three components, luminance H x V, chrominance averaged over each H x V square.
template <class Px, class Colour, int H, int V>
void ThreeComponents(const Encoder&, const uint8_t* const* rows, int32_t (*blocks)[64]) {
    int32_t v[3];
    for (int y = 0; y < 8 * V; ++y) {
        const uint8_t* row = rows[y];
        int32_t* line = blocks[(y >> 3) * H] + (y & 7) * 8;
        for (int x = 0; x < 8 * H; ++x) {
            Px::Get(row + x * Px::kBytes, v);
            line[(x >> 3) * 64 + (x & 7)] = Colour::Luma(v);
        }
    }
    constexpr int kShift = (H == 2) + (V == 2);
    for (int cy = 0; cy < 8; ++cy) {
        for (int cx = 0; cx < 8; ++cx) {
            int32_t sum[3] = {0, 0, 0};
            for (int dy = 0; dy < V; ++dy)
                for (int dx = 0; dx < H; ++dx) {
                    Px::Get(rows[cy * V + dy] + (cx * H + dx) * Px::kBytes, v);
                    sum[0] += v[0], sum[1] += v[1], sum[2] += v[2];
                }
            for (int32_t& s : sum) s >>= kShift;  // truncated average
            Colour::Chroma(sum, blocks[H * V][cy * 8 + cx], blocks[H * V + 1][cy * 8 + cx]);
        }
    }
}

// Grey from colour, or grey from grey samples.
template <class Px, class Colour>
void LumaOnly(const Encoder&, const uint8_t* const* rows, int32_t (*blocks)[64]) {
    int32_t v[3];
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            Px::Get(rows[y] + x * Px::kBytes, v);
            blocks[0][y * 8 + x] = Colour::Luma(v);
        }
}

template <int Shift, int Centre>
struct Grey {
    static constexpr int kBytes = Shift == 0 ? 1 : 2;
    static int32_t Sample(const uint8_t* p) {
        if constexpr (Shift == 0) return p[0] * Centre / 128 - Centre;  // bytes, scaled to 12 bits when Centre is 2048
        else return ((p[0] | p[1] << 8) >> Shift) - Centre;
    }
};

template <class G>
void GreyBlock(const Encoder&, const uint8_t* const* rows, int32_t (*blocks)[64]) {
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) blocks[0][y * 8 + x] = G::Sample(rows[y] + x * G::kBytes);
}

// Grey samples as YCbCr: luminance H x V, neutral chrominance.
template <class G, int H, int V>
void GreyAsYcc(const Encoder&, const uint8_t* const* rows, int32_t (*blocks)[64]) {
    for (int y = 0; y < 8 * V; ++y)
        for (int x = 0; x < 8 * H; ++x)
            blocks[(y >> 3) * H + (x >> 3)][(y & 7) * 8 + (x & 7)] = G::Sample(rows[y] + x * G::kBytes);
    for (int i = 0; i < 64; ++i) blocks[H * V][i] = blocks[H * V + 1][i] = 0;
}

// CMYK with K = 255 - max(R, G, B) and C, M, Y scaled by what is left (0 = no ink).
void CmykOf(const uint8_t* p, int32_t out[4]) {
    const int32_t b = p[0], g = p[1], r = p[2];
    const int32_t most = r > g ? (r > b ? r : b) : (g > b ? g : b);
    out[3] = 255 - most;
    if (most == 0) {
        out[0] = out[1] = out[2] = 0;
        return;
    }
    out[0] = 255 - (r * 255 + most / 2) / most;
    out[1] = 255 - (g * 255 + most / 2) / most;
    out[2] = 255 - (b * 255 + most / 2) / most;
}

template <class Px>
void Cmyk(const Encoder&, const uint8_t* const* rows, int32_t (*blocks)[64]) {
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            int32_t v[3];
            Px::Get(rows[y] + x * Px::kBytes, v);
            const uint8_t bgr[3] = {static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[1]), static_cast<uint8_t>(v[2])};
            int32_t cmyk[4];
            CmykOf(bgr, cmyk);
            // Stored inverted, as Adobe's CMYK files are (the Adobe segment says so).
            for (int c = 0; c < 4; ++c) blocks[c][y * 8 + x] = 255 - cmyk[c] - 128;
        }
}

// Adobe YCCK as the decoder reads it: the C, M, Y amounts coded as if they were
// R, G, B, and K stored inverted.
template <class Px>
void Ycck(const Encoder&, const uint8_t* const* rows, int32_t (*blocks)[64]) {
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            int32_t v[3];
            Px::Get(rows[y] + x * Px::kBytes, v);
            const uint8_t bgr[3] = {static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[1]), static_cast<uint8_t>(v[2])};
            int32_t cmyk[4];
            CmykOf(bgr, cmyk);
            const int32_t inks[3] = {cmyk[2], cmyk[1], cmyk[0]};  // in the blue, green, red slots
            const int32_t at = y * 8 + x;
            blocks[0][at] = Ycc8::Luma(inks);
            Ycc8::Chroma(inks, blocks[1][at], blocks[2][at]);
            blocks[3][at] = 255 - cmyk[3] - 128;
        }
}

// XR_MODE_X4: Y0, Y1, Cb, Cr per pair of pixels; eight pairs across, eight lines down.
void PairsAs422(const Encoder&, const uint8_t* const* rows, int32_t (*blocks)[64]) {
    for (int y = 0; y < 8; ++y)
        for (int e = 0; e < 8; ++e) {
            const uint8_t* p = rows[y] + 4 * e;
            const int x = 2 * e;
            blocks[x >> 3][y * 8 + (x & 7)] = p[0] - 128;
            blocks[(x + 1) >> 3][y * 8 + ((x + 1) & 7)] = p[1] - 128;
            blocks[2][y * 8 + e] = p[2] - 128;
            blocks[3][y * 8 + e] = p[3] - 128;
        }
}

// XR_MODE_X6: Y00, Y01, Y10, Y11, Cb, Cr per 2 x 2 square; eight squares each way.
void SquaresAs420(const Encoder&, const uint8_t* const* rows, int32_t (*blocks)[64]) {
    for (int ey = 0; ey < 8; ++ey)
        for (int ex = 0; ex < 8; ++ex) {
            const uint8_t* p = rows[ey] + 6 * ex;
            for (int i = 0; i < 4; ++i) {
                const int x = 2 * ex + (i & 1), y = 2 * ey + (i >> 1);
                blocks[(y >> 3) * 2 + (x >> 3)][(y & 7) * 8 + (x & 7)] = p[i] - 128;
            }
            blocks[4][ey * 8 + ex] = p[4] - 128;
            blocks[5][ey * 8 + ex] = p[5] - 128;
        }
}

template <class Px, class Colour>
BlockFiller BySampling(uint32_t subsampling) {
    switch (subsampling) {
        case XR_JPG_SUB_420: return ThreeComponents<Px, Colour, 2, 2>;
        case XR_JPG_SUB_422: return ThreeComponents<Px, Colour, 2, 1>;
        default: return ThreeComponents<Px, Colour, 1, 1>;
    }
}

template <class Px>
BlockFiller FromColour(uint8_t colourSpace, uint32_t subsampling) {
    switch (colourSpace) {
        case XR_JPG_CS_YCBCR: return BySampling<Px, Ycc8>(subsampling);
        case XR_JPG_CS_GRAY: return LumaOnly<Px, Ycc8>;
        case XR_JPG_CS_LAB: return BySampling<Px, LabFromBgr>(subsampling);
        case XR_JPG_CS_CMYK: return Cmyk<Px>;
        default: return Ycck<Px>;
    }
}

}  // namespace

BlockFiller ChooseConverter(int32_t mode, uint8_t colourSpace, uint32_t subsampling, uint8_t precision) {
    const bool twelve = precision == 12;
    switch (mode) {
        case XR_MODE_RGB:
        case XR_MODE_RGBW:
            if (!twelve) return mode == XR_MODE_RGB ? FromColour<Bgr8>(colourSpace, subsampling)
                                                    : FromColour<Bgrw<8>>(colourSpace, subsampling);
            // Twelve bits: YCbCr at 2 x 1 or 1 x 1 only.
            if (colourSpace != XR_JPG_CS_YCBCR || subsampling == XR_JPG_SUB_420) return nullptr;
            return mode == XR_MODE_RGB ? BySampling<Bgr8As12, Ycc12>(subsampling)
                                       : BySampling<Bgrw<4>, Ycc12>(subsampling);
        case XR_MODE_GRAY:
        case XR_MODE_GRAYW:
            if (colourSpace == XR_JPG_CS_GRAY) {
                if (twelve) return mode == XR_MODE_GRAY ? GreyBlock<Grey<0, 2048>> : GreyBlock<Grey<4, 2048>>;
                return mode == XR_MODE_GRAY ? GreyBlock<Grey<0, 128>> : GreyBlock<Grey<8, 128>>;
            }
            if (colourSpace != XR_JPG_CS_YCBCR || twelve || subsampling == XR_JPG_SUB_444) return nullptr;
            if (subsampling == XR_JPG_SUB_420)
                return mode == XR_MODE_GRAY ? GreyAsYcc<Grey<0, 128>, 2, 2> : GreyAsYcc<Grey<8, 128>, 2, 2>;
            return mode == XR_MODE_GRAY ? GreyAsYcc<Grey<0, 128>, 2, 1> : GreyAsYcc<Grey<8, 128>, 2, 1>;
        case XR_MODE_LAB:
            return colourSpace == XR_JPG_CS_LAB && !twelve ? BySampling<Bgr8, Direct>(subsampling) : nullptr;
        case XR_MODE_YUV3:
            return colourSpace == XR_JPG_CS_YCBCR && subsampling == XR_JPG_SUB_444 && !twelve
                       ? ThreeComponents<Bgr8, Direct, 1, 1> : nullptr;
        case XR_MODE_X4:
            return colourSpace == XR_JPG_CS_YCBCR && subsampling == XR_JPG_SUB_422 && !twelve ? PairsAs422 : nullptr;
        case XR_MODE_X6:
            return colourSpace == XR_JPG_CS_YCBCR && subsampling == XR_JPG_SUB_420 && !twelve ? SquaresAs420 : nullptr;
        default:
            return nullptr;
    }
}

}  // namespace lumapix::jpeg
