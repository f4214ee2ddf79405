#include "lumapix/frequency_analysis.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

constexpr int kWindowStart = SPECTRUM_SAMPLES - SPECTRUM_POINTS;  // the newest 2048 samples
constexpr int kHalfWindow = SPECTRUM_POINTS / 2;
constexpr int kTraceStart = 7839;                                 // 352 samples end the trace at 8190
constexpr int kTraceColumns = SPECTRUM_WIDTH - 1;

uint8_t* Row(uint8_t* strip, int row) { return strip + row * SPECTRUM_WIDTH; }

// Oscilloscope row of a sample: -32768 on the bottom row, 32767 on the top one.
int TraceRow(int16_t sample) { return std::min((((sample + 32768) / 128 + 1) * SPECTRUM_HEIGHT) / 512, SPECTRUM_HEIGHT - 1); }

int BarHeight(double magnitude) {
    if (!(magnitude > 0.0)) return 0;
    const double h = std::floor(16.0 * std::log10(magnitude * magnitude));
    return static_cast<int>(std::clamp(h, 0.0, double{SPECTRUM_HEIGHT}));
}

}  // namespace

extern "C" {

void SpectrumInit(SpectrumAnalyzer* analyzer) {
    if (!analyzer) return;
    for (int k = 0; k < SPECTRUM_SINE_ENTRIES; ++k)
        analyzer->sine[k] = std::sin(2.0 * std::numbers::pi * k / 16384.0);
    std::memset(analyzer->transform, 0, sizeof analyzer->transform);
    std::memset(analyzer->heights, 0, sizeof analyzer->heights);
    std::memset(analyzer->spectrum, 0, sizeof analyzer->spectrum);
    std::memset(analyzer->oscilloscope, 0, sizeof analyzer->oscilloscope);
    std::memset(analyzer->history, 0, sizeof analyzer->history);
}

void SpectrumAnalyse(SpectrumAnalyzer* analyzer, const int16_t* samples) {
    if (!analyzer || !samples) return;
    double* c = analyzer->transform;
    const double* w = analyzer->sine;
    // Half-sine window over the newest 2048 samples: rising on the first half, falling on the second.
    for (int i = 0; i < kHalfWindow; ++i) {
        c[i] = samples[kWindowStart + i] * w[4 * i] / 32768.0;
        c[kHalfWindow + i] = samples[kWindowStart + kHalfWindow + i] * w[4092 - 4 * i] / 32768.0;
    }
    // The forward transform: bins 0 .. n/2 as interleaved real and imaginary parts, so the
    // bars run from 0 Hz to half the sampling rate and each tone shows once.
    SpectrumRealDft(c, SPECTRUM_POINTS, 1, w);
    c[0] = 0.0;
    c[1] = 0.0;
    SpectrumDrawBars(analyzer, c);
    SpectrumDrawOscilloscope(analyzer, samples);
}

void SpectrumDrawBars(SpectrumAnalyzer* analyzer, const double* transform) {
    if (!analyzer || !transform) return;
    for (int b = 0; b < SPECTRUM_BARS; ++b) {
        const int from = SPECTRUM_POINTS * b / SPECTRUM_BARS, to = SPECTRUM_POINTS * (b + 1) / SPECTRUM_BARS;
        double peak = 0.0;
        for (int i = from; i < to; ++i) peak = std::max(peak, std::fabs(transform[i]));
        analyzer->heights[b] = static_cast<uint8_t>(BarHeight(peak));
    }
    std::memset(analyzer->spectrum, 0, sizeof analyzer->spectrum);
    for (int b = 0; b < SPECTRUM_BARS; ++b)
        for (int j = 0; j < analyzer->heights[b]; ++j)
            std::memset(Row(analyzer->spectrum, j) + 4 * b, 32 + 32 * j / SPECTRUM_HEIGHT, 4);
    // The history moves one row toward row 0; the newest bars take the last row.
    std::memmove(analyzer->history, Row(analyzer->history, 1), SPECTRUM_STRIP_BYTES - SPECTRUM_WIDTH);
    uint8_t* newest = Row(analyzer->history, SPECTRUM_HEIGHT - 1);
    for (int b = 0; b < SPECTRUM_BARS; ++b)
        std::memset(newest + 4 * b, (48 * analyzer->heights[b] - 48) / SPECTRUM_HEIGHT + 16, 4);
}

void SpectrumDrawOscilloscope(SpectrumAnalyzer* analyzer, const int16_t* samples) {
    if (!analyzer || !samples) return;
    uint8_t* strip = analyzer->oscilloscope;
    std::memset(strip, 0, sizeof analyzer->oscilloscope);
    // Each step joins two samples with a vertical run: its first half in column x, the rest in x + 1.
    for (int x = 0; x < kTraceColumns; ++x) {
        const int from = TraceRow(samples[kTraceStart + x]), to = TraceRow(samples[kTraceStart + x + 1]);
        const int step = to >= from ? 1 : -1;
        const int length = std::abs(to - from) + 1;
        const int firstHalf = std::abs(to - from) / 2 + 1;
        for (int p = 0; p < length; ++p)
            Row(strip, from + step * p)[p < firstHalf ? x : x + 1] = SPECTRUM_TRACE_COLOUR;
    }
    Row(strip, TraceRow(samples[kTraceStart + kTraceColumns]))[kTraceColumns] = SPECTRUM_TRACE_COLOUR;
}

void SpectrumPalette(uint32_t rgb[SPECTRUM_PALETTE_SIZE]) {
    auto pack = [](int r, int g, int b) {
        return static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b);
    };
    for (int i = 0; i < SPECTRUM_PALETTE_SIZE; ++i) rgb[i] = pack(i * 3, i * 3, i * 3);
    rgb[0] = pack(0, 0, 0);
    rgb[SPECTRUM_TRACE_COLOUR] = pack(64, 255, 96);
    // History floor: dark blue to teal.
    for (int i = 16; i < 32; ++i) rgb[i] = pack(0, (i - 16) * 6, 64 + (i - 16) * 6);
    // Bars and loud history: green through yellow to red.
    for (int i = 32; i < 64; ++i) {
        const int t = (i - 32) * 255 / 31;
        rgb[i] = t < 128 ? pack(2 * t, 200 + t * 55 / 127, 0) : pack(255, 255 - 2 * (t - 128), 0);
    }
}

}  // extern "C"
