/*
 * Headerless pixel data: RAW lines exactly as a record stores them, and RLE,
 * GRAY lines coded as PackBits runs. Neither format carries its geometry, so
 * the caller hands the decoder a complete image header.
 */
#ifndef LUMAPIX_RAW_CODEC_H
#define LUMAPIX_RAW_CODEC_H

#include <stdint.h>

#include "lumapix/codec_stream.h"
#include "lumapix/scaled_decode.h"
#include "lumapix/xr_image.h"

#ifdef __cplusplus
extern "C" {
#endif

/* RAW decoder: GetHandleSize, Init, SetStream, SetHeader, Start, DecodeLine per line, End. */
int32_t RawDecGetHandleSize(void);
CodecStatus RawDecInit(void* handle);
CodecStatus RawDecSetStream(void* handle, CodecStream* stream);
/* Keeps the header; an INDEX header gets PALCOUNT 256 first. 9 without a line layout. */
CodecStatus RawDecSetHeader(void* handle, XrImage* header);
/* 4 when the record's mode or size differ or its lines are shorter; INDEX records need a
   256-entry palette, which is filled with a grey ramp. */
CodecStatus RawDecStart(void* handle, XrImage* record);
/* Reads LINEINT bytes, top line first. Data that ends first: XR_ERR_TRUNCATED (sticky). */
CodecStatus RawDecDecodeLine(void* handle, uint8_t* line);
CodecStatus RawDecEnd(void* handle);

/* RAW encoder: ImageLineBytes per line (planar YUV: the WIDTH luma bytes), no padding. */
int32_t RawEncGetHandleSize(void);
CodecStatus RawEncInit(void* handle);
CodecStatus RawEncSetStream(void* handle, CodecStream* stream);
CodecStatus RawEncSetImage(void* handle, const XrImage* record, void* reserved);
/* One line, top line first. */
CodecStatus RawEncEncodeLine(void* handle, const uint8_t* line);
/* Flushes the stream; its status. */
CodecStatus RawEncEnd(void* handle);

/*
 * RLE decoder: a GRAY header whose WIDTH is the line length. Each line is a
 * sequence of signed control bytes k: 0..127 copies the next k + 1 bytes,
 * -127..-1 repeats the next byte 1 - k times, -128 does nothing. A run never
 * carries over into the next line; whatever exceeds the line is dropped.
 * The stream is bound with RawDecSetStream.
 */
int32_t RleDecGetHandleSize(void);
CodecStatus RleDecInit(void* handle);
/* 1 unless the header is GRAY with a nonzero WIDTH. */
CodecStatus RleDecSetHeader(void* handle, XrImage* header);
CodecStatus RleDecStart(void* handle, XrImage* record);
/* WIDTH bytes; a stream failure returns the stream's code (sticky). */
CodecStatus RleDecDecodeLine(void* handle, uint8_t* line);
CodecStatus RleDecEnd(void* handle);

#ifdef __cplusplus
}
#endif

#endif
