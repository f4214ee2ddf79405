#include "lumapix/decode_line_convert.h"

#include <array>
#include <cstring>

#include "lumapix/pixel_formulas.h"
#include "pixel_math.hpp"
#include "work_line.hpp"

using namespace lumapix;

namespace {

template <int BytesPerPixel>
int32_t ExtractBytes(uint8_t* line, uint32_t x, uint32_t width) {
    if (x) std::memmove(line, line + size_t{x} * BytesPerPixel, size_t{width} * BytesPerPixel);
    return 0;
}

// Packed 4:2:2 keeps chroma pairs on even pixels, so an odd window start re-pairs them.
int32_t ExtractYuv(uint8_t* line, uint32_t x, uint32_t width) {
    if ((x & 1) == 0) return ExtractBytes<2>(line, x, width);
    for (uint32_t i = 0; i < width; ++i) {
        uint32_t s = x + i;
        uint32_t pair = s & ~1u;
        uint8_t luma = line[2 * s];
        uint8_t chroma = line[2 * pair + 1 + 2 * (i & 1)];
        line[2 * i] = luma;
        line[2 * i + 1] = chroma;
    }
    return 0;
}

int GetBit(const uint8_t* line, uint32_t x) { return line[x >> 3] >> (7 - (x & 7)) & 1; }

void ClearSpareBits(uint8_t* line, uint32_t width) {
    if (width & 7) line[width >> 3] &= static_cast<uint8_t>(0xFF00 >> (width & 7));
}

int32_t ExtractMono(uint8_t* line, uint32_t x, uint32_t width) {
    uint32_t shift = x & 7;
    const uint8_t* from = line + (x >> 3);
    uint32_t bytes = (width + 7) / 8;
    if (shift == 0) {
        std::memmove(line, from, bytes);
    } else {
        uint32_t available = (x + width + 7) / 8 - (x >> 3);  // source bytes that hold the window
        for (uint32_t j = 0; j < bytes; ++j) {
            uint32_t next = j + 1 < available ? from[j + 1] : 0;
            line[j] = static_cast<uint8_t>(uint32_t{from[j]} << shift | next >> (8 - shift));
        }
    }
    ClearSpareBits(line, width);
    return 0;
}

template <int BytesPerPixel>
int32_t StretchBytes(const uint8_t* source, uint32_t sourceWidth, uint8_t* target, uint32_t targetWidth) {
    uint32_t step = static_cast<uint32_t>((uint64_t{sourceWidth} << 16) / targetWidth);
    uint32_t position = 0;
    for (uint32_t i = 0; i < targetWidth; ++i, position += step) {
        const uint8_t* pixel = source + size_t{position >> 16} * BytesPerPixel;
        uint8_t* out = target + size_t{i} * BytesPerPixel;
        for (int b = 0; b < BytesPerPixel; ++b) out[b] = pixel[b];
    }
    return 0;
}

int32_t StretchYuv(const uint8_t* source, uint32_t sourceWidth, uint8_t* target, uint32_t targetWidth) {
    uint32_t step = static_cast<uint32_t>((uint64_t{sourceWidth} << 16) / targetWidth);
    uint32_t position = 0;
    for (uint32_t i = 0; i < targetWidth; ++i, position += step) {
        uint32_t s = position >> 16;
        uint32_t pair = s & ~1u;
        uint32_t chromaFrom = pair + (i & 1);
        if (chromaFrom >= sourceWidth) chromaFrom = pair;  // odd-width tail has no V
        target[2 * i] = source[2 * s];
        target[2 * i + 1] = source[2 * chromaFrom + 1];
    }
    return 0;
}

int32_t StretchMono(const uint8_t* source, uint32_t sourceWidth, uint8_t* target, uint32_t targetWidth) {
    std::memset(target, 0, (targetWidth + 7) / 8);
    uint32_t step = static_cast<uint32_t>((uint64_t{sourceWidth} << 16) / targetWidth);
    uint32_t position = 0;
    for (uint32_t i = 0; i < targetWidth; ++i, position += step)
        if (GetBit(source, position >> 16)) target[i >> 3] |= static_cast<uint8_t>(0x80 >> (i & 7));
    return 0;
}

constexpr uint32_t Bit(int32_t mode) { return 1u << mode; }
constexpr uint32_t kAllModes = 0x7FE;  // modes 1..10

// Source modes each target converts from; the target's own mode is kept as it is.
constexpr uint32_t AcceptedSources(int32_t target) {
    switch (target) {
        case XR_MODE_RGB: case XR_MODE_RGBW: return kAllModes;
        case XR_MODE_YUV: case XR_MODE_YUVW: return kAllModes & ~(Bit(XR_MODE_LAB) | Bit(XR_MODE_HIGH));
        case XR_MODE_GRAY: case XR_MODE_MONO: case XR_MODE_GRAYW: return kAllModes & ~Bit(XR_MODE_HIGH);
        case XR_MODE_INDEX: return kAllModes & ~Bit(XR_MODE_LAB);
        case XR_MODE_LAB: return Bit(XR_MODE_RGB) | Bit(XR_MODE_RGBW) | Bit(XR_MODE_LAB);
        case XR_MODE_HIGH:
            return Bit(XR_MODE_RGB) | Bit(XR_MODE_GRAY) | Bit(XR_MODE_INDEX) | Bit(XR_MODE_RGBW) |
                   Bit(XR_MODE_GRAYW) | Bit(XR_MODE_HIGH);
        default: return 0;
    }
}

constexpr uint32_t kChunk = 64;  // pixels per pass; a multiple of 8 keeps MONO output byte-aligned

// Converts through a small working buffer, chunk by chunk. A line that grows is
// worked from its end so no pixel is overwritten before it has been read.
void ConvertChunked(uint8_t* line, uint32_t width, int32_t from, int32_t to, conv::UnpackState unpackState,
                    conv::PackState packState) {
    conv::UnpackFn unpack = conv::UnpackFor(from);
    conv::PackFn pack = conv::PackFor(to);
    uint16_t work[kChunk * 3];
    if (conv::PixelBits(to) <= conv::PixelBits(from)) {
        for (uint32_t x = 0; x < width; x += kChunk) {
            uint32_t n = width - x < kChunk ? width - x : kChunk;
            unpack(line, x, n, work, unpackState);
            pack(work, line, x, n, packState);
        }
        return;
    }
    for (uint32_t x = (width - 1) / kChunk * kChunk;; x -= kChunk) {
        uint32_t n = width - x < kChunk ? width - x : kChunk;
        unpackState.heldCr = conv::HeldCrBefore(from, line, x);
        unpack(line, x, n, work, unpackState);
        pack(work, line, x, n, packState);
        if (x == 0) break;
    }
}

// Grey level of an L byte: the neutral colour of that lightness.
const uint8_t* LabGrayTable() {
    static const auto table = [] {
        std::array<uint8_t, 256> t{};
        for (int32_t l = 0; l < 256; ++l) {
            px::Rgb c = px::RgbFromLab(l, 128, 96);
            t[size_t(l)] = static_cast<uint8_t>(px::Luma8(c.r, c.g, c.b));
        }
        return t;
    }();
    return table.data();
}

// GRAY from any accepted source: Y bytes of YUV, L through the grey table, the rest by luminance.
void ToGray(uint8_t* line, uint32_t width, int32_t from, const conv::UnpackState& state) {
    if (from == XR_MODE_GRAY) return;
    if (from == XR_MODE_YUV) {
        for (uint32_t i = 0; i < width; ++i) line[i] = line[2 * size_t{i}];
    } else if (from == XR_MODE_LAB) {
        const uint8_t* gray = LabGrayTable();
        for (uint32_t i = 0; i < width; ++i) line[i] = gray[line[3 * size_t{i}]];
    } else {
        ConvertChunked(line, width, from, XR_MODE_GRAY, state, {});
    }
}

template <int32_t Target>
int32_t ConvertTo(uint8_t* line, uint32_t width, int32_t from, const uint8_t* palette, uint8_t fromPalfmt,
                  uint8_t targetPalfmt) {
    if (from == Target) return 0;  // an INDEX line keeps its indices and palette
    if (from < 0 || from >= 32 || !(AcceptedSources(Target) & Bit(from))) return -1;
    if (from == XR_MODE_INDEX && !palette) return -1;
    if (width == 0) return 0;
    conv::UnpackState state{palette, fromPalfmt, width, 0};
    if constexpr (Target == XR_MODE_GRAY) {
        ToGray(line, width, from, state);
    } else if constexpr (Target == XR_MODE_MONO) {
        ToGray(line, width, from, state);
        ConvertChunked(line, width, XR_MODE_GRAY, XR_MODE_MONO, state, {targetPalfmt});
    } else if constexpr (Target == XR_MODE_GRAYW) {
        if (from == XR_MODE_YUVW) {
            for (uint32_t i = 0; i < width; ++i) std::memmove(line + 2 * size_t{i}, line + 4 * size_t{i}, 2);
        } else if (from == XR_MODE_RGBW) {
            ConvertChunked(line, width, from, XR_MODE_GRAYW, state, {});
        } else {
            ToGray(line, width, from, state);
            for (uint32_t i = width; i-- > 0;) px::Store16(line + 2 * size_t{i}, static_cast<uint16_t>(line[i] << 8));
        }
    } else {
        ConvertChunked(line, width, from, Target, state, {targetPalfmt});
    }
    return 0;
}

constexpr XrLineConverterTables MakeTables() {
    XrLineConverterTables t{};
    t.extract[XR_MODE_RGB] = ExtractBytes<3>;
    t.extract[XR_MODE_YUV] = ExtractYuv;
    t.extract[XR_MODE_GRAY] = ExtractBytes<1>;
    t.extract[XR_MODE_INDEX] = ExtractBytes<1>;
    t.extract[XR_MODE_MONO] = ExtractMono;
    t.convert[XR_MODE_RGB] = ConvertTo<XR_MODE_RGB>;
    t.convert[XR_MODE_YUV] = ConvertTo<XR_MODE_YUV>;
    t.convert[XR_MODE_GRAY] = ConvertTo<XR_MODE_GRAY>;
    t.convert[XR_MODE_INDEX] = ConvertTo<XR_MODE_INDEX>;
    t.convert[XR_MODE_MONO] = ConvertTo<XR_MODE_MONO>;
    t.convert[XR_MODE_RGBW] = ConvertTo<XR_MODE_RGBW>;
    t.convert[XR_MODE_YUVW] = ConvertTo<XR_MODE_YUVW>;
    t.convert[XR_MODE_GRAYW] = ConvertTo<XR_MODE_GRAYW>;
    t.convert[XR_MODE_LAB] = ConvertTo<XR_MODE_LAB>;
    t.convert[XR_MODE_HIGH] = ConvertTo<XR_MODE_HIGH>;
    t.stretch[XR_MODE_RGB] = StretchBytes<3>;
    t.stretch[XR_MODE_YUV] = StretchYuv;
    t.stretch[XR_MODE_GRAY] = StretchBytes<1>;
    t.stretch[XR_MODE_INDEX] = StretchBytes<1>;
    t.stretch[XR_MODE_MONO] = StretchMono;
    t.systemPalette = px::kTables.systemPalette;
    return t;
}

constexpr XrLineConverterTables kTables = MakeTables();

}  // namespace

extern "C" const XrLineConverterTables* DecodeLineConvertTables(void) { return &kTables; }

extern "C" int32_t DecodeLineConvert(uint8_t* line, uint32_t width, int32_t fromMode, int32_t toMode,
                                     const uint8_t* palette, uint8_t fromPalfmt, uint8_t toPalfmt) {
    if (!line || toMode < 0 || toMode >= XR_MODE_COUNT || !kTables.convert[toMode]) return -1;
    return kTables.convert[toMode](line, width, fromMode, palette, fromPalfmt, toPalfmt);
}
