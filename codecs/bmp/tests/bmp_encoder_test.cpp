#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>

#include "bmp_test_support.hpp"
#include "lumapix/test_images.h"

namespace {

using bmptest::DecodeBmp;
using bmptest::EncodeBmp;
using bmptest::ReadLE32;

struct Record {
    XrImage image{};
    Record(int32_t mode, uint16_t width, uint16_t height) {
        image.MODE = mode;
        image.WIDTH = width;
        image.HEIGHT = height;
        image.LINEINT = ImageLineBytes(mode, width);
        if (mode == XR_MODE_YUV_PLANAR) image.LINEINT = (width + 1u) & ~1u;
        EXPECT_EQ(ImageAlloc(&image), XR_OK);
    }
    ~Record() { ImageFree(&image); }
    uint8_t* Line(uint32_t y) { return ImageLine(&image, y); }
};

TEST(BmpEncoder, RgbLinesArePaddedAndStoredBottomFirst) {
    Record r(XR_MODE_RGB, 3, 2);
    for (uint32_t i = 0; i < r.image.SIZE; ++i) static_cast<uint8_t*>(r.image.PIXELS)[i] = static_cast<uint8_t>(i + 1);
    for (bool byLine : {true, false}) {
        CodecStatus status;
        auto bytes = EncodeBmp(r.image, &status, byLine);
        ASSERT_EQ(status, XR_OK);
        ASSERT_EQ(bytes.size(), 78u);
        EXPECT_EQ(ReadLE32(bytes, 2), 78u);
        EXPECT_EQ(ReadLE32(bytes, 10), 54u);
        EXPECT_EQ(ReadLE32(bytes, 34), 24u);  // image size
        // Bottom line (bytes 10..18) first, then three zero bytes of padding.
        EXPECT_EQ(bytes[54], 10);
        EXPECT_EQ(bytes[62], 18);
        EXPECT_EQ(bytes[63], 0);
        EXPECT_EQ(bytes[65], 0);
        EXPECT_EQ(bytes[66], 1);
    }
}

TEST(BmpEncoder, MonoPolarityIsNormalisedToOneMeansWhite) {
    Record r(XR_MODE_MONO, 8, 1);
    r.Line(0)[0] = 0x0F;
    CodecStatus status;
    auto asIs = EncodeBmp(r.image, &status);
    ASSERT_EQ(status, XR_OK);
    EXPECT_EQ(asIs[62], 0x0F);
    EXPECT_EQ(asIs[58], 255);  // entry 1 is white
    EXPECT_EQ(asIs[54], 0);    // entry 0 is black
    r.image.PALFMT = XR_PALFMT_WHITEISZERO;
    auto inverted = EncodeBmp(r.image, &status);
    ASSERT_EQ(status, XR_OK);
    EXPECT_EQ(inverted[62], 0xF0);
}

TEST(BmpEncoder, RefusesModesWithoutABitmapForm) {
    for (int32_t mode : std::initializer_list<int32_t>{XR_MODE_UNK, XR_MODE_YUV, XR_MODE_RGBW, XR_MODE_YUVW, XR_MODE_GRAYW, XR_MODE_LAB, 15}) {
        XrImage image{};
        image.MODE = mode;
        image.WIDTH = 2;
        image.HEIGHT = 2;
        CodecStatus status;
        EncodeBmp(image, &status);
        EXPECT_EQ(status, XR_ERR_UNSUPPORTED) << "mode " << mode;
    }
}

class BmpRoundTrip : public ::testing::TestWithParam<std::tuple<int32_t, uint16_t>> {};

TEST_P(BmpRoundTrip, DecodesToTheSamePixels) {
    auto [mode, width] = GetParam();
    XrImage source{};
    ASSERT_EQ(MakeTestImage(&source, mode, width, 5), XR_OK);
    CodecStatus status;
    auto bytes = EncodeBmp(source, &status);
    ASSERT_EQ(status, XR_OK);
    auto d = DecodeBmp(bytes);
    ASSERT_EQ(d.status, XR_OK);
    ASSERT_EQ(d.image.WIDTH, width);
    for (uint32_t y = 0; y < 5; ++y) {
        const uint8_t* in = ImageLine(&source, y);
        const uint8_t* out = d.Line(y);
        for (uint32_t x = 0; x < width; ++x) {
            switch (mode) {
                case XR_MODE_RGB:
                    ASSERT_EQ(std::memcmp(in + 3 * x, out + 3 * x, 3), 0) << x << "," << y;
                    break;
                case XR_MODE_INDEX:
                    ASSERT_EQ(out[x], in[x]);
                    ASSERT_EQ(std::memcmp(d.image.PALBUT + 4 * in[x], source.PALBUT + 4 * in[x], 3), 0);
                    break;
                case XR_MODE_GRAY:  // a grey ramp palette: index = sample
                    ASSERT_EQ(out[x], in[x]);
                    ASSERT_EQ(d.image.PALBUT[4 * out[x] + 1], in[x]);
                    break;
                case XR_MODE_MONO:
                    ASSERT_EQ(out[x], in[x >> 3] >> (7 - (x & 7)) & 1);
                    break;
                case XR_MODE_HIGH: {  // 5-6-5 widened without filling the low bits
                    uint32_t v = uint32_t{in[2 * x]} << 8 | in[2 * x + 1];
                    ASSERT_EQ(out[3 * x], (v & 0x1F) << 3);
                    ASSERT_EQ(out[3 * x + 1], (v >> 5 & 0x3F) << 2);
                    ASSERT_EQ(out[3 * x + 2], (v >> 11) << 3);
                    break;
                }
            }
        }
    }
    ImageFree(&source);
}

INSTANTIATE_TEST_SUITE_P(EveryModeOddWidths, BmpRoundTrip,
                         ::testing::Combine(::testing::Values(XR_MODE_RGB, XR_MODE_GRAY, XR_MODE_INDEX,
                                                              XR_MODE_MONO, XR_MODE_HIGH),
                                            ::testing::Values(uint16_t{1}, uint16_t{3}, uint16_t{13},
                                                              uint16_t{17})));

TEST(BmpEncoder, PlanarYuvBecomesRgb) {
    Record r(XR_MODE_YUV_PLANAR, 3, 1);
    uint8_t* luma = ImagePlane(&r.image, 0);
    uint8_t* chroma = ImagePlane(&r.image, 1);
    luma[0] = 100, luma[1] = 200, luma[2] = 50;
    chroma[0] = 128, chroma[1] = 255;  // U of pixels 0-1 and 2
    chroma[2] = 128, chroma[3] = 128;  // V (from LINEINT / 2)
    CodecStatus status;
    auto d = DecodeBmp(EncodeBmp(r.image, &status, false));
    ASSERT_EQ(status, XR_OK);
    ASSERT_EQ(d.status, XR_OK);
    const uint8_t* p = d.Line(0);
    EXPECT_EQ(p[0], 100);  // neutral chroma: grey
    EXPECT_EQ(p[2], 100);
    EXPECT_EQ(p[5], 200);
    EXPECT_EQ(p[6], 255);                    // blue = 50 + 1.772 * 127, clamped
    EXPECT_NEAR(p[7], 50 - 0.344 * 127, 1);  // green
    EXPECT_EQ(p[8], 50);                     // red: V neutral
}

}  // namespace
