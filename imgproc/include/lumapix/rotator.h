/*
 * Rotates an image by quarter turns clockwise, or mirrors it, one source line
 * at a time into a destination the rotator clears first. Modes RGB, GRAY,
 * INDEX and MONO.
 *
 * Call order: RotGetHandleSize, RotInit, RotStart, then RotLine for every
 * source line, or RotImage. The caller allocates the handle (aligned for a
 * pointer). It owns nothing and keeps copies of both headers, so the records
 * may move but their buffers must not shrink. Each RotLine writes its pixels
 * at their final place, so lines may come in any order.
 */
#ifndef LUMAPIX_ROTATOR_H
#define LUMAPIX_ROTATOR_H

#include <stdint.h>

#include "lumapix/xr_image.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Angle codes: clockwise quarter turns and the two mirrors. */
enum {
    XR_ROTATE_COPY = 0,
    XR_ROTATE_90 = 90,
    XR_ROTATE_180 = 180,
    XR_ROTATE_270 = 270,
    XR_FLIP_LEFT_RIGHT = -1,
    XR_FLIP_TOP_BOTTOM = -2
};

int32_t RotGetHandleSize(void);
/* Zeroes the handle; the angle becomes 0 (copy). 1 for a null handle. */
CodecStatus RotInit(void* handle);
/*
 * Checks and binds both headers, then fills SIZE bytes of the destination
 * pixels with zeros. 1 for a null pointer; 4 when the modes differ, the mode
 * is not RGB, GRAY, INDEX or MONO, the sizes do not fit the angle (90 and 270
 * swap width and height), a size is zero, or a LINEINT or the destination
 * SIZE is too small for its lines; 9 for mode 6 and above or an angle other
 * than 0, 90, 180, 270, -1, -2.
 */
CodecStatus RotStart(void* handle, XrImage* destination, const XrImage* source, int32_t angle);
/*
 * Places source line y (its first pixel at sourceLine) into the destination
 * pixel buffer. Only the pixels of the line are written; LINEINT padding and
 * the spare bits at the end of MONO rows stay zero. 0x1200 for y outside the
 * source, 0x1202 before a successful RotStart.
 */
CodecStatus RotLine(void* handle, void* destinationPixels, const uint8_t* sourceLine, int32_t y);
/*
 * Clears the destination again and places every source line (stepping by the
 * source LINEINT). Same result as RotLine for y = 0 ... height - 1.
 */
CodecStatus RotImage(void* handle, void* destinationPixels, const void* sourcePixels);

#ifdef __cplusplus
}
#endif

#endif
