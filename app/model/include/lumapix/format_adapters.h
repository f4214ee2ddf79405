/*
 * Adapters between an open file and a codec: each creates the codec handle and
 * stream over the shared staging buffers, runs the codec's call sequence and
 * returns its first non-zero status.
 */
#ifndef LUMAPIX_FORMAT_ADAPTERS_H
#define LUMAPIX_FORMAT_ADAPTERS_H

#include <stdint.h>
#include <stdio.h>

#include "lumapix/jpeg_encoder.h"
#include "lumapix/options.h"
#include "lumapix/xr_image.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef CodecStatus (*DecodeAdapter)(FILE* file, XrImage* record, const DecodeOptions* options);
typedef CodecStatus (*EncodeAdapter)(FILE* file, XrImage* record, const EncodeOptions* options);

/* The 4096-byte staging buffers: one for reading streams, one for writing (per thread). */
uint8_t* ReadStagingBuffer(void);
uint8_t* WriteStagingBuffer(void);

CodecStatus bmp_decode(FILE* file, XrImage* record, const DecodeOptions* options);
CodecStatus bmp_decode_scaled(FILE* file, XrImage* record, const DecodeOptions* options);
CodecStatus bmp_encode(FILE* file, XrImage* record, const EncodeOptions* options);

/* GIF: the first image of the file; GRAY records are written over a grey-ramp table. */
CodecStatus gif_decode(FILE* file, XrImage* record, const DecodeOptions* options);
CodecStatus gif_decode_scaled(FILE* file, XrImage* record, const DecodeOptions* options);
CodecStatus gif_encode(FILE* file, XrImage* record, const EncodeOptions* options);

/* JPEG: jpg_decode is jpg_decode_thumb when options->jpegThumbnail is set, else jpg_decode_main. */
CodecStatus jpg_decode(FILE* file, XrImage* record, const DecodeOptions* options);
CodecStatus jpg_decode_main(FILE* file, XrImage* record, const DecodeOptions* options);
/* The embedded JFIF or Exif thumbnail as an RGB record; 796 when the file has none. */
CodecStatus jpg_decode_thumb(FILE* file, XrImage* record, const DecodeOptions* options);
CodecStatus jpg_decode_scaled(FILE* file, XrImage* record, const DecodeOptions* options);
/* Writes the options' JPEG: quality, colour space, sampling, segment and thumbnail. */
CodecStatus jpg_encode(FILE* file, XrImage* record, const EncodeOptions* options);
/*
 * The 160 x 120 thumbnail of an RGB record (1 for other modes): R, G, B
 * triplets for JFIF, a JPEG stream for Exif and DCF. Free with jpg_free_thumbnail.
 */
CodecStatus jpg_make_thumbnail(const XrImage* record, uint8_t appMode, JpgThumbnail* thumbnail);
void jpg_free_thumbnail(JpgThumbnail* thumbnail);

/* PNG: 8-bit truecolour and greyscale, 1- to 8-bit palette and greyscale; headers above 2^28 pixels give -1. */
CodecStatus png_decode(FILE* file, XrImage* record, const DecodeOptions* options);
CodecStatus png_decode_scaled(FILE* file, XrImage* record, const DecodeOptions* options);
CodecStatus png_encode(FILE* file, XrImage* record, const EncodeOptions* options);

/* Netpbm P1..P6, read and written directly on the file. */
CodecStatus pnm_decode(FILE* file, XrImage* record, const DecodeOptions* options);
CodecStatus pnm_encode(FILE* file, XrImage* record, const EncodeOptions* options);
/* Headerless pixels; the geometry comes from the raw fields of the decode options. */
CodecStatus raw_decode(FILE* file, XrImage* record, const DecodeOptions* options);
CodecStatus raw_encode(FILE* file, XrImage* record, const EncodeOptions* options);
/* PackBits-coded GRAY lines; width and height from the raw fields (height 0: to the end). */
CodecStatus rle_decode(FILE* file, XrImage* record, const DecodeOptions* options);

#ifdef __cplusplus
}
#endif

#endif
