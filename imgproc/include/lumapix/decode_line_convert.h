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

#ifdef __cplusplus
}
#endif

#endif
