/* Resampling a document's record to a new size in place. */
#ifndef LUMAPIX_RESIZE_IMAGE_H
#define LUMAPIX_RESIZE_IMAGE_H

#include <stdint.h>

#include "lumapix/xr_image.h"

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Resamples record (RGB, YUV, GRAY, INDEX or MONO) to newWidth x newHeight:
 * method 0 nearest, 1 bilinear, 2 bicubic with sharpness -128..127 (clamped).
 * lineByLine streams the lines through the resampler instead of one whole-image
 * call (same result). Mode, FMT, PALFMT and an INDEX palette are kept. On
 * success the record holds the new image and its old buffers are freed; on any
 * failure it is left untouched: 1 no record or pixels, 4 a zero size, 9 another
 * mode or a size above 65535, 0x1100 an unknown method, 0x1101 a scale beyond
 * 256 either way, -1 when memory runs out.
 */
CodecStatus ResizeImage(XrImage* record, int32_t method, int32_t newWidth, int32_t newHeight, int32_t sharpness,
                        int32_t lineByLine);

#ifdef __cplusplus
}
#endif

#endif
