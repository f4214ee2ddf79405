/*
 * The spectrum panel's analysis, free of any window system: 8192 input samples in,
 * three 352 x 80 strips of 8-bit palette indices out (spectrum bars, oscilloscope
 * trace, bar history), painted with a 64-entry palette.
 *
 * Strips are stored row by row with row 0 at the bottom, as a bottom-up bitmap
 * holds them: a bar grows from row 0 upward, the oscilloscope puts -32768 on row 0.
 */
#ifndef LUMAPIX_SPECTRUM_ANALYSIS_H
#define LUMAPIX_SPECTRUM_ANALYSIS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
    SPECTRUM_WIDTH = 352,
    SPECTRUM_HEIGHT = 80,
    SPECTRUM_STRIP_BYTES = SPECTRUM_WIDTH * SPECTRUM_HEIGHT,
    SPECTRUM_BARS = 88,
    SPECTRUM_SAMPLES = 8192,   /* one analysis: 8 input buffers of 1024 samples */
    SPECTRUM_POINTS = 2048,    /* transform length */
    SPECTRUM_SINE_ENTRIES = 4096,
    SPECTRUM_PALETTE_SIZE = 64,
    SPECTRUM_TRACE_COLOUR = 4
};

typedef struct SpectrumAnalyzer {
    double sine[SPECTRUM_SINE_ENTRIES]; /* sin(2 pi k / 16384): a quarter wave */
    double transform[SPECTRUM_POINTS];  /* the last windowed block, transformed */
    uint8_t heights[SPECTRUM_BARS];     /* bar heights 0..80 of the last analysis */
    uint8_t spectrum[SPECTRUM_STRIP_BYTES];
    uint8_t oscilloscope[SPECTRUM_STRIP_BYTES];
    uint8_t history[SPECTRUM_STRIP_BYTES];
} SpectrumAnalyzer;

/* Builds the sine table and clears the strips. */
void SpectrumInit(SpectrumAnalyzer* analyzer);
/* One update from samples[0..8191], oldest first: bars, history and oscilloscope. */
void SpectrumAnalyse(SpectrumAnalyzer* analyzer, const int16_t* samples);
/* The two halves of an update, for callers that have a transform or a trace of their own. */
void SpectrumDrawBars(SpectrumAnalyzer* analyzer, const double* transform);
void SpectrumDrawOscilloscope(SpectrumAnalyzer* analyzer, const int16_t* samples);
/* 0xRRGGBB per index: 0 background, 4 the trace, 16..63 history ramp, 32..63 bar ramp. */
void SpectrumPalette(uint32_t rgb[SPECTRUM_PALETTE_SIZE]);

/*
 * Real DFT of n points in place, n a power of two from 4 to 16384; sine is the
 * quarter-wave table above. Status 0, or 1 for a bad n or null pointers.
 *
 * The spectrum layout, for 0 < k < n/2 (sums over j = 0..n-1):
 *   a[0] = R(0), a[1] = R(n/2), a[2k] = R(k), a[2k+1] = I(k),
 *   R(k) = sum x[j] cos(2 pi j k / n), I(k) = sum x[j] sin(2 pi j k / n).
 * sign +1 takes x[] to that layout (the forward transform).
 * sign -1 takes that layout back to x[] without scaling:
 *   x[j] = (a[0] + a[1] (-1)^j) / 2 + sum_{0<k<n/2} (a[2k] cos(2 pi j k / n) + a[2k+1] sin(2 pi j k / n)),
 * so that the forward transform followed by this one multiplies x[] by n/2.
 */
int32_t SpectrumRealDft(double* a, uint32_t n, int32_t sign, const double* sine);

#ifdef __cplusplus
}
#endif

#endif
