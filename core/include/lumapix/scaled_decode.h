/*
 * The scaled decode shared by the decoders that offer it: a clip window of the
 * file, converted to a target mode and stretched to a target size, with
 * nearest-line vertical stepping. A codec keeps an XrScaledDecode in its handle
 * and feeds it source lines through its own line decoder.
 */
#ifndef LUMAPIX_SCALED_DECODE_H
#define LUMAPIX_SCALED_DECODE_H

#include <stdint.h>

#include "lumapix/codec_status.h"
#include "lumapix/xr_image.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct XrRect {
    uint16_t x, y, width, height;
} XrRect;

/* Moves pixels [x, x + width) of a decoded line to its start, in place. */
typedef int32_t (*XrLineExtractFn)(uint8_t* line, uint32_t x, uint32_t width);
/*
 * Converts width pixels, currently of sourceMode, in place to the table's mode;
 * -1 when refused. The line must have room for width pixels of either mode.
 * sourcePalette serves INDEX sources; the palette formats give MONO polarity.
 */
typedef int32_t (*XrLineConvertFn)(uint8_t* line, uint32_t width, int32_t sourceMode,
                                   const uint8_t* sourcePalette, uint8_t sourcePalfmt,
                                   uint8_t targetPalfmt);
/* Nearest-neighbour stretch of a line from sourceWidth to targetWidth pixels. */
typedef int32_t (*XrLineStretchFn)(const uint8_t* source, uint32_t sourceWidth, uint8_t* target,
                                   uint32_t targetWidth);

/* Per-mode routines: extract by source mode, convert and stretch by target mode. */
typedef struct XrLineConverterTables {
    XrLineExtractFn extract[XR_MODE_COUNT];
    XrLineConvertFn convert[XR_MODE_COUNT];
    XrLineStretchFn stretch[XR_MODE_COUNT];
    const uint8_t* systemPalette; /* 256 x (blue, green, red, 0) for INDEX targets, or null */
} XrLineConverterTables;

typedef struct XrScaledDecode {
    uint8_t* workLine;          /* caller's buffer, sized by the codec */
    uint16_t clipX, clipY, clipWidth, clipHeight;
    uint32_t step;              /* 16.16 source lines per target line */
    uint32_t accumulator;       /* 16.16 */
    uint32_t outputLines;
    uint32_t sourceLines;
    uint32_t sourceHeight;
    uint16_t targetWidth, targetHeight;
    int32_t sourceMode;
    const uint8_t* sourcePalette;
    uint8_t sourcePalfmt;
    uint8_t targetPalfmt;
    uint8_t lineReady;          /* the work line holds a converted line */
    XrLineExtractFn extract;
    XrLineConvertFn convert;
    XrLineStretchFn stretch;
} XrScaledDecode;

/* Reads one source line, in file order, into line. */
typedef CodecStatus (*XrSourceLineFn)(void* codec, uint8_t* line);

/* Clip 0, 0, 65535, 65535; no work line. */
void ScaledDecodeInit(XrScaledDecode* sd);
/* Null rect resets to the whole image. */
void ScaledDecodeSetRegion(XrScaledDecode* sd, const XrRect* rect);
/*
 * Fits the clip to the source, sets the vertical step and picks the converters.
 * Source and target modes must be 1..5 (else 9); target width and height must
 * be nonzero and the clip must not be empty (else 9). Fills an INDEX target's
 * palette: from an INDEX source its own, so indices pass through unchanged;
 * otherwise the tables' system palette. A work line must have been set (else 1).
 */
CodecStatus ScaledDecodeSetup(XrScaledDecode* sd, const XrImage* source, XrImage* target,
                              int32_t bottomUp, const uint8_t* sourcePalette,
                              const XrLineConverterTables* tables);
/* One target line, in file order. */
CodecStatus ScaledDecodeLine(XrScaledDecode* sd, XrSourceLineFn next, void* codec,
                             uint8_t* targetLine);
/* Every target line into target pixels, top line first in memory. */
CodecStatus ScaledDecodeImage(XrScaledDecode* sd, XrSourceLineFn next, void* codec,
                              const XrImage* target, int32_t bottomUp);

#ifdef __cplusplus
}
#endif

#endif
