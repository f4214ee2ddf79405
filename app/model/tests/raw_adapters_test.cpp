// RAW and RLE adapters through files: geometry from the options, open-ended
// heights bounded by the data, and round trips of the test images.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "model_test_support.hpp"

namespace {

using namespace modeltest;

DecodeOptions Geometry(int32_t mode, uint16_t width, uint16_t height, uint16_t lineBytes = 0) {
    DecodeOptions o;
    DecodeOptionsDefaults(&o);
    o.rawMode = mode, o.rawWidth = width, o.rawHeight = height, o.rawLineBytes = lineBytes;
    return o;
}

Bytes Ramp(size_t n) {
    Bytes v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 13 + 1);
    return v;
}

TEST(RawAdapters, HeightFollowsTheDataWhenOpenOrShort) {
    Bytes data = Ramp(16 * 10 + 8);  // 10.5 lines of 16 bytes
    for (uint16_t declared : {uint16_t{0}, uint16_t{12}}) {
        Record r;
        DecodeOptions o = Geometry(XR_MODE_RGB, 5, declared, 16);
        o.rawFormat = 8;
        ASSERT_EQ(DecodeWith(raw_decode, data, o, &r), XR_OK) << declared;
        EXPECT_EQ(std::tuple(r.image.HEIGHT, r.image.LINEINT, r.image.SIZE, r.image.FMT), std::tuple(10, 16u, 160u, 8));
        EXPECT_EQ(std::memcmp(r.image.PIXELS, data.data(), 160), 0);
    }
    Record none;
    EXPECT_EQ(DecodeWith(raw_decode, Ramp(15), Geometry(XR_MODE_RGB, 5, 0, 16), &none), XR_ERR_TRUNCATED);
    EXPECT_EQ(DecodeWith(raw_decode, Ramp(15), Geometry(XR_MODE_RGB, 5, 3, 16), &none), XR_ERR_TRUNCATED);
    EXPECT_EQ(DecodeWith(raw_decode, {}, Geometry(XR_MODE_GRAY, 5, 0), &none), XR_ERR_TRUNCATED);

    // A pipe cannot tell its size: the decode runs to the end of the data instead.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], data.data(), data.size()), static_cast<ssize_t>(data.size()));
    close(fds[1]);
    FILE* in = fdopen(fds[0], "rb");
    Record piped;
    DecodeOptions o = Geometry(XR_MODE_GRAY, 12, 0);
    EXPECT_EQ(raw_decode(in, &piped.image, &o), XR_OK);
    std::fclose(in);
    EXPECT_EQ(piped.image.HEIGHT, 14);
}

TEST(RawAdapters, RefuseGeometryWithoutALineLayout) {
    Record r;
    const DecodeOptions bad[] = {Geometry(XR_MODE_UNK, 4, 1), Geometry(XR_MODE_YUV3, 4, 1),
                                 Geometry(XR_MODE_YUV_PLANAR, 4, 1), Geometry(XR_MODE_GRAY, 0, 1),
                                 Geometry(XR_MODE_RGB, 4, 1, 11)};
    for (const DecodeOptions& o : bad) EXPECT_EQ(DecodeWith(raw_decode, Ramp(64), o, &r), XR_ERR_ARGUMENT) << o.rawMode;
    for (auto adapter : {raw_decode, rle_decode})
        EXPECT_EQ(OverFile(Ramp(64), [&](FILE* f) { return adapter(f, &r.image, nullptr); }), XR_ERR_ARGUMENT);
    EXPECT_EQ(OverFile({}, [&](FILE* f) { return raw_encode(f, &r.image, nullptr); }), XR_ERR_ARGUMENT);
    EXPECT_EQ(DecodeWith(rle_decode, Ramp(64), Geometry(XR_MODE_GRAY, 0, 1), &r), XR_ERR_ARGUMENT);
}

TEST(RawAdapters, RoundTripOfEveryTestImageMode) {
    for (int32_t mode : {XR_MODE_RGB, XR_MODE_GRAY, XR_MODE_INDEX, XR_MODE_MONO, XR_MODE_HIGH}) {
        SCOPED_TRACE(ImageModeName(mode));
        Record source = TestImage(mode, 29, 7), back;
        CodecStatus status;
        Bytes file = EncodeWith(raw_encode, &source.image, Encoding(), &status);
        ASSERT_EQ(status, XR_OK);
        EXPECT_EQ(file.size(), 7 * ImageLineBytes(mode, 29));
        DecodeOptions o = Geometry(mode, 29, 0);
        o.rawPaletteFormat = 1;
        ASSERT_EQ(DecodeWith(raw_decode, file, o, &back), XR_OK);
        ASSERT_EQ(back.image.HEIGHT, 7);
        EXPECT_EQ(back.image.PALFMT, 1);
        EXPECT_EQ(std::memcmp(back.image.PIXELS, source.image.PIXELS, source.image.SIZE), 0);
        if (mode == XR_MODE_INDEX) {
            ASSERT_EQ(back.image.PALCOUNT, 256);
            EXPECT_EQ(back.image.PALBUT[4 * 200 + 1], 200) << "grey ramp";
        }
    }
}

TEST(RawAdapters, EncodeSkipsTheLinePaddingAndReportsWriteFailures) {
    Record padded(XR_MODE_RGB, 4, 2, 16);
    std::memcpy(padded.image.PIXELS, Ramp(32).data(), 32);
    EncodeOptions encoding = Encoding();
    CodecStatus status;
    Bytes written = EncodeWith(raw_encode, &padded.image, encoding, &status), want = Ramp(12), second = Ramp(28);
    ASSERT_EQ(status, XR_OK);
    want.insert(want.end(), second.begin() + 16, second.end());
    EXPECT_EQ(written, want);

    FILE* readOnly = std::fopen("/dev/null", "r");
    ASSERT_NE(readOnly, nullptr);
    EXPECT_EQ(raw_encode(readOnly, &padded.image, &encoding), XR_ERR_STREAM_CALLBACK);
    std::fclose(readOnly);
}

// Runs of three or more as repeats, the rest as literals: enough to exercise the decoder.
Bytes PackBits(const uint8_t* line, size_t n) {
    Bytes out;
    for (size_t i = 0; i < n;) {
        size_t run = 1;
        while (i + run < n && run < 128 && line[i + run] == line[i]) ++run;
        if (run >= 3) {
            out.push_back(static_cast<uint8_t>(257 - run));
            out.push_back(line[i]);
            i += run;
            continue;
        }
        size_t start = i;
        while (i < n && i - start < 128 && !(i + 2 < n && line[i] == line[i + 1] && line[i] == line[i + 2])) ++i;
        out.push_back(static_cast<uint8_t>(i - start - 1));
        out.insert(out.end(), line + start, line + i);
    }
    return out;
}

TEST(RleAdapter, DecodesPackBitsLinesToTheEndOfTheData) {
    Record source = TestImage(XR_MODE_GRAY, 300, 9);
    Bytes file;
    for (uint32_t y = 0; y < 9; ++y) {
        Bytes line = PackBits(ImageLine(&source.image, y), 300);
        file.insert(file.end(), line.begin(), line.end());
    }
    for (uint16_t declared : {uint16_t{0}, uint16_t{9}}) {
        Record back;
        ASSERT_EQ(DecodeWith(rle_decode, file, Geometry(XR_MODE_UNK, 300, declared), &back), XR_OK);
        EXPECT_EQ(back.image.MODE, XR_MODE_GRAY);
        ASSERT_EQ(back.image.HEIGHT, 9);
        EXPECT_EQ(std::memcmp(back.image.PIXELS, source.image.PIXELS, 300 * 9), 0);
    }
    Record shorter;
    file.pop_back();
    ASSERT_EQ(DecodeWith(rle_decode, file, Geometry(XR_MODE_UNK, 300, 0), &shorter), XR_OK);
    EXPECT_EQ(shorter.image.HEIGHT, 8) << "the cut line is dropped";
    EXPECT_EQ(DecodeWith(rle_decode, {0x05, 1, 2}, Geometry(XR_MODE_UNK, 300, 0), &shorter), XR_ERR_TRUNCATED);
}

}  // namespace
