#include "lumapix/decode_line_convert.h"

#include <cstring>

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

// A line already in the target mode stays as it is; other sources are refused
// until the mode converter supplies their formulas.
template <int TargetMode>
int32_t KeepSameMode(uint8_t*, uint32_t, int32_t sourceMode, const uint8_t*, uint8_t) {
    return sourceMode == TargetMode ? 0 : -1;
}

constexpr XrLineConverterTables MakeTables() {
    XrLineConverterTables t{};
    t.extract[XR_MODE_RGB] = ExtractBytes<3>;
    t.extract[XR_MODE_YUV] = ExtractYuv;
    t.extract[XR_MODE_GRAY] = ExtractBytes<1>;
    t.extract[XR_MODE_INDEX] = ExtractBytes<1>;
    t.extract[XR_MODE_MONO] = ExtractMono;
    t.convert[XR_MODE_RGB] = KeepSameMode<XR_MODE_RGB>;
    t.convert[XR_MODE_YUV] = KeepSameMode<XR_MODE_YUV>;
    t.convert[XR_MODE_GRAY] = KeepSameMode<XR_MODE_GRAY>;
    t.convert[XR_MODE_INDEX] = KeepSameMode<XR_MODE_INDEX>;
    t.convert[XR_MODE_MONO] = KeepSameMode<XR_MODE_MONO>;
    t.stretch[XR_MODE_RGB] = StretchBytes<3>;
    t.stretch[XR_MODE_YUV] = StretchYuv;
    t.stretch[XR_MODE_GRAY] = StretchBytes<1>;
    t.stretch[XR_MODE_INDEX] = StretchBytes<1>;
    t.stretch[XR_MODE_MONO] = StretchMono;
    return t;
}

constexpr XrLineConverterTables kTables = MakeTables();

}  // namespace

extern "C" const XrLineConverterTables* DecodeLineConvertTables(void) { return &kTables; }
