// The integer IDCT against a direct evaluation of its formulas, its shortcuts
// against the full evaluation, the colour formulas and the Huffman tables.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "jpeg_internal.hpp"
#include "jpeg_simd.hpp"

namespace {

using namespace lumapix::jpeg;

// The pass formulas written out plainly in 64-bit arithmetic.
void DirectPass(const int64_t x[8], int64_t y[8]) {
    int64_t a = 251 * x[1] + 50 * x[7], b = 251 * x[7] - 50 * x[1];
    int64_t c = 213 * x[3] + 142 * x[5], d = 213 * x[5] - 142 * x[3];
    int64_t s = a + c, e = a - c, f = d + b, g = d - b, h = e + f, i = e - f;
    int64_t j = 237 * x[2] + 98 * x[6], k = 237 * x[6] - 98 * x[2];
    int64_t l = 181 * (x[0] + x[4]), m = 181 * (x[0] - x[4]);
    int64_t o = l + j, n = l - j, p = 512 * (m + k), q = 512 * (m - k);
    int64_t out[8] = {o + s, (q + 362 * i) >> 9, (p + 362 * h) >> 9, n + g,
                      n - g, (p - 362 * h) >> 9, (q - 362 * i) >> 9, o - s};
    for (int t = 0; t < 8; ++t) y[t] = (out[t] + 256) >> 9;
}

void DirectIdct(const int16_t* coef, int32_t* out, int precision) {
    int64_t tmp[64];
    for (int c = 0; c < 8; ++c) {
        int64_t x[8], y[8];
        for (int r = 0; r < 8; ++r) x[r] = coef[r * 8 + c];
        DirectPass(x, y);
        for (int r = 0; r < 8; ++r) tmp[r * 8 + c] = y[r];
    }
    for (int r = 0; r < 8; ++r) {
        int64_t y[8];
        DirectPass(tmp + r * 8, y);
        for (int c = 0; c < 8; ++c) out[r * 8 + c] = static_cast<int32_t>(y[c] + (1 << (precision - 1)));
    }
}

using IdctFn = bool (*)(int16_t*, int16_t*, size_t, int32_t);

// Every vector IDCT this processor can run.
std::vector<IdctFn> VectorForms() {
    std::vector<IdctFn> forms = {IdctSimd};
#if defined(__x86_64__) || defined(__i386__)
    forms.push_back(IdctSse2);
    if (HaveAvx2()) forms.push_back(IdctAvx2);
#endif
    return forms;
}

class Rng {
public:
    uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    int32_t In(int32_t lo, int32_t hi) { return lo + static_cast<int32_t>(Next() % static_cast<uint32_t>(hi - lo + 1)); }

private:
    uint32_t state_ = 2463534242u;
};

// A block whose non-zero coefficients lie at zig-zag positions up to last.
int RandomBlock(Rng& rng, int16_t* coef, int last, int32_t range, int density) {
    std::memset(coef, 0, 64 * sizeof(int16_t));
    int top = 0;
    for (int k = 0; k <= last; ++k)
        if (k == 0 || rng.In(0, 99) < density) {
            coef[kZigZag[k]] = static_cast<int16_t>(rng.In(-range, range));
            if (coef[kZigZag[k]]) top = k;
        }
    return top;
}

TEST(JpegIdct, MatchesTheFormulasEvaluatedDirectly) {
    Rng rng;
    for (int precision : {8, 12}) {
        for (int n = 0; n < 20000; ++n) {
            alignas(16) int16_t coef[64], work[64], fast[64], vector[64], full[64];
            int32_t want[64];
            int last = RandomBlock(rng, coef, rng.In(0, 63), 1100, rng.In(5, 100));  // no 32-bit wrap-around
            DirectIdct(coef, want, precision);
            InverseDctFull(coef, full, 8, precision);
            std::memcpy(work, coef, sizeof coef);
            InverseDct(work, fast, 8, precision, last, false);
            for (int16_t w : work) ASSERT_EQ(w, 0);  // left zeroed for the next block
            for (int i = 0; i < 64; ++i) {
                ASSERT_EQ(full[i], want[i]) << n << " " << i;
                ASSERT_EQ(fast[i], want[i]) << n << " " << i << " last " << last;
            }
            for (auto idct : VectorForms()) {
                std::memcpy(work, coef, sizeof coef);
                if (!idct(work, vector, 8, 1 << (precision - 1))) continue;
                for (int i = 0; i < 64; ++i) ASSERT_EQ(vector[i], want[i]) << n << " " << i;
                for (int16_t w : work) ASSERT_EQ(w, 0);
            }
        }
    }
}

TEST(JpegIdct, DcOnlyShortcutEqualsTheFullFormulaForEveryValue) {
    for (int precision : {8, 12}) {
        for (int32_t dc = -32768; dc <= 32767; ++dc) {
            int16_t coef[64] = {static_cast<int16_t>(dc)}, fast[64], full[64];
            InverseDctFull(coef, full, 8, precision);
            InverseDct(coef, fast, 8, precision, 0, true);
            ASSERT_EQ(0, std::memcmp(fast, full, sizeof fast)) << dc;
        }
    }
}

TEST(JpegIdct, ShortcutsEqualTheFullFormulaOnExtremeCoefficients) {
    // Full-range coefficients wrap the 32-bit sums; the shortcuts must wrap alike.
    Rng rng;
    for (int n = 0; n < 20000; ++n) {
        alignas(16) int16_t coef[64], work[64], fast[64], full[64];
        int shape = n % 5;
        int32_t range = shape == 4 ? 12000 : 32767;  // the largest the vector form takes, and beyond
        int last = RandomBlock(rng, coef, shape == 0 ? 9 : shape == 1 ? 2 : 63, range, shape == 3 ? 8 : 60);
        InverseDctFull(coef, full, 8, 8);
        for (bool simd : {false, true}) {
            std::memcpy(work, coef, sizeof coef);
            InverseDct(work, fast, 8, 8, last, simd);
            ASSERT_EQ(0, std::memcmp(fast, full, sizeof fast)) << n << " simd " << simd;
        }
        for (auto idct : VectorForms()) {
            std::memcpy(work, coef, sizeof coef);
            bool taken = idct(work, fast, 8, 128);
            if (shape == 4) {
                ASSERT_TRUE(taken) << n;  // up to +-12000 the vector form applies
            }
            if (taken) {
                ASSERT_EQ(0, std::memcmp(fast, full, sizeof fast)) << n;
            } else {
                ASSERT_EQ(0, std::memcmp(work, coef, sizeof coef)) << n;  // declined blocks are left alone
            }
        }
    }
}

TEST(JpegIdct, CloseToTheExactTransform) {
    Rng rng;
    double worst = 0;
    for (int n = 0; n < 300; ++n) {
        int16_t coef[64], out[64];
        RandomBlock(rng, coef, 63, 300, 25);
        InverseDctFull(coef, out, 8, 8);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                double s = 0;
                for (int v = 0; v < 8; ++v)
                    for (int u = 0; u < 8; ++u)
                        s += (u ? 1 : M_SQRT1_2) * (v ? 1 : M_SQRT1_2) * coef[v * 8 + u] *
                             std::cos((2 * x + 1) * u * M_PI / 16) * std::cos((2 * y + 1) * v * M_PI / 16);
                worst = std::max(worst, std::fabs(s / 4 + 128 - out[y * 8 + x]));
            }
    }
    EXPECT_LT(worst, 2.5);
}

TEST(JpegColourFormula, SpotChecks) {
    struct Case {
        int32_t y, cb, cr;
        uint8_t b, g, r;
    };
    // B = (256Y + 454(Cb-128)) >> 8, G = (256Y - 88(Cb-128) - 183(Cr-128)) >> 8, R = (256Y + 359(Cr-128)) >> 8.
    const Case cases[] = {{128, 128, 128, 128, 128, 128}, {0, 128, 128, 0, 0, 0}, {255, 128, 128, 255, 255, 255},
                          {100, 150, 90, 139, 119, 46},   {76, 85, 255, 0, 0, 254},   {29, 255, 107, 254, 0, 0},
                          {-40, 128, 128, 0, 0, 0},       {300, 128, 128, 255, 255, 255}, {128, 127, 127, 126, 129, 126}};
    for (const Case& c : cases) {
        uint8_t bgr[3];
        YccToBgr8(c.y, c.cb, c.cr, bgr);
        EXPECT_EQ(bgr[0], c.b) << c.y << "," << c.cb << "," << c.cr;
        EXPECT_EQ(bgr[1], c.g) << c.y << "," << c.cb << "," << c.cr;
        EXPECT_EQ(bgr[2], c.r) << c.y << "," << c.cb << "," << c.cr;
    }
    uint8_t bgr[3];
    CmykToBgr(0, 0, 0, 0, false, bgr);  // no ink: white
    EXPECT_EQ(bgr[0] + bgr[1] + bgr[2], 3 * 255);
    CmykToBgr(255, 0, 0, 0, false, bgr);  // full cyan
    EXPECT_TRUE(bgr[0] == 255 && bgr[1] == 255 && bgr[2] == 0);
    CmykToBgr(255, 255, 255, 255, true, bgr);  // Adobe stores no ink as 255
    EXPECT_EQ(bgr[0] + bgr[1] + bgr[2], 3 * 255);
    CmykToBgr(200, 100, 50, 128, true, bgr);
    EXPECT_TRUE(bgr[0] == 25 && bgr[1] == 50 && bgr[2] == 100);
    CmykToBgr(300, -5, 0, 255, true, bgr);  // samples clamp first
    EXPECT_TRUE(bgr[0] == 0 && bgr[1] == 0 && bgr[2] == 255);
}

// Codes longer than the one-step look-up take the long path; tables must fit the code space.
TEST(JpegHuffman, TablesFromCounts) {
    AcTable t;
    // Lengths 1, 2, 3 and a 16-bit code: 0, 10, 110, 1110000000000000.
    uint8_t counts[16] = {1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    uint8_t values[4] = {0x11, 0x22, 0x03, 0x44};
    ASSERT_TRUE(BuildAcTable(t, counts, values));
    uint32_t length = 0;
    EXPECT_EQ(DecodeLongCode(t, 0xE000, &length), 0x44);
    EXPECT_EQ(length, 16u);
    EXPECT_EQ(DecodeLongCode(t, 0xE001, &length), -1);  // no code
    uint8_t full[16] = {1, 2}, over[16] = {3}, none[16] = {};  // 0, 10, 11; three of length 1; nothing
    EXPECT_TRUE(BuildHuffTable(t, full, values));
    EXPECT_FALSE(BuildHuffTable(t, over, values));
    EXPECT_FALSE(BuildHuffTable(t, none, values));
}

}  // namespace
