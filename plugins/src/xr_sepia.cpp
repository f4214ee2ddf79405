// Sepia tone for RGB images and for the palette of INDEX images. The tone
// fades in over a few redisplayed steps before it settles at full strength.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <thread>

#include "lumapix/xr_plugin.h"
#include "saved_image.h"

namespace {

constexpr int kSteps = 4;
constexpr auto kStepTime = std::chrono::milliseconds(50);

int Clamp255(int value) { return value < 255 ? value : 255; }

// Blend of a sample with its toned value; strength 256 is the full tone.
uint8_t Mix(int from, int to, int strength) {
    return static_cast<uint8_t>(from + (((to - from) * strength + 128) >> 8));
}

// count blue, green, red triples, stride bytes apart, from source to target.
void Tone(const uint8_t* source, uint8_t* target, size_t count, size_t stride, int strength) {
    for (size_t i = 0; i < count; ++i, source += stride, target += stride) {
        const int b = source[0], g = source[1], r = source[2];
        // The usual sepia matrix in 1/1024 steps.
        const int toR = Clamp255((402 * r + 787 * g + 194 * b + 512) >> 10);
        const int toG = Clamp255((357 * r + 702 * g + 172 * b + 512) >> 10);
        const int toB = Clamp255((279 * r + 547 * g + 134 * b + 512) >> 10);
        target[0] = Mix(b, toB, strength);
        target[1] = Mix(g, toG, strength);
        target[2] = Mix(r, toR, strength);
    }
}

// Always from the saved original, so the steps do not compound.
void Apply(const XrImage& saved, XrImage& image, int strength) {
    if (image.MODE == XR_MODE_INDEX) {
        Tone(saved.PALBUT, image.PALBUT, image.PALCOUNT, 4, strength);
        return;
    }
    for (uint32_t y = 0; y < image.HEIGHT; ++y)
        Tone(ImageLine(&saved, y), ImageLine(&image, y), image.WIDTH, 3, strength);
}

}  // namespace

extern "C" {

void XrPluginInfo(char* name) {
    static const char kName[] = "セピア調";
    std::memcpy(name, kName, sizeof kName);
}

int32_t XrPluginQuery(const XrImage* image) {
    if (!image || !image->PIXELS) return XR_ERR_UNSUPPORTED;
    if (image->MODE == XR_MODE_RGB && image->LINEINT >= ImageLineBytes(XR_MODE_RGB, image->WIDTH)) return XR_OK;
    if (image->MODE == XR_MODE_INDEX && image->PALBUT && image->PALCOUNT > 0) return XR_OK;
    return XR_ERR_UNSUPPORTED;
}

int32_t XrPluginExec(XrImage* image, const XrPluginParams* params) {
    if (XrPluginQuery(image) != XR_OK) return XR_ERR_UNSUPPORTED;
    if (!HasMatchingSaved(*image, params)) return XR_ERR_ARGUMENT;
    // Each preview step is shown for at least kStepTime so the fade is seen
    // even on small images.
    const auto start = std::chrono::steady_clock::now();
    for (int step = 1; step < kSteps; ++step) {
        Apply(params->saved, *image, 256 * step / kSteps);
        params->refresh();
        std::this_thread::sleep_until(start + step * kStepTime);
    }
    Apply(params->saved, *image, 256);
    return XR_OK;
}

}  // extern "C"
