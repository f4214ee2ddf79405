// What the view paints: a top-down bitmap made from a document's record, with
// the sample window that decides which bits of wide samples are shown.
#ifndef LUMAPIX_DISPLAY_BITMAP_H
#define LUMAPIX_DISPLAY_BITMAP_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "lumapix/xr_image.h"

namespace lumapix {

// Bits lo..hi of a sample are shown (bit numbers count from 1).
struct BitWindow {
    int32_t lo = 1;
    int32_t hi = 8;
};

// Significant bits of a sample format: |FMT|, with 0 read as 8.
int32_t SampleBits(int8_t fmt);

// The window a freshly shown image gets: all its bits.
BitWindow DefaultBitWindow(int8_t fmt);

// One sample through the window: low bits cleared, capped at hi bits, scaled to 8 bits.
uint8_t DisplaySample(uint32_t sample, BitWindow window);

struct DisplayBitmap {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bitsPerPixel = 0;     // 24 (B, G, R), 8 (palette) or 1 (two-entry palette)
    uint32_t stride = 0;           // bytes per line, a multiple of 4
    std::vector<uint32_t> palette; // 0xAARRGGBB, for 8 and 1 bits per pixel
    std::vector<uint8_t> pixels;   // top-down lines

    bool empty() const { return pixels.empty(); }
    const uint8_t* Line(uint32_t y) const { return pixels.data() + static_cast<std::size_t>(y) * stride; }
};

// Per-bit sample counts: entry k counts the samples with bit k + 1 set.
using BitCounts = std::array<uint32_t, 16>;

// Rebuilds bitmap from image. Modes without a display rule, or a failed
// allocation, leave it empty and return false. counts, when given, receives the
// per-bit counts of RGB, GRAY, RGBW and GRAYW samples (zero for other modes).
bool BuildDisplayBitmap(const XrImage& image, BitWindow window, DisplayBitmap* bitmap, BitCounts* counts = nullptr);

}  // namespace lumapix

#endif
