// The real DFT against plain sums in both directions, and the strips checked
// pixel by pixel on inputs worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "lumapix/frequency_analysis.h"

namespace {

struct Analyzer {
    Analyzer() : a(std::make_unique<SpectrumAnalyzer>()) { SpectrumInit(a.get()); }
    std::unique_ptr<SpectrumAnalyzer> a;
    uint8_t Pixel(const uint8_t* strip, int x, int row) const { return strip[row * SPECTRUM_WIDTH + x]; }
};

std::vector<double> Noise(uint32_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> value(-1000.0, 1000.0);
    std::vector<double> x(n);
    for (double& v : x) v = value(random);
    return x;
}

}  // namespace

TEST(RealDft, BothDirectionsMatchPlainSumsAndRoundTripScalesByHalfTheLength) {
    Analyzer analyzer;
    for (uint32_t n : {4u, 16u, 2048u, 8192u}) {
        const std::vector<double> x = Noise(n, n);
        std::vector<double> forward = x;
        ASSERT_EQ(SpectrumRealDft(forward.data(), n, 1, analyzer.a->sine), 0);
        std::vector<double> inverse = x;  // the same numbers read as a spectrum
        ASSERT_EQ(SpectrumRealDft(inverse.data(), n, -1, analyzer.a->sine), 0);
        const double tolerance = 1e-9 * 1000.0 * n;
        for (uint32_t k = 0; k < n / 2; k += (n > 64 ? 37 : 1)) {
            double re = 0, im = 0, nyquist = 0;
            for (uint32_t j = 0; j < n; ++j) {
                const double angle = 2.0 * std::numbers::pi * j * k / n;
                re += x[j] * std::cos(angle);
                im += x[j] * std::sin(angle);
                nyquist += j % 2 ? -x[j] : x[j];
            }
            EXPECT_NEAR(forward[2 * k], re, tolerance) << n << " " << k;
            EXPECT_NEAR(forward[2 * k + 1], k == 0 ? nyquist : im, tolerance) << n << " " << k;
        }
        for (uint32_t j = 0; j < n; j += (n > 64 ? 29 : 1)) {
            double sum = (x[0] + x[1] * (j % 2 ? -1.0 : 1.0)) / 2.0;
            for (uint32_t k = 1; k < n / 2; ++k) {
                const double angle = 2.0 * std::numbers::pi * j * k / n;
                sum += x[2 * k] * std::cos(angle) + x[2 * k + 1] * std::sin(angle);
            }
            EXPECT_NEAR(inverse[j], sum, tolerance) << n << " " << j;
        }
        ASSERT_EQ(SpectrumRealDft(forward.data(), n, -1, analyzer.a->sine), 0);
        for (uint32_t j = 0; j < n; ++j) EXPECT_NEAR(forward[j], x[j] * n / 2, tolerance);
    }
    std::vector<double> a(32768);
    for (uint32_t bad : {0u, 2u, 24u, 32768u}) EXPECT_EQ(SpectrumRealDft(a.data(), bad, 1, analyzer.a->sine), 1);
    EXPECT_EQ(SpectrumRealDft(a.data(), 16, 0, analyzer.a->sine), 1);
}

TEST(SpectrumStrips, BarsAndHistoryFromAHandMadeTransform) {
    Analyzer analyzer;
    std::vector<double> transform(SPECTRUM_POINTS, 0.0);
    transform[100] = 10.0;      // bar 4 covers [93, 116): 16 log10(100) = 32 rows
    transform[2047] = -1000.0;  // bar 87: 96 rows, limited to 80
    transform[24] = 0.5;        // bar 1: a negative logarithm is no bar
    SpectrumDrawBars(analyzer.a.get(), transform.data());
    EXPECT_EQ(analyzer.a->heights[4], 32);
    EXPECT_EQ(analyzer.a->heights[87], 80);
    EXPECT_EQ(analyzer.a->heights[1], 0);
    const uint8_t* bars = analyzer.a->spectrum;
    for (int x = 16; x < 20; ++x) {
        EXPECT_EQ(analyzer.Pixel(bars, x, 0), 32);
        EXPECT_EQ(analyzer.Pixel(bars, x, 31), 44);  // 32 + 32 * 31 / 80
        EXPECT_EQ(analyzer.Pixel(bars, x, 32), 0);
    }
    EXPECT_EQ(analyzer.Pixel(bars, 15, 0), 0);
    EXPECT_EQ(analyzer.Pixel(bars, 20, 0), 0);
    EXPECT_EQ(analyzer.Pixel(bars, 351, 79), 63);
    // The history's last row: (48 h - 48) / 80 + 16.
    const uint8_t* history = analyzer.a->history;
    EXPECT_EQ(analyzer.Pixel(history, 16, 79), 34);
    EXPECT_EQ(analyzer.Pixel(history, 351, 79), 63);
    EXPECT_EQ(analyzer.Pixel(history, 0, 79), 16);
    EXPECT_EQ(analyzer.Pixel(history, 16, 78), 0);
    // The next update pushes that row one toward row 0.
    transform.assign(SPECTRUM_POINTS, 0.0);
    SpectrumDrawBars(analyzer.a.get(), transform.data());
    EXPECT_EQ(analyzer.Pixel(history, 16, 78), 34);
    EXPECT_EQ(analyzer.Pixel(history, 16, 79), 16);
    EXPECT_EQ(analyzer.Pixel(analyzer.a->spectrum, 16, 0), 0);
}

TEST(SpectrumStrips, OscilloscopeJoinsSamplesWithSplitVerticalRuns) {
    Analyzer analyzer;
    std::vector<int16_t> samples(SPECTRUM_SAMPLES, 0);  // 0 sits on row 40
    samples[7839] = -32768;                             // row 0
    samples[7840] = 32767;                              // row 79
    SpectrumDrawOscilloscope(analyzer.a.get(), samples.data());
    const uint8_t* trace = analyzer.a->oscilloscope;
    auto lit = [&](int x, int row) { return analyzer.Pixel(trace, x, row) == SPECTRUM_TRACE_COLOUR; };
    // Rows 0..79: 79 / 2 + 1 = 40 in column 0, the other 40 in column 1.
    for (int row = 0; row < 80; ++row) {
        EXPECT_EQ(lit(0, row), row < 40) << row;
        // Column 1 also starts the run from 79 down to 40 (39 / 2 + 1 = 20 rows); column 2 ends it.
        EXPECT_EQ(lit(1, row), row >= 40) << row;
        EXPECT_EQ(lit(2, row), row >= 40 && row < 60) << row;
        EXPECT_EQ(lit(3, row), row == 40) << row;
        EXPECT_EQ(lit(351, row), row == 40) << row;
    }
}

TEST(SpectrumStrips, ASineLightsOneBar) {
    Analyzer analyzer;
    // 2756.25 Hz at 22050 Hz: a quarter of the way to half the rate, bar 88 / 4 = 22.
    std::vector<int16_t> samples(SPECTRUM_SAMPLES);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(std::lround(20000.0 * std::sin(2.0 * std::numbers::pi * static_cast<double>(i) / 8.0)));
    SpectrumAnalyse(analyzer.a.get(), samples.data());
    const uint8_t* h = analyzer.a->heights;
    const auto tallest = std::max_element(h, h + SPECTRUM_BARS) - h;
    EXPECT_NEAR(static_cast<double>(tallest), 22, 1);
    EXPECT_GT(h[tallest], h[5] + 20);
    EXPECT_GT(h[tallest], h[66] + 20);  // no mirror image
}
