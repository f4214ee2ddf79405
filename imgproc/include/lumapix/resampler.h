/*
 * Resamples an image to a new width and height by nearest neighbour, bilinear
 * interpolation or bicubic (cubic convolution with adjustable sharpness). RGB
 * and GRAY are interpolated; YUV, INDEX and MONO are always sampled by nearest
 * neighbour, so they never gain values the source does not hold. Enlargement and
 * reduction are limited to 256 times in each direction.
 *
 * Call order: ResGetHandleSize, ResInit, ResSetMethod, ResStart, then either
 * ResPutLine / ResGetLine from the top line down, or one ResImage call (same
 * result). The handle owns nothing: both images and the work buffer belong to
 * the caller and must outlive the run.
 *
 * Streaming: put source line 0, then call ResGetLine repeatedly. Line status 1:
 * a line was written, advance the destination by its LINEINT and call again;
 * 2: nothing written, put the next source line; 3: the last line was written.
 * The newest source line is read in place, so it must stay valid until the next
 * ResPutLine; earlier lines are kept as copies in the work buffer.
 */
#ifndef LUMAPIX_RESAMPLER_H
#define LUMAPIX_RESAMPLER_H

#include <stddef.h>
#include <stdint.h>

#include "lumapix/xr_image.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The handle; allocate ResGetHandleSize() bytes with malloc-like alignment. */
typedef struct Resampler Resampler;

enum {
    XR_RESAMPLE_NEAREST = 0,
    XR_RESAMPLE_BILINEAR = 1,
    XR_RESAMPLE_BICUBIC = 2,
    XR_RESAMPLE_METHOD_COUNT = 3
};

/* Line status of ResGetLine. */
enum { XR_RES_LINE_WRITTEN = 1, XR_RES_NEED_LINE = 2, XR_RES_LAST_LINE = 3 };

int32_t ResGetHandleSize(void);
/*
 * Work buffer a method needs for a source LINEINT: none for nearest, one line
 * for bilinear, four lines for bicubic.
 */
size_t ResWorkBufferBytes(int32_t method, uint32_t sourceLineBytes);

/* Zeroes the handle: nearest neighbour, sharpness 0, no work buffer. */
CodecStatus ResInit(Resampler* handle);
/*
 * method 0 nearest, 1 bilinear, 2 bicubic (else 0x1100); sharpness acts on
 * bicubic only and is clamped to -128 (smooth, no overshoot) .. 127 (sharp);
 * 0 is the usual cubic convolution with a = -1. workBuffer holds
 * ResWorkBufferBytes bytes. Undoes an earlier ResStart.
 */
CodecStatus ResSetMethod(Resampler* handle, int32_t method, int32_t sharpness, void* workBuffer);
/*
 * Checks and plans a run from source to destination: 1 for a null pointer;
 * 9 for modes other than RGB, YUV, GRAY, INDEX and MONO; 4 for a zero size, a
 * LINEINT shorter than a line, modes or PALFMT that differ, or an INDEX image
 * without a palette; 0x1101 for a scale beyond 256 either way. Copies an INDEX
 * source's palette into the destination's.
 */
CodecStatus ResStart(Resampler* handle, XrImage* destination, const XrImage* source);
/* Hands over the next source line; 1 when the resampler has not asked for one. */
CodecStatus ResPutLine(Resampler* handle, const uint8_t* sourceLine);
/*
 * Writes the next output line if it can and sets *lineStatus (see above).
 * 5 when bilinear or bicubic has no work buffer (ResImage likewise).
 */
CodecStatus ResGetLine(Resampler* handle, uint8_t* destinationLine, int32_t* lineStatus);
/* The whole image in one call, top line first; LINEINT of each header apply. */
CodecStatus ResImage(Resampler* handle, void* destinationPixels, const void* sourcePixels);

#ifdef __cplusplus
}
#endif

#endif
