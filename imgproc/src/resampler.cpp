#include "lumapix/resampler.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "lumapix/decode_line_convert.h"
#include "resampler_kernel.hpp"
#include "resampler_lines.hpp"
#include "resampler_state.hpp"

using namespace lumapix::res;

namespace {

constexpr uint32_t kMinStep = 0x100;       // 256 times enlargement
constexpr uint32_t kMaxStep = 0x1000000;   // 256 times reduction

bool ResampledMode(int32_t mode) { return mode >= XR_MODE_RGB && mode <= XR_MODE_MONO; }

bool Started(const Resampler* r) { return r->source && r->destination && r->line && r->image; }

uint32_t Step(uint32_t from, uint32_t to) { return static_cast<uint32_t>((uint64_t{from} << 16) / to); }

// Bicubic start: the centre of the first output pixel, so that the output span
// sits symmetrically over the source.
void PlanStart(uint32_t sourceSize, uint32_t outputSize, uint32_t step, int32_t& integer, uint16_t& fraction) {
    const int64_t start =
        (int64_t{sourceSize} * kOne - int64_t{outputSize - 1} * step - kOne) / 2;  // truncates toward zero
    // The window starts at floor(start / 65536) with the low 16 bits as the phase,
    // for every start. Counting the integer part as (start - 65535) / 65536
    // truncated instead puts it one column early once start reaches 65536
    // (reductions by three or more) while the phase still comes from start, so
    // those images would be sampled a whole source column too far left.
    integer = static_cast<int32_t>(start >> 16);
    fraction = static_cast<uint16_t>(start & 0xFFFF);
}

void CopyRow(const Resampler& r, const uint8_t* row, int slot) {
    std::memcpy(r.slots[slot], row, ImageLineBytes(r.source->MODE, r.source->WIDTH));
}

// Writes one output line from the window rows and reports whether more follow.
CodecStatus Emit(Resampler& r, const uint8_t* const* rows, uint8_t* out, int32_t* lineStatus) {
    r.line(r, rows, static_cast<uint32_t>(r.accumulator), out);
    r.accumulator += static_cast<int32_t>(r.stepY);
    ++r.linesOut;
    *lineStatus = r.linesOut >= r.destination->HEIGHT ? XR_RES_LAST_LINE : XR_RES_LINE_WRITTEN;
    return XR_OK;
}

// After the window has moved down a row: ask for the next source line, or, once
// the source is used up, go on with its bottom row repeated.
bool AskForLine(Resampler& r, int32_t* lineStatus) {
    if (r.linesIn >= r.source->HEIGHT) return false;
    r.awaiting = 1;
    *lineStatus = XR_RES_NEED_LINE;
    return true;
}

// Nearest reads the newest line (row y) only.
CodecStatus StepNearest(Resampler& r, uint8_t* out, int32_t* lineStatus) {
    for (;;) {
        if (r.accumulator < kOne) {
            const uint8_t* rows[4] = {r.tapLine, r.tapLine, r.tapLine, r.tapLine};
            return Emit(r, rows, out, lineStatus);
        }
        r.accumulator -= kOne;
        if (AskForLine(r, lineStatus)) return XR_OK;
    }
}

// Bilinear: slot 0 holds row y, the newest line is row y + 1.
CodecStatus StepBilinear(Resampler& r, uint8_t* out, int32_t* lineStatus) {
    if (r.priming) {
        CopyRow(r, r.tapLine, 0);
        r.priming = 0;
        if (AskForLine(r, lineStatus)) return XR_OK;
    }
    for (;;) {
        if (r.accumulator < kOne) {
            const uint8_t* rows[4] = {r.slots[0], r.tapLine, r.tapLine, r.tapLine};
            return Emit(r, rows, out, lineStatus);
        }
        r.accumulator -= kOne;
        CopyRow(r, r.tapLine, 0);
        if (AskForLine(r, lineStatus)) return XR_OK;
    }
}

// Bicubic: slots 0..2 hold rows y - 1 .. y + 1, the newest line is row y + 2.
CodecStatus StepBicubic(Resampler& r, uint8_t* out, int32_t* lineStatus) {
    // Rows -1 and 0 are both the top row; a source shorter than three lines
    // repeats its bottom row.
    while (r.priming) {
        if (r.priming == 2) {
            CopyRow(r, r.tapLine, 0);
            CopyRow(r, r.tapLine, 1);
        } else {
            CopyRow(r, r.tapLine, 2);
        }
        --r.priming;
        if (AskForLine(r, lineStatus)) return XR_OK;
    }
    for (;;) {
        if (r.accumulator < kOne) {
            const uint8_t* rows[4] = {r.slots[0], r.slots[1], r.slots[2], r.tapLine};
            return Emit(r, rows, out, lineStatus);
        }
        r.accumulator -= kOne;
        uint8_t* oldest = r.slots[0];
        r.slots[0] = r.slots[1];
        r.slots[1] = r.slots[2];
        r.slots[2] = oldest;
        CopyRow(r, r.tapLine, 2);
        if (AskForLine(r, lineStatus)) return XR_OK;
    }
}

}  // namespace

extern "C" {

int32_t ResGetHandleSize(void) { return static_cast<int32_t>(sizeof(Resampler)); }

size_t ResWorkBufferBytes(int32_t method, uint32_t sourceLineBytes) {
    switch (method) {
        case XR_RESAMPLE_BILINEAR: return sourceLineBytes;
        case XR_RESAMPLE_BICUBIC: return size_t{4} * sourceLineBytes;
        default: return 0;
    }
}

CodecStatus ResInit(Resampler* handle) {
    if (!handle) return XR_ERR_ARGUMENT;
    new (handle) Resampler{};
    return XR_OK;
}

CodecStatus ResSetMethod(Resampler* handle, int32_t method, int32_t sharpness, void* workBuffer) {
    if (!handle) return XR_ERR_ARGUMENT;
    if (method < XR_RESAMPLE_NEAREST || method >= XR_RESAMPLE_METHOD_COUNT) return XR_ERR_RESAMPLE_METHOD;
    Resampler& r = *handle;
    r.method = static_cast<uint8_t>(method);
    r.sharpness = static_cast<int8_t>(std::clamp(sharpness, -128, 127));
    r.work = static_cast<uint8_t*>(workBuffer);
    // The routines and kernels depend on the method: plan again.
    r.source = nullptr;
    r.destination = nullptr;
    return XR_OK;
}

CodecStatus ResStart(Resampler* handle, XrImage* destination, const XrImage* source) {
    if (!handle || !destination || !source) return XR_ERR_ARGUMENT;
    Resampler& r = *handle;
    r.source = r.destination = nullptr;
    if (!ResampledMode(source->MODE) || !ResampledMode(destination->MODE)) return XR_ERR_UNSUPPORTED;
    if (!source->WIDTH || !source->HEIGHT || !destination->WIDTH || !destination->HEIGHT) return XR_ERR_MISMATCH;
    const uint32_t stepX = Step(source->WIDTH, destination->WIDTH);
    const uint32_t stepY = Step(source->HEIGHT, destination->HEIGHT);
    if (stepX < kMinStep || stepX > kMaxStep || stepY < kMinStep || stepY > kMaxStep) return XR_ERR_RESAMPLE_SCALE;
    if (source->MODE != destination->MODE || source->PALFMT != destination->PALFMT) return XR_ERR_MISMATCH;
    if (source->LINEINT < ImageLineBytes(source->MODE, source->WIDTH) ||
        destination->LINEINT < ImageLineBytes(destination->MODE, destination->WIDTH))
        return XR_ERR_MISMATCH;
    if (r.method >= XR_RESAMPLE_METHOD_COUNT) return XR_ERR_FORMAT;
    if (source->MODE == XR_MODE_INDEX) {
        if (!source->PALBUT || !destination->PALBUT) return XR_ERR_MISMATCH;
        const uint32_t entries = std::min(source->PALCOUNT, destination->PALCOUNT);
        std::memcpy(destination->PALBUT, source->PALBUT, size_t{entries} * 4);
    }

    r.sourceLineBytes = static_cast<int32_t>(source->LINEINT);
    r.linesIn = r.linesOut = r.accumulator = 0;
    r.awaiting = 0;
    r.tapLine = nullptr;
    r.stepX = stepX;
    r.stepY = stepY;
    PlanStart(source->WIDTH, destination->WIDTH, stepX, r.startX, r.startXFraction);
    PlanStart(source->HEIGHT, destination->HEIGHT, stepY, r.startY, r.startYFraction);
    r.priming = r.method;  // lines copied before the first output: none, row 0, rows 0 and 1
    const int copiedRows = r.method == XR_RESAMPLE_BICUBIC ? 3 : r.method;
    for (int i = 0; i < 4; ++i)
        r.slots[i] = r.work && i < copiedRows ? r.work + source->LINEINT * static_cast<size_t>(i) : nullptr;
    if (r.method == XR_RESAMPLE_BICUBIC) {
        BuildKernel(r.kernelX, stepX, r.sharpness);
        BuildKernel(r.kernelY, stepY, r.sharpness);
    }
    r.stretch = DecodeLineConvertTables()->stretch[source->MODE];
    r.line = ChooseLine(source->MODE, r.method, stepX);
    r.image = ChooseImage(r.method);
    r.source = source;
    r.destination = destination;
    return XR_OK;
}

CodecStatus ResPutLine(Resampler* handle, const uint8_t* sourceLine) {
    if (!handle || !sourceLine || !Started(handle)) return XR_ERR_ARGUMENT;
    Resampler& r = *handle;
    if (r.linesIn >= r.source->HEIGHT || (r.linesIn > 0 && !r.awaiting)) return XR_ERR_ARGUMENT;
    r.tapLine = sourceLine;
    ++r.linesIn;
    r.awaiting = 0;
    return XR_OK;
}

CodecStatus ResGetLine(Resampler* handle, uint8_t* destinationLine, int32_t* lineStatus) {
    if (!handle || !destinationLine || !lineStatus || !Started(handle)) return XR_ERR_ARGUMENT;
    Resampler& r = *handle;
    if (r.method >= XR_RESAMPLE_METHOD_COUNT) return XR_ERR_RESAMPLE_METHOD;
    if (r.method != XR_RESAMPLE_NEAREST && !r.work) return XR_ERR_WORK_BUFFER;
    if (r.linesOut >= r.destination->HEIGHT) {
        *lineStatus = XR_RES_LAST_LINE;
        return XR_OK;
    }
    if (r.linesIn == 0 || r.awaiting) {
        *lineStatus = XR_RES_NEED_LINE;
        return XR_OK;
    }
    switch (r.method) {
        case XR_RESAMPLE_NEAREST: return StepNearest(r, destinationLine, lineStatus);
        case XR_RESAMPLE_BILINEAR: return StepBilinear(r, destinationLine, lineStatus);
        default: return StepBicubic(r, destinationLine, lineStatus);
    }
}

CodecStatus ResImage(Resampler* handle, void* destinationPixels, const void* sourcePixels) {
    if (!handle || !destinationPixels || !sourcePixels || !Started(handle)) return XR_ERR_ARGUMENT;
    Resampler& r = *handle;
    if (r.method >= XR_RESAMPLE_METHOD_COUNT) return XR_ERR_RESAMPLE_METHOD;
    if (r.method != XR_RESAMPLE_NEAREST && !r.work) return XR_ERR_WORK_BUFFER;
    r.image(r, static_cast<uint8_t*>(destinationPixels), static_cast<const uint8_t*>(sourcePixels));
    r.linesOut = r.destination->HEIGHT;
    return XR_OK;
}

}  // extern "C"
