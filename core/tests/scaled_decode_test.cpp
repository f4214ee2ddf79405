#include <gtest/gtest.h>

#include <vector>

#include "lumapix/decode_line_convert.h"
#include "lumapix/scaled_decode.h"

namespace {

// A source whose line n (file order) holds the bytes n*16 + x, for GRAY.
struct CountingSource {
    uint32_t width;
    uint32_t next = 0;
    static CodecStatus Line(void* codec, uint8_t* line) {
        auto* self = static_cast<CountingSource*>(codec);
        for (uint32_t x = 0; x < self->width; ++x) line[x] = static_cast<uint8_t>(self->next * 16 + x);
        ++self->next;
        return XR_OK;
    }
};

struct Scaled {
    XrImage source{};
    XrImage target{};
    std::vector<uint8_t> work;
    std::vector<uint8_t> pixels;
    XrScaledDecode sd;

    Scaled(int32_t mode, uint16_t width, uint16_t height, uint16_t targetWidth, uint16_t targetHeight) {
        source.MODE = target.MODE = mode;
        source.WIDTH = width;
        source.HEIGHT = height;
        target.WIDTH = targetWidth;
        target.HEIGHT = targetHeight;
        target.LINEINT = ImageLineBytes(mode, targetWidth);
        work.resize(size_t{width} * 4);
        pixels.resize(size_t{target.LINEINT} * targetHeight);
        target.PIXELS = pixels.data();
        ScaledDecodeInit(&sd);
        sd.workLine = work.data();
    }
    CodecStatus Setup(int32_t bottomUp = 0) {
        return ScaledDecodeSetup(&sd, &source, &target, bottomUp, nullptr, DecodeLineConvertTables());
    }
    uint8_t At(uint32_t x, uint32_t y) const { return pixels[size_t{y} * target.LINEINT + x]; }
};

TEST(ScaledDecode, DoublingTheHeightRepeatsEveryLine) {
    Scaled s(XR_MODE_GRAY, 4, 5, 4, 10);
    ASSERT_EQ(s.Setup(), XR_OK);
    CountingSource source{4};
    ASSERT_EQ(ScaledDecodeImage(&s.sd, CountingSource::Line, &source, &s.target, 0), XR_OK);
    for (uint32_t y = 0; y < 10; ++y) EXPECT_EQ(s.At(0, y), (y / 2) * 16) << y;
    EXPECT_EQ(source.next, 5u);
}

TEST(ScaledDecode, HalvingTheHeightTakesEverySecondLineFromTheFirst) {
    Scaled s(XR_MODE_GRAY, 4, 10, 4, 5);
    ASSERT_EQ(s.Setup(), XR_OK);
    CountingSource source{4};
    ASSERT_EQ(ScaledDecodeImage(&s.sd, CountingSource::Line, &source, &s.target, 0), XR_OK);
    for (uint32_t y = 0; y < 5; ++y) EXPECT_EQ(s.At(0, y), y * 2 * 16) << y;
}

TEST(ScaledDecode, ClipWindowAndHorizontalStretch) {
    Scaled s(XR_MODE_GRAY, 8, 8, 8, 2);
    XrRect clip{2, 3, 4, 2};
    ScaledDecodeSetRegion(&s.sd, &clip);
    ASSERT_EQ(s.Setup(), XR_OK);
    CountingSource source{8};
    ASSERT_EQ(ScaledDecodeImage(&s.sd, CountingSource::Line, &source, &s.target, 0), XR_OK);
    const uint8_t expected[8] = {2, 2, 3, 3, 4, 4, 5, 5};
    for (uint32_t x = 0; x < 8; ++x) {
        EXPECT_EQ(s.At(x, 0), 3 * 16 + expected[x]);
        EXPECT_EQ(s.At(x, 1), 4 * 16 + expected[x]);
    }
}

TEST(ScaledDecode, BottomUpFilesCountTheWindowFromTheFileEnd) {
    // Record lines 1..2 of a 6-line bottom-up file are file lines 3..4.
    Scaled s(XR_MODE_GRAY, 2, 6, 2, 2);
    XrRect clip{0, 1, 2, 2};
    ScaledDecodeSetRegion(&s.sd, &clip);
    ASSERT_EQ(s.Setup(1), XR_OK);
    CountingSource source{2};
    ASSERT_EQ(ScaledDecodeImage(&s.sd, CountingSource::Line, &source, &s.target, 1), XR_OK);
    EXPECT_EQ(s.At(0, 1), 3 * 16);  // first delivered goes to the bottom
    EXPECT_EQ(s.At(0, 0), 4 * 16);
}

TEST(ScaledDecode, ClipsAreFittedToTheSourceAndEmptyOnesRefused) {
    Scaled s(XR_MODE_GRAY, 8, 8, 3, 3);
    XrRect beyond{6, 6, 100, 100};
    ScaledDecodeSetRegion(&s.sd, &beyond);
    ASSERT_EQ(s.Setup(), XR_OK);
    EXPECT_EQ(s.sd.clipWidth, 2);
    EXPECT_EQ(s.sd.clipHeight, 2);

    Scaled empty(XR_MODE_GRAY, 8, 8, 3, 3);
    XrRect outside{8, 0, 5, 5};
    ScaledDecodeSetRegion(&empty.sd, &outside);
    EXPECT_EQ(empty.Setup(), XR_ERR_UNSUPPORTED);

    Scaled badMode(XR_MODE_RGBW, 8, 8, 3, 3);
    EXPECT_EQ(badMode.Setup(), XR_ERR_UNSUPPORTED);
    Scaled zeroTarget(XR_MODE_GRAY, 8, 8, 0, 3);
    EXPECT_EQ(zeroTarget.Setup(), XR_ERR_UNSUPPORTED);
}

TEST(DecodeLineConvert, MonoWindowAtAnOddBitKeepsPixelOrder) {
    const XrLineConverterTables* t = DecodeLineConvertTables();
    // Pixels 0..15: 1011 0011 1000 1111
    uint8_t line[8] = {0xB3, 0x8F};
    ASSERT_EQ(t->extract[XR_MODE_MONO](line, 3, 9), 0);  // 1 0011 1000 -> 1001 1100 0(0000000)
    EXPECT_EQ(line[0], 0x9C);
    EXPECT_EQ(line[1], 0x00);
    uint8_t wide[4] = {};
    ASSERT_EQ(t->stretch[XR_MODE_MONO](line, 9, wide, 18), 0);
    EXPECT_EQ(wide[0], 0xC3);  // 11 00 00 11
    EXPECT_EQ(wide[1], 0xF0);  // 11 11 00 00
    EXPECT_EQ(wide[2], 0x00);
}

TEST(DecodeLineConvert, YuvWindowAtAnOddPixelRepairsChromaPairs) {
    const XrLineConverterTables* t = DecodeLineConvertTables();
    // Four pixels: Y0 U01 Y1 V01 Y2 U23 Y3 V23
    uint8_t line[16] = {10, 100, 11, 101, 12, 102, 13, 103};
    ASSERT_EQ(t->extract[XR_MODE_YUV](line, 1, 2), 0);
    // Pixel 1 takes the U of its pair, pixel 2 the V of its pair.
    EXPECT_EQ(line[0], 11);
    EXPECT_EQ(line[1], 100);
    EXPECT_EQ(line[2], 12);
    EXPECT_EQ(line[3], 103);
}

}  // namespace
