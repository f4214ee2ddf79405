/* Option blocks the main frame holds and hands to every decode and encode adapter. */
#ifndef LUMAPIX_OPTIONS_H
#define LUMAPIX_OPTIONS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct DecodeOptions {
    int32_t stretch;        /* 1: use the scaled decode */
    int32_t line;           /* 1: decode line by line */
    int32_t targetMode;     /* scaled decode: 0 = the file's mode */
    uint16_t targetWidth;   /* scaled decode: 0 = the file's */
    uint16_t targetHeight;
    uint16_t clipX, clipY, clipWidth, clipHeight; /* scaled decode: source window, 0 size = rest */
    uint8_t jpegThumbnail;
    uint8_t monoPaletteFormat;
    uint8_t faxCoding;
    uint8_t faxBitOrder;
    uint16_t faxWidth;
    uint32_t faxLineBytes;
    uint8_t faxErrorFill;
    int32_t rawMode;
    int8_t rawFormat;
    uint16_t rawWidth, rawHeight, rawLineBytes;
    uint8_t rawPaletteFormat;
    int32_t jp2Resize;
    void* dicomList;
} DecodeOptions;

/* Per-codec fields join this block as their encoders arrive. */
typedef struct EncodeOptions {
    int32_t line;      /* 1: encode line by line */
    uint8_t jpegQuality;     /* 1..100, 80 at start */
    uint8_t jpegColorSpace;  /* 0 YCbCr, 1 grey, 2 CIELab, 3 CMYK, 4 YCCK */
    uint8_t jpegSubsampling; /* 0 4:2:0, 1 4:2:2, 2 4:4:4 */
    uint8_t jpegAppMode;     /* 0 none, 1 JFIF, 3 Exif, 4 DCF, 5 G3FAX */
    uint8_t jpegThumbnail;   /* 1: add a 160 x 120 thumbnail (JFIF, Exif, DCF) */
    int32_t pnmBinary; /* PNM: 0 ASCII (P1-P3), nonzero binary (P4-P6) */
    uint8_t faxCoding; /* MH, MR, MMR: 0, 1, 2; set by the save from the format */
    int32_t tiffColor; /* TIFF page: 0 RGB, 1 YCbCr 4:2:2, 2 YCbCr 4:2:0 (kept for a TIFF writer) */
} EncodeOptions;

/* Start-up values: line-by-line decoding and encoding, RGB as the scaled target. */
void DecodeOptionsDefaults(DecodeOptions* options);
void EncodeOptionsDefaults(EncodeOptions* options);

#ifdef __cplusplus
}
#endif

#endif
