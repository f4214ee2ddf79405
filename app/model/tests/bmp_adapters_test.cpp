// The BMP adapters through real files: encode, decode (line by line and whole),
// the scaled decode, and failures that must leave a status and nothing else.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "lumapix/decode_line_convert.h"
#include "lumapix/pixel_formulas.h"
#include "model_test_support.hpp"

namespace {

using namespace modeltest;

class BmpAdapterRoundTrip : public testing::TestWithParam<int32_t> {};

TEST_P(BmpAdapterRoundTrip, LineAndWholePathsAgreeAndKeepThePixels) {
    Record source = TestImage(GetParam(), 37, 23);
    CodecStatus status;
    Bytes file = EncodeWith(bmp_encode, &source.image, Encoding(true), &status);
    ASSERT_EQ(status, XR_OK);
    EXPECT_EQ(EncodeWith(bmp_encode, &source.image, Encoding(false), &status), file) << "line-by-line and whole encodes differ";
    Record decoded[2];
    for (bool byLine : {true, false}) ASSERT_EQ(DecodeWith(bmp_decode, file, Decoding(byLine), &decoded[byLine]), XR_OK);
    const XrImage& got = decoded[1].image;
    EXPECT_TRUE(SamePixels(decoded[0].image, got));
    if (GetParam() == XR_MODE_RGB || GetParam() == XR_MODE_INDEX) {
        EXPECT_TRUE(SamePixels(got, source.image));
        EXPECT_TRUE(GetParam() == XR_MODE_RGB || decoded[1].Palette() == source.Palette());
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, BmpAdapterRoundTrip,
                         testing::Values(XR_MODE_RGB, XR_MODE_GRAY, XR_MODE_INDEX, XR_MODE_MONO, XR_MODE_HIGH));

TEST(BmpAdapters, FailuresReturnAStatus) {
    Record record;
    std::string text = "this is not a bitmap at all";
    EXPECT_EQ(DecodeWith(bmp_decode, Bytes(text.begin(), text.end()), Decoding(), &record), XR_ERR_FORMAT);
    EXPECT_EQ(record.image.PIXELS, nullptr);
    EXPECT_NE(DecodeWith(bmp_decode, {}, Decoding(), &record), XR_OK);
    DecodeOptions decoding = Decoding();
    EXPECT_EQ(bmp_decode(nullptr, &record.image, &decoding), XR_ERR_ARGUMENT);

    Record source = TestImage(XR_MODE_RGB, 8, 8);
    CodecStatus status;
    Bytes bytes = EncodeWith(bmp_encode, &source.image, Encoding(), &status);
    ASSERT_GT(bytes.size(), 10u);
    EXPECT_NE(DecodeWith(bmp_decode, Bytes(bytes.begin(), bytes.end() - 10), Decoding(), &record), XR_OK);

    // Writing to a stream opened for reading fails at the first flush.
    FILE* readOnly = std::fopen("/dev/null", "r");
    ASSERT_NE(readOnly, nullptr);
    EncodeOptions encoding = Encoding();
    EXPECT_NE(bmp_encode(readOnly, &source.image, &encoding), XR_OK);
    std::fclose(readOnly);
}

// One pass of crop, mode conversion and resize equals decoding first and then
// converting and sampling by hand.
TEST(BmpAdapters, ScaledDecodeConvertsLikeDecodeThenConvert) {
    for (int32_t fileMode : {XR_MODE_RGB, XR_MODE_INDEX}) {
        Record source = TestImage(fileMode, 41, 29), full;
        CodecStatus status;
        Bytes file = EncodeWith(bmp_encode, &source.image, Encoding(false), &status);
        ASSERT_EQ(DecodeWith(bmp_decode, file, Decoding(), &full), XR_OK);
        DecodeOptions options = Decoding(false);
        options.stretch = 1, options.clipX = 3, options.clipY = 4, options.clipWidth = 30, options.clipHeight = 20;
        Record unsized;  // no target size: the file's
        ASSERT_EQ(DecodeWith(bmp_decode_scaled, file, options, &unsized), XR_OK);
        EXPECT_EQ(unsized.image.WIDTH, 41);
        options.targetWidth = 45, options.targetHeight = 10;
        for (int32_t target = XR_MODE_RGB; target <= XR_MODE_MONO; ++target) {
            for (uint8_t palfmt : {uint8_t{0}, uint8_t{1}}) {
                SCOPED_TRACE(std::string(ImageModeName(fileMode)) + " -> " + ImageModeName(target) + " palfmt " +
                             std::to_string(palfmt));
                options.line = target % 2;  // by line and whole in turn
                options.targetMode = target, options.monoPaletteFormat = palfmt;
                Record scaled;
                ASSERT_EQ(DecodeWith(bmp_decode_scaled, file, options, &scaled), XR_OK);
                ASSERT_EQ(scaled.image.MODE, target);
                uint32_t rowStep = (20u << 16) / 10, columnStep = (30u << 16) / 45;
                for (uint32_t y = 0; y < 10; ++y) {
                    // Rows are counted from the bottom of the window, as the file stores them.
                    uint32_t sourceRow = 4 + 19 - ((y * rowStep) >> 16), targetRow = 9 - y;
                    std::vector<uint8_t> line(30 * 6);
                    std::memcpy(line.data(), full.Line(sourceRow) + ImageLineBytes(fileMode, 3), ImageLineBytes(fileMode, 30));
                    ASSERT_EQ(DecodeLineConvert(line.data(), 30, fileMode, target, full.image.PALBUT, 0, palfmt), 0);
                    for (uint32_t x = 0; x < 45; ++x) {
                        uint32_t from = (x * columnStep) >> 16;
                        if (target == XR_MODE_MONO) {
                            ASSERT_EQ(scaled.Line(targetRow)[x >> 3] >> (7 - (x & 7)) & 1, line[from >> 3] >> (7 - (from & 7)) & 1)
                                << x << "," << y;
                        } else if (target != XR_MODE_YUV) {
                            uint32_t bytes = ImageLineBytes(target, 1);
                            ASSERT_EQ(std::memcmp(scaled.Line(targetRow) + x * bytes, line.data() + from * bytes, bytes), 0)
                                << x << "," << y;
                        } else {  // luma follows the sampled pixel
                            ASSERT_EQ(scaled.Line(targetRow)[2 * x], line[2 * from]) << x << "," << y;
                        }
                    }
                }
                if (target == XR_MODE_INDEX) {
                    EXPECT_EQ(scaled.Palette(), BytesAt(fileMode == XR_MODE_INDEX ? full.image.PALBUT : SystemPalette, 1024));
                }
            }
        }
    }
}

}  // namespace
