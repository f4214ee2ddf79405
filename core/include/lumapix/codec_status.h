/* Status codes returned by every library call. */
#ifndef LUMAPIX_CODEC_STATUS_H
#define LUMAPIX_CODEC_STATUS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t CodecStatus;

enum {
    XR_OK = 0,
    XR_ERR_ARGUMENT = 1,        /* null handle, record, stream or buffer */
    XR_ERR_FORMAT = 3,          /* not this format, or a header the codec does not support */
    XR_ERR_MISMATCH = 4,        /* record does not match the header, or a palette is missing */
    XR_ERR_WORK_BUFFER = 5,     /* a required work buffer was not given */
    XR_ERR_UNSUPPORTED = 9,     /* image mode or parameter not supported by this operation */
    XR_ERR_TRUNCATED = 0x20,    /* data ended before the image was complete */
    XR_ERR_STREAM_CALLBACK = 0x101, /* the stream callback returned -1 */
    XR_ERR_STREAM_END = 0x102,      /* the callback returned 0 (end of data) or too much */
    XR_ERR_STREAM_NO_CALLBACK = 0x103, /* no callback for the operation */
    XR_ERR_STREAM_SEEK = 0x104,     /* the seek callback failed */
    XR_ERR_DITHER_MODE = 0x1000,    /* dither mode outside 0..7 */
    XR_ERR_PALETTE_MODE = 0x1001,   /* palette mode other than system (0) or user (1) */
    XR_ERR_RESAMPLE_METHOD = 0x1100, /* resampling method outside 0..2 */
    XR_ERR_RESAMPLE_SCALE = 0x1101,  /* enlargement or reduction by more than 256 */
    XR_ERR_ROTATE_LINE = 0x1200,    /* RotLine: line number outside the source */
    XR_ERR_ROTATE_ANGLE = 0x1202,   /* RotLine: nothing to place (not started) */
    XR_ERR_INTERNAL = -1        /* allocation failure, unexpected state */
};

/* Short identifier ("stream-end") and one-line message for a status; never null. */
const char* CodecStatusName(CodecStatus status);
const char* CodecStatusMessage(CodecStatus status);

#ifdef __cplusplus
}
#endif

#endif
