// RAW decoder and encoder through memory and callback streams.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "lumapix/raw_codec.h"
#include "test_streams.hpp"

namespace {

XrImage Header(int32_t mode, uint16_t width, uint16_t height, uint32_t lineBytes = 0) {
    XrImage h{};
    h.MODE = mode;
    h.WIDTH = width;
    h.HEIGHT = height;
    h.LINEINT = lineBytes ? lineBytes : ImageLineBytes(mode, width);
    return h;
}

// A decoder bound to bytes in memory, header set; tests call Start and DecodeLine.
struct RawReader {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> handle = std::vector<uint8_t>(static_cast<size_t>(RawDecGetHandleSize()));
    CodecStream stream{};
    XrImage header;
    CodecStatus setStatus;
    RawReader(std::vector<uint8_t> data, XrImage h) : bytes(std::move(data)), header(h) {
        RawDecInit(handle.data());
        StreamInitMemory(&stream, bytes.data(), static_cast<int32_t>(bytes.size()));
        RawDecSetStream(handle.data(), &stream);
        setStatus = RawDecSetHeader(handle.data(), &header);
    }
    void* get() { return handle.data(); }
};

std::vector<uint8_t> Ramp(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + 3);
    return v;
}

TEST(RawDecoder, ReadsLinesIntoAWiderIntervalAndStopsAtTheLastCompleteOne) {
    // 10.5 lines of 5 RGB pixels with a 16-byte file interval, against 32768 declared lines.
    std::vector<uint8_t> data = Ramp(16 * 10 + 8);
    RawReader r(data, Header(XR_MODE_RGB, 5, 32768, 16));
    ASSERT_EQ(r.setStatus, XR_OK);
    XrImage record = r.header;
    record.LINEINT = 20;
    ASSERT_EQ(RawDecStart(r.get(), &record), XR_OK);
    std::vector<uint8_t> pixels(20 * 11, 0xEE);
    uint32_t complete = 0;
    CodecStatus status;
    while ((status = RawDecDecodeLine(r.get(), pixels.data() + 20 * complete)) == XR_OK) ++complete;
    EXPECT_EQ(status, XR_ERR_TRUNCATED);
    EXPECT_EQ(complete, 10u);
    EXPECT_EQ(RawDecDecodeLine(r.get(), pixels.data()), XR_ERR_TRUNCATED) << "the failure is sticky";
    for (uint32_t y = 0; y < 10; ++y) {
        EXPECT_EQ(std::memcmp(pixels.data() + 20 * y, data.data() + 16 * y, 16), 0) << y;
        EXPECT_EQ(pixels[20 * y + 16], 0xEE) << "beyond the file interval stays untouched";
    }
    EXPECT_EQ(RawDecEnd(r.get()), XR_OK);
}

TEST(RawDecoder, StopsAfterTheDeclaredHeight) {
    RawReader r(Ramp(64), Header(XR_MODE_GRAY, 4, 2));
    XrImage record = r.header;
    ASSERT_EQ(RawDecStart(r.get(), &record), XR_OK);
    uint8_t line[4];
    EXPECT_EQ(RawDecDecodeLine(r.get(), line), XR_OK);
    EXPECT_EQ(RawDecDecodeLine(r.get(), line), XR_OK);
    EXPECT_EQ(RawDecDecodeLine(r.get(), line), XR_ERR_ARGUMENT);
}

TEST(RawDecoder, IndexRecordsGetAGreyRampAndNeedAPalette) {
    RawReader r(Ramp(8), Header(XR_MODE_INDEX, 4, 2));
    ASSERT_EQ(r.setStatus, XR_OK);
    EXPECT_EQ(r.header.PALCOUNT, 256);
    XrImage record = r.header;
    EXPECT_EQ(RawDecStart(r.get(), &record), XR_ERR_MISMATCH);
    std::vector<uint8_t> palette(1024, 0xAA);
    record.PALBUT = palette.data();
    ASSERT_EQ(RawDecStart(r.get(), &record), XR_OK);
    for (uint32_t i = 0; i < 256; ++i) {
        const uint8_t want[4] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0};
        ASSERT_EQ(std::memcmp(palette.data() + 4 * i, want, 4), 0) << i;
    }
}

TEST(RawDecoder, RefusesBadArgumentsAndMismatchingRecords) {
    RawReader r(Ramp(8), Header(XR_MODE_GRAY, 4, 2));
    XrImage h = Header(XR_MODE_GRAY, 4, 2);
    uint8_t line[8];
    EXPECT_EQ(RawDecInit(nullptr), XR_ERR_ARGUMENT);
    EXPECT_EQ(RawDecSetStream(r.get(), nullptr), XR_ERR_ARGUMENT);
    EXPECT_EQ(RawDecSetHeader(nullptr, &h), XR_ERR_ARGUMENT);
    EXPECT_EQ(RawDecSetHeader(r.get(), nullptr), XR_ERR_ARGUMENT);
    EXPECT_EQ(RawDecStart(r.get(), nullptr), XR_ERR_ARGUMENT);
    EXPECT_EQ(RawDecDecodeLine(r.get(), nullptr), XR_ERR_ARGUMENT);
    EXPECT_EQ(RawDecDecodeLine(r.get(), line), XR_ERR_MISMATCH) << "not started";
    EXPECT_EQ(RawDecEnd(nullptr), XR_ERR_ARGUMENT);

    XrImage narrow = Header(XR_MODE_RGB, 4, 2, 11);
    EXPECT_EQ(RawDecSetHeader(r.get(), &narrow), XR_ERR_UNSUPPORTED);
    XrImage planar = Header(XR_MODE_YUV_PLANAR, 4, 2, 4);
    EXPECT_EQ(RawDecSetHeader(r.get(), &planar), XR_ERR_UNSUPPORTED);

    for (auto change : {+[](XrImage& x) { x.MODE = XR_MODE_INDEX; }, +[](XrImage& x) { x.WIDTH = 5; },
                        +[](XrImage& x) { x.HEIGHT = 3; }, +[](XrImage& x) { x.LINEINT = 3; }}) {
        XrImage record = r.header;
        change(record);
        EXPECT_EQ(RawDecStart(r.get(), &record), XR_ERR_MISMATCH);
    }
}

TEST(RawDecoder, AReadErrorIsNotMistakenForTheEndOfData) {
    for (bool fail : {false, true}) {
        std::vector<uint8_t> bytes = Ramp(6);
        teststreams::PieceSource src{&bytes, 1, fail ? 3 : SIZE_MAX};
        uint8_t buffer[64];
        CodecStream stream;
        StreamInit(&stream, buffer, sizeof buffer, &src, teststreams::PieceSource::Read);
        std::vector<uint8_t> handle(static_cast<size_t>(RawDecGetHandleSize()));
        RawDecInit(handle.data());
        RawDecSetStream(handle.data(), &stream);
        XrImage h = Header(XR_MODE_GRAY, 4, 9);
        ASSERT_EQ(RawDecSetHeader(handle.data(), &h), XR_OK);
        ASSERT_EQ(RawDecStart(handle.data(), &h), XR_OK);
        uint8_t line[4];
        EXPECT_EQ(RawDecDecodeLine(handle.data(), line), fail ? XR_ERR_STREAM_CALLBACK : XR_OK);
        if (!fail) {
            EXPECT_EQ(RawDecDecodeLine(handle.data(), line), XR_ERR_TRUNCATED);
        }
    }
}

// Collects written bytes; fails from the given total on when limit is set.
struct Sink {
    std::vector<uint8_t> bytes;
    size_t limit = SIZE_MAX;
};

int32_t Take(uint8_t* data, int32_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    if (sink->bytes.size() + static_cast<size_t>(count) > sink->limit) return -1;
    sink->bytes.insert(sink->bytes.end(), data, data + count);
    return count;
}

struct RawWriter {
    Sink sink;
    uint8_t buffer[32];  // small, so that lines cross flushes
    CodecStream stream{};
    std::vector<uint8_t> handle = std::vector<uint8_t>(static_cast<size_t>(RawEncGetHandleSize()));
    RawWriter() {
        StreamInit(&stream, buffer, sizeof buffer, &sink, Take);
        RawEncInit(handle.data());
        RawEncSetStream(handle.data(), &stream);
    }
    void* get() { return handle.data(); }
};

TEST(RawEncoder, WritesPixelBytesWithoutTheRestOfTheInterval) {
    RawWriter w;
    XrImage record = Header(XR_MODE_RGB, 4, 3, 16);
    std::vector<uint8_t> pixels = Ramp(48);
    ASSERT_EQ(RawEncSetImage(w.get(), &record, nullptr), XR_OK);
    for (uint32_t y = 0; y < 3; ++y) ASSERT_EQ(RawEncEncodeLine(w.get(), pixels.data() + 16 * y), XR_OK);
    ASSERT_EQ(RawEncEnd(w.get()), XR_OK);
    ASSERT_EQ(w.sink.bytes.size(), 36u);
    for (uint32_t y = 0; y < 3; ++y)
        EXPECT_EQ(std::memcmp(w.sink.bytes.data() + 12 * y, pixels.data() + 16 * y, 12), 0) << y;

    RawWriter planar;
    XrImage yuv = Header(XR_MODE_YUV_PLANAR, 5, 1, 6);
    ASSERT_EQ(RawEncSetImage(planar.get(), &yuv, nullptr), XR_OK);
    ASSERT_EQ(RawEncEncodeLine(planar.get(), pixels.data()), XR_OK);
    ASSERT_EQ(RawEncEnd(planar.get()), XR_OK);
    EXPECT_EQ(planar.sink.bytes, std::vector<uint8_t>(pixels.begin(), pixels.begin() + 5));
}

TEST(RawEncoder, ReportsRefusalsAndWriteFailures) {
    RawWriter w;
    uint8_t line[64] = {};
    EXPECT_EQ(RawEncEncodeLine(w.get(), line), XR_ERR_ARGUMENT) << "no image set";
    XrImage none = Header(XR_MODE_UNK, 4, 1, 4);
    EXPECT_EQ(RawEncSetImage(w.get(), &none, nullptr), XR_ERR_UNSUPPORTED);
    XrImage narrow = Header(XR_MODE_RGB, 4, 1, 8);
    EXPECT_EQ(RawEncSetImage(w.get(), &narrow, nullptr), XR_ERR_MISMATCH);
    EXPECT_EQ(RawEncEnd(w.get()), XR_ERR_MISMATCH);
    EXPECT_EQ(RawEncSetImage(nullptr, &narrow, nullptr), XR_ERR_ARGUMENT);
    EXPECT_EQ(RawEncEnd(nullptr), XR_ERR_ARGUMENT);

    // The failure shows at the line whose bytes overflow the staging area, or only at End.
    for (size_t limit : {size_t{20}, size_t{10}}) {
        RawWriter full;
        full.sink.limit = limit;
        XrImage gray = Header(XR_MODE_GRAY, 16, limit == 20 ? 4 : 1);
        ASSERT_EQ(RawEncSetImage(full.get(), &gray, nullptr), XR_OK);
        CodecStatus status = XR_OK;
        for (uint32_t y = 0; y < gray.HEIGHT && status == XR_OK; ++y) status = RawEncEncodeLine(full.get(), line);
        EXPECT_EQ(status, limit == 20 ? XR_ERR_STREAM_CALLBACK : XR_OK);
        EXPECT_EQ(RawEncEnd(full.get()), XR_ERR_STREAM_CALLBACK);
    }
}

}  // namespace
