#include "lumapix/rotator.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "rotator_kernels.hpp"

using namespace lumapix::rot;

namespace {

// The image header fields the rotator needs after RotStart.
struct HeaderCopy {
    int32_t mode;
    uint16_t width;
    uint16_t height;
    uint32_t lineInt;
    int8_t fmt;
    uint8_t palfmt;
    uint16_t palCount;
    const uint8_t* palette;
};

struct Rotator {
    HeaderCopy source;
    HeaderCopy destination;
    uint32_t destinationSize;  // bytes RotImage clears again
    int32_t angle;
    int32_t linesPlaced;
};

// 52 bytes with 32-bit pointers; the header copies grow by their pointer padding on 64-bit.
static_assert(sizeof(Rotator) == (sizeof(void*) == 4 ? 52 : 64), "rotator handle size changed");

Rotator* AsRotator(void* handle) { return static_cast<Rotator*>(handle); }

bool KnownAngle(int32_t angle) {
    return angle == XR_ROTATE_COPY || angle == XR_ROTATE_90 || angle == XR_ROTATE_180 || angle == XR_ROTATE_270 ||
           angle == XR_FLIP_LEFT_RIGHT || angle == XR_FLIP_TOP_BOTTOM;
}

bool QuarterTurn(int32_t angle) { return angle == XR_ROTATE_90 || angle == XR_ROTATE_270; }

bool Placeable(int32_t mode) {
    return mode == XR_MODE_RGB || mode == XR_MODE_GRAY || mode == XR_MODE_INDEX || mode == XR_MODE_MONO;
}

HeaderCopy CopyOf(const XrImage& image) {
    return HeaderCopy{image.MODE,   image.WIDTH,  image.HEIGHT,   image.LINEINT,
                      image.FMT,    image.PALFMT, image.PALCOUNT, image.PALBUT};
}

// Sizes and buffer spans: every line the rotator touches lies inside its buffer.
bool Fits(const XrImage& destination, const XrImage& source, int32_t angle) {
    if (!source.WIDTH || !source.HEIGHT) return false;
    bool swapped = QuarterTurn(angle);
    if (destination.WIDTH != (swapped ? source.HEIGHT : source.WIDTH) ||
        destination.HEIGHT != (swapped ? source.WIDTH : source.HEIGHT))
        return false;
    uint32_t sourceLine = ImageLineBytes(source.MODE, source.WIDTH);
    uint32_t destinationLine = ImageLineBytes(destination.MODE, destination.WIDTH);
    if (source.LINEINT < sourceLine || destination.LINEINT < destinationLine) return false;
    uint64_t span = uint64_t{destination.HEIGHT - 1u} * destination.LINEINT + destinationLine;
    return destination.SIZE >= span;
}

Target TargetOf(const Rotator& r, void* pixels) {
    return Target{static_cast<uint8_t*>(pixels), r.destination.lineInt, r.source.width, r.source.height};
}

// Source line y of a byte-pixel image; N bytes a pixel.
template <size_t N>
CodecStatus PlaceBytes(const Rotator& r, const Target& t, const uint8_t* line, size_t y) {
    size_t width = t.width;
    switch (r.angle) {
        case XR_ROTATE_COPY: std::memcpy(t.pixels + y * t.stride, line, width * N); return XR_OK;
        case XR_FLIP_TOP_BOTTOM:
            std::memcpy(t.pixels + (t.height - 1 - y) * t.stride, line, width * N);
            return XR_OK;
        case XR_ROTATE_180: PlaceReversed<N>(t.pixels + (t.height - 1 - y) * t.stride, line, width); return XR_OK;
        case XR_FLIP_LEFT_RIGHT: PlaceReversed<N>(t.pixels + y * t.stride, line, width); return XR_OK;
        case XR_ROTATE_90: PlaceColumn<N, true>(t, line, y); return XR_OK;
        case XR_ROTATE_270: PlaceColumn<N, false>(t, line, y); return XR_OK;
        default: return XR_ERR_ROTATE_ANGLE;
    }
}

CodecStatus PlaceBits(const Rotator& r, const Target& t, const uint8_t* line, size_t y) {
    switch (r.angle) {
        case XR_ROTATE_COPY: MonoCopy(t.pixels + y * t.stride, line, t.width); return XR_OK;
        case XR_FLIP_TOP_BOTTOM: MonoCopy(t.pixels + (t.height - 1 - y) * t.stride, line, t.width); return XR_OK;
        case XR_ROTATE_180: MonoReversed(t.pixels + (t.height - 1 - y) * t.stride, line, t.width); return XR_OK;
        case XR_FLIP_LEFT_RIGHT: MonoReversed(t.pixels + y * t.stride, line, t.width); return XR_OK;
        case XR_ROTATE_90: MonoColumn(t, line, y, true); return XR_OK;
        case XR_ROTATE_270: MonoColumn(t, line, y, false); return XR_OK;
        default: return XR_ERR_ROTATE_ANGLE;
    }
}

CodecStatus Place(const Rotator& r, const Target& t, const uint8_t* line, size_t y) {
    switch (r.source.mode) {
        case XR_MODE_RGB: return PlaceBytes<3>(r, t, line, y);
        case XR_MODE_GRAY:
        case XR_MODE_INDEX: return PlaceBytes<1>(r, t, line, y);
        case XR_MODE_MONO: return PlaceBits(r, t, line, y);
        default: return XR_ERR_ROTATE_ANGLE;  // not started, or started and failed
    }
}

// RotImage writes every byte of every row's pixels (MONO spare bits included),
// so clearing what lies between and after the rows leaves the buffer as a full
// clear would, at the cost of the padding only.
void ClearAroundRows(const Rotator& r, uint8_t* pixels) {
    const HeaderCopy& d = r.destination;
    size_t lineBytes = ImageLineBytes(d.mode, d.width);
    size_t size = r.destinationSize;
    for (size_t y = 0; y < d.height; ++y) {
        size_t start = y * d.lineInt + lineBytes;
        size_t end = std::min(start - lineBytes + d.lineInt, size);
        if (end > start) std::memset(pixels + start, 0, end - start);
    }
    size_t rows = size_t{d.height} * d.lineInt;
    if (size > rows) std::memset(pixels + rows, 0, size - rows);
}

// Whole-image quarter turns, blocked; the same pixels as placing every line.
void TurnBlocked(const Rotator& r, const Target& t, const uint8_t* source) {
    bool clockwise = r.angle == XR_ROTATE_90;
    size_t stride = r.source.lineInt;
    if (r.source.mode == XR_MODE_MONO) {
        MonoTurnBlocked(t, source, stride, clockwise);
    } else if (r.source.mode == XR_MODE_RGB) {
        if (clockwise) TurnTiled<3, true>(t, source, stride);
        else TurnTiled<3, false>(t, source, stride);
    } else {
        if (clockwise) TurnTiled<1, true>(t, source, stride);
        else TurnTiled<1, false>(t, source, stride);
    }
}

}  // namespace

extern "C" {

int32_t RotGetHandleSize(void) { return static_cast<int32_t>(sizeof(Rotator)); }

CodecStatus RotInit(void* handle) {
    if (!handle) return XR_ERR_ARGUMENT;
    new (handle) Rotator{};
    return XR_OK;
}

CodecStatus RotStart(void* handle, XrImage* destination, const XrImage* source, int32_t angle) {
    if (!handle || !destination || !source || !destination->PIXELS) return XR_ERR_ARGUMENT;
    Rotator* r = AsRotator(handle);
    // A failed start leaves a handle that places nothing.
    r->source.mode = r->destination.mode = XR_MODE_UNK;
    if (source->MODE != destination->MODE) return XR_ERR_MISMATCH;
    if (source->MODE >= XR_MODE_RGBW) return XR_ERR_UNSUPPORTED;
    if (!Placeable(source->MODE)) return XR_ERR_MISMATCH;
    if (!KnownAngle(angle)) return XR_ERR_UNSUPPORTED;
    if (!Fits(*destination, *source, angle)) return XR_ERR_MISMATCH;

    r->source = CopyOf(*source);
    r->destination = CopyOf(*destination);
    r->destinationSize = destination->SIZE;
    r->angle = angle;
    r->linesPlaced = 0;
    // No placement writes LINEINT padding or MONO spare bits, and a quarter
    // turn fills its rows a column at a time: start from zeros.
    std::memset(destination->PIXELS, 0, destination->SIZE);
    return XR_OK;
}

CodecStatus RotLine(void* handle, void* destinationPixels, const uint8_t* sourceLine, int32_t y) {
    if (!handle || !destinationPixels || !sourceLine) return XR_ERR_ARGUMENT;
    Rotator* r = AsRotator(handle);
    if (!Placeable(r->source.mode)) return XR_ERR_ROTATE_ANGLE;
    if (y < 0 || y >= r->source.height) return XR_ERR_ROTATE_LINE;
    CodecStatus status = Place(*r, TargetOf(*r, destinationPixels), sourceLine, static_cast<size_t>(y));
    if (status == XR_OK) ++r->linesPlaced;
    return status;
}

CodecStatus RotImage(void* handle, void* destinationPixels, const void* sourcePixels) {
    if (!handle || !destinationPixels || !sourcePixels) return XR_ERR_ARGUMENT;
    Rotator* r = AsRotator(handle);
    if (!Placeable(r->source.mode)) return XR_ERR_ROTATE_ANGLE;
    r->linesPlaced = 0;
    Target t = TargetOf(*r, destinationPixels);
    ClearAroundRows(*r, t.pixels);
    const auto* source = static_cast<const uint8_t*>(sourcePixels);
    if (QuarterTurn(r->angle)) {
        TurnBlocked(*r, t, source);
        r->linesPlaced = r->source.height;
        return XR_OK;
    }
    for (size_t y = 0; y < t.height; ++y) {
        CodecStatus status = Place(*r, t, source + y * r->source.lineInt, y);
        if (status != XR_OK) return status;
        ++r->linesPlaced;
    }
    return XR_OK;
}

}  // extern "C"
