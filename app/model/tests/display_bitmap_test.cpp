// The display bitmap against pixels worked out by hand from the display rules.
#include "lumapix/display_bitmap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "lumapix/pixel_formulas.h"
#include "model_test_support.hpp"

using lumapix::BitCounts;
using lumapix::BitWindow;
using lumapix::BuildDisplayBitmap;
using lumapix::DisplayBitmap;
using lumapix::DisplaySample;

namespace {

using modeltest::Record;

void PutWord(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace

TEST(BitWindow, DefaultsShowEverySignificantBit) {
    EXPECT_EQ(lumapix::DefaultBitWindow(0).lo, 1);
    EXPECT_EQ(lumapix::DefaultBitWindow(0).hi, 8);
    EXPECT_EQ(lumapix::DefaultBitWindow(1).lo, 8);
    EXPECT_EQ(lumapix::DefaultBitWindow(-6).lo, 3);
    EXPECT_EQ(lumapix::DefaultBitWindow(12).lo, 9);
    EXPECT_EQ(lumapix::DefaultBitWindow(12).hi, 16);
}

TEST(BitWindow, SampleMappingClearsCapsAndScales) {
    EXPECT_EQ(DisplaySample(0xAB, {1, 8}), 0xAB);
    EXPECT_EQ(DisplaySample(0xAB, {5, 8}), 0xA0);        // low four bits cleared
    EXPECT_EQ(DisplaySample(0xABCD, {9, 16}), 0xAB);     // 16-bit: high byte
    // Bits 5..12 of a 12-bit sample: capped at 4095, shifted right by 4.
    EXPECT_EQ(DisplaySample(0x0FFF, {5, 12}), 0xFF);
    EXPECT_EQ(DisplaySample(0x0813, {5, 12}), 0x81);
    EXPECT_EQ(DisplaySample(0x1234, {5, 12}), 0xFF);     // above the window saturates
    // A window narrower than 8 bits is shifted up: 6-bit samples shown from bit 1.
    EXPECT_EQ(DisplaySample(0x3F, {1, 6}), 0xFC);
}

TEST(DisplayBitmap, RgbAndGrayGoThroughTheWindowAndCountBits) {
    Record rgb(XR_MODE_RGB, 3, 2);
    const uint8_t line0[9] = {0x01, 0x80, 0xFF, 0x10, 0x20, 0x30, 0, 0, 0};
    std::memcpy(rgb.Line(0), line0, 9);
    DisplayBitmap bitmap;
    BitCounts counts{};
    ASSERT_TRUE(BuildDisplayBitmap(rgb.image, {5, 8}, &bitmap, &counts));
    EXPECT_EQ(std::tuple(bitmap.bitsPerPixel, bitmap.stride), std::tuple(24u, 12u));  // 9 bytes rounded up to 4
    EXPECT_EQ(std::vector<uint8_t>(bitmap.Line(0), bitmap.Line(0) + 6), (std::vector<uint8_t>{0, 0x80, 0xF0, 0x10, 0x20, 0x30}));
    EXPECT_EQ(std::tuple(counts[0], counts[7], counts[8]), std::tuple(2u, 2u, 0u));  // 0x01 and 0xFF; 0x80 and 0xFF

    Record gray(XR_MODE_GRAYW, 5, 1, 0, 12);
    PutWord(gray.Line(0), 0x0FFF);
    PutWord(gray.Line(0) + 2, 0x0813);
    ASSERT_TRUE(BuildDisplayBitmap(gray.image, {5, 12}, &bitmap, &counts));
    EXPECT_EQ(std::tuple(bitmap.bitsPerPixel, bitmap.stride, bitmap.Line(0)[0], bitmap.Line(0)[1]), std::tuple(8u, 8u, 0xFF, 0x81));
    ASSERT_EQ(bitmap.palette.size(), 256u);
    EXPECT_EQ(bitmap.palette[0x81], 0xFF818181u);
    EXPECT_EQ(std::tuple(counts[11], counts[12]), std::tuple(2u, 0u));
}

TEST(DisplayBitmap, MonoPolarityFollowsThePaletteFormat) {
    Record mono(XR_MODE_MONO, 10, 1);
    mono.Line(0)[0] = 0x80;
    DisplayBitmap bitmap;
    ASSERT_TRUE(BuildDisplayBitmap(mono.image, {1, 8}, &bitmap));
    EXPECT_EQ(bitmap.bitsPerPixel, 1u);
    EXPECT_EQ(bitmap.stride, 4u);
    EXPECT_EQ(bitmap.Line(0)[0], 0x80);
    EXPECT_EQ(bitmap.palette[0], 0xFF000000u);  // black is zero
    mono.image.PALFMT = XR_PALFMT_WHITEISZERO;
    ASSERT_TRUE(BuildDisplayBitmap(mono.image, {1, 8}, &bitmap));
    EXPECT_EQ(bitmap.palette[0], 0xFFFFFFFFu);  // 0 bits show white
    EXPECT_EQ(bitmap.palette[1], 0xFF000000u);
}

TEST(DisplayBitmap, IndexCopiesTheImagePalette) {
    Record index(XR_MODE_INDEX, 2, 1);
    index.image.PALBUT[4 * 7 + 0] = 10;  // blue
    index.image.PALBUT[4 * 7 + 2] = 200; // red
    index.Line(0)[1] = 7;
    DisplayBitmap bitmap;
    ASSERT_TRUE(BuildDisplayBitmap(index.image, {1, 8}, &bitmap));
    EXPECT_EQ(bitmap.Line(0)[1], 7);
    EXPECT_EQ(bitmap.palette[7], 0xFFC8000Au);
}

TEST(DisplayBitmap, ColourModesMatchTheLibraryFormulas) {
    const uint8_t bgr[3] = {30, 140, 220};
    Record lab(XR_MODE_LAB, 1, 1);
    LabFromRgb(bgr, lab.Line(0));
    uint8_t expected[3];
    RgbFromLab(lab.Line(0), expected);
    DisplayBitmap bitmap;
    ASSERT_TRUE(BuildDisplayBitmap(lab.image, {1, 8}, &bitmap));
    EXPECT_EQ(0, std::memcmp(bitmap.Line(0), expected, 3));

    Record high(XR_MODE_HIGH, 1, 1);
    uint16_t h = HighFromRgb(bgr);
    high.Line(0)[0] = static_cast<uint8_t>(h >> 8);  // high byte first
    high.Line(0)[1] = static_cast<uint8_t>(h);
    RgbFromHigh(h, expected);
    ASSERT_TRUE(BuildDisplayBitmap(high.image, {1, 8}, &bitmap));
    EXPECT_EQ(0, std::memcmp(bitmap.Line(0), expected, 3));

    // Grey YUV pixels (chroma 128) come out grey at their luma.
    Record yuv(XR_MODE_YUV, 2, 1);
    const uint8_t pair[4] = {90, 128, 90, 128};
    std::memcpy(yuv.Line(0), pair, 4);
    ASSERT_TRUE(BuildDisplayBitmap(yuv.image, {1, 8}, &bitmap));
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(bitmap.Line(0)[i], 90, 1) << i;
}

TEST(DisplayBitmap, PlanarPairsShareChroma) {
    Record planar(XR_MODE_YUV_PLANAR, 2, 1);
    uint8_t* luma = ImagePlane(&planar.image, 0);
    uint8_t* chroma = ImagePlane(&planar.image, 1);
    luma[0] = 100;
    luma[1] = 200;
    chroma[0] = 128 + 20;                        // Cb
    chroma[planar.image.LINEINT / 2] = 128 - 10; // Cr
    DisplayBitmap bitmap;
    ASSERT_TRUE(BuildDisplayBitmap(planar.image, {1, 8}, &bitmap));
    // B = (256*100 + 454*20) >> 8 = 135; G = (25600 + 1830 - 1760) >> 8 = 100; R = (25600 - 3590) >> 8 = 85.
    EXPECT_EQ(bitmap.Line(0)[0], 135);
    EXPECT_EQ(bitmap.Line(0)[1], 100);
    EXPECT_EQ(bitmap.Line(0)[2], 85);
    EXPECT_EQ(bitmap.Line(0)[3], 235);  // (51200 + 9080) >> 8
}

TEST(DisplayBitmap, ModesWithoutARuleStayEmpty) {
    XrImage odd{};
    odd.MODE = XR_MODE_X4;
    odd.WIDTH = odd.HEIGHT = 2;
    uint8_t pixels[16] = {};
    odd.PIXELS = pixels;
    odd.LINEINT = 8;
    DisplayBitmap bitmap;
    EXPECT_FALSE(BuildDisplayBitmap(odd, {1, 8}, &bitmap));
    EXPECT_TRUE(bitmap.empty());
}
