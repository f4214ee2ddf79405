/*
 * Colour formulas and tables shared by the mode converter, the decode-time line
 * converters, the display and the encoders. Pixels are passed in record order:
 * blue, green, red.
 */
#ifndef LUMAPIX_PIXEL_FORMULAS_H
#define LUMAPIX_PIXEL_FORMULAS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* 6x6x6 colour cube in entries 0..215, black in 216..254, white in 255; blue, green, red, 0. */
extern const uint8_t* const SystemPalette;      /* 256 x 4 bytes */
/* Cube level 0..5 of an 8-bit component: (5v + 127) / 255. */
extern const uint8_t* const CubeLevel;          /* 256 entries */
/* round(1024 * cbrt(i / 1024)) for i = 0..1024. */
extern const int16_t* const CubeRoot;           /* 1025 entries */
/* Ordered-dither thresholds, indexed [row][column]. */
extern const uint8_t (*const BayerMatrix2)[2];
extern const uint8_t (*const BayerMatrix4)[4];
extern const uint8_t (*const BayerMatrix8)[8];
extern const uint8_t (*const BayerMatrix16)[16];

/*
 * 8-bit YCbCr (BT.601, full range). matrix: null for the built-in constants, or
 * nine signed 16.16 coefficients: rows Y, Cb, Cr of R, G, B (forward) and rows
 * R, G, B of Y, Cb - 128, Cr - 128 (inverse).
 */
void YccFromRgb8(const uint8_t bgr[3], uint8_t ycc[3], const int32_t* matrix);
void RgbFromYcc8(const uint8_t ycc[3], uint8_t bgr[3], const int32_t* matrix);
/* 16-bit YCbCr, chroma centred on 32768. */
void YccFromRgb16(const uint16_t bgr[3], uint16_t ycc[3]);
void RgbFromYcc16(const uint16_t ycc[3], uint16_t bgr[3]);
/* CIE L*a*b* bytes (D50): L = L* x 255 / 100, a = 1.5 a* + 128, b = 1.275 b* + 96. */
void LabFromRgb(const uint8_t bgr[3], uint8_t lab[3]);
void RgbFromLab(const uint8_t lab[3], uint8_t bgr[3]);
/* RGB 5-6-5: R in bits 15..11, G in 10..5, B in 4..0; widening does not replicate bits. */
uint16_t HighFromRgb(const uint8_t bgr[3]);
void RgbFromHigh(uint16_t high, uint8_t bgr[3]);
/* Index of the nearest cube colour in the system palette. */
uint8_t SystemPaletteIndex(const uint8_t bgr[3]);

#ifdef __cplusplus
}
#endif

#endif
