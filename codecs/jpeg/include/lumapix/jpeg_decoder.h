/*
 * Sequential Huffman JPEG decoder (baseline and extended, 8- and 12-bit,
 * 1, 3 or 4 components) with JFIF, Exif, G3FAX and Adobe segments, embedded
 * thumbnails and a cropped, rescaled, mode-converting decode. The caller
 * allocates the handle, the work buffer and the pixels; the decoder allocates
 * nothing.
 */
#ifndef LUMAPIX_JPEG_DECODER_H
#define LUMAPIX_JPEG_DECODER_H

#include <stdint.h>

#include "lumapix/codec_stream.h"
#include "lumapix/jpeg_app_info.h"
#include "lumapix/scaled_decode.h"
#include "lumapix/xr_image.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Statuses particular to JPEG (the shared ones are in codec_status.h). */
enum {
    XR_JPG_END_OF_IMAGE = 32,        /* EOI reached: the normal end when the height came from DNL */
    XR_JPG_HUFFMAN_CLASS = 772,      /* DHT class above 1 */
    XR_JPG_HUFFMAN_ID = 773,         /* DHT identifier 2 or more */
    XR_JPG_HUFFMAN_COUNTS = 774,     /* DHT counts inconsistent */
    XR_JPG_DC_SELECTOR = 776,        /* SOS DC table selector above 2 */
    XR_JPG_AC_SELECTOR = 777,        /* SOS AC table selector above 2 */
    XR_JPG_MARKER = 778,             /* no SOI or marker, too many markers, bad Huffman code, data ended */
    XR_JPG_AC_RUN = 779,             /* bad AC run/size */
    XR_JPG_PROCESS = 784,            /* progressive, lossless, arithmetic or hierarchical */
    XR_JPG_SAMPLING = 786,           /* H above 4 or V above 2 */
    XR_JPG_NO_THUMBNAIL = 796,       /* thumbnail requested, none present */
    XR_JPG_THUMB_MODE = 797,         /* line or scaled decode of a non-JPEG thumbnail */
    XR_JPG_HUFFMAN_POOL = 799,       /* Huffman tables need more than 4096 bytes */
    XR_JPG_EXIF = 8192               /* Exif structure unreadable */
};

/* Application mode reported by the header calls. */
enum {
    XR_JPG_APP_NONE = 0,
    XR_JPG_APP_JFIF = 1,
    XR_JPG_APP_JFXX = 2,
    XR_JPG_APP_EXIF = 3,
    XR_JPG_APP_G3FAX = 5,
    XR_JPG_APP_UNKNOWN = 6
};

int32_t JpgDecGetHandleSize(void);
CodecStatus JpgDecInit(void* handle);
CodecStatus JpgDecSetStream(void* handle, CodecStream* stream);
/*
 * Parses markers up to the main image's SOS. header receives MODE, WIDTH,
 * HEIGHT (0 when a DNL marker gives it), LINEINT and FMT (8 or 12); workSize
 * the bytes of the MCU-row work buffer (0: none needed); appMode one of
 * XR_JPG_APP_*; appInfo (may be null) the parsed JFIF/Exif fields.
 */
CodecStatus JpgDecReadHeader(void* handle, XrImage* header, uint32_t* workSize, uint32_t* appMode,
                             JpgAppInfo* appInfo);
/* As JpgDecReadHeader, but the header describes the embedded thumbnail. */
CodecStatus JpgDecReadThumbHeader(void* handle, XrImage* header, uint32_t* workSize, uint32_t* appMode,
                                  JpgAppInfo* appInfo);
CodecStatus JpgDecSetWorkBuffer(void* handle, void* buffer);
/* Chooses the output mode (RGB, YUV, GRAY, RGBW, YUVW, GRAYW, LAB) and the colour converter. */
CodecStatus JpgDecSetOutput(void* handle, const XrImage* header);
/* The next line into line (LINEINT bytes); *newHeight (may be null) is set non-zero when DNL gives the height. */
CodecStatus JpgDecDecodeLine(void* handle, uint8_t* line, uint32_t* newHeight);
/* Every line, LINEINT apart; *lines receives the number delivered. */
CodecStatus JpgDecDecodeImage(void* handle, void* pixels, uint32_t* lines);

/* Thumbnail: the record must be RGB of the thumbnail's size. */
CodecStatus JpgDecSetThumbOutput(void* handle, XrImage* record);
CodecStatus JpgDecDecodeThumb(void* handle, void* pixels);

/* Scaled decode: region (null = whole image), a line buffer of width x 4 bytes, the output record. */
CodecStatus JpgDecSetRegion(void* handle, const XrRect* region);
CodecStatus JpgDecSetLineBuffer(void* handle, uint8_t* buffer);
/* verticalStep: 16.16 source lines per output line, 0 = derive from the region and output heights. */
CodecStatus JpgDecSetScaledOutput(void* handle, XrImage* output, uint32_t verticalStep);
CodecStatus JpgDecDecodeScaledLine(void* handle, uint8_t* line);
CodecStatus JpgDecDecodeScaledImage(void* handle, void* pixels, uint32_t* lines);

/*
 * The debug trace of the application data after a header call ("APP_MODE : JFIF\n", ...),
 * written into text (NUL-terminated, at most size bytes). Returns the length.
 */
uint32_t JpgFormatAppTrace(uint32_t appMode, const JpgAppInfo* appInfo, char* text, uint32_t size);

#ifdef __cplusplus
}
#endif

#endif
