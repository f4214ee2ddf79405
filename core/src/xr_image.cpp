#include "lumapix/xr_image.h"

#include <cstddef>

#include "lumapix/xr_memory.h"

namespace {

constexpr uint32_t kPaletteEntries = 256;
constexpr uint32_t kPaletteBytes = kPaletteEntries * 4;

// One block: the two plane pointers, then luma, then chroma.
bool AllocPlanar(XrImage* image) {
    size_t planeBytes = image->SIZE;
    size_t header = 2 * sizeof(uint8_t*);
    auto* block = static_cast<uint8_t*>(XrMemAlloc(header + 2 * planeBytes));
    if (!block) return false;
    auto** planes = reinterpret_cast<uint8_t**>(block);
    planes[0] = block + header;
    planes[1] = block + header + planeBytes;
    XrMemFill(planes[0], 0, 2 * planeBytes);
    image->PIXELS = block;
    return true;
}

}  // namespace

extern "C" {

uint32_t ImageLineBytes(int32_t mode, uint32_t width) {
    switch (mode) {
        case XR_MODE_RGB: case XR_MODE_LAB: case XR_MODE_YUV3: return 3 * width;
        case XR_MODE_YUV: case XR_MODE_GRAYW: case XR_MODE_HIGH: return 2 * width;
        case XR_MODE_GRAY: case XR_MODE_INDEX: return width;
        case XR_MODE_MONO: return (width + 7) / 8;
        case XR_MODE_RGBW: case XR_MODE_X6: return 6 * width;
        case XR_MODE_YUVW: case XR_MODE_X4: return 4 * width;
        default: return 0;
    }
}

CodecStatus ImageAlloc(XrImage* image) {
    if (!image) return XR_ERR_ARGUMENT;
    if (image->SIZE == 0) {
        uint64_t bytes = uint64_t{image->HEIGHT} * image->LINEINT;
        if (bytes == 0 || bytes > UINT32_MAX) return XR_ERR_INTERNAL;
        image->SIZE = static_cast<uint32_t>(bytes);
    }
    if (!image->PIXELS) {
        if (image->MODE == XR_MODE_YUV_PLANAR) {
            if (!AllocPlanar(image)) return XR_ERR_INTERNAL;
        } else {
            image->PIXELS = XrMemAlloc(image->SIZE);
            if (!image->PIXELS) return XR_ERR_INTERNAL;
            XrMemFill(image->PIXELS, 0, image->SIZE);
        }
    } else if (image->MODE == XR_MODE_YUV_PLANAR) {
        XrMemFill(ImagePlane(image, 0), 0, image->SIZE);
        XrMemFill(ImagePlane(image, 1), 0, image->SIZE);
    } else {
        XrMemFill(image->PIXELS, 0, image->SIZE);
    }
    if (image->MODE == XR_MODE_INDEX) {
        image->PALCOUNT = kPaletteEntries;
        image->PALBUT = static_cast<uint8_t*>(XrMemAlloc(kPaletteBytes));
        if (!image->PALBUT) return XR_ERR_INTERNAL;
    }
    if (image->PALBUT) XrMemFill(image->PALBUT, 0, size_t{image->PALCOUNT} * 4);
    return XR_OK;
}

CodecStatus ImageFree(XrImage* image) {
    if (!image) return XR_OK;
    XrMemFree(image->OBJECT);
    XrMemFree(image->PIXELS);
    XrMemFree(image->PALBUT);
    *image = XrImage{};
    return XR_OK;
}

void ImageCopyHeader(XrImage* destination, const XrImage* source) {
    destination->MODE = source->MODE;
    destination->WIDTH = source->WIDTH;
    destination->HEIGHT = source->HEIGHT;
    destination->LINEINT = source->LINEINT;
    destination->FMT = source->FMT;
    destination->PALFMT = source->PALFMT;
    destination->PALCOUNT = source->PALCOUNT;
    destination->PALBUT = source->PALBUT;
    destination->OBJECT = source->OBJECT;
}

CodecStatus ImageCopy(XrImage* destination, const XrImage* source) {
    if (!destination || !source) return XR_ERR_ARGUMENT;
    if (destination == source) return XR_OK;
    ImageFree(destination);
    ImageCopyHeader(destination, source);
    destination->SIZE = source->SIZE;
    destination->OBJECT = nullptr;
    destination->PIXELS = nullptr;
    destination->PALBUT = nullptr;
    if (ImageAlloc(destination) != XR_OK) {
        ImageFree(destination);
        return XR_ERR_INTERNAL;
    }
    if (source->PIXELS) {
        if (source->MODE == XR_MODE_YUV_PLANAR) {
            XrMemCopy(ImagePlane(destination, 0), ImagePlane(source, 0), source->SIZE);
            XrMemCopy(ImagePlane(destination, 1), ImagePlane(source, 1), source->SIZE);
        } else {
            XrMemCopy(destination->PIXELS, source->PIXELS, source->SIZE);
        }
    }
    if (source->MODE == XR_MODE_INDEX && source->PALBUT) {
        uint32_t entries = source->PALCOUNT < kPaletteEntries ? source->PALCOUNT : kPaletteEntries;
        XrMemCopy(destination->PALBUT, source->PALBUT, size_t{entries} * 4);
    }
    return XR_OK;
}

CodecStatus ImagePlaceholder(XrImage* image) {
    if (!image) return XR_ERR_ARGUMENT;
    ImageFree(image);
    image->MODE = XR_MODE_RGB;
    image->WIDTH = 128;
    image->HEIGHT = 32;
    image->LINEINT = 384;
    image->FMT = 8;
    image->SIZE = 12288;
    return ImageAlloc(image) == XR_OK ? XR_OK : XR_ERR_INTERNAL;
}

uint8_t* ImagePlane(const XrImage* image, int plane) {
    if (!image || !image->PIXELS || plane < 0 || plane > 1) return nullptr;
    return static_cast<uint8_t* const*>(image->PIXELS)[plane];
}

uint8_t* ImageLine(const XrImage* image, uint32_t y) {
    if (!image || !image->PIXELS) return nullptr;
    uint8_t* first = image->MODE == XR_MODE_YUV_PLANAR ? ImagePlane(image, 0)
                                                       : static_cast<uint8_t*>(image->PIXELS);
    return first + size_t{y} * image->LINEINT;
}

const char* ImageModeName(int32_t mode) {
    static constexpr const char* kNames[XR_MODE_COUNT] = {
        "UNKNOWN", "RGB", "YUV", "GRAY", "INDEX", "MONO", "RGBW", "YUVW",
        "GRAYW", "LAB", "HIGH", "MODE11", "MODE12", "MODE13", "YUV422P"};
    return mode >= 0 && mode < XR_MODE_COUNT ? kNames[mode] : "UNKNOWN";
}

}  // extern "C"
