// ConvertImageMode as the document sees it: the record is replaced whole on
// success and left exactly as it was on any failure.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <tuple>
#include <vector>

#include "lumapix/mode_conversion.h"
#include "lumapix/xr_memory.h"
#include "model_test_support.hpp"

namespace {

using namespace modeltest;

CodecStatus ToMode(XrImage* r, int32_t mode, int32_t dither = 0, int32_t lineByLine = 0,
                   const uint8_t* palette = nullptr, uint8_t palfmt = XR_PALFMT_BLACKISZERO) {
    return ConvertImageMode(r, mode, dither, 0, 128, lineByLine, palette, palfmt);
}

class ModeConversion : public testing::TestWithParam<std::tuple<int32_t, int32_t>> {};

TEST_P(ModeConversion, ReplacesTheImageAndAgreesLineByLine) {
    auto [from, to] = GetParam();
    int32_t dithers = to == XR_MODE_INDEX || to == XR_MODE_MONO ? 8 : 1;
    for (int32_t dither = 0; dither < dithers; ++dither) {
        SCOPED_TRACE(dither);
        Record whole = TestImage(from, 37, 23), lines(whole);
        void* oldPixels = whole.image.PIXELS;
        ASSERT_EQ(ToMode(&whole.image, to, dither, 0, nullptr, XR_PALFMT_WHITEISZERO), XR_OK);
        ASSERT_EQ(ToMode(&lines.image, to, dither, 1, nullptr, XR_PALFMT_WHITEISZERO), XR_OK);

        const XrImage& r = whole.image;
        EXPECT_NE(r.PIXELS, oldPixels);
        const bool wide = to >= XR_MODE_RGBW && to <= XR_MODE_GRAYW, index = to == XR_MODE_INDEX;
        EXPECT_EQ(std::tuple(r.MODE, r.WIDTH, r.HEIGHT, r.LINEINT, r.SIZE, r.FMT, r.PALFMT, r.PALCOUNT, r.PALBUT != nullptr),
                  std::tuple(to, 37, 23, ImageLineBytes(to, 37), ImageLineBytes(to, 37) * 23, wide ? 16 : 8,
                             XR_PALFMT_WHITEISZERO, index ? 256 : 0, index));
        EXPECT_TRUE(whole.Pixels() == lines.Pixels() && whole.Palette() == lines.Palette()) << "ConvLine and ConvImage differ";
    }
}

INSTANTIATE_TEST_SUITE_P(AllModes, ModeConversion,
                         testing::Combine(testing::Values(XR_MODE_RGB, XR_MODE_GRAY, XR_MODE_INDEX, XR_MODE_MONO,
                                                          XR_MODE_HIGH),
                                          testing::Range(int32_t{XR_MODE_RGB}, int32_t{XR_MODE_HIGH + 1})));

TEST(ModeConversion, MonoPaletteFormatSetsThePolarity) {
    Record black = TestImage(XR_MODE_RGB, 32, 8), white(black);
    ASSERT_EQ(ToMode(&black.image, XR_MODE_MONO, 0, 0, nullptr, XR_PALFMT_BLACKISZERO), XR_OK);
    ASSERT_EQ(ToMode(&white.image, XR_MODE_MONO, 0, 0, nullptr, XR_PALFMT_WHITEISZERO), XR_OK);
    Bytes inverted = black.Pixels();
    for (uint8_t& byte : inverted) byte = static_cast<uint8_t>(~byte);
    EXPECT_TRUE(white.Pixels() == inverted);
}

TEST(ModeConversion, FailuresLeaveTheRecordUntouched) {
    Record rgb = TestImage(XR_MODE_RGB, 37, 23);
    rgb.image.OBJECT = XrMemAlloc(8);
    const Snapshot before(rgb.image);
    struct Case { int32_t mode, dither, coefficient, threshold; CodecStatus expected; };
    const Case cases[] = {{0, 0, 0, 128, XR_ERR_MISMATCH},     {11, 0, 0, 128, XR_ERR_MISMATCH},
                          {4, -1, 0, 128, XR_ERR_DITHER_MODE}, {4, 8, 0, 128, XR_ERR_DITHER_MODE},
                          {5, 0, -129, 128, XR_ERR_ARGUMENT},  {5, 0, 128, 128, XR_ERR_ARGUMENT},
                          {5, 0, 0, -1, XR_ERR_ARGUMENT},      {5, 0, 0, 256, XR_ERR_ARGUMENT}};
    for (const Case& c : cases) {
        EXPECT_EQ(ConvertImageMode(&rgb.image, c.mode, c.dither, c.coefficient, c.threshold, 0, nullptr, 0),
                  c.expected) << c.mode << " " << c.dither << " " << c.coefficient << " " << c.threshold;
        EXPECT_TRUE(Snapshot(rgb.image) == before);
    }
    EXPECT_EQ(ToMode(nullptr, XR_MODE_RGB), XR_ERR_ARGUMENT);

    XrImage noPixels{};
    EXPECT_EQ(ToMode(&noPixels, XR_MODE_GRAY), XR_ERR_ARGUMENT);

    // Modes the converter has no unpack for, and an INDEX source without its palette.
    for (int32_t mode : {XR_MODE_YUV3, XR_MODE_X4, XR_MODE_X6, XR_MODE_YUV_PLANAR, XR_MODE_INDEX}) {
        Record source(mode, 6, 3);
        if (mode == XR_MODE_INDEX) {
            XrMemFree(source.image.PALBUT);
            source.image.PALBUT = nullptr;
            source.image.PALCOUNT = 0;
        }
        const Snapshot old(source.image);
        EXPECT_EQ(ToMode(&source.image, XR_MODE_RGB), XR_ERR_MISMATCH) << mode;
        EXPECT_TRUE(Snapshot(source.image) == old) << mode;
    }
}

TEST(ModeConversion, IndexTargetsUseTheCallersPalette) {
    uint8_t greys[256 * 4] = {};
    for (int i = 0; i < 256; ++i) std::memset(greys + 4 * i, i, 3);
    Record r = TestImage(XR_MODE_GRAY, 37, 23);
    const Bytes gray = r.Pixels();
    ASSERT_EQ(ToMode(&r.image, XR_MODE_INDEX, 0, 0, greys), XR_OK);
    ASSERT_NE(r.image.PALBUT, nullptr);
    EXPECT_EQ(std::memcmp(r.image.PALBUT, greys, sizeof greys), 0);
    // Every grey has an exact entry, so each index is the grey itself.
    EXPECT_TRUE(r.Pixels() == gray);
}

TEST(ModeConversion, RgbThroughYuvComesBackClose) {
    Record r = TestImage(XR_MODE_RGB, 256, 48);
    const Bytes rgb = r.Pixels();
    ASSERT_EQ(ToMode(&r.image, XR_MODE_YUV), XR_OK);
    ASSERT_EQ(ToMode(&r.image, XR_MODE_RGB), XR_OK);
    // Chroma is shared by neighbouring pixels, so only smooth areas (not the letter's edges) compare.
    const uint8_t* a = rgb.data();
    const auto* b = static_cast<const uint8_t*>(r.image.PIXELS);
    uint32_t compared = 0, line = r.image.LINEINT;
    for (uint32_t y = 0; y < 48; ++y) {
        for (uint32_t i = y * line + 3; i + 3 < (y + 1) * line; ++i) {
            if (std::abs(a[i] - a[i - 3]) > 8 || std::abs(a[i] - a[i + 3]) > 8) continue;
            ++compared;
            ASSERT_LE(std::abs(a[i] - b[i]), 4) << "byte " << i % line << " of line " << y;
        }
    }
    EXPECT_GT(compared, 256u * 48 * 3 * 3 / 4);
}

TEST(ModeConversion, ObjectStaysWithTheRecord) {
    Record r = TestImage(XR_MODE_INDEX, 16, 8);
    void* object = XrMemAlloc(4);
    std::memcpy(object, "doc", 4);
    r.image.OBJECT = object;
    ASSERT_EQ(ToMode(&r.image, XR_MODE_RGB), XR_OK);
    EXPECT_EQ(r.image.OBJECT, object);
    EXPECT_STREQ(static_cast<const char*>(r.image.OBJECT), "doc");
    EXPECT_EQ(r.image.PALBUT, nullptr);
    EXPECT_EQ(r.image.PALCOUNT, 0);
}

}  // namespace
