// PackBits GRAY lines: run kinds, runs cut at the line end, truncation, and a
// stream that trickles one byte per callback.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "lumapix/raw_codec.h"
#include "test_streams.hpp"

namespace {

struct Result {
    std::vector<std::vector<uint8_t>> lines;  // the complete ones
    CodecStatus status = XR_OK;               // of the first failing step
};

// Decodes up to height lines of the given width; trickle feeds the data through a
// callback one byte at a time instead of a memory stream.
Result Decode(std::vector<uint8_t> data, uint16_t width, uint16_t height, bool trickle = false) {
    Result result;
    std::vector<uint8_t> handle(static_cast<size_t>(RleDecGetHandleSize()));
    CodecStream stream;
    uint8_t buffer[16];
    teststreams::PieceSource source{&data};
    if (trickle) {
        StreamInit(&stream, buffer, sizeof buffer, &source, teststreams::PieceSource::Read);
    } else {
        StreamInitMemory(&stream, data.data(), static_cast<int32_t>(data.size()));
    }
    RleDecInit(handle.data());
    RawDecSetStream(handle.data(), &stream);
    XrImage header{};
    header.MODE = XR_MODE_GRAY;
    header.WIDTH = width;
    header.HEIGHT = height;
    header.LINEINT = width;
    if ((result.status = RleDecSetHeader(handle.data(), &header)) != XR_OK) return result;
    if ((result.status = RleDecStart(handle.data(), &header)) != XR_OK) return result;
    for (uint32_t y = 0; y < height; ++y) {
        std::vector<uint8_t> line(width, 0xEE);
        if ((result.status = RleDecDecodeLine(handle.data(), line.data())) != XR_OK) break;
        result.lines.push_back(line);
    }
    if (result.status == XR_OK) result.status = RleDecEnd(handle.data());
    return result;
}

using Bytes = std::vector<uint8_t>;

TEST(RleDecoder, RepeatsLiteralsAndNoOps) {
    Result r = Decode({0xFE, 0x55, 0x80, 0x01, 0x10, 0x20, 0xFF, 0x07}, 7, 1);
    ASSERT_EQ(r.status, XR_OK);
    EXPECT_EQ(r.lines[0], (Bytes{0x55, 0x55, 0x55, 0x10, 0x20, 0x07, 0x07}));
    // The longest runs: 128 copies (-127) and a 128-byte literal (127).
    Bytes data = {0x81, 0x09, 0x7F};
    for (int i = 0; i < 128; ++i) data.push_back(static_cast<uint8_t>(i));
    r = Decode(data, 256, 1);
    ASSERT_EQ(r.status, XR_OK);
    EXPECT_EQ(Bytes(r.lines[0].begin(), r.lines[0].begin() + 128), Bytes(128, 0x09));
    for (int i = 0; i < 128; ++i) ASSERT_EQ(r.lines[0][128 + static_cast<size_t>(i)], i);
}

TEST(RleDecoder, RunsAndLiteralsStopAtTheLineEnd) {
    // A run of 6 on 4-pixel lines: the surplus is dropped, not carried over.
    Result r = Decode({0xFB, 0x11, 0xFD, 0x22, 0x00, 0x33}, 4, 2);
    ASSERT_EQ(r.status, XR_OK);
    EXPECT_EQ(r.lines[0], (Bytes{0x11, 0x11, 0x11, 0x11}));
    EXPECT_EQ(r.lines[1], (Bytes{0x22, 0x22, 0x22, 0x22})) << "the 0x00 literal belongs to no line";
    // A 5-byte literal on 3-pixel lines: its last two bytes are consumed and dropped.
    r = Decode({0x04, 1, 2, 3, 4, 5, 0xFE, 9}, 3, 2);
    ASSERT_EQ(r.status, XR_OK);
    EXPECT_EQ(r.lines[0], (Bytes{1, 2, 3}));
    EXPECT_EQ(r.lines[1], (Bytes{9, 9, 9}));
}

TEST(RleDecoder, TruncatedDataReturnsTheStreamStatus) {
    for (Bytes data : {Bytes{}, Bytes{0x02, 1}, Bytes{0xFE}, Bytes{0x80, 0x80}, Bytes{0x05, 1, 2, 3}}) {
        Result memory = Decode(data, 3, 1);
        EXPECT_EQ(memory.status, XR_ERR_STREAM_NO_CALLBACK) << data.size();
        EXPECT_TRUE(memory.lines.empty());
        Result trickled = Decode(data, 3, 1, true);
        EXPECT_EQ(trickled.status, XR_ERR_STREAM_END) << data.size();
    }
    // The literal's surplus lies past the end: the line is complete only once it is consumed.
    EXPECT_EQ(Decode({0x05, 1, 2, 3, 4}, 3, 1, true).status, XR_ERR_STREAM_END);
}

TEST(RleDecoder, CallbackStreamDecodesLikeMemory) {
    Bytes data;
    for (int y = 0; y < 9; ++y) {  // mixed runs over lines of 37, some spilling over
        data.insert(data.end(), {0xFB, static_cast<uint8_t>(y), 0x80, 0x0B});
        for (int i = 0; i < 12; ++i) data.push_back(static_cast<uint8_t>(y * 16 + i));
        data.insert(data.end(), {0xF0, 0xAB, 0x7F});
        for (int i = 0; i < 128; ++i) data.push_back(static_cast<uint8_t>(255 - i));
    }
    Result memory = Decode(data, 37, 9);
    Result trickled = Decode(data, 37, 9, true);
    ASSERT_EQ(memory.status, XR_OK);
    ASSERT_EQ(trickled.status, XR_OK);
    EXPECT_EQ(memory.lines, trickled.lines);
    EXPECT_EQ(memory.lines[4][0], 4);
    EXPECT_EQ(memory.lines[4][36], 254);  // second byte of the spilling literal
}

TEST(RleDecoder, RefusesWhatItCannotDecode) {
    EXPECT_EQ(Decode({0x00, 1}, 0, 1).status, XR_ERR_ARGUMENT) << "zero width";
    std::vector<uint8_t> handle(static_cast<size_t>(RleDecGetHandleSize()));
    RleDecInit(handle.data());
    XrImage rgb{};
    rgb.MODE = XR_MODE_RGB;
    rgb.WIDTH = rgb.HEIGHT = 2;
    EXPECT_EQ(RleDecSetHeader(handle.data(), &rgb), XR_ERR_ARGUMENT);
    EXPECT_EQ(RleDecSetHeader(handle.data(), nullptr), XR_ERR_ARGUMENT);
    EXPECT_EQ(RleDecInit(nullptr), XR_ERR_ARGUMENT);
    uint8_t line[2];
    EXPECT_EQ(RleDecDecodeLine(handle.data(), line), XR_ERR_ARGUMENT) << "no stream";

    Bytes data{0x01, 1, 2};
    CodecStream stream;
    StreamInitMemory(&stream, data.data(), 3);
    RawDecSetStream(handle.data(), &stream);
    XrImage gray{};
    gray.MODE = XR_MODE_GRAY;
    gray.WIDTH = gray.HEIGHT = 2;
    gray.LINEINT = 2;
    ASSERT_EQ(RleDecSetHeader(handle.data(), &gray), XR_OK);
    EXPECT_EQ(RleDecDecodeLine(handle.data(), line), XR_ERR_MISMATCH) << "not started";
    XrImage narrow = gray;
    narrow.LINEINT = 1;
    EXPECT_EQ(RleDecStart(handle.data(), &narrow), XR_ERR_MISMATCH);
    XrImage taller = gray;
    taller.HEIGHT = 3;
    EXPECT_EQ(RleDecStart(handle.data(), &taller), XR_ERR_MISMATCH);
    ASSERT_EQ(RleDecStart(handle.data(), &gray), XR_OK);
    EXPECT_EQ(RleDecDecodeLine(handle.data(), line), XR_OK);
    EXPECT_EQ(line[1], 2);
}

}  // namespace
