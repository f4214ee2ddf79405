#include <gtest/gtest.h>

#include <cstring>

#include "bmp_test_support.hpp"
#include "lumapix/bmp_codec.h"
#include "lumapix/codec_stream.h"

namespace {

using bmptest::BmpSpec;
using bmptest::BuildBmp;
using bmptest::DecodeBmp;

std::vector<uint8_t> Bgr(std::initializer_list<uint8_t> bytes) { return bytes; }

// A compressed bitmap with a 16-entry grey colour table.
BmpSpec RleSpec(int32_t width, int32_t height, uint16_t bits) {
    BmpSpec layout;
    layout.width = width;
    layout.height = height;
    layout.bitsPerPixel = bits;
    layout.compression = bits == 8 ? 1 : 2;
    layout.colorsUsed = 16;
    for (uint8_t i = 0; i < 16; ++i) layout.palette.insert(layout.palette.end(), {uint8_t(i * 16), uint8_t(i * 16), uint8_t(i * 16), 0});
    return layout;
}

TEST(BmpDecoder, OneBitFileFillsTwoEntriesOfAFullPalette) {
    BmpSpec layout;
    layout.width = 13;
    layout.height = 1;
    layout.bitsPerPixel = 1;
    layout.palette = {10, 20, 30, 0, 40, 50, 60, 0};
    layout.pixels = {0xA5, 0xF8, 0, 0};  // 1010 0101 1111 1
    auto d = DecodeBmp(BuildBmp(layout));
    ASSERT_EQ(d.status, XR_OK);
    EXPECT_EQ(d.image.MODE, XR_MODE_INDEX);
    EXPECT_EQ(d.image.PALCOUNT, 256);
    EXPECT_EQ(d.image.LINEINT, 13u);
    const uint8_t expected[13] = {1, 0, 1, 0, 0, 1, 0, 1, 1, 1, 1, 1, 1};
    for (int x = 0; x < 13; ++x) EXPECT_EQ(d.Line(0)[x], expected[x]) << x;
    EXPECT_EQ(d.image.PALBUT[4], 40);
    EXPECT_EQ(d.image.PALBUT[6], 60);
    for (int i = 8; i < 1024; ++i) ASSERT_EQ(d.image.PALBUT[i], 0);
}

// The layouts ImageMagick and netpbm never write: 16 bits without bit fields (5-5-5),
// 32 bits without them, and 32-bit fields with red in the low byte.
TEST(BmpDecoder, LayoutsTheToolsDoNotWrite) {
    BmpSpec layout;
    layout.width = 2;
    layout.height = 1;
    layout.bitsPerPixel = 16;
    layout.pixels = {0x23, 0x7C, 0xFF, 0x7F};  // red 31, green 1, blue 3 -> 0x7C23; and white
    auto d = DecodeBmp(BuildBmp(layout));
    ASSERT_EQ(d.status, XR_OK);
    EXPECT_EQ(std::vector<uint8_t>(d.Line(0), d.Line(0) + 6), Bgr({3 << 3, 1 << 3, 31 << 3, 0xF8, 0xF8, 0xF8}));

    layout.bitsPerPixel = 32;
    layout.pixels = {1, 2, 3, 99, 4, 5, 6, 99};
    d = DecodeBmp(BuildBmp(layout));
    ASSERT_EQ(d.status, XR_OK);
    EXPECT_EQ(std::vector<uint8_t>(d.Line(0), d.Line(0) + 6), Bgr({1, 2, 3, 4, 5, 6}));
    layout.compression = 3;
    layout.masks = {0xFF, 0xFF00, 0xFF0000};  // blue and red trade places in the record
    d = DecodeBmp(BuildBmp(layout));
    ASSERT_EQ(d.status, XR_OK);
    EXPECT_EQ(std::vector<uint8_t>(d.Line(0), d.Line(0) + 6), Bgr({3, 2, 1, 6, 5, 4}));
}

TEST(BmpDecoder, PixelOffsetSkipsGapsAndIgnoresSmallValues) {
    BmpSpec layout;
    layout.width = 1;
    layout.height = 1;
    layout.gap = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    layout.pixels = {7, 8, 9, 0};
    auto d = DecodeBmp(BuildBmp(layout));
    ASSERT_EQ(d.status, XR_OK);
    EXPECT_EQ(d.Line(0)[0], 7);

    layout.gap.clear();
    layout.pixelOffset = 20;  // inside the headers: ignored
    d = DecodeBmp(BuildBmp(layout));
    ASSERT_EQ(d.status, XR_OK);
    EXPECT_EQ(d.Line(0)[0], 7);
}

TEST(BmpDecoder, OversizedColourTableKeepsTheFirst256Entries) {
    BmpSpec layout;
    layout.width = 2;
    layout.height = 1;
    layout.bitsPerPixel = 8;
    layout.colorsUsed = 300;
    for (int i = 0; i < 300; ++i) layout.palette.insert(layout.palette.end(), {uint8_t(i), 0, 0, 0});
    layout.pixels = {255, 1, 0, 0};
    for (int64_t offset : {int64_t{-1}, int64_t{0}}) {  // with and without a pixel offset
        layout.pixelOffset = offset;
        auto d = DecodeBmp(BuildBmp(layout));
        ASSERT_EQ(d.status, XR_OK);
        EXPECT_EQ(d.Line(0)[0], 255);
        EXPECT_EQ(d.Line(0)[1], 1);
        EXPECT_EQ(d.image.PALBUT[4 * 255], 255);
    }
}

TEST(BmpDecoder, Rle8RunsLiteralsDeltaAndEndOfImage) {
    BmpSpec layout = RleSpec(6, 4, 8);
    layout.pixels = {
        4, 7, 0, 3, 1, 2, 3, 0,  // bottom line: 7 7 7 7 then literal 1 2 | 3 (cut at the line's end)
        0, 0,                    // the cut line's own end of line
        1, 8, 0, 0,              // one 8, then end of line: the rest filled with 8 (last run)
        2, 9, 0, 2, 2, 1,        // 9 9, then delta 2 right and 1 down: 8 pixels of 9
        1, 5, 0, 1,              // one 5, then end of image: the rest fills with 5
    };
    auto d = DecodeBmp(BuildBmp(layout));
    ASSERT_EQ(d.status, XR_OK);
    auto row = [&](uint32_t y) { return std::vector<uint8_t>(d.Line(y), d.Line(y) + 6); };
    EXPECT_EQ(row(3), Bgr({7, 7, 7, 7, 1, 2}));
    EXPECT_EQ(row(2), Bgr({8, 8, 8, 8, 8, 8}));
    EXPECT_EQ(row(1), Bgr({9, 9, 9, 9, 9, 9}));
    EXPECT_EQ(row(0), Bgr({9, 9, 9, 9, 5, 5}));
}

TEST(BmpDecoder, RleRunsPastTheLineEndAreCutOff) {
    // Encoders that pad lines to whole words write runs up to the padded width.
    BmpSpec layout = RleSpec(3, 2, 8);
    layout.pixels = {4, 6, 0, 0, 0, 4, 1, 2, 3, 4, 0, 0, 0, 1};
    auto d = DecodeBmp(BuildBmp(layout));
    ASSERT_EQ(d.status, XR_OK);
    EXPECT_EQ(std::vector<uint8_t>(d.Line(1), d.Line(1) + 3), Bgr({6, 6, 6}));
    EXPECT_EQ(std::vector<uint8_t>(d.Line(0), d.Line(0) + 3), Bgr({1, 2, 3}));

    // RLE4: a literal of 5 nibbles in a 3-pixel line stops mid-byte; its pad byte is skipped too.
    layout = RleSpec(3, 2, 4);
    layout.pixels = {0, 5, 0x12, 0x34, 0x50, 0x00, 0, 0, 3, 0xAB, 0, 0, 0, 1};
    d = DecodeBmp(BuildBmp(layout));
    ASSERT_EQ(d.status, XR_OK);
    EXPECT_EQ(std::vector<uint8_t>(d.Line(1), d.Line(1) + 3), Bgr({1, 2, 3}));
    EXPECT_EQ(std::vector<uint8_t>(d.Line(0), d.Line(0) + 3), Bgr({0xA, 0xB, 0xA}));
}

TEST(BmpDecoder, Rle8LineThatFillsExactlyOwnsItsEndOfLine) {
    BmpSpec layout = RleSpec(2, 2, 8);
    layout.pixels = {2, 4, 0, 0, 2, 6, 0, 0, 0, 1};
    auto d = DecodeBmp(BuildBmp(layout));
    ASSERT_EQ(d.status, XR_OK);
    EXPECT_EQ(d.Line(1)[1], 4);
    EXPECT_EQ(d.Line(0)[0], 6);
    EXPECT_EQ(d.Line(0)[1], 6);
}

TEST(BmpDecoder, Rle4AlternatesNibblesAndPadsLiterals) {
    BmpSpec layout = RleSpec(7, 1, 4);
    // A run of 3 of 0xAB gives A B A; a literal of 3 nibbles takes 2 bytes;
    // then a run of one 0xF and the end of the line.
    layout.pixels = {3, 0xAB, 0, 3, 0x12, 0x30, 1, 0xF0, 0, 0};
    auto d = DecodeBmp(BuildBmp(layout));
    ASSERT_EQ(d.status, XR_OK);
    EXPECT_EQ(std::vector<uint8_t>(d.Line(0), d.Line(0) + 7), Bgr({0xA, 0xB, 0xA, 1, 2, 3, 0xF}));

    // An odd literal byte count is padded: 5 nibbles take 3 bytes plus one pad byte.
    layout.width = 6;
    layout.pixels = {0, 5, 0x12, 0x34, 0x50, 0xEE, 1, 0x70, 0, 0};
    d = DecodeBmp(BuildBmp(layout));
    ASSERT_EQ(d.status, XR_OK);
    EXPECT_EQ(std::vector<uint8_t>(d.Line(0), d.Line(0) + 6), Bgr({1, 2, 3, 4, 5, 7}));
}

TEST(BmpDecoder, StartRefusesARecordThatDoesNotMatch) {
    BmpSpec layout;
    layout.pixels.assign(24, 0);
    bmptest::OpenDecoder decoder(BuildBmp(layout));
    ASSERT_EQ(decoder.headerStatus, XR_OK);
    XrImage record = decoder.header;
    record.WIDTH = static_cast<uint16_t>(record.WIDTH + 1);
    int32_t bottomUp = 0;
    EXPECT_EQ(BmpDecStart(decoder.get(), &record, &bottomUp), XR_ERR_MISMATCH);
    uint8_t line[64];
    EXPECT_NE(BmpDecDecodeLine(decoder.get(), line), XR_OK);  // nothing decodes before a good start
    EXPECT_EQ(BmpDecStart(decoder.get(), nullptr, &bottomUp), XR_ERR_ARGUMENT);
    EXPECT_EQ(BmpDecInit(nullptr), XR_ERR_ARGUMENT);
    EXPECT_EQ(BmpDecEnd(nullptr), XR_ERR_ARGUMENT);
}

}  // namespace
