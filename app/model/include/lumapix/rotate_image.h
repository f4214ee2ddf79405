/* Rotating or mirroring a document's record in place. */
#ifndef LUMAPIX_ROTATE_IMAGE_H
#define LUMAPIX_ROTATE_IMAGE_H

#include <stdint.h>

#include "lumapix/xr_image.h"

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Rotates record by angle: 90, 180 or 270 clockwise, -1 mirrors left-right,
 * -2 top-bottom, 0 copies. RGB, GRAY, INDEX and MONO only (4 for other modes,
 * 9 for an unknown angle, as RotStart reports them). The result has minimal
 * LINEINT, keeps FMT, PALFMT and OBJECT, and an INDEX image keeps its palette.
 * lineByLine chooses RotLine per line over RotImage (same result). On success
 * the old buffers are freed; on any failure the record is left untouched.
 */
CodecStatus RotateImage(XrImage* record, int32_t angle, int32_t lineByLine);

#ifdef __cplusplus
}
#endif

#endif
