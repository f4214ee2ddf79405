/*
 * PNG decoder and encoder for the practical subset Lumapix opens and writes:
 * 8-bit truecolour and greyscale, greyscale and palette images of 1, 2, 4 or
 * 8 bits, alpha channels accepted and dropped, Adam7 interlacing for 8-bit
 * palette images. The encoder writes non-interlaced 8-bit files, filter type 0
 * on every row, zlib level 1.
 *
 * Neither side allocates: zlib's state, the previous row and the inflate
 * staging live in the handle, which is why the handles are large.
 */
#ifndef LUMAPIX_PNG_CODEC_H
#define LUMAPIX_PNG_CODEC_H

#include <stdint.h>

#include "lumapix/codec_stream.h"
#include "lumapix/scaled_decode.h"
#include "lumapix/xr_image.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Statuses of this codec besides the shared ones. */
enum {
    XR_PNG_ERR_DEFLATE = 7,       /* deflate could not be opened, or failed while encoding */
    XR_PNG_ERR_SEQUENCE = 0x500   /* header read twice, or pixels asked for before the header */
};

/* The IHDR fields as the file states them. */
typedef struct PngIhdr {
    uint32_t width;
    uint32_t height;
    uint8_t bitDepth;
    uint8_t colourType;   /* 0 grey, 2 truecolour, 3 palette, 4 grey + alpha, 6 truecolour + alpha */
    uint8_t interlace;    /* 0 none, 1 Adam7 */
} PngIhdr;

/* The encoder's output buffer: each time it fills it becomes one IDAT chunk. */
enum { XR_PNG_IDAT_BYTES = 8192 };

/*
 * Decoder: GetHandleSize, Init, SetStream, ReadHeader, Start, DecodeLine | DecodeImage, End.
 * Rows are always delivered top row first.
 */
int32_t PngDecGetHandleSize(void);
CodecStatus PngDecInit(void* handle);
CodecStatus PngDecSetStream(void* handle, CodecStream* stream);
/* Signature, IHDR, then every chunk up to the first IDAT. ihdr may be null. */
CodecStatus PngDecReadHeader(void* handle, XrImage* header, void* reserved, PngIhdr* ihdr);
/* Checks the record against the header and copies the palette of an INDEX record. */
CodecStatus PngDecStart(void* handle, XrImage* image);
/* The next row (at least LINEINT bytes); not for interlaced files (9). */
CodecStatus PngDecDecodeLine(void* handle, uint8_t* row);
/* Every row, or every Adam7 pass, into pixels LINEINT apart; closes inflate. */
CodecStatus PngDecDecodeImage(void* handle, void* pixels);
/* Closes inflate if it is open; safe after any failure. */
CodecStatus PngDecEnd(void* handle);

/* Scaled decode; the line buffer holds file WIDTH x 4 bytes. Not for interlaced files. */
CodecStatus PngDecSetRegion(void* handle, const XrRect* rect);
CodecStatus PngDecSetLineBuffer(void* handle, uint8_t* buffer);
CodecStatus PngDecSetScaledOutput(void* handle, XrImage* target);
CodecStatus PngDecDecodeScaledLine(void* handle, uint8_t* line);
CodecStatus PngDecDecodeScaledImage(void* handle, void* pixels);

/*
 * Encoder: RGB as truecolour, GRAY as greyscale, INDEX as a palette image,
 * MONO as 8-bit greyscale of 0 and 255 (white where PALFMT says white).
 */
int32_t PngEncGetHandleSize(void);
CodecStatus PngEncInit(void* handle);
CodecStatus PngEncSetStream(void* handle, CodecStream* stream);
/* Writes signature, IHDR and PLTE and opens deflate; *bufferSize receives XR_PNG_IDAT_BYTES. */
CodecStatus PngEncSetImage(void* handle, const XrImage* image, uint32_t* bufferSize);
/* The caller's buffer for compressed data; each full buffer is written as one IDAT. */
CodecStatus PngEncSetBuffer(void* handle, uint8_t* buffer, uint32_t size);
/* One row, top row first. */
CodecStatus PngEncEncodeLine(void* handle, const uint8_t* row);
/* Every row of pixels, LINEINT apart. */
CodecStatus PngEncEncodeImage(void* handle, const void* pixels);
/* Finishes the zlib stream, writes the last IDAT and IEND, flushes the stream. */
CodecStatus PngEncEnd(void* handle);

#ifdef __cplusplus
}
#endif

#endif
