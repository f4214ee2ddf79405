/* Converting a document's record to another image mode in place. */
#ifndef LUMAPIX_MODE_CONVERSION_H
#define LUMAPIX_MODE_CONVERSION_H

#include <stdint.h>

#include "lumapix/xr_image.h"

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Converts record to newMode (1..10). ditherMode 0..7, coefficient -128..127 and
 * threshold 0..255 act on INDEX and MONO targets; userPalette (256 entries of
 * blue, green, red, 0) replaces the system palette for INDEX targets when not
 * null; monoPaletteFormat becomes the new PALFMT. lineByLine chooses ConvLine
 * per line over ConvImage (same result). On success the record holds the new
 * image and its old buffers are freed; on any failure it is left untouched.
 */
CodecStatus ConvertImageMode(XrImage* record, int32_t newMode, int32_t ditherMode, int32_t coefficient,
                             int32_t threshold, int32_t lineByLine, const uint8_t* userPalette,
                             uint8_t monoPaletteFormat);

#ifdef __cplusplus
}
#endif

#endif
