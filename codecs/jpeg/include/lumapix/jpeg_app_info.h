/* JFIF and Exif fields as the decoder reads them and the encoder writes them. */
#ifndef LUMAPIX_JPEG_APP_INFO_H
#define LUMAPIX_JPEG_APP_INFO_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One TIFF image file directory with its Exif sub-directories. */
typedef struct ExifIfdRecord {
    char ImageDescription[256];
    char Make[256];
    char Model[256];
    uint16_t Orientation;
    uint32_t XResolution[2];   /* numerator, denominator */
    uint32_t YResolution[2];
    uint16_t ResolutionUnit;
    char DateTime[20];         /* "YYYY:MM:DD HH:MM:SS" */
    char DateTimeOriginal[20];
    char DateTimeDigitized[20];
    uint16_t YCbCrSubSampling[2];
    uint16_t YCbCrPositioning;
    uint32_t ExifIFDPointer;
    char ExifVersion[4];
    char FlashPixVersion[4];
    uint32_t ComponentsConfiguration;
    uint16_t ColorSpace;
    uint32_t PixelXDimension;
    uint32_t PixelYDimension;
    uint32_t InteroperabilityIFDPointer;
    /* thumbnail directory (IFD1) */
    uint32_t ImageWidth;
    uint32_t ImageLength;
    uint16_t BitsPerSample[3];
    uint16_t Compression;      /* 1 uncompressed, 6 JPEG */
    uint16_t PhotometricInterpretation;
    uint32_t StripOffsets;
    uint16_t SamplesPerPixel;
    uint32_t RowsPerStrip;
    uint32_t StripByteCounts;
    uint16_t PlanarConfiguration;
    uint32_t JPEGInterchangeFormat;
    uint32_t JPEGInterchangeFormatLength;
    const uint8_t* thumbnail;  /* encoder: thumbnail bytes to write */
    uint32_t thumbnailLength;
} ExifIfdRecord;

typedef struct JpgAppInfo {
    uint8_t jfifMajor;         /* 1 when written */
    uint8_t jfifMinor;         /* 2 when written */
    uint8_t units;             /* 0 none, 1 dots per inch, 2 dots per cm */
    uint16_t xDensity;
    uint16_t yDensity;
    uint8_t thumbWidth;        /* JFIF thumbnail, 0 when none */
    uint8_t thumbHeight;
    ExifIfdRecord ifd0;        /* main image */
    ExifIfdRecord ifd1;        /* thumbnail */
    uint16_t g3faxResolution;  /* dots per inch, 200 by default */
} JpgAppInfo;

#ifdef __cplusplus
}
#endif

#endif
