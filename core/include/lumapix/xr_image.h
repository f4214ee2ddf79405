/* The image record shared by every codec, processing step and view. */
#ifndef LUMAPIX_XR_IMAGE_H
#define LUMAPIX_XR_IMAGE_H

#include <stdint.h>

#include "lumapix/codec_status.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Image modes and the bytes one pixel takes in a line. */
enum {
    XR_MODE_UNK = 0,    /* no image */
    XR_MODE_RGB = 1,    /* blue, green, red */
    XR_MODE_YUV = 2,    /* packed 4:2:2: luma, then U on even and V on odd pixels */
    XR_MODE_GRAY = 3,   /* one sample */
    XR_MODE_INDEX = 4,  /* palette index; 256-entry palette */
    XR_MODE_MONO = 5,   /* 1 bit per pixel, MSB first, polarity in PALFMT */
    XR_MODE_RGBW = 6,   /* blue, green, red as 16-bit little-endian words */
    XR_MODE_YUVW = 7,   /* 16-bit luma word, 16-bit chroma word */
    XR_MODE_GRAYW = 8,  /* one 16-bit little-endian sample */
    XR_MODE_LAB = 9,    /* L, a, b bytes */
    XR_MODE_HIGH = 10,  /* RGB 5-6-5, high byte first */
    XR_MODE_YUV3 = 11,  /* 3 bytes per pixel, treated like YUV by the line converters */
    XR_MODE_X4 = 12,    /* 4 bytes per pixel */
    XR_MODE_X6 = 13,    /* 6 bytes per pixel */
    XR_MODE_YUV_PLANAR = 14, /* planar 4:2:2, see below */
    XR_MODE_COUNT = 15
};

/* MONO polarity. */
enum { XR_PALFMT_BLACKISZERO = 0, XR_PALFMT_WHITEISZERO = 1 };

/*
 * The record. MODE through OBJECT form the image header that decoders fill and
 * encoders read; PIXELS and SIZE belong to the caller.
 *
 * Mode XR_MODE_YUV_PLANAR: PIXELS points at two plane pointers (luma, chroma).
 * Luma holds WIDTH bytes per line; a chroma line holds the U samples (one per
 * two pixels) from its start and the V samples from LINEINT / 2, so LINEINT is
 * at least WIDTH rounded up to even. Both planes use LINEINT and SIZE.
 * ImageAlloc sets such a record up in one block.
 */
typedef struct XrImage {
    int32_t MODE;
    uint16_t WIDTH;
    uint16_t HEIGHT;
    uint32_t LINEINT;
    int8_t FMT;        /* bits per sample, 0 = 8, negative = signed */
    uint8_t PALFMT;
    uint16_t PALCOUNT;
    uint8_t* PALBUT;   /* PALCOUNT entries of blue, green, red, 0 */
    void* OBJECT;      /* attached block owned by the record, never copied */
    void* PIXELS;
    uint32_t SIZE;
} XrImage;

/* Minimum line interval for a mode and width; 0 for modes without a line layout. */
uint32_t ImageLineBytes(int32_t mode, uint32_t width);

/* Allocates pixels (and the palette for INDEX) and zeroes them; -1 on failure. */
CodecStatus ImageAlloc(XrImage* image);
/* Frees everything the record owns and zeroes it. */
CodecStatus ImageFree(XrImage* image);
/* Deep copy without OBJECT; the destination is freed first. -1 on failure. */
CodecStatus ImageCopy(XrImage* destination, const XrImage* source);
/* Replaces the record with a black 128 x 32 RGB image. */
CodecStatus ImagePlaceholder(XrImage* image);

/* Copies the image header (MODE through OBJECT) only. */
void ImageCopyHeader(XrImage* destination, const XrImage* source);
/* Address of line y, top line 0; for the planar mode, of plane 0. */
uint8_t* ImageLine(const XrImage* image, uint32_t y);
/* The two planes of a planar record. */
uint8_t* ImagePlane(const XrImage* image, int plane);

/* Mode names shown in reports: "RGB", "GRAYW", ... */
const char* ImageModeName(int32_t mode);

#ifdef __cplusplus
}
#endif

#endif
