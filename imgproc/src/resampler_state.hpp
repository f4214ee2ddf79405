// The resampler's handle and the routine types its line kernels share.
#ifndef LUMAPIX_RESAMPLER_STATE_HPP
#define LUMAPIX_RESAMPLER_STATE_HPP

#include <cstdint>

#include "lumapix/resampler.h"
#include "lumapix/scaled_decode.h"

namespace lumapix::res {

inline constexpr int kPhases = 16;  // kernel phases: the top 4 bits of a 16-bit fraction
inline constexpr int kTaps = 4;
inline constexpr int32_t kOne = 0x10000;  // 1.0 in 16.16

// One output line from the vertical window. rows[0] is the window's top row:
// row y for nearest and bilinear (bilinear adds y + 1 in rows[1]), row y - 1 for
// bicubic (up to y + 2 in rows[3]). fraction is the 16-bit vertical fraction.
using LineFn = void (*)(const Resampler& r, const uint8_t* const* rows, uint32_t fraction, uint8_t* out);
// Every output line from a whole source image.
using ImageFn = void (*)(const Resampler& r, uint8_t* destination, const uint8_t* source);

}  // namespace lumapix::res

// 344 bytes with 32-bit pointers, 392 with 64-bit ones.
struct Resampler {
    const XrImage* source;
    const XrImage* destination;
    int32_t sourceLineBytes;        // source LINEINT
    uint8_t* slots[4];              // copied rows of the vertical window, oldest first (bicubic uses 3)
    const uint8_t* tapLine;         // newest source line, read in place
    int32_t linesIn;
    int32_t linesOut;
    int32_t accumulator;            // 16.16 vertical position past the window's row y
    uint8_t method;
    int8_t sharpness;
    uint8_t priming;                // lines still to copy into the window before the first output
    uint8_t awaiting;               // status 2 given, no line put since
    int32_t startX;                 // bicubic horizontal start, integer part
    uint16_t startXFraction;
    int32_t startY;                 // computed alongside; vertical sampling starts at row 0
    uint16_t startYFraction;
    uint32_t stepX, stepY;          // 16.16 source pixels per output pixel
    int16_t kernelX[lumapix::res::kPhases][lumapix::res::kTaps];  // Q8, each phase sums to 256
    int16_t kernelY[lumapix::res::kPhases][lumapix::res::kTaps];
    lumapix::res::ImageFn image;
    lumapix::res::LineFn line;
    uint8_t* work;                  // caller's buffer for the copied rows
    XrLineStretchFn stretch;        // nearest-neighbour stretch of the mode
};

static_assert(sizeof(void*) != 4 || sizeof(Resampler) == 344);
static_assert(sizeof(void*) != 8 || sizeof(Resampler) == 392);

#endif
