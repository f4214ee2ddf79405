#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "lumapix/pixel_formulas.h"

namespace {

using Bgr = std::array<uint8_t, 3>;

int MaxDiff(const Bgr& a, const Bgr& b) {
    int d = 0;
    for (size_t i = 0; i < 3; ++i) d = std::max(d, std::abs(a[i] - b[i]));
    return d;
}

Bgr Ycc(const Bgr& bgr, const int32_t* matrix = nullptr) {
    Bgr out{};
    YccFromRgb8(bgr.data(), out.data(), matrix);
    return out;
}

Bgr FromYcc(const Bgr& ycc, const int32_t* matrix = nullptr) {
    Bgr out{};
    RgbFromYcc8(ycc.data(), out.data(), matrix);
    return out;
}

Bgr Lab(const Bgr& bgr) {
    Bgr out{};
    LabFromRgb(bgr.data(), out.data());
    return out;
}

Bgr FromLab(const Bgr& lab) {
    Bgr out{};
    RgbFromLab(lab.data(), out.data());
    return out;
}

// Calls f for every colour whose components are multiples of step.
template <typename F>
void ForGrid(int step, F f) {
    for (int b = 0; b <= 255; b += step)
        for (int g = 0; g <= 255; g += step)
            for (int r = 0; r <= 255; r += step)
                f(Bgr{static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r)});
}

// M2n[y][x] = 4 Mn[y mod n][x mod n] + M2[y / n][x / n], and every value appears once.
template <size_t N, size_t H>
void ExpectBayerFrom(const uint8_t (*big)[N], const uint8_t (*half)[H]) {
    int seen[N * N] = {};
    for (size_t y = 0; y < N; ++y)
        for (size_t x = 0; x < N; ++x) {
            ASSERT_LT(big[y][x], N * N);
            ++seen[big[y][x]];
            EXPECT_EQ(big[y][x], 4 * half[y % H][x % H] + BayerMatrix2[y / H][x / H]) << N << ": " << y << "," << x;
        }
    for (int count : seen) EXPECT_EQ(count, 1);
}

TEST(Tables, PaletteCubeLevelsCubeRootsAndBayerMatrices) {
    // The 6 x 6 x 6 cube, blue fastest, then black, with white at 255.
    const std::array<int, 4> entries[] = {{5, 255, 0, 0}, {6, 0, 51, 0}, {36, 0, 0, 51}, {215, 255, 255, 255},
                                          {216, 0, 0, 0}, {255, 255, 255, 255}};
    for (auto [i, b, g, r] : entries) {
        const uint8_t* e = SystemPalette + 4 * i;
        EXPECT_TRUE(e[0] == b && e[1] == g && e[2] == r && e[3] == 0) << "entry " << i;
    }
    const int edges[][2] = {{25, 0}, {26, 1}, {76, 1}, {77, 2}, {127, 2}, {128, 3},
                            {178, 3}, {179, 4}, {229, 4}, {230, 5}, {0, 0}, {255, 5}};
    for (const auto& e : edges) EXPECT_EQ(CubeLevel[e[0]], e[1]) << "v = " << e[0];
    const uint8_t bgr[3] = {25, 26, 128}, white[3] = {255, 255, 255};
    EXPECT_EQ(SystemPaletteIndex(bgr), 114);  // 36 * 3 + 6 * 1 + 0
    EXPECT_EQ(SystemPaletteIndex(white), 215);

    EXPECT_EQ(CubeRoot[1], 102);    // 1024 / cbrt(1024) = 101.59
    EXPECT_EQ(CubeRoot[125], 508);  // 5120 / cbrt(1024) = 507.97
    EXPECT_EQ(CubeRoot[1024], 1024);
    for (int i = 0; i < 1024; ++i) ASSERT_LE(CubeRoot[i], CubeRoot[i + 1]) << i;

    EXPECT_TRUE(BayerMatrix2[0][0] == 0 && BayerMatrix2[0][1] == 2 && BayerMatrix2[1][0] == 3 && BayerMatrix2[1][1] == 1);
    ExpectBayerFrom(BayerMatrix4, BayerMatrix2);
    ExpectBayerFrom(BayerMatrix8, BayerMatrix4);
    ExpectBayerFrom(BayerMatrix16, BayerMatrix8);
}

TEST(Ycc8, HandComputedColours) {
    // B, G, R -> Y, Cb, Cr -> B, G, R
    const Bgr cases[][3] = {
        {{0, 0, 0}, {0, 128, 128}, {0, 0, 0}},
        {{255, 255, 255}, {255, 128, 128}, {255, 255, 255}},
        {{0, 0, 255}, {76, 85, 255}, {0, 0, 254}},   // red: Cb (-10965 >> 8) + 128 = 85
        {{255, 0, 0}, {28, 255, 107}, {253, 0, 0}},  // blue: B (7168 + 454 * 127) >> 8 = 253
        {{128, 128, 128}, {128, 128, 128}, {128, 128, 128}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Ycc(c[0]), c[1]);
        EXPECT_EQ(FromYcc(c[1]), c[2]);
    }
}

TEST(Ycc8, CallerMatrix) {
    const int32_t forward[9] = {77 * 256, 150 * 256, 29 * 256, -43 * 256, -85 * 256,
                                128 * 256, 128 * 256, -107 * 256, -21 * 256};
    const int32_t inverse[9] = {256 * 256, 0, 359 * 256, 256 * 256, -88 * 256,
                                -183 * 256, 256 * 256, 454 * 256, 0};
    ForGrid(15, [&](const Bgr& c) {
        ASSERT_EQ(Ycc(c, forward), Ycc(c));
        ASSERT_EQ(FromYcc(c, inverse), FromYcc(c));
    });
    // Coefficients apply to R, G, B (not record order), rows to R, G, B of the output.
    const int32_t pickRed[9] = {65536, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Ycc(Bgr{10, 20, 30}, pickRed), (Bgr{30, 128, 128}));
    const int32_t yToBlue[9] = {0, 0, 0, 0, 0, 0, 65536, 0, 0};
    EXPECT_EQ(FromYcc(Bgr{90, 20, 30}, yToBlue), (Bgr{90, 0, 0}));
}

TEST(RoundTrip, Ycc8StaysWithinFour) {
    int worst = 0;
    ForGrid(15, [&](const Bgr& c) { worst = std::max(worst, MaxDiff(c, FromYcc(Ycc(c)))); });
    EXPECT_LE(worst, 4);  // 4 at clamped chroma, e.g. near-zero blue with strong green
    EXPECT_GE(worst, 1);
}

TEST(RoundTrip, Ycc16) {
    uint16_t ycc[3];
    uint16_t bgr[3];
    const uint16_t red[3] = {0, 0, 65535}, white[3] = {65535, 32768, 32768};
    YccFromRgb16(red, ycc);
    EXPECT_EQ((std::array<uint16_t, 3>{ycc[0], ycc[1], ycc[2]}), (std::array<uint16_t, 3>{19594, 21712, 65535}));
    RgbFromYcc16(white, bgr);
    EXPECT_EQ((std::array<uint16_t, 3>{bgr[0], bgr[1], bgr[2]}), (std::array<uint16_t, 3>{65535, 65535, 65535}));

    int worst = 0;
    ForGrid(17, [&](const Bgr& c) {  // 16 levels, widened by 257
        const uint16_t in[3] = {static_cast<uint16_t>(c[0] * 257), static_cast<uint16_t>(c[1] * 257),
                                static_cast<uint16_t>(c[2] * 257)};
        YccFromRgb16(in, ycc);
        RgbFromYcc16(ycc, bgr);
        for (int i = 0; i < 3; ++i) worst = std::max(worst, std::abs(bgr[i] - in[i]));
    });
    EXPECT_LE(worst, 10);  // 9 measured
}

TEST(Lab, HandComputedValues) {
    const Bgr forward[][2] = {{{0, 0, 0}, {0, 128, 96}},         {{255, 255, 255}, {255, 128, 96}},
                              {{100, 100, 100}, {176, 128, 96}}, {{0, 0, 255}, {138, 250, 185}},  // L* 54, a* 81, b* 70
                              {{0, 255, 0}, {224, 9, 199}}};
    for (const auto& c : forward) EXPECT_EQ(Lab(c[0]), c[1]);
    const Bgr inverse[][2] = {{{0, 128, 96}, {0, 0, 0}},       {{255, 128, 96}, {255, 255, 255}},
                              {{128, 128, 96}, {47, 47, 47}},  {{128, 160, 64}, {93, 38, 66}},
                              {{200, 100, 150}, {41, 152, 116}}};
    for (const auto& c : inverse) EXPECT_EQ(FromLab(c[0]), c[1]);
}

TEST(Lab, GreysStayNeutral) {
    int neutral = 0;
    int previousL = 0;
    for (int v = 0; v < 256; ++v) {
        const auto k = static_cast<uint8_t>(v);
        const Bgr lab = Lab(Bgr{k, k, k});
        EXPECT_NEAR(lab[1], 128, 5) << v;  // dark greys on the linear segment drift to 123
        EXPECT_NEAR(lab[2], 97, 1) << v;
        EXPECT_GE(lab[0], previousL) << v;
        EXPECT_LE(MaxDiff(FromLab(lab), Bgr{k, k, k}), 2) << v;
        neutral += lab[1] == 128 && lab[2] == 96;
        previousL = lab[0];
    }
    EXPECT_GE(neutral, 250);
}

TEST(RoundTrip, LabWithinFourInsideTheByteRange) {
    // Saturated blues and reds leave the a/b byte range and clamp; those are skipped.
    int worst = 0;
    int checked = 0;
    long total = 0;
    ForGrid(15, [&](const Bgr& c) {
        const Bgr lab = Lab(c);
        if (std::any_of(lab.begin(), lab.end(), [](uint8_t v) { return v == 0 || v == 255; })) return;
        const int d = MaxDiff(c, FromLab(lab));
        worst = std::max(worst, d);
        total += d;
        ++checked;
    });
    EXPECT_GT(checked, 5500);  // of 5832
    EXPECT_LE(worst, 4);
    EXPECT_LT(static_cast<double>(total) / checked, 1.25);  // 1.09 measured
}

TEST(High, PackAndUnpackWithoutReplication) {
    // 0x178BC4 -> b5 2, g6 34, r5 24 -> 16, 136, 192
    const struct { Bgr bgr; uint16_t high; Bgr back; } cases[] = {
        {{255, 255, 255}, 0xFFFF, {248, 252, 248}}, {{0, 0, 255}, 0xF800, {0, 0, 248}},
        {{0, 255, 0}, 0x07E0, {0, 252, 0}},         {{255, 0, 0}, 0x001F, {248, 0, 0}},
        {{0x17, 0x8B, 0xC4}, (24 << 11) | (34 << 5) | 2, {16, 136, 192}},
        {{8, 4, 8}, 0x0821, {8, 4, 8}}};
    for (const auto& c : cases) {
        EXPECT_EQ(HighFromRgb(c.bgr.data()), c.high);
        Bgr out{};
        RgbFromHigh(c.high, out.data());
        EXPECT_EQ(out, c.back);
    }
}

}  // namespace
