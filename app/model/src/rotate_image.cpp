#include "lumapix/rotate_image.h"

#include <cstddef>
#include <memory>
#include <new>

#include "lumapix/rotator.h"
#include "lumapix/xr_memory.h"
#include "record_swap.hpp"

namespace {

constexpr uint32_t kPaletteEntries = 256;  // what ImageAlloc gives an INDEX record

bool QuarterTurn(int32_t angle) { return angle == XR_ROTATE_90 || angle == XR_ROTATE_270; }

bool KnownAngle(int32_t angle) {
    return angle == XR_ROTATE_COPY || angle == XR_ROTATE_90 || angle == XR_ROTATE_180 || angle == XR_ROTATE_270 ||
           angle == XR_FLIP_LEFT_RIGHT || angle == XR_FLIP_TOP_BOTTOM;
}

// RotStart's mode and angle checks, made before anything is allocated: the
// modes it refuses have no line size, so ImageAlloc would fail first with -1.
CodecStatus Refusal(const XrImage& record, int32_t angle) {
    int32_t mode = record.MODE;
    if (mode >= XR_MODE_RGBW) return XR_ERR_UNSUPPORTED;
    if (mode != XR_MODE_RGB && mode != XR_MODE_GRAY && mode != XR_MODE_INDEX && mode != XR_MODE_MONO)
        return XR_ERR_MISMATCH;
    if (!KnownAngle(angle)) return XR_ERR_UNSUPPORTED;
    if (!record.WIDTH || !record.HEIGHT) return XR_ERR_MISMATCH;
    // Every source line is read in full; a record whose buffer ends early is refused.
    uint32_t lineBytes = ImageLineBytes(mode, record.WIDTH);
    if (record.LINEINT < lineBytes ||
        record.SIZE < uint64_t{record.HEIGHT - 1u} * record.LINEINT + lineBytes)
        return XR_ERR_MISMATCH;
    return XR_OK;
}

CodecStatus Rotate(void* handle, XrImage* destination, const XrImage* source, int32_t lineByLine) {
    if (!lineByLine) return RotImage(handle, destination->PIXELS, source->PIXELS);
    for (uint32_t y = 0; y < source->HEIGHT; ++y) {
        CodecStatus status = RotLine(handle, destination->PIXELS, ImageLine(source, y), static_cast<int32_t>(y));
        if (status != XR_OK) return status;
    }
    return XR_OK;
}

}  // namespace

extern "C" CodecStatus RotateImage(XrImage* record, int32_t angle, int32_t lineByLine) {
    if (!record || !record->PIXELS) return XR_ERR_ARGUMENT;
    CodecStatus status = Refusal(*record, angle);
    if (status != XR_OK) return status;

    lumapix::OwnedImage destination;
    XrImage& image = destination.image;
    image.MODE = record->MODE;
    image.WIDTH = QuarterTurn(angle) ? record->HEIGHT : record->WIDTH;
    image.HEIGHT = QuarterTurn(angle) ? record->WIDTH : record->HEIGHT;
    image.LINEINT = ImageLineBytes(image.MODE, image.WIDTH);
    image.FMT = record->FMT;
    image.PALFMT = record->PALFMT;
    image.PALCOUNT = record->PALCOUNT;
    uint64_t bytes = uint64_t{image.LINEINT} * image.HEIGHT;
    if (bytes > UINT32_MAX) return XR_ERR_INTERNAL;
    image.SIZE = static_cast<uint32_t>(bytes);
    if (ImageAlloc(&image) != XR_OK) return XR_ERR_INTERNAL;

    // The handle holds pointers; allocate it in max_align_t units.
    int32_t handleBytes = RotGetHandleSize();
    size_t units = (static_cast<size_t>(handleBytes) + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t);
    std::unique_ptr<std::max_align_t[]> handle(new (std::nothrow) std::max_align_t[units]());
    if (!handle) return XR_ERR_INTERNAL;
    status = RotInit(handle.get());
    if (status == XR_OK) status = RotStart(handle.get(), &image, record, angle);
    if (status == XR_OK) status = Rotate(handle.get(), &image, record, lineByLine);
    if (status != XR_OK) return status;

    // ImageAlloc gave an INDEX result 256 zeroed entries; a longer source
    // palette is cut there rather than written past them.
    if (image.MODE == XR_MODE_INDEX && record->PALBUT) {
        uint32_t entries = record->PALCOUNT < kPaletteEntries ? record->PALCOUNT : kPaletteEntries;
        XrMemCopy(image.PALBUT, record->PALBUT, size_t{entries} * 4);
    }
    lumapix::TakeOverImage(record, &image);
    return XR_OK;
}
