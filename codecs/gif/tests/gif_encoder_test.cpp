// The encoder: header bytes, round trips through our decoder, the code stream read
// by the tests' strict parser (widths, clears at 12 bits, the end code, sub-blocks),
// refusals, call order and write failures.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "gif_test_support.hpp"

using namespace giftest;

namespace {

constexpr size_t kDataOffset = 13 + 768 + 10;  // screen, global table, image descriptor

TEST(GifEncoder, HeaderTableAndDescriptorBytes) {
    IndexPicture source(300, 2, 256, 1);
    CodecStatus status;
    Bytes file = EncodeGif(source.image, &status);
    ASSERT_EQ(status, XR_OK);
    const uint8_t screen[] = {'G', 'I', 'F', '8', '7', 'a', 44, 1, 2, 0, 0xF7, 0, 0};
    EXPECT_EQ(std::memcmp(file.data(), screen, sizeof screen), 0);
    for (size_t i = 0; i < 768; ++i) ASSERT_EQ(file[13 + i], source.palette[4 * (i / 3) + 2 - i % 3]) << i;
    const uint8_t descriptor[] = {',', 0, 0, 0, 0, 44, 1, 2, 0, 0, 8};
    EXPECT_EQ(std::memcmp(file.data() + 13 + 768, descriptor, sizeof descriptor), 0);
    size_t end = 0;
    ParseCodes(file, kDataOffset, &end);
    EXPECT_EQ(end + 1, file.size());
    EXPECT_EQ(file.back(), ';');
}

TEST(GifEncoder, RoundTripsOddSizesAndPaddedLines) {
    for (uint16_t width : {uint16_t{1}, uint16_t{7}, uint16_t{8}, uint16_t{9}, uint16_t{17}, uint16_t{256}})
        for (uint16_t height : {uint16_t{1}, uint16_t{7}, uint16_t{8}, uint16_t{9}, uint16_t{17}})
            for (uint32_t colours : {1u, 2u, 17u, 256u}) {
                SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + "/" + std::to_string(colours));
                IndexPicture source(width, height, colours, width * 7u + height + colours);
                CodecStatus lineStatus, wholeStatus;
                Bytes byLine = EncodeGif(source.image, &lineStatus, Calls::kLines);
                Bytes whole = EncodeGif(source.image, &wholeStatus, Calls::kWhole);
                ASSERT_EQ(lineStatus, XR_OK);
                ASSERT_EQ(wholeStatus, XR_OK);
                EXPECT_EQ(byLine, whole);
                Decoded d = DecodeGif(whole);
                ASSERT_EQ(d.status, XR_OK);
                EXPECT_EQ(d.pixels, source.pixels);
                EXPECT_EQ(d.palette, source.palette);
            }
    // Lines LINEINT apart: only WIDTH bytes of each are written.
    IndexPicture source(5, 4, 256, 3);
    Bytes padded(32, 0xEE);
    for (size_t y = 0; y < 4; ++y) std::memcpy(padded.data() + 8 * y, source.pixels.data() + 5 * y, 5);
    XrImage image = source.image;
    image.LINEINT = 8, image.PIXELS = padded.data();
    CodecStatus a, b;
    EXPECT_EQ(EncodeGif(image, &a, Calls::kWhole), EncodeGif(source.image, &b, Calls::kWhole));
}

TEST(GifEncoder, FullTablesClearAtTwelveBitsAndRestartAtNine) {
    for (uint32_t pattern = 0; pattern < 3; ++pattern) {  // noise (fills the table), flat, slow ramp
        IndexPicture source(400, 300, 256, 11);
        for (size_t i = 0; pattern > 0 && i < source.pixels.size(); ++i)
            source.pixels[i] = pattern == 1 ? 9 : static_cast<uint8_t>(i / 997);
        CodecStatus status;
        Bytes file = EncodeGif(source.image, &status);
        ASSERT_EQ(status, XR_OK);
        std::vector<Code> codes = ParseCodes(file, kDataOffset);
        ASSERT_GT(codes.size(), 2u);
        EXPECT_TRUE(codes[0].value == 256 && codes[0].width == 9);
        size_t restarts = 0;
        for (size_t i = 1; i + 1 < codes.size(); ++i) {
            if (codes[i].value != 256) continue;
            ++restarts;
            EXPECT_EQ(codes[i].width, 12u);
            EXPECT_TRUE(codes[i + 1].width == 9 && codes[i + 1].value < 256) << "a pixel follows the clear";
        }
        EXPECT_TRUE(pattern != 0 || restarts > 3) << restarts;
        EXPECT_EQ(DecodeGif(file, Calls::kLines).pixels, source.pixels);
    }
}

// Reading the last string defines one more code in the decoder, which can widen
// the codes: the end code must come in that width. Zero padding hides a narrower
// end code unless it ends on a byte boundary, so the last case is built to.
TEST(GifEncoder, EndCodeInTheWidthTheDecoderReadsIt) {
    struct Case { uint32_t noise, distinct, width; };
    for (Case c : {Case{0, 253, 9}, Case{0, 254, 10}, Case{0, 255, 10}, Case{8409, 254, 11}}) {
        IndexPicture source(static_cast<uint16_t>(c.noise + c.distinct + 1), 1, 256, 1);
        for (uint32_t i = 0; i <= c.distinct; ++i) source.pixels[c.noise + i] = static_cast<uint8_t>(i);  // new pairs
        CodecStatus status;
        Bytes file = EncodeGif(source.image, &status);
        ASSERT_EQ(status, XR_OK);
        std::vector<Code> codes = ParseCodes(file, kDataOffset);  // fails on a misread end code
        ASSERT_GT(codes.size(), 2u);
        EXPECT_EQ(codes.back().value, 257u);
        EXPECT_EQ(codes.back().width, c.width) << c.distinct;
        size_t bits = 0;
        for (size_t i = 0; i + 1 < codes.size(); ++i) bits += codes[i].width;
        EXPECT_TRUE(c.noise == 0 || (bits + c.width - 1) % 8 == 0) << "the construction no longer ends on a byte";
    }
}

TEST(GifEncoder, SubBlocksAreFullUntilTheLast) {
    IndexPicture source(200, 200, 256, 5);
    CodecStatus status;
    Bytes file = EncodeGif(source.image, &status);
    size_t at = kDataOffset + 1, blocks = 0;
    for (; file[at] == 255; at += 256) ++blocks;
    EXPECT_GT(blocks, 100u);
    EXPECT_TRUE(file[at] > 0 && file[at + file[at] + 1u] == 0 && at + file[at] + 3u == file.size());
}

TEST(GifEncoder, RefusalsCallOrderAndStickyFailures) {
    IndexPicture index(4, 2, 16, 1);
    CodecStatus status;
    auto refused = [&](void (*change)(XrImage&)) {
        XrImage image = index.image;
        change(image);
        EncodeGif(image, &status);
        return status;
    };
    EXPECT_EQ(refused([](XrImage& i) { i.MODE = XR_MODE_RGB, i.LINEINT = 12; }), XR_ERR_UNSUPPORTED);
    EXPECT_EQ(refused([](XrImage& i) { i.PALCOUNT = 16; }), XR_ERR_MISMATCH);
    EXPECT_EQ(refused([](XrImage& i) { i.PALCOUNT = 300; }), XR_GIF_PALETTE_COUNT);
    EXPECT_EQ(refused([](XrImage& i) { i.PALBUT = nullptr; }), XR_ERR_MISMATCH);
    EXPECT_EQ(refused([](XrImage& i) { i.LINEINT = 3; }), XR_ERR_MISMATCH);

    Bytes out;
    std::vector<uint64_t> handle((static_cast<size_t>(GifEncGetHandleSize()) + 7) / 8), work(3200);
    uint8_t buffer[XR_STREAM_BUFFER_SIZE];
    CodecStream stream;
    StreamInit(&stream, buffer, sizeof buffer, nullptr, [](uint8_t*, int32_t count, void*) { return count; });
    void* h = handle.data();
    uint32_t size = 0;
    EXPECT_EQ(GifEncInit(nullptr), XR_ERR_ARGUMENT);
    GifEncInit(h);
    GifEncSetStream(h, &stream);
    EXPECT_EQ(GifEncEncodeLine(h, index.pixels.data()), XR_ERR_FORMAT) << "before the header";
    EXPECT_EQ(GifEncEnd(h), XR_ERR_FORMAT) << "nothing to finish";
    EXPECT_EQ(GifEncSetImage(h, &index.image, nullptr), XR_ERR_ARGUMENT);
    ASSERT_EQ(GifEncSetImage(h, &index.image, &size), XR_OK);
    EXPECT_EQ(size, 25388u);
    for (uint32_t wrong : {25387u, 25389u}) EXPECT_EQ(GifEncSetBuffer(h, work.data(), wrong), XR_ERR_ARGUMENT);
    EXPECT_EQ(GifEncSetBuffer(h, reinterpret_cast<uint8_t*>(work.data()) + 2, size), XR_ERR_ARGUMENT);
    ASSERT_EQ(GifEncSetBuffer(h, work.data(), size), XR_OK);
    ASSERT_EQ(GifEncEncodeLine(h, index.pixels.data()), XR_OK);
    EXPECT_EQ(GifEncEncodeImage(h, index.pixels.data()), XR_ERR_FORMAT) << "rows already written";
    ASSERT_EQ(GifEncEncodeLine(h, index.pixels.data() + 4), XR_OK);
    EXPECT_EQ(GifEncEncodeLine(h, index.pixels.data()), XR_ERR_FORMAT) << "past the last row";
    EXPECT_EQ(GifEncEnd(h), XR_OK);

    GifEncInit(h);
    GifEncSetStream(h, &stream);
    EXPECT_EQ(GifEncSetBuffer(h, work.data(), size), XR_ERR_MISMATCH) << "no INDEX image";
    EXPECT_EQ(GifEncEnd(h), XR_ERR_MISMATCH) << "kept";

    IndexPicture large(300, 300, 256, 2);  // fails at the first flush after the header
    for (int32_t result : {-1, 0}) {
        StreamInit(&stream, buffer, sizeof buffer, nullptr,
                   result < 0 ? +[](uint8_t*, int32_t, void*) { return -1; } : +[](uint8_t*, int32_t, void*) { return 0; });
        GifEncInit(h);
        GifEncSetStream(h, &stream);
        GifEncSetImage(h, &large.image, &size);
        ASSERT_EQ(GifEncSetBuffer(h, work.data(), size), XR_OK);
        CodecStatus expected = result < 0 ? XR_ERR_STREAM_CALLBACK : XR_ERR_STREAM_END;
        EXPECT_EQ(GifEncEncodeImage(h, large.pixels.data()), expected);
        EXPECT_EQ(GifEncEnd(h), expected);
    }
}

}  // namespace
