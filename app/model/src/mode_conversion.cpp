#include "lumapix/mode_conversion.h"

#include <cstddef>
#include <memory>
#include <new>

#include "lumapix/mode_converter.h"
#include "lumapix/xr_memory.h"
#include "record_swap.hpp"

namespace {

// Zeroed caller-side memory for the converter: the handle, the error work and the
// working line hold 16-bit and wider values, so allocate in max_align_t units.
class WorkBlock {
public:
    explicit WorkBlock(size_t bytes)
        : block_(bytes ? new (std::nothrow) std::max_align_t[Units(bytes)]() : nullptr) {}
    void* get() const { return block_.get(); }
    explicit operator bool() const { return block_ != nullptr; }

private:
    static size_t Units(size_t bytes) {
        return (bytes + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t);
    }
    std::unique_ptr<std::max_align_t[]> block_;
};

bool SupportedMode(int32_t mode) { return mode >= XR_MODE_RGB && mode <= XR_MODE_HIGH; }

CodecStatus Convert(void* handle, XrImage* destination, const XrImage* source, int32_t lineByLine) {
    if (!lineByLine) return ConvImage(handle, destination->PIXELS, source->PIXELS);
    for (uint32_t y = 0; y < source->HEIGHT; ++y) {
        CodecStatus status = ConvLine(handle, ImageLine(destination, y), ImageLine(source, y));
        if (status != XR_OK) return status;
    }
    return XR_OK;
}

}  // namespace

extern "C" CodecStatus ConvertImageMode(XrImage* record, int32_t newMode, int32_t ditherMode,
                                        int32_t coefficient, int32_t threshold, int32_t lineByLine,
                                        const uint8_t* userPalette, uint8_t monoPaletteFormat) {
    if (!record || !record->PIXELS) return XR_ERR_ARGUMENT;
    if (!SupportedMode(newMode)) return XR_ERR_MISMATCH;
    if (ditherMode < 0 || ditherMode >= XR_DITHER_COUNT) return XR_ERR_DITHER_MODE;
    if (coefficient < -128 || coefficient > 127 || threshold < 0 || threshold > 255) return XR_ERR_ARGUMENT;
    if (monoPaletteFormat > XR_PALFMT_WHITEISZERO) return XR_ERR_ARGUMENT;
    // Planar YUV and the 3/4/6-byte modes have no unpack in the converter.
    if (!SupportedMode(record->MODE)) return XR_ERR_MISMATCH;
    // ImageAlloc cannot size an empty image; report it as ConvStart would.
    if (record->WIDTH == 0 || record->HEIGHT == 0) return XR_ERR_MISMATCH;

    lumapix::OwnedImage destination;
    XrImage& image = destination.image;
    image.MODE = newMode;
    image.WIDTH = record->WIDTH;
    image.HEIGHT = record->HEIGHT;
    image.LINEINT = ImageLineBytes(newMode, record->WIDTH);
    image.PALFMT = monoPaletteFormat;
    uint64_t bytes = uint64_t{image.LINEINT} * image.HEIGHT;
    if (bytes > UINT32_MAX) return XR_ERR_INTERNAL;
    image.SIZE = static_cast<uint32_t>(bytes);
    if (ImageAlloc(&image) != XR_OK) return XR_ERR_INTERNAL;

    int32_t handleBytes = ConvGetHandleSize();
    WorkBlock handle(handleBytes > 0 ? static_cast<size_t>(handleBytes) : 1);
    if (!handle) return XR_ERR_INTERNAL;
    CodecStatus status = ConvInit(handle.get());
    if (status != XR_OK) return status;

    uint32_t errorBytes = ConvErrorWorkBytes(ditherMode, record->WIDTH);
    WorkBlock errorWork(errorBytes);
    if (errorBytes && !errorWork) return XR_ERR_INTERNAL;
    // The coefficient travels as a signed byte.
    const uint8_t params[3] = {static_cast<uint8_t>(ditherMode),
                               static_cast<uint8_t>(static_cast<int8_t>(coefficient)),
                               static_cast<uint8_t>(threshold)};
    status = ConvSetDither(handle.get(), params, errorWork.get());
    if (status != XR_OK) return status;
    if (userPalette) {
        status = ConvSetPalette(handle.get(), XR_PALETTE_USER, 256, userPalette);
        if (status != XR_OK) return status;
    }

    WorkBlock workLine(ConvWorkLineBytes(record->WIDTH));
    if (!workLine) return XR_ERR_INTERNAL;
    status = ConvStart(handle.get(), &image, record, static_cast<uint8_t*>(workLine.get()));
    if (status == XR_OK) status = Convert(handle.get(), &image, record, lineByLine);
    if (status != XR_OK) return status;

    lumapix::TakeOverImage(record, &image);
    return XR_OK;
}
