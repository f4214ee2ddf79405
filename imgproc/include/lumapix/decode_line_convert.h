/*
 * Line routines used by every scaled decode: clip-window extraction by source
 * mode, in-place conversion to the target mode, nearest-neighbour stretch.
 */
#ifndef LUMAPIX_DECODE_LINE_CONVERT_H
#define LUMAPIX_DECODE_LINE_CONVERT_H

#include "lumapix/scaled_decode.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The tables a codec hands to ScaledDecodeSetup. */
const XrLineConverterTables* DecodeLineConvertTables(void);

/*
 * Converts width pixels of line in place from one mode to another with the
 * decode-time rules: INDEX output takes the system-palette cube index, MONO
 * output a fixed threshold of 128, no error diffusion. The line must hold width
 * pixels of the larger mode. The display uses it for YUV, LAB and HIGH -> RGB
 * and YUVW -> RGBW. 0, or -1 for a pair it does not convert.
 */
int32_t DecodeLineConvert(uint8_t* line, uint32_t width, int32_t fromMode, int32_t toMode,
                          const uint8_t* palette, uint8_t fromPalfmt, uint8_t toPalfmt);

#ifdef __cplusplus
}
#endif

#endif
