#include "lumapix/mode_converter.h"

#include <cstring>
#include <new>

#include "converter_state.hpp"
#include "lumapix/pixel_formulas.h"

using namespace lumapix::conv;

namespace {

constexpr uint8_t kUnset = 0xFF;
constexpr uint32_t kTwoLineMargin = 2;    // entries beyond the width, Floyd-Steinberg
constexpr uint32_t kThreeLineMargin = 4;  // Jarvis-Judice-Ninke

Converter* AsConverter(void* handle) { return static_cast<Converter*>(handle); }

bool ConvertibleMode(int32_t mode) { return mode >= XR_MODE_RGB && mode <= XR_MODE_HIGH; }

bool WideMode(int32_t mode) {
    return mode == XR_MODE_RGBW || mode == XR_MODE_YUVW || mode == XR_MODE_GRAYW;
}

// Frequent conversions straight from line to line; each equals unpack + pack.
void RgbToGray(const uint8_t* __restrict from, uint8_t* __restrict to, uint32_t width) {
    for (uint32_t i = 0; i < width; ++i, from += 3)
        to[i] = static_cast<uint8_t>(lumapix::px::Luma8(from[2], from[1], from[0]));
}

void GrayToRgb(const uint8_t* from, uint8_t* to, uint32_t width) {
    for (uint32_t i = 0; i < width; ++i, to += 3) to[0] = to[1] = to[2] = from[i];
}

// Cb comes from the even pixel of a pair, Cr from the odd one.
void RgbToYuv(const uint8_t* __restrict from, uint8_t* __restrict to, uint32_t width) {
    using lumapix::px::Luma8;
    for (uint32_t i = 0; i + 1 < width; i += 2, from += 6, to += 4) {
        int32_t b0 = from[0], g0 = from[1], r0 = from[2], b1 = from[3], g1 = from[4], r1 = from[5];
        to[0] = static_cast<uint8_t>(Luma8(r0, g0, b0));
        to[1] = static_cast<uint8_t>(((-43 * r0 - 85 * g0 + 128 * b0) >> 8) + 128);
        to[2] = static_cast<uint8_t>(Luma8(r1, g1, b1));
        to[3] = static_cast<uint8_t>(((128 * r1 - 107 * g1 - 21 * b1) >> 8) + 128);
    }
    if (width & 1) {
        lumapix::px::Ycc c = lumapix::px::YccFromRgb8(from[2], from[1], from[0]);
        to[0] = static_cast<uint8_t>(c.y);
        to[1] = static_cast<uint8_t>(c.cb);
    }
}

DirectFn DirectFor(int32_t from, int32_t to) {
    if (from == XR_MODE_RGB && to == XR_MODE_GRAY) return RgbToGray;
    if (from == XR_MODE_GRAY && to == XR_MODE_RGB) return GrayToRgb;
    if (from == XR_MODE_RGB && to == XR_MODE_YUV) return RgbToYuv;
    return nullptr;
}

}  // namespace

extern "C" {

uint32_t ConvWorkLineBytes(uint32_t width) { return width * 6; }

uint32_t ConvErrorWorkBytes(int32_t ditherMode, uint32_t width) {
    if (ditherMode == XR_DITHER_TWO_LINES) return (width + kTwoLineMargin) * sizeof(ErrorVector);
    if (ditherMode == XR_DITHER_THREE_LINES) return 3 * (width + kThreeLineMargin) * sizeof(ErrorVector);
    return 0;
}

int32_t ConvGetHandleSize(void) { return static_cast<int32_t>(sizeof(Converter)); }

CodecStatus ConvInit(void* handle) {
    if (!handle) return XR_ERR_ARGUMENT;
    Converter* c = new (handle) Converter{};
    c->quantPalette = SystemPalette;
    c->quantEntries = 256;
    c->paletteMode = kUnset;
    c->ditherMode = kUnset;
    c->coefficient = 0;
    c->threshold = 128;
    return XR_OK;
}

CodecStatus ConvSetDither(void* handle, const uint8_t params[3], void* errorWork) {
    if (!handle || !params) return XR_ERR_ARGUMENT;
    Converter* c = AsConverter(handle);
    if (params[0] >= XR_DITHER_COUNT) return XR_ERR_DITHER_MODE;
    bool needsWork = params[0] == XR_DITHER_TWO_LINES || params[0] == XR_DITHER_THREE_LINES;
    if (needsWork && !errorWork) return XR_ERR_WORK_BUFFER;
    c->ditherMode = params[0];
    c->coefficient = static_cast<uint8_t>(static_cast<int8_t>(params[1]) + 128);
    c->threshold = params[2];
    c->errorWork = static_cast<ErrorVector*>(errorWork);
    return XR_OK;
}

CodecStatus ConvSetPalette(void* handle, int32_t paletteMode, uint32_t entryCount, const uint8_t* palette) {
    if (!handle) return XR_ERR_ARGUMENT;
    Converter* c = AsConverter(handle);
    if (paletteMode != XR_PALETTE_SYSTEM && paletteMode != XR_PALETTE_USER) return XR_ERR_PALETTE_MODE;
    if (paletteMode == XR_PALETTE_USER && entryCount > 0 && palette) {
        c->paletteMode = XR_PALETTE_USER;
        c->quantPalette = palette;
        c->quantEntries = entryCount < 256 ? entryCount : 256;
    } else {
        c->paletteMode = XR_PALETTE_SYSTEM;
        c->quantPalette = SystemPalette;
        c->quantEntries = 256;
    }
    return XR_OK;
}

CodecStatus ConvStart(void* handle, XrImage* destination, const XrImage* source, uint8_t* workLine) {
    if (!handle || !destination || !source || !workLine) return XR_ERR_ARGUMENT;
    Converter* c = AsConverter(handle);
    if (!source->WIDTH || !source->HEIGHT || source->WIDTH != destination->WIDTH ||
        source->HEIGHT != destination->HEIGHT)
        return XR_ERR_MISMATCH;
    if (source->MODE == XR_MODE_INDEX && (!source->PALBUT || source->PALCOUNT != 256)) return XR_ERR_MISMATCH;
    if (!ConvertibleMode(source->MODE) || !ConvertibleMode(destination->MODE)) return XR_ERR_MISMATCH;
    if (destination->MODE == XR_MODE_INDEX && !destination->PALBUT) return XR_ERR_MISMATCH;

    c->source = source;
    c->destination = destination;
    c->sourcePalette = source->PALBUT;
    c->width = source->WIDTH;
    c->height = source->HEIGHT;
    c->x = c->y = 0;
    c->workLine = reinterpret_cast<uint16_t*>(workLine);
    c->unpack = UnpackFor(source->MODE);
    c->pack = PackFor(destination->MODE);
    c->unpackState = UnpackState{source->PALBUT, source->PALFMT, source->WIDTH, 0};
    c->packState = PackState{destination->PALFMT};
    bool quantised = destination->MODE == XR_MODE_INDEX || destination->MODE == XR_MODE_MONO;
    c->copyLines = source->MODE == destination->MODE && !quantised;
    c->quantise = quantised ? ChooseQuantiser(*c, destination->MODE) : nullptr;
    c->direct = DirectFor(source->MODE, destination->MODE);

    if (destination->MODE == XR_MODE_INDEX) {
        uint32_t entries = destination->PALCOUNT < 256 ? destination->PALCOUNT : 256;
        std::memset(destination->PALBUT, 0, size_t{entries} * 4);
        uint32_t filled = entries < c->quantEntries ? entries : c->quantEntries;
        for (uint32_t i = 0; i < filled; ++i) std::memcpy(destination->PALBUT + 4 * i, c->quantPalette + 4 * i, 3);
    }
    destination->FMT = static_cast<int8_t>(WideMode(destination->MODE) ? 16 : 8);

    ErrorVector* work = c->errorWork;
    if (c->ditherMode == XR_DITHER_TWO_LINES && work) {
        c->errorLines[0] = work;
        std::memset(work, 0, (c->width + kTwoLineMargin) * sizeof(ErrorVector));
    } else if (c->ditherMode == XR_DITHER_THREE_LINES && work) {
        uint32_t span = c->width + kThreeLineMargin;
        for (uint32_t i = 0; i < 3; ++i) c->errorLines[i] = work + i * span;
        std::memset(work, 0, 3 * span * sizeof(ErrorVector));
    }
    return XR_OK;
}

CodecStatus ConvLine(void* handle, uint8_t* destinationLine, const uint8_t* sourceLine) {
    if (!handle || !destinationLine || !sourceLine) return XR_ERR_ARGUMENT;
    Converter* c = AsConverter(handle);
    if (!c->source || !c->unpack) return XR_ERR_ARGUMENT;  // not started
    CodecStatus status = XR_OK;
    if (c->copyLines) {
        std::memcpy(destinationLine, sourceLine, ImageLineBytes(c->source->MODE, c->width));
    } else if (c->direct) {
        c->direct(sourceLine, destinationLine, c->width);
    } else {
        c->unpack(sourceLine, 0, c->width, c->workLine, c->unpackState);
        if (c->quantise) {
            status = c->quantise(*c, c->workLine, destinationLine);
        } else {
            c->pack(c->workLine, destinationLine, 0, c->width, c->packState);
        }
    }
    ++c->y;
    return status;
}

CodecStatus ConvImage(void* handle, void* destinationPixels, const void* sourcePixels) {
    if (!handle || !destinationPixels || !sourcePixels) return XR_ERR_ARGUMENT;
    Converter* c = AsConverter(handle);
    if (!c->source) return XR_ERR_ARGUMENT;
    auto* to = static_cast<uint8_t*>(destinationPixels);
    const auto* from = static_cast<const uint8_t*>(sourcePixels);
    for (uint32_t y = 0; y < c->height; ++y) {
        CodecStatus status = ConvLine(handle, to + size_t{y} * c->destination->LINEINT,
                                      from + size_t{y} * c->source->LINEINT);
        if (status != XR_OK) return status;
    }
    return XR_OK;
}

}  // extern "C"
