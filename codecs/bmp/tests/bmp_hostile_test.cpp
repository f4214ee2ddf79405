// Damaged and malicious files: every outcome is a status, and a success never
// comes with pixels that differ from the intact file's.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "bmp_test_support.hpp"
#include "lumapix/bmp_codec.h"
#include "test_streams.hpp"

namespace {

using bmptest::BmpSpec;
using bmptest::BuildBmp;
using bmptest::DecodeBmp;
using bmptest::Decoded;

std::vector<uint8_t> Palette(uint32_t entries, uint32_t bytesPerEntry = 4) {
    std::vector<uint8_t> table;
    for (uint32_t i = 0; i < entries * bytesPerEntry; ++i) table.push_back(static_cast<uint8_t>(i * 7));
    return table;
}

std::vector<uint8_t> Counting(size_t n, uint8_t start = 1) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(start + i * 13);
    return bytes;
}

BmpSpec Indexed(uint16_t bits, uint32_t compression, std::vector<uint8_t> pixels) {
    BmpSpec layout;
    layout.width = 5;
    layout.height = 3;
    layout.bitsPerPixel = bits;
    layout.compression = compression;
    layout.colorsUsed = bits == 1 ? 2 : 16;
    layout.palette = Palette(layout.colorsUsed);
    layout.pixels = std::move(pixels);
    return layout;
}

// One small file of every kind the decoder reads.
std::vector<std::pair<std::string, std::vector<uint8_t>>> SampleFiles() {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
    BmpSpec rgb;
    rgb.width = 5;
    rgb.height = 3;
    rgb.pixels = Counting(16 * 3);
    files.emplace_back("rgb24", BuildBmp(rgb));

    BmpSpec topDown = rgb;
    topDown.height = -3;
    files.emplace_back("rgb24 top-down", BuildBmp(topDown));

    BmpSpec rgb32 = rgb;
    rgb32.bitsPerPixel = 32;
    rgb32.compression = 3;
    rgb32.masks = {0x3FF00000, 0x000FFC00, 0x000003FF};
    rgb32.pixels = Counting(20 * 3);
    files.emplace_back("rgb32 masks", BuildBmp(rgb32));

    BmpSpec rgb16 = rgb;
    rgb16.bitsPerPixel = 16;
    rgb16.compression = 3;
    rgb16.masks = {0xF800, 0x07E0, 0x001F};
    rgb16.pixels = Counting(12 * 3);
    files.emplace_back("rgb16 565", BuildBmp(rgb16));

    files.emplace_back("index8", BuildBmp(Indexed(8, 0, Counting(8 * 3, 0))));
    files.emplace_back("index4", BuildBmp(Indexed(4, 0, Counting(4 * 3))));
    files.emplace_back("index1", BuildBmp(Indexed(1, 0, Counting(4 * 3))));
    files.emplace_back("rle8", BuildBmp(Indexed(8, 1, {3, 4, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 1, 1, 2, 9, 0, 1})));
    files.emplace_back("rle4", BuildBmp(Indexed(4, 2, {2, 0x12, 0, 3, 0x45, 0x60, 0, 0, 7, 0xAB, 0, 0, 5, 0xCD, 0, 1})));

    BmpSpec core = Indexed(8, 0, Counting(8 * 3));
    core.headerSize = 12;
    core.colorsUsed = 0;
    core.palette = Palette(256, 3);
    files.emplace_back("core8", BuildBmp(core));
    return files;
}

bool SamePixels(const Decoded& a, const Decoded& b) {
    if (a.image.HEIGHT != b.image.HEIGHT || a.image.LINEINT != b.image.LINEINT) return false;
    return std::memcmp(a.image.PIXELS, b.image.PIXELS, size_t{a.image.LINEINT} * a.image.HEIGHT) == 0;
}

TEST(BmpHostile, TruncatedFilesFailOrDecodeTheIntactPixels) {
    for (const auto& [name, bytes] : SampleFiles()) {
        SCOPED_TRACE(name);
        Decoded intact = DecodeBmp(bytes);
        ASSERT_EQ(intact.status, XR_OK);
        for (size_t length = 0; length < bytes.size(); ++length) {
            SCOPED_TRACE(length);
            for (bool byLine : {true, false}) {
                Decoded cut = DecodeBmp(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(length)), byLine);
                if (cut.status == XR_OK) {
                    EXPECT_TRUE(SamePixels(cut, intact));
                } else {
                    EXPECT_GE(cut.status, XR_ERR_STREAM_CALLBACK);
                }
            }
        }
    }
}

TEST(BmpHostile, ByteAtATimeStreamDecodesLikeMemory) {
    for (const auto& [name, bytes] : SampleFiles()) {
        SCOPED_TRACE(name);
        Decoded fromMemory = DecodeBmp(bytes);
        teststreams::PieceSource trickle{&bytes};
        uint8_t buffer[64];
        CodecStream stream;
        ASSERT_EQ(StreamInit(&stream, buffer, sizeof buffer, &trickle, teststreams::PieceSource::Read), XR_OK);
        Decoded trickled = bmptest::DecodeBmpStream(&stream);
        ASSERT_EQ(trickled.status, XR_OK);
        EXPECT_TRUE(SamePixels(trickled, fromMemory));
    }
}

CodecStatus HeaderStatus(const BmpSpec& layout) { return DecodeBmp(BuildBmp(layout)).headerStatus; }

TEST(BmpHostile, ImpossibleHeadersAreRefused) {
    BmpSpec good;
    good.pixels = Counting(12 * 2);
    ASSERT_EQ(HeaderStatus(good), XR_OK);
    auto refused = [&](const char* what, auto change) {
        BmpSpec layout = good;
        change(layout);
        EXPECT_EQ(HeaderStatus(layout), XR_ERR_FORMAT) << what;
    };
    refused("zero width", [](BmpSpec& s) { s.width = 0; });
    refused("negative width", [](BmpSpec& s) { s.width = -4; });
    refused("width beyond 16 bits", [](BmpSpec& s) { s.width = 65536; });
    refused("zero height", [](BmpSpec& s) { s.height = 0; });
    refused("height beyond 16 bits", [](BmpSpec& s) { s.height = -70000; });
    refused("four gigabytes of lines", [](BmpSpec& s) { s.width = s.height = 65535; });
    refused("two planes", [](BmpSpec& s) { s.planes = 2; });
    refused("2 bits per pixel", [](BmpSpec& s) { s.bitsPerPixel = 2; });
    refused("unknown compression", [](BmpSpec& s) { s.compression = 4; });
    refused("RLE8 on true colour", [](BmpSpec& s) { s.compression = 1; });
    refused("RLE4 on 8 bits", [](BmpSpec& s) { s.bitsPerPixel = 8; s.compression = 2; });
    refused("RLE8 on 4 bits", [](BmpSpec& s) { s.bitsPerPixel = 4; s.compression = 1; });
    refused("header of 20 bytes", [](BmpSpec& s) { s.headerSize = 20; });
    refused("zero mask", [](BmpSpec& s) { s.bitsPerPixel = 16; s.compression = 3; s.masks = {0xF800, 0, 0x1F}; });
    refused("overlapping masks", [](BmpSpec& s) { s.bitsPerPixel = 16; s.compression = 3; s.masks = {0xFC00, 0x7E0, 0x1F}; });
    refused("mask beyond 16 bits", [](BmpSpec& s) { s.bitsPerPixel = 16; s.compression = 3; s.masks = {0x1F0000, 0x7E0, 0x1F}; });

    std::vector<uint8_t> notBitmap = BuildBmp(good);
    notBitmap[1] = 'A';
    EXPECT_EQ(DecodeBmp(notBitmap).headerStatus, XR_ERR_FORMAT);
    EXPECT_NE(DecodeBmp({}).headerStatus, XR_OK);
}

TEST(BmpHostile, OffsetsAndTablesBeyondTheDataFail) {
    BmpSpec far;
    far.pixels = Counting(12 * 2);
    far.pixelOffset = 0xFFFFFFF0;
    EXPECT_GE(DecodeBmp(BuildBmp(far)).status, XR_ERR_STREAM_CALLBACK);

    BmpSpec hugeTable = Indexed(8, 0, Counting(8 * 3));
    hugeTable.colorsUsed = 0xFFFF;  // declares far more entries than the file holds
    EXPECT_GE(DecodeBmp(BuildBmp(hugeTable)).status, XR_ERR_STREAM_CALLBACK);
}

// Run-length streams that point outside the picture must stay inside it.
TEST(BmpHostile, RunLengthCodesCannotLeaveThePicture) {
    const std::vector<std::vector<uint8_t>> streams = {
        {0, 2, 255, 255, 5, 1},                           // delta far below the last line
        {0, 2, 200, 0, 3, 2, 0, 0, 255, 7, 255, 7, 0, 1}, // delta and runs far past the right edge
        {0, 255, 0, 0},                                   // literal longer than the data that follows
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},                   // more line ends than lines
        {0, 1},                                           // end of image at once
        {255, 1, 255, 1, 255, 1, 255, 1},                 // no line ends at all, data runs out
    };
    for (uint16_t bits : {uint16_t{8}, uint16_t{4}}) {
        for (size_t i = 0; i < streams.size(); ++i) {
            SCOPED_TRACE(std::to_string(bits) + " bits, stream " + std::to_string(i));
            BmpSpec layout = Indexed(bits, bits == 8 ? 1 : 2, streams[i]);
            for (bool byLine : {true, false}) {
                Decoded d = DecodeBmp(BuildBmp(layout), byLine);
                EXPECT_EQ(d.headerStatus, XR_OK);
                if (d.status != XR_OK) {
                    EXPECT_GE(d.status, XR_ERR_STREAM_CALLBACK);
                }
                for (uint32_t y = 0; bits == 4 && d.status == XR_OK && y < d.image.HEIGHT; ++y)
                    for (uint32_t x = 0; x < d.image.WIDTH; ++x) EXPECT_LT(d.Line(y)[x], 16);
            }
        }
    }
    // The end-of-image code fills everything below with the last run's value.
    Decoded early = DecodeBmp(BuildBmp(Indexed(8, 1, {2, 6, 0, 1})));
    ASSERT_EQ(early.status, XR_OK);
    for (uint32_t y = 0; y < 3; ++y)
        EXPECT_EQ(std::vector<uint8_t>(early.Line(y), early.Line(y) + 5), std::vector<uint8_t>(5, 6)) << y;
}

TEST(BmpHostile, DecodingPastTheLastLineIsAnErrorNotAnOverrun) {
    BmpSpec layout;
    layout.width = 2;
    layout.height = 1;
    layout.pixels = Counting(8 * 4);
    bmptest::OpenDecoder decoder(BuildBmp(layout));
    ASSERT_EQ(decoder.headerStatus, XR_OK);
    int32_t bottomUp = 0;
    ASSERT_EQ(BmpDecStart(decoder.get(), &decoder.header, &bottomUp), XR_OK);
    uint8_t line[6];
    EXPECT_EQ(BmpDecDecodeLine(decoder.get(), line), XR_OK);
    EXPECT_NE(BmpDecDecodeLine(decoder.get(), line), XR_OK);
}

}  // namespace
