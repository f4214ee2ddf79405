/*
 * Converts lines of one image mode into another through a 16-bit working line
 * (blue, green, red per pixel, 8-bit values shifted left by 8). Reduction to
 * INDEX or MONO quantises each pixel with one of eight dither modes.
 *
 * Call order: ConvGetHandleSize, ConvInit, ConvSetDither, optionally
 * ConvSetPalette, ConvStart, then ConvLine once per line from the top, or
 * ConvImage. The handle owns nothing: the working line, the error work and any
 * palette belong to the caller and must outlive the conversion.
 */
#ifndef LUMAPIX_MODE_CONVERTER_H
#define LUMAPIX_MODE_CONVERTER_H

#include <stdint.h>

#include "lumapix/xr_image.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Dither modes: how an INDEX or MONO target receives each pixel. */
enum {
    XR_DITHER_NONE = 0,       /* "0 LINE": nearest colour or threshold */
    XR_DITHER_ONE_LINE = 1,   /* "1 LINE": error carried along the line */
    XR_DITHER_TWO_LINES = 2,  /* "2 LINE": Floyd-Steinberg */
    XR_DITHER_THREE_LINES = 3,/* "3 LINE": Jarvis-Judice-Ninke */
    XR_DITHER_PATTERN2 = 4,   /* "2x2 Pattern" (MONO only) */
    XR_DITHER_PATTERN4 = 5,   /* "4x4 Pattern" */
    XR_DITHER_PATTERN8 = 6,   /* "8x8 Pattern" */
    XR_DITHER_PATTERN16 = 7,  /* "16x16 Pattern" */
    XR_DITHER_COUNT = 8
};

enum { XR_PALETTE_SYSTEM = 0, XR_PALETTE_USER = 1 };

/* Bytes of the working line and of the error work a dither mode needs. */
uint32_t ConvWorkLineBytes(uint32_t width);
uint32_t ConvErrorWorkBytes(int32_t ditherMode, uint32_t width);

int32_t ConvGetHandleSize(void);
/* System palette, coefficient 0 (scale 1), threshold 128. */
CodecStatus ConvInit(void* handle);
/*
 * params: dither mode 0..7, coefficient as a signed byte (-128 turns diffusion
 * off, 0 keeps errors whole), MONO threshold. Modes 2 and 3 need errorWork of
 * ConvErrorWorkBytes bytes (else 5).
 */
CodecStatus ConvSetDither(void* handle, const uint8_t params[3], void* errorWork);
/*
 * paletteMode 1 quantises INDEX output to the caller's entries (blue, green, red,
 * 0); with no entries or no palette it falls back to the system palette (mode 0).
 * Other modes give 0x1001.
 */
CodecStatus ConvSetPalette(void* handle, int32_t paletteMode, uint32_t entryCount, const uint8_t* palette);
/*
 * Binds both headers, fills an INDEX destination's palette and sets the
 * destination FMT (16 for the 16-bit modes, else 8). 4 for sizes that differ or
 * are zero, an INDEX source without a 256-entry palette, or modes outside 1..10.
 */
CodecStatus ConvStart(void* handle, XrImage* destination, const XrImage* source, uint8_t* workLine);
CodecStatus ConvLine(void* handle, uint8_t* destinationLine, const uint8_t* sourceLine);
CodecStatus ConvImage(void* handle, void* destinationPixels, const void* sourcePixels);

#ifdef __cplusplus
}
#endif

#endif
