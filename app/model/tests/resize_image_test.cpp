// ResizeImage as the document sees it: the record is replaced whole on success
// and left byte for byte as it was on any failure.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "lumapix/resampler.h"
#include "lumapix/resize_image.h"
#include "lumapix/xr_memory.h"
#include "model_test_support.hpp"

namespace {

using namespace modeltest;

// Any of the five modes; YUV has no generator, so it gets a byte pattern.
void Make(Record& r, int32_t mode, uint16_t width, uint16_t height, uint8_t palfmt = XR_PALFMT_BLACKISZERO) {
    if (mode == XR_MODE_YUV) {
        r.image = XrImage{mode, width, height, ImageLineBytes(mode, width), 8, 0, 0, nullptr, nullptr, nullptr, 0};
        ASSERT_EQ(ImageAlloc(&r.image), XR_OK);
        auto* p = static_cast<uint8_t*>(r.image.PIXELS);
        for (uint32_t i = 0; i < r.image.SIZE; ++i) p[i] = static_cast<uint8_t>(i * 37 + (i >> 7));
    } else {
        ASSERT_EQ(MakeTestImage(&r.image, mode, width, height), XR_OK);
    }
    r.image.PALFMT = palfmt;
}

class ResizeImageModes : public testing::TestWithParam<int32_t> {};

TEST_P(ResizeImageModes, ReplacesTheImageAndAgreesLineByLine) {
    const int32_t mode = GetParam();
    for (int32_t method : {XR_RESAMPLE_NEAREST, XR_RESAMPLE_BILINEAR, XR_RESAMPLE_BICUBIC}) {
        Record whole;
        Make(whole, mode, 37, 23, XR_PALFMT_WHITEISZERO);
        Record lines(whole);
        const Snapshot source(whole.image);
        void* object = whole.image.OBJECT = XrMemAlloc(8);
        ASSERT_EQ(ResizeImage(&whole.image, method, 61, 17, 30, 0), XR_OK);
        ASSERT_EQ(ResizeImage(&lines.image, method, 61, 17, 30, 1), XR_OK);
        const XrImage& r = whole.image;
        EXPECT_NE(r.PIXELS, std::get<9>(source.header));
        EXPECT_EQ(r.OBJECT, object) << method;  // the document's block stays with the record
        EXPECT_EQ(std::tuple(r.MODE, r.WIDTH, r.HEIGHT, r.LINEINT, r.SIZE, r.FMT, r.PALFMT, r.PALCOUNT),
                  std::tuple(mode, 61, 17, ImageLineBytes(mode, 61), ImageLineBytes(mode, 61) * 17, std::get<4>(source.header),
                             XR_PALFMT_WHITEISZERO, mode == XR_MODE_INDEX ? 256 : 0)) << method;
        EXPECT_EQ(Snapshot(r).palette, source.palette);
        EXPECT_EQ(whole.Pixels(), lines.Pixels()) << "streamed and whole differ, " << method;
    }
}

INSTANTIATE_TEST_SUITE_P(FiveModes, ResizeImageModes,
                         testing::Values(XR_MODE_RGB, XR_MODE_YUV, XR_MODE_GRAY, XR_MODE_INDEX, XR_MODE_MONO));

TEST(ResizeImage, SameSizeNearestKeepsThePixels) {
    Record r;
    Make(r, XR_MODE_RGB, 40, 30);
    const Snapshot before(r.image);
    ASSERT_EQ(ResizeImage(&r.image, XR_RESAMPLE_NEAREST, 40, 30, 0, 1), XR_OK);
    EXPECT_EQ(Snapshot(r.image).pixels, before.pixels);
}

TEST(ResizeImage, FailuresLeaveTheRecordUntouched) {
    EXPECT_EQ(ResizeImage(nullptr, 0, 10, 10, 0, 1), XR_ERR_ARGUMENT);
    XrImage noPixels{};
    EXPECT_EQ(ResizeImage(&noPixels, 0, 10, 10, 0, 1), XR_ERR_ARGUMENT);

    Record rgb, dot, index;
    Make(rgb, XR_MODE_RGB, 256, 256);
    rgb.image.OBJECT = XrMemAlloc(8);
    Make(dot, XR_MODE_GRAY, 1, 1);
    // An INDEX record without its palette is found out only after the destination exists.
    Make(index, XR_MODE_INDEX, 6, 3);
    XrMemFree(index.image.PALBUT);
    index.image.PALBUT = nullptr;
    index.image.PALCOUNT = 0;
    const std::tuple<Record*, int32_t, int32_t, int32_t, CodecStatus> cases[] = {
        {&rgb, -1, 10, 10, XR_ERR_RESAMPLE_METHOD}, {&rgb, 3, 10, 10, XR_ERR_RESAMPLE_METHOD},
        {&rgb, 0, 0, 10, XR_ERR_MISMATCH},          {&rgb, 1, 10, -4, XR_ERR_MISMATCH},
        {&rgb, 2, 65536, 10, XR_ERR_UNSUPPORTED},
        {&rgb, 2, 65535, 65535, XR_ERR_INTERNAL},  // within 256 times, but over 4 GB: allocation fails
        {&dot, 0, 257, 1, XR_ERR_RESAMPLE_SCALE},   {&dot, 1, 1, 257, XR_ERR_RESAMPLE_SCALE},
        {&index, 0, 12, 6, XR_ERR_MISMATCH},
    };
    for (const auto& [record, method, width, height, expected] : cases) {
        const Snapshot before(record->image);
        for (int32_t lineByLine : {0, 1}) {
            EXPECT_EQ(ResizeImage(&record->image, method, width, height, 0, lineByLine), expected)
                << method << " " << width << "x" << height;
            EXPECT_TRUE(Snapshot(record->image) == before);
        }
    }
    for (int32_t mode : {XR_MODE_RGBW, XR_MODE_YUVW, XR_MODE_GRAYW, XR_MODE_LAB, XR_MODE_HIGH, XR_MODE_YUV_PLANAR}) {
        Record r(mode, 6, 3, 0, 8);
        const Snapshot before(r.image);
        EXPECT_EQ(ResizeImage(&r.image, XR_RESAMPLE_BILINEAR, 12, 6, 0, 1), XR_ERR_UNSUPPORTED) << mode;
        EXPECT_TRUE(Snapshot(r.image) == before) << mode;
    }
    // The limits themselves are fine.
    EXPECT_EQ(ResizeImage(&rgb.image, XR_RESAMPLE_BILINEAR, 1, 1, 0, 1), XR_OK);
    EXPECT_EQ(ResizeImage(&dot.image, XR_RESAMPLE_BICUBIC, 256, 256, 0, 0), XR_OK);
}

}  // namespace
