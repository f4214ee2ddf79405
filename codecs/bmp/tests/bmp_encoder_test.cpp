// The encoder's refusals and its planar YUV conversion. The file layout and every other
// mode's pixels are checked by ImageMagick and netpbm reading our files in the cross-check.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>

#include "bmp_test_support.hpp"

namespace {

using bmptest::DecodeBmp;
using bmptest::EncodeBmp;

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
