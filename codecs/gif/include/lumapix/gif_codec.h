/*
 * GIF decoder (GIF87a and GIF89a, first image only) and GIF87a encoder for
 * 256-colour INDEX records. The caller allocates the handles and the fixed-size
 * LZW work areas; the codec allocates nothing.
 */
#ifndef LUMAPIX_GIF_CODEC_H
#define LUMAPIX_GIF_CODEC_H

#include <stdint.h>

#include "lumapix/codec_stream.h"
#include "lumapix/scaled_decode.h"
#include "lumapix/xr_image.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Bytes of the LZW work areas; the decoder's is also reported by GifDecReadHeader. */
enum { XR_GIF_DEC_WORK_SIZE = 16696, XR_GIF_ENC_WORK_SIZE = 25388 };

/* Statuses particular to GIF (the shared ones are in codec_status.h). */
enum {
    XR_GIF_DATA_ENDED = 7,         /* the LZW data ended (zero-length sub-block) before a row was complete */
    XR_GIF_STATE = 0x200,          /* header read twice; start before the header or twice */
    XR_GIF_PALETTE_COUNT = 0x204   /* encoding a record with more than 256 palette entries */
};

/* What GifDecReadHeader tells about the first image besides the record header. */
typedef struct GifImageInfo {
    uint16_t width, height;  /* the first image's own size */
    uint8_t reserved0;       /* 0 */
    uint8_t background;      /* background colour index of the logical screen */
    uint8_t reserved1;       /* 0 */
    uint8_t interlaced;      /* 1 when the first image is stored in four interlace passes */
} GifImageInfo;

/*
 * Decoder: GetHandleSize, Init, SetStream, ReadHeader, SetWork, Start,
 * DecodeLine | DecodeImage, End. The record is the logical screen; the first
 * image lands in its top-left corner, clipped to the screen, and everything
 * it does not cover is index 0.
 */
int32_t GifDecGetHandleSize(void);
CodecStatus GifDecInit(void* handle);
CodecStatus GifDecSetStream(void* handle, CodecStream* stream);
/* Reads up to the first image descriptor; *workSize = XR_GIF_DEC_WORK_SIZE; info may be null. */
CodecStatus GifDecReadHeader(void* handle, XrImage* header, uint32_t* workSize, GifImageInfo* info);
/* The LZW work area: XR_GIF_DEC_WORK_SIZE bytes, aligned to 8. */
CodecStatus GifDecSetWork(void* handle, void* work);
CodecStatus GifDecStart(void* handle, XrImage* record);
/* The next record line, top to bottom; interlaced images refuse it (9): use GifDecDecodeImage. */
CodecStatus GifDecDecodeLine(void* handle, uint8_t* line);
/* Every line into pixels, LINEINT apart, top line first. */
CodecStatus GifDecDecodeImage(void* handle, void* pixels);
CodecStatus GifDecEnd(void* handle);

/*
 * Scaled decode: region (null = whole image), a work line of record width x 4
 * bytes, the target record (modes 1 to 5). Interlaced images are scaled by
 * GifDecDecodeScaledImage only; the line call refuses them (9).
 */
CodecStatus GifDecSetRegion(void* handle, const XrRect* rect);
CodecStatus GifDecSetLineBuffer(void* handle, uint8_t* buffer);
CodecStatus GifDecSetScaledOutput(void* handle, XrImage* target, int32_t* bottomUp);
CodecStatus GifDecDecodeScaledLine(void* handle, uint8_t* line);
CodecStatus GifDecDecodeScaledImage(void* handle, void* pixels);

/* Encoder: GetHandleSize, Init, SetStream, SetImage, SetBuffer, EncodeLine | EncodeImage, End. */
int32_t GifEncGetHandleSize(void);
CodecStatus GifEncInit(void* handle);
CodecStatus GifEncSetStream(void* handle, CodecStream* stream);
/* INDEX records only (else 9); *workSize = XR_GIF_ENC_WORK_SIZE. */
CodecStatus GifEncSetImage(void* handle, const XrImage* image, uint32_t* workSize);
/* The LZW work area of exactly XR_GIF_ENC_WORK_SIZE bytes, aligned to 4; writes the file up to the LZW data. */
CodecStatus GifEncSetBuffer(void* handle, void* work, uint32_t size);
/* One record line, top line first. */
CodecStatus GifEncEncodeLine(void* handle, const uint8_t* line);
/* Every line of pixels, LINEINT apart. */
CodecStatus GifEncEncodeImage(void* handle, const void* pixels);
/* Ends the LZW data, writes the block terminator and trailer, flushes. */
CodecStatus GifEncEnd(void* handle);

#ifdef __cplusplus
}
#endif

#endif
