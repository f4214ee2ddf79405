// RotateImage as the document sees it: the record is replaced whole on success
// and left exactly as it was on any failure.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "lumapix/rotate_image.h"
#include "lumapix/xr_memory.h"
#include "model_test_support.hpp"

namespace {

using namespace modeltest;

uint32_t Pixel(const XrImage& r, uint32_t x, uint32_t y) {
    const uint8_t* p = ImageLine(&r, y);
    if (r.MODE == XR_MODE_MONO) return (unsigned{p[x / 8]} >> (7 - x % 8)) & 1u;
    return r.MODE == XR_MODE_RGB ? uint32_t{p[3 * x]} | uint32_t{p[3 * x + 1]} << 8 | uint32_t{p[3 * x + 2]} << 16 : p[x];
}

class RotateImageAngles : public testing::TestWithParam<std::tuple<int32_t, int32_t>> {};

TEST_P(RotateImageAngles, ReplacesTheRecordAndAgreesLineByLine) {
    auto [mode, angle] = GetParam();
    bool turns = angle == 90 || angle == 270;
    for (auto [w, h] : {std::pair<uint16_t, uint16_t>{37, 23}, {13, 1}, {1, 9}}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        Record source = TestImage(mode, w, h);
        source.image.PALFMT = XR_PALFMT_WHITEISZERO;
        source.image.FMT = 7;
        Record whole(source), lines(source);
        ASSERT_EQ(RotateImage(&whole.image, angle, 0), XR_OK);
        ASSERT_EQ(RotateImage(&lines.image, angle, 1), XR_OK);

        const XrImage& r = whole.image;
        EXPECT_EQ(r.WIDTH, turns ? h : w);
        EXPECT_EQ(r.HEIGHT, turns ? w : h);
        EXPECT_EQ(r.LINEINT, ImageLineBytes(mode, r.WIDTH));
        EXPECT_EQ(r.SIZE, r.LINEINT * r.HEIGHT);
        EXPECT_TRUE(r.MODE == mode && r.FMT == 7 && r.PALFMT == XR_PALFMT_WHITEISZERO);
        EXPECT_EQ(r.PALCOUNT, source.image.PALCOUNT);
        EXPECT_EQ(BytesAt(r.PALBUT, 4u * r.PALCOUNT), BytesAt(source.image.PALBUT, 4u * r.PALCOUNT));
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                uint32_t dx = angle == 90 ? h - 1 - y : angle == 270 ? y : angle == 180 || angle == -1 ? w - 1 - x : x;
                uint32_t dy = angle == 90 ? x : angle == 270 ? w - 1 - x : angle == 180 || angle == -2 ? h - 1 - y : y;
                ASSERT_EQ(Pixel(r, dx, dy), Pixel(source.image, x, y)) << x << ", " << y;
            }
        EXPECT_EQ(whole.Pixels(), lines.Pixels()) << "RotLine and RotImage differ";
    }
}

INSTANTIATE_TEST_SUITE_P(AllModes, RotateImageAngles,
                         testing::Combine(testing::Values(XR_MODE_RGB, XR_MODE_GRAY, XR_MODE_INDEX, XR_MODE_MONO),
                                          testing::Values(0, 90, 180, 270, -1, -2)));

TEST(RotateImage, FailuresLeaveTheRecordUntouched) {
    auto expectRefused = [](XrImage* record, int32_t angle, CodecStatus want) {
        const Snapshot before(*record);
        EXPECT_EQ(RotateImage(record, angle, 1), want);
        EXPECT_EQ(RotateImage(record, angle, 0), want);
        EXPECT_TRUE(Snapshot(*record) == before);
    };
    // YUV is refused as a mode the rotator does not place, the others by number.
    for (int32_t mode : {XR_MODE_YUV, XR_MODE_RGBW, XR_MODE_YUVW, XR_MODE_GRAYW, XR_MODE_LAB, XR_MODE_HIGH}) {
        Record record(mode, 9, 5);
        static_cast<uint8_t*>(record.image.PIXELS)[7] = 0x5A;
        expectRefused(&record.image, 90, mode == XR_MODE_YUV ? XR_ERR_MISMATCH : XR_ERR_UNSUPPORTED);
    }
    Record index = TestImage(XR_MODE_INDEX, 9, 5);
    index.image.OBJECT = XrMemAlloc(4);
    for (int32_t angle : {45, -90, 360, 1, -3}) expectRefused(&index.image, angle, XR_ERR_UNSUPPORTED);
    XrImage broken = index.image;  // claims fewer pixel bytes than its lines need
    broken.SIZE -= 1;
    expectRefused(&broken, 90, XR_ERR_MISMATCH);
    broken = index.image, broken.PIXELS = nullptr;
    expectRefused(&broken, 90, XR_ERR_ARGUMENT);
    EXPECT_EQ(RotateImage(nullptr, 90, 1), XR_ERR_ARGUMENT);

    // The attached block stays with the record across a successful rotation.
    void* object = index.image.OBJECT;
    ASSERT_EQ(RotateImage(&index.image, 270, 1), XR_OK);
    EXPECT_EQ(index.image.OBJECT, object);
}

// The new palette has 256 entries; a shorter one is copied and zero-filled, a longer one cut.
TEST(RotateImage, IndexPaletteIsCopiedWithinTheNewPalette) {
    for (uint16_t entries : {uint16_t{16}, uint16_t{300}}) {
        Record record = TestImage(XR_MODE_INDEX, 7, 3);
        XrMemFree(record.image.PALBUT);
        record.image.PALBUT = static_cast<uint8_t*>(XrMemAlloc(entries * 4u));
        for (uint32_t i = 0; i < entries * 4u; ++i) record.image.PALBUT[i] = static_cast<uint8_t>(i * 7 + 1);
        record.image.PALCOUNT = entries;
        Bytes want = BytesAt(record.image.PALBUT, entries < 256 ? entries * 4u : 1024u);
        want.resize(1024, 0);
        ASSERT_EQ(RotateImage(&record.image, 90, 1), XR_OK);
        EXPECT_EQ(record.image.PALCOUNT, 256);
        EXPECT_EQ(record.Palette(), want) << entries;
    }
}

}  // namespace
