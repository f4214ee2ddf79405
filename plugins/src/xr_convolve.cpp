// Sharpen: a 3x3 convolution, twice the image minus its Gaussian blur.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "lumapix/xr_plugin.h"
#include "saved_image.h"

namespace {

// 2 x identity - [1 2 1; 2 4 2; 1 2 1] / 16, in sixteenths.
constexpr int kKernel[3][3] = {{-1, -2, -1}, {-2, 28, -2}, {-1, -2, -1}};
constexpr int kShift = 4;

struct Layout {
    unsigned channels;
    bool wide;  // 16-bit little-endian samples
};

bool LayoutOf(int32_t mode, Layout* layout) {
    switch (mode) {
        case XR_MODE_RGB: *layout = {3, false}; return true;
        case XR_MODE_GRAY: *layout = {1, false}; return true;
        case XR_MODE_RGBW: *layout = {3, true}; return true;
        case XR_MODE_GRAYW: *layout = {1, true}; return true;
        default: return false;
    }
}

template <bool Wide>
int Load(const uint8_t* line, size_t index) {
    if constexpr (Wide) return line[2 * index] | line[2 * index + 1] << 8;
    return line[index];
}

template <bool Wide>
void Store(uint8_t* line, size_t index, int value) {
    if constexpr (Wide) {
        line[2 * index] = static_cast<uint8_t>(value);
        line[2 * index + 1] = static_cast<uint8_t>(value >> 8);
    } else {
        line[index] = static_cast<uint8_t>(value);
    }
}

// Reads source, writes target (same layout). Coordinates outside the image
// are clamped to the nearest edge pixel.
template <bool Wide>
void Convolve(const XrImage& source, const XrImage& target, unsigned channels, int maxValue) {
    const uint32_t width = target.WIDTH;
    const uint32_t height = target.HEIGHT;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* rows[3] = {ImageLine(&source, y > 0 ? y - 1 : 0), ImageLine(&source, y),
                                  ImageLine(&source, y + 1 < height ? y + 1 : y)};
        uint8_t* out = ImageLine(&target, y);
        for (uint32_t x = 0; x < width; ++x) {
            const size_t columns[3] = {size_t{x > 0 ? x - 1 : 0} * channels, size_t{x} * channels,
                                       size_t{x + 1 < width ? x + 1 : x} * channels};
            for (unsigned c = 0; c < channels; ++c) {
                int sum = 0;
                for (int r = 0; r < 3; ++r)
                    for (int k = 0; k < 3; ++k) sum += kKernel[r][k] * Load<Wide>(rows[r], columns[k] + c);
                int value = sum < 0 ? 0 : (sum + (1 << (kShift - 1))) >> kShift;
                Store<Wide>(out, columns[1] + c, value < maxValue ? value : maxValue);
            }
        }
    }
}

}  // namespace

extern "C" {

void XrPluginInfo(char* name) {
    static const char kName[] = "シャープ (3x3)";
    std::memcpy(name, kName, sizeof kName);
}

int32_t XrPluginQuery(const XrImage* image) {
    Layout layout{};
    if (!image || !image->PIXELS || image->WIDTH == 0 || image->HEIGHT == 0) return XR_ERR_UNSUPPORTED;
    if (!LayoutOf(image->MODE, &layout) || image->LINEINT < ImageLineBytes(image->MODE, image->WIDTH))
        return XR_ERR_UNSUPPORTED;
    return image->FMT < 0 ? XR_ERR_UNSUPPORTED : XR_OK;  // signed samples
}

int32_t XrPluginExec(XrImage* image, const XrPluginParams* params) {
    if (XrPluginQuery(image) != XR_OK) return XR_ERR_UNSUPPORTED;
    if (!HasMatchingSaved(*image, params)) return XR_ERR_ARGUMENT;
    Layout layout{};
    LayoutOf(image->MODE, &layout);
    // Clamp to the significant bits: a 12-bit image must stay 12-bit.
    int bits = image->FMT == 0 ? 8 : image->FMT;
    int widest = layout.wide ? 16 : 8;
    int maxValue = (1 << (bits < widest ? bits : widest)) - 1;
    if (layout.wide)
        Convolve<true>(params->saved, *image, layout.channels, maxValue);
    else
        Convolve<false>(params->saved, *image, layout.channels, maxValue);
    return XR_OK;
}

}  // extern "C"
