#include "lumapix/test_images.h"

namespace {

// The "F": a vertical bar on the left third, a full top arm and a shorter middle arm.
bool InLetterF(uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
    uint32_t left = width / 5, right = width * 4 / 5, shortRight = width * 3 / 5;
    uint32_t top = height / 6, bottom = height * 5 / 6;
    uint32_t stroke = (width < height ? width : height) / 8 + 1;
    if (x < left || x >= right || y < top || y >= bottom) return false;
    if (x < left + stroke) return true;
    if (y < top + stroke) return true;
    uint32_t middle = (top + bottom) / 2;
    return y >= middle && y < middle + stroke && x < shortRight;
}

struct Colour {
    uint8_t blue, green, red;
};

Colour At(uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
    if (InLetterF(x, y, width, height)) return {0, 0, 255};  // red letter
    auto ramp = [](uint32_t v, uint32_t n) { return static_cast<uint8_t>(n > 1 ? v * 255 / (n - 1) : 0); };
    return {static_cast<uint8_t>(255 - ramp(y, height) / 2), ramp(y, height), ramp(x, width)};
}

uint8_t Luma(Colour c) { return static_cast<uint8_t>((77 * c.red + 150 * c.green + 29 * c.blue) >> 8); }

}  // namespace

extern "C" CodecStatus MakeTestImage(XrImage* image, int32_t mode, uint16_t width, uint16_t height) {
    if (!image || width == 0 || height == 0) return XR_ERR_ARGUMENT;
    if (mode != XR_MODE_RGB && mode != XR_MODE_GRAY && mode != XR_MODE_INDEX && mode != XR_MODE_MONO &&
        mode != XR_MODE_HIGH)
        return XR_ERR_UNSUPPORTED;
    ImageFree(image);
    image->MODE = mode;
    image->WIDTH = width;
    image->HEIGHT = height;
    image->LINEINT = ImageLineBytes(mode, width);
    if (ImageAlloc(image) != XR_OK) {
        ImageFree(image);
        return XR_ERR_INTERNAL;
    }
    if (mode == XR_MODE_INDEX) {
        // 3-3-2 colour cube.
        for (uint32_t i = 0; i < 256; ++i) {
            image->PALBUT[4 * i + 0] = static_cast<uint8_t>((i & 3) * 85);
            image->PALBUT[4 * i + 1] = static_cast<uint8_t>((i >> 2 & 7) * 255 / 7);
            image->PALBUT[4 * i + 2] = static_cast<uint8_t>((i >> 5) * 255 / 7);
        }
    }
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* line = ImageLine(image, y);
        for (uint32_t x = 0; x < width; ++x) {
            Colour c = At(x, y, width, height);
            switch (mode) {
                case XR_MODE_RGB:
                    line[3 * x] = c.blue;
                    line[3 * x + 1] = c.green;
                    line[3 * x + 2] = c.red;
                    break;
                case XR_MODE_GRAY: line[x] = Luma(c); break;
                case XR_MODE_INDEX:
                    line[x] = static_cast<uint8_t>((c.red >> 5) << 5 | (c.green >> 5) << 2 | c.blue >> 6);
                    break;
                case XR_MODE_MONO:
                    if (Luma(c) >= 128) line[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
                    break;
                case XR_MODE_HIGH: {
                    uint32_t v = uint32_t(c.red >> 3) << 11 | uint32_t(c.green >> 2) << 5 | uint32_t(c.blue >> 3);
                    line[2 * x] = static_cast<uint8_t>(v >> 8);
                    line[2 * x + 1] = static_cast<uint8_t>(v);
                    break;
                }
            }
        }
    }
    return XR_OK;
}
