#include "lumapix/resize_image.h"

#include <cstddef>
#include <memory>
#include <new>

#include "adapter_support.hpp"
#include "lumapix/resampler.h"
#include "lumapix/xr_memory.h"
#include "record_swap.hpp"

namespace {

bool ResampledMode(int32_t mode) { return mode >= XR_MODE_RGB && mode <= XR_MODE_MONO; }

// The resampler's own limit, checked before the destination is allocated so that
// a refused size never costs a large allocation.
bool WithinScale(uint32_t from, uint32_t to) {
    const uint64_t step = (uint64_t{from} << 16) / to;
    return step >= 0x100 && step <= 0x1000000;
}

// Puts source lines until the resampler has written its last line.
CodecStatus Stream(Resampler* handle, const XrImage& source, const XrImage& destination) {
    auto* out = static_cast<uint8_t*>(destination.PIXELS);
    for (uint32_t y = 0; y < source.HEIGHT; ++y) {
        CodecStatus status = ResPutLine(handle, ImageLine(&source, y));
        if (status != XR_OK) return status;
        for (;;) {
            int32_t line = 0;
            status = ResGetLine(handle, out, &line);
            if (status != XR_OK) return status;
            if (line == XR_RES_LAST_LINE) return XR_OK;
            if (line == XR_RES_NEED_LINE) break;
            if (line != XR_RES_LINE_WRITTEN) return line;
            out += destination.LINEINT;
        }
    }
    return XR_ERR_INTERNAL;  // the source ran out before the last output line
}

}  // namespace

extern "C" CodecStatus ResizeImage(XrImage* record, int32_t method, int32_t newWidth, int32_t newHeight,
                                   int32_t sharpness, int32_t lineByLine) {
    if (!record || !record->PIXELS) return XR_ERR_ARGUMENT;
    if (method < XR_RESAMPLE_NEAREST || method >= XR_RESAMPLE_METHOD_COUNT) return XR_ERR_RESAMPLE_METHOD;
    if (!ResampledMode(record->MODE)) return XR_ERR_UNSUPPORTED;
    if (newWidth <= 0 || newHeight <= 0 || !record->WIDTH || !record->HEIGHT) return XR_ERR_MISMATCH;
    if (newWidth > UINT16_MAX || newHeight > UINT16_MAX) return XR_ERR_UNSUPPORTED;
    const auto width = static_cast<uint16_t>(newWidth), height = static_cast<uint16_t>(newHeight);
    if (!WithinScale(record->WIDTH, width) || !WithinScale(record->HEIGHT, height)) return XR_ERR_RESAMPLE_SCALE;

    lumapix::OwnedImage destination;
    XrImage& image = destination.image;
    image.MODE = record->MODE;
    image.WIDTH = width;
    image.HEIGHT = height;
    image.LINEINT = ImageLineBytes(record->MODE, width);
    image.FMT = record->FMT;
    image.PALFMT = record->PALFMT;
    // Only INDEX gets a palette (ImageAlloc makes it 256 entries); a count without one would mislead.
    image.PALCOUNT = record->MODE == XR_MODE_INDEX ? record->PALCOUNT : 0;
    CodecStatus status = ImageAlloc(&image);
    if (status != XR_OK) return status;

    lumapix::CodecHandle handleBlock(ResGetHandleSize());
    if (!handleBlock) return XR_ERR_INTERNAL;
    auto* handle = static_cast<Resampler*>(handleBlock.get());
    const size_t workBytes = ResWorkBufferBytes(method, record->LINEINT);
    std::unique_ptr<uint8_t[]> work(workBytes ? new (std::nothrow) uint8_t[workBytes] : nullptr);
    if (workBytes && !work) return XR_ERR_INTERNAL;

    status = ResInit(handle);
    if (status == XR_OK) status = ResSetMethod(handle, method, sharpness, work.get());
    if (status == XR_OK) status = ResStart(handle, &image, record);
    if (status == XR_OK)
        status = lineByLine ? Stream(handle, *record, image) : ResImage(handle, image.PIXELS, record->PIXELS);
    if (status != XR_OK) return status;

    if (record->MODE == XR_MODE_INDEX) {
        const uint32_t entries = record->PALCOUNT < image.PALCOUNT ? record->PALCOUNT : image.PALCOUNT;
        XrMemCopy(image.PALBUT, record->PALBUT, size_t{entries} * 4);
    }
    lumapix::TakeOverImage(record, &image);
    return XR_OK;
}
