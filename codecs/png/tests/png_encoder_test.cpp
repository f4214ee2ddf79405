// Encoding: the chunk layout byte by byte, round trips through our decoder for
// every mode the encoder takes, and its refusals and failures.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <functional>
#include <string>

#include "png_test_support.hpp"
#include "test_streams.hpp"

using namespace pngtest;

namespace {

uint32_t Be32(const Bytes& b, size_t at) {
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | uint32_t{b[at + 3]};
}

TEST(PngEncode, WritesSignatureHeaderIdatChunksOf8192AndIend) {
    Record source;
    RecordFrom(RandomPicture(1000, 40, 8, 2, 3), &source.image);
    CodecStatus status;
    Bytes file = EncodePng(source.image, &status);
    ASSERT_EQ(status, XR_OK);
    ASSERT_EQ(Bytes(file.begin(), file.begin() + 8), Signature());
    std::vector<ChunkInfo> chunks = Chunks(file);
    ASSERT_GT(chunks.size(), 4u) << "random pixels need several IDATs";
    EXPECT_EQ(chunks.front().type, "IHDR");
    EXPECT_EQ(chunks.front().length, 13u);
    EXPECT_EQ(Bytes(file.begin() + 16, file.begin() + 29), Ihdr(1000, 40, 8, 2));
    EXPECT_EQ(chunks.back().type, "IEND");
    EXPECT_EQ(chunks.back().offset + 12, file.size());
    Bytes z;
    for (size_t i = 1; i + 1 < chunks.size(); ++i) {
        ASSERT_EQ(chunks[i].type, "IDAT");
        EXPECT_TRUE(i + 2 == chunks.size() ? chunks[i].length <= 8192 : chunks[i].length == 8192) << i;
        z.insert(z.end(), file.begin() + static_cast<ptrdiff_t>(chunks[i].offset + 8),
                 file.begin() + static_cast<ptrdiff_t>(chunks[i].offset + 8 + chunks[i].length));
    }
    for (const ChunkInfo& c : chunks)
        EXPECT_EQ(Be32(file, c.offset + 8 + c.length), crc32(0, file.data() + c.offset + 4, 4 + c.length)) << c.type;
    EXPECT_EQ(z[0], 0x78);
    EXPECT_EQ(z[1] >> 6, 0) << "level 1 is the fastest level";
    Bytes rows(40 * 3001 + 1);
    uLongf size = static_cast<uLongf>(rows.size());
    ASSERT_EQ(uncompress(rows.data(), &size, z.data(), static_cast<uLong>(z.size())), Z_OK);
    ASSERT_EQ(size, 40u * 3001);
    for (uint32_t y = 0; y < 40; ++y) {
        ASSERT_EQ(rows[y * 3001], 0) << "row " << y << " filter";
        const uint8_t* bgr = ImageLine(&source.image, y);
        for (uint32_t x = 0; x < 3000; ++x) ASSERT_EQ(rows[y * 3001 + 1 + x], bgr[x - x % 3 + 2 - x % 3]) << y;
    }
}

TEST(PngEncode, PaletteChunkHoldsThePalcountEntriesAsRedGreenBlue) {
    Picture p = RandomPicture(9, 4, 8, 3, 1);
    p.plte.resize(16 * 3);
    for (auto& s : p.samples) s = static_cast<uint8_t>(s % 16);
    Record source;
    RecordFrom(p, &source.image);
    CodecStatus status;
    Bytes file = EncodePng(source.image, &status);
    ASSERT_EQ(status, XR_OK);
    ChunkInfo plte = Chunks(file)[1];
    ASSERT_EQ(plte.type, "PLTE");
    EXPECT_EQ(plte.length, 48u);
    EXPECT_EQ(Bytes(file.begin() + static_cast<ptrdiff_t>(plte.offset + 8),
                    file.begin() + static_cast<ptrdiff_t>(plte.offset + 56)), p.plte);
    Decoded d = DecodePng(file);
    ASSERT_EQ(d.status, XR_OK);
    EXPECT_EQ(d.pixels, ExpectedPixels(p));
    EXPECT_EQ(std::memcmp(d.palette.data(), source.image.PALBUT, 64), 0);
    EXPECT_EQ(d.palette[64 + 2], 0) << "entries past PALCOUNT decode as zero";
}

TEST(PngEncode, RoundTripsForRgbGrayAndIndexLineByLineOrWhole) {
    for (uint8_t colour : {uint8_t{2}, uint8_t{0}, uint8_t{3}}) {
        for (auto [w, h] : {std::pair<uint32_t, uint32_t>{1, 1}, {7, 3}, {33, 17}, {4097, 2}}) {
            Picture p = RandomPicture(w, h, 8, colour, w + h);
            Record source;
            RecordFrom(p, &source.image);
            CodecStatus lineStatus, wholeStatus;
            Bytes byLine = EncodePng(source.image, &lineStatus, true);
            Bytes whole = EncodePng(source.image, &wholeStatus, false);
            ASSERT_TRUE(lineStatus == XR_OK && wholeStatus == XR_OK);
            EXPECT_EQ(byLine, whole);
            Decoded d = DecodePng(whole, true);
            ASSERT_EQ(d.status, XR_OK);
            EXPECT_EQ(d.header.MODE, source.image.MODE);
            EXPECT_EQ(d.pixels, ExpectedPixels(p)) << int{colour} << " " << w << "x" << h;
        }
    }
    Record padded;  // a line interval wider than the pixels: the padding is not written
    Picture p = RandomPicture(5, 3, 8, 2, 1);
    RecordFrom(p, &padded.image);
    Bytes wide(60, 0xEE);
    for (uint32_t y = 0; y < 3; ++y) std::memcpy(&wide[y * 20], ImageLine(&padded.image, y), 15);
    XrImage view = padded.image;
    view.LINEINT = 20;
    view.PIXELS = wide.data();
    CodecStatus status;
    EXPECT_EQ(DecodePng(EncodePng(view, &status)).pixels, ExpectedPixels(p));
}

TEST(PngEncode, MonoBecomesGreyOfBlackAndWhiteByItsPolarity) {
    uint8_t bits[4] = {0xA5, 0xC0, 0x0F, 0x20};  // 11 pixels a row
    XrImage mono{XR_MODE_MONO, 11, 2, 2, 0, 0, 0, nullptr, nullptr, bits, 4};
    const uint8_t set[22] = {1, 0, 1, 0, 0, 1, 0, 1, 1, 1, 0, 0, 0, 0, 0, 1, 1, 1, 1, 0, 0, 1};
    for (uint8_t palfmt : {uint8_t{XR_PALFMT_BLACKISZERO}, uint8_t{XR_PALFMT_WHITEISZERO}}) {
        mono.PALFMT = palfmt;
        CodecStatus status;
        Decoded d = DecodePng(EncodePng(mono, &status));
        ASSERT_EQ(d.header.MODE, XR_MODE_GRAY);
        for (size_t i = 0; i < 22; ++i)
            EXPECT_EQ(d.pixels[i], (palfmt == XR_PALFMT_BLACKISZERO) == (set[i] == 1) ? 255 : 0) << i;
    }
}

int32_t Fail(uint8_t*, int32_t, void*) { return -1; }

TEST(PngEncode, RefusalsAndFailures) {
    Record rgb, index;
    RecordFrom(RandomPicture(4, 4, 8, 2, 1), &rgb.image);
    RecordFrom(RandomPicture(4, 4, 8, 3, 1), &index.image);
    auto statusOf = [](XrImage image, const std::function<void(XrImage&)>& change) {
        change(image);
        CodecStatus status;
        EncodePng(image, &status);
        return status;
    };
    for (int32_t mode : {XR_MODE_UNK, XR_MODE_YUV, XR_MODE_RGBW, XR_MODE_GRAYW, XR_MODE_LAB, XR_MODE_HIGH})
        EXPECT_EQ(statusOf(rgb.image, [&](XrImage& i) { i.MODE = mode; }), XR_ERR_UNSUPPORTED) << mode;
    EXPECT_EQ(statusOf(rgb.image, [](XrImage& i) { i.WIDTH = 0; }), XR_ERR_UNSUPPORTED);
    EXPECT_EQ(statusOf(rgb.image, [](XrImage& i) { i.LINEINT = 11; }), XR_ERR_MISMATCH);
    EXPECT_EQ(statusOf(index.image, [](XrImage& i) { i.PALCOUNT = 257; }), XR_ERR_FORMAT);
    EXPECT_EQ(statusOf(index.image, [](XrImage& i) { i.PALBUT = nullptr; }), XR_ERR_MISMATCH);

    Bytes handle(static_cast<size_t>(PngEncGetHandleSize())), out, buffer(8192);
    uint8_t staging[XR_STREAM_BUFFER_SIZE];
    CodecStream stream;
    StreamInit(&stream, staging, sizeof staging, &out, teststreams::AppendTo);
    EXPECT_EQ(PngEncInit(nullptr), XR_ERR_ARGUMENT);
    ASSERT_EQ(PngEncInit(handle.data()), XR_OK);
    EXPECT_EQ(PngEncSetImage(handle.data(), &rgb.image, nullptr), XR_ERR_ARGUMENT) << "no stream";
    PngEncSetStream(handle.data(), &stream);
    uint32_t size = 0;
    ASSERT_EQ(PngEncSetImage(handle.data(), &rgb.image, &size), XR_OK);
    EXPECT_EQ(size, 8192u);
    EXPECT_EQ(PngEncEncodeLine(handle.data(), ImageLine(&rgb.image, 0)), XR_ERR_ARGUMENT) << "no buffer";
    EXPECT_EQ(PngEncSetBuffer(handle.data(), nullptr, size), XR_ERR_ARGUMENT);
    ASSERT_EQ(PngEncSetBuffer(handle.data(), buffer.data(), size), XR_OK);
    ASSERT_EQ(PngEncEncodeLine(handle.data(), ImageLine(&rgb.image, 0)), XR_OK);
    EXPECT_EQ(PngEncEnd(handle.data()), XR_ERR_TRUNCATED) << "three rows never came";

    Record large;  // a write callback that fails: its status comes back, and stays
    RecordFrom(RandomPicture(300, 40, 8, 2, 1), &large.image);
    PngEncInit(handle.data());
    StreamInit(&stream, staging, sizeof staging, nullptr, Fail);
    PngEncSetStream(handle.data(), &stream);
    CodecStatus status = PngEncSetImage(handle.data(), &large.image, &size);
    if (status == XR_OK) status = PngEncSetBuffer(handle.data(), buffer.data(), size);
    if (status == XR_OK) status = PngEncEncodeImage(handle.data(), large.image.PIXELS);
    CodecStatus end = PngEncEnd(handle.data());
    EXPECT_EQ(status == XR_OK ? end : status, XR_ERR_STREAM_CALLBACK);
    EXPECT_EQ(PngEncEncodeLine(handle.data(), ImageLine(&large.image, 0)), XR_ERR_STREAM_CALLBACK);
}

}  // namespace
