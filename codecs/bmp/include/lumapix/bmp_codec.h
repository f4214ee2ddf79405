/* Windows and OS/2 bitmap decoder and encoder. */
#ifndef LUMAPIX_BMP_CODEC_H
#define LUMAPIX_BMP_CODEC_H

#include <stdint.h>

#include "lumapix/codec_stream.h"
#include "lumapix/scaled_decode.h"
#include "lumapix/xr_image.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Decoder: GetHandleSize, Init, SetStream, ReadHeader, Start, DecodeLine | DecodeImage, End. */
int32_t BmpDecGetHandleSize(void);
CodecStatus BmpDecInit(void* handle);
CodecStatus BmpDecSetStream(void* handle, CodecStream* stream);
CodecStatus BmpDecReadHeader(void* handle, XrImage* header, void* reserved);
CodecStatus BmpDecStart(void* handle, XrImage* record, int32_t* bottomUp);
/* One line in file order into a record line (at least LINEINT bytes, or width x 4 for the work line). */
CodecStatus BmpDecDecodeLine(void* handle, uint8_t* line);
/* Every line, placed top line first. */
CodecStatus BmpDecDecodeImage(void* handle, void* pixels);
CodecStatus BmpDecEnd(void* handle);

/* Scaled decode; the line buffer holds file width x 4 bytes. */
CodecStatus BmpDecSetRegion(void* handle, const XrRect* rect);
CodecStatus BmpDecSetLineBuffer(void* handle, uint8_t* buffer);
CodecStatus BmpDecSetScaledOutput(void* handle, XrImage* target, int32_t* bottomUp);
CodecStatus BmpDecDecodeScaledLine(void* handle, uint8_t* line);
CodecStatus BmpDecDecodeScaledImage(void* handle, void* pixels);

/* Encoder: RGB, HIGH and planar YUV as 24-bit; GRAY and INDEX as 8-bit; MONO as 1-bit. */
int32_t BmpEncGetHandleSize(void);
CodecStatus BmpEncInit(void* handle);
CodecStatus BmpEncSetStream(void* handle, CodecStream* stream);
CodecStatus BmpEncSetImage(void* handle, const XrImage* record, void* reserved);
/* One record line, bottom line first; for planar YUV, line points at two plane-line pointers. */
CodecStatus BmpEncEncodeLine(void* handle, const uint8_t* line);
/* Every line of pixels (a record's PIXELS), bottom line first. */
CodecStatus BmpEncEncodeImage(void* handle, const void* pixels);
CodecStatus BmpEncEnd(void* handle);

#ifdef __cplusplus
}
#endif

#endif
