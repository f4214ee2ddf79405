#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "lumapix/xr_image.h"

namespace {

XrImage Header(int32_t mode, uint16_t width, uint16_t height) {
    XrImage image{};
    image.MODE = mode;
    image.WIDTH = width;
    image.HEIGHT = height;
    image.LINEINT = ImageLineBytes(mode, width);
    return image;
}

TEST(ImageLineBytes, FollowsTheModeTable) {
    EXPECT_EQ(ImageLineBytes(XR_MODE_MONO, 9), 2u);
    EXPECT_EQ(ImageLineBytes(XR_MODE_MONO, 8), 1u);
    EXPECT_EQ(ImageLineBytes(XR_MODE_RGB, 0), 0u);
    EXPECT_EQ(ImageLineBytes(XR_MODE_YUV_PLANAR, 100), 0u);
    EXPECT_EQ(ImageLineBytes(XR_MODE_UNK, 100), 0u);
    const uint32_t perPixel[] = {0, 3, 2, 1, 1, 0, 6, 4, 2, 3, 2, 3, 4, 6, 0};
    for (int32_t mode = 0; mode < XR_MODE_COUNT; ++mode) {
        if (mode == XR_MODE_MONO) continue;
        EXPECT_EQ(ImageLineBytes(mode, 7), 7 * perPixel[mode]) << "mode " << mode;
    }
    EXPECT_EQ(ImageLineBytes(99, 7), 0u);
}

TEST(ImageAlloc, IndexAlwaysGetsAFullZeroedPalette) {
    XrImage image = Header(XR_MODE_INDEX, 5, 3);
    image.PALCOUNT = 16;
    ASSERT_EQ(ImageAlloc(&image), XR_OK);
    EXPECT_EQ(image.PALCOUNT, 256);
    EXPECT_EQ(image.SIZE, 15u);
    ASSERT_NE(image.PALBUT, nullptr);
    for (int i = 0; i < 1024; ++i) ASSERT_EQ(image.PALBUT[i], 0) << i;
    for (uint32_t i = 0; i < image.SIZE; ++i) ASSERT_EQ(static_cast<uint8_t*>(image.PIXELS)[i], 0);
    ImageFree(&image);
}

TEST(ImageAlloc, KeepsAPresetSizeAndRefusesOverflow) {
    XrImage image = Header(XR_MODE_RGB, 4, 4);
    image.SIZE = 100;  // larger than HEIGHT x LINEINT, as a caller may want
    ASSERT_EQ(ImageAlloc(&image), XR_OK);
    EXPECT_EQ(image.SIZE, 100u);
    EXPECT_EQ(image.PALBUT, nullptr);
    ImageFree(&image);

    XrImage huge = Header(XR_MODE_RGBW, 65535, 65535);  // 25 GB: beyond the 32-bit SIZE
    EXPECT_EQ(ImageAlloc(&huge), XR_ERR_INTERNAL);
    EXPECT_EQ(huge.PIXELS, nullptr);
}

TEST(ImageFree, ZeroesTheRecordAndIgnoresEmptyOnes) {
    XrImage image = Header(XR_MODE_GRAY, 2, 2);
    ASSERT_EQ(ImageAlloc(&image), XR_OK);
    EXPECT_EQ(ImageFree(&image), XR_OK);
    XrImage zero{};
    EXPECT_EQ(std::memcmp(&image, &zero, sizeof image), 0);
    EXPECT_EQ(ImageFree(&image), XR_OK);
}

TEST(ImageCopy, CopiesPixelsAndPaletteButNeverTheAttachedBlock) {
    XrImage source = Header(XR_MODE_INDEX, 3, 2);
    ASSERT_EQ(ImageAlloc(&source), XR_OK);
    for (uint32_t i = 0; i < source.SIZE; ++i) static_cast<uint8_t*>(source.PIXELS)[i] = static_cast<uint8_t>(i + 1);
    source.PALBUT[4 * 7 + 2] = 200;
    source.OBJECT = std::malloc(16);
    source.FMT = 8;

    XrImage copy{};
    ASSERT_EQ(ImageCopy(&copy, &source), XR_OK);
    EXPECT_EQ(copy.OBJECT, nullptr);
    EXPECT_EQ(copy.FMT, 8);
    EXPECT_NE(copy.PIXELS, source.PIXELS);
    EXPECT_EQ(std::memcmp(copy.PIXELS, source.PIXELS, source.SIZE), 0);
    EXPECT_EQ(copy.PALBUT[4 * 7 + 2], 200);

    // Copying over a record that already holds an image replaces it.
    ASSERT_EQ(ImageCopy(&copy, &source), XR_OK);
    EXPECT_EQ(ImageCopy(&copy, &copy), XR_OK);
    ImageFree(&copy);
    ImageFree(&source);
}

TEST(ImageCopy, PlanarRecordsCopyBothPlanes) {
    XrImage source{};
    source.MODE = XR_MODE_YUV_PLANAR;
    source.WIDTH = 4;
    source.HEIGHT = 2;
    source.LINEINT = 4;
    ASSERT_EQ(ImageAlloc(&source), XR_OK);
    ASSERT_EQ(source.SIZE, 8u);
    std::memset(ImagePlane(&source, 0), 0x11, 8);
    std::memset(ImagePlane(&source, 1), 0x22, 8);
    XrImage copy{};
    ASSERT_EQ(ImageCopy(&copy, &source), XR_OK);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(ImagePlane(&copy, 0)[i], 0x11);
        EXPECT_EQ(ImagePlane(&copy, 1)[i], 0x22);
    }
    EXPECT_EQ(ImageLine(&copy, 1), ImagePlane(&copy, 0) + 4);
    ImageFree(&copy);
    ImageFree(&source);
}

TEST(ImagePlaceholder, IsABlackRgbBannerReplacingWhatWasThere) {
    XrImage image = Header(XR_MODE_INDEX, 9, 9);
    ASSERT_EQ(ImageAlloc(&image), XR_OK);
    ASSERT_EQ(ImagePlaceholder(&image), XR_OK);
    EXPECT_EQ(std::tuple(image.MODE, image.WIDTH, image.HEIGHT, image.LINEINT, image.SIZE, image.FMT, image.PALCOUNT),
              std::tuple(XR_MODE_RGB, 128, 32, 384u, 12288u, 8, 0));
    EXPECT_EQ(image.PALBUT, nullptr);
    for (uint32_t i = 0; i < image.SIZE; ++i) ASSERT_EQ(static_cast<uint8_t*>(image.PIXELS)[i], 0);
    ImageFree(&image);
}

}  // namespace
