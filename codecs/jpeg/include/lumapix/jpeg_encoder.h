/*
 * Sequential Huffman JPEG encoder: baseline (8-bit) and extended (12-bit)
 * streams in YCbCr, grey, CIELab, CMYK or Adobe YCCK, with an optional JFIF,
 * Exif, DCF or G3FAX segment and thumbnail. Quantisation tables are the T.81
 * Annex K examples scaled by a quality factor, or the caller's. The caller
 * allocates the handle and the work buffer; the encoder allocates nothing.
 *
 * Input modes besides the usual RGB, GRAY and LAB records (FMT 12 marks 12-bit
 * samples held in RGBW or GRAYW words, FMT 0 or 8 eight-bit ones):
 *   XR_MODE_YUV3 (11): Y, Cb, Cr per pixel, coded 4:4:4;
 *   XR_MODE_X4   (12): Y0, Y1, Cb, Cr for two pixels side by side, coded 4:2:2
 *                      (the picture is twice WIDTH wide);
 *   XR_MODE_X6   (13): Y00, Y01, Y10, Y11, Cb, Cr for a 2 x 2 square, coded
 *                      4:2:0 (the picture is twice WIDTH by twice HEIGHT).
 */
#ifndef LUMAPIX_JPEG_ENCODER_H
#define LUMAPIX_JPEG_ENCODER_H

#include <stdint.h>

#include "lumapix/codec_stream.h"
#include "lumapix/jpeg_app_info.h"
#include "lumapix/xr_image.h"

#ifdef __cplusplus
extern "C" {
#endif

enum { XR_JPG_CS_YCBCR = 0, XR_JPG_CS_GRAY = 1, XR_JPG_CS_LAB = 2, XR_JPG_CS_CMYK = 3, XR_JPG_CS_YCCK = 4 };
/* Luminance sampling: 0 = 2 x 2 (4:2:0), 1 = 2 x 1 (4:2:2), 2 = 1 x 1 (4:4:4). */
enum { XR_JPG_SUB_420 = 0, XR_JPG_SUB_422 = 1, XR_JPG_SUB_444 = 2 };
/* Application segment written (the decoder's XR_JPG_APP_* values, plus DCF). */
enum { XR_JPG_WRITE_NONE = 0, XR_JPG_WRITE_JFIF = 1, XR_JPG_WRITE_EXIF = 3, XR_JPG_WRITE_DCF = 4,
       XR_JPG_WRITE_G3FAX = 5 };

/*
 * Statuses (codec_status.h): 1 null argument, bad thumbnail or table entry 0,
 * short work buffer; 4 bad size, line interval, FMT or mode; 5 a line before
 * the work buffer; 9 table entry 1 or above 255, or no converter for this
 * mode, colour space, sampling and precision. Stream errors become sticky.
 */

/*
 * Thumbnail: for JFIF width x height R, G, B triplets (at most 255 x 255);
 * for Exif and DCF a complete JPEG stream (ifd1.Compression 6) or
 * width x height R, G, B triplets (ifd1.Compression 1).
 */
typedef struct JpgThumbnail {
    uint16_t width;
    uint16_t height;
    const uint8_t* data;
    uint32_t size;
} JpgThumbnail;

int32_t JpgEncGetHandleSize(void);
CodecStatus JpgEncInit(void* handle);
/* input may be null: lines then come from memory. */
CodecStatus JpgEncSetStream(void* handle, CodecStream* output, CodecStream* input);
/*
 * quality 1..99 (100 and above act as 99); tables: null, or two 64-entry
 * tables (luminance, chrominance) in natural order replacing the scaled ones;
 * appInfo null: JFIF 1.02, default Exif directories, G3FAX at 200 dpi.
 */
CodecStatus JpgEncSetParams(void* handle, uint8_t quality, const uint16_t* tables, uint8_t colourSpace,
                            uint8_t appMode, uint8_t subsampling, const JpgAppInfo* appInfo,
                            const JpgThumbnail* thumbnail);
/* count tables of 64 entries, natural order, each entry 2..255. */
CodecStatus JpgEncSetQTables(void* handle, const uint16_t* tables, uint32_t count);
/* Checks the record, writes every header up to SOS; workSize: bytes the work buffer needs. */
CodecStatus JpgEncSetImage(void* handle, const XrImage* image, uint32_t* workSize);
CodecStatus JpgEncSetWorkBuffer(void* handle, uint8_t* buffer, uint32_t size);
/* line: the next line's pixels (ignored with an input stream, which then supplies LINEINT bytes). */
CodecStatus JpgEncEncodeLine(void* handle, const uint8_t* line);
CodecStatus JpgEncEncodeImage(void* handle, const uint8_t* pixels);
/* Flushes the bits, writes EOI and flushes the stream, also after a failure; returns the first failure. */
CodecStatus JpgEncEnd(void* handle);

#ifdef __cplusplus
}
#endif

#endif
