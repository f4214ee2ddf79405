// The BMP adapters through real files: encode, decode (line by line and whole),
// the scaled decode, and failures that must leave a status and nothing else.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "lumapix/decode_line_convert.h"
#include "lumapix/format_adapters.h"
#include "lumapix/pixel_formulas.h"
#include "lumapix/test_images.h"

namespace {

struct Record {
    XrImage image{};
    ~Record() { ImageFree(&image); }
    const uint8_t* Line(uint32_t y) const { return ImageLine(&image, y); }
};

struct TempFile {
    FILE* file = std::tmpfile();
    ~TempFile() {
        if (file) std::fclose(file);
    }
    std::vector<uint8_t> Bytes() const {
        std::rewind(file);
        std::vector<uint8_t> bytes;
        for (int c; (c = std::fgetc(file)) != EOF;) bytes.push_back(static_cast<uint8_t>(c));
        std::rewind(file);
        return bytes;
    }
};

DecodeOptions Decoding(bool byLine) {
    DecodeOptions options;
    DecodeOptionsDefaults(&options);
    options.line = byLine;
    return options;
}

EncodeOptions Encoding(bool byLine) {
    EncodeOptions options;
    EncodeOptionsDefaults(&options);
    options.line = byLine;
    return options;
}

bool SamePixels(const XrImage& a, const XrImage& b, uint32_t bytesPerLine) {
    if (a.WIDTH != b.WIDTH || a.HEIGHT != b.HEIGHT) return false;
    for (uint32_t y = 0; y < a.HEIGHT; ++y)
        if (std::memcmp(ImageLine(&a, y), ImageLine(&b, y), bytesPerLine) != 0) return false;
    return true;
}

class BmpAdapterRoundTrip : public testing::TestWithParam<int32_t> {};

TEST_P(BmpAdapterRoundTrip, LineAndWholePathsAgreeAndKeepThePixels) {
    Record source;
    ASSERT_EQ(MakeTestImage(&source.image, GetParam(), 37, 23), XR_OK);
    std::vector<uint8_t> files[2];
    for (bool byLine : {true, false}) {
        TempFile out;
        EncodeOptions encoding = Encoding(byLine);
        ASSERT_EQ(bmp_encode(out.file, &source.image, &encoding), XR_OK);
        files[byLine] = out.Bytes();
    }
    EXPECT_EQ(files[0], files[1]) << "line-by-line and whole encodes differ";

    Record decoded[2];
    for (bool byLine : {true, false}) {
        TempFile in;
        std::fwrite(files[0].data(), 1, files[0].size(), in.file);
        std::rewind(in.file);
        DecodeOptions decoding = Decoding(byLine);
        ASSERT_EQ(bmp_decode(in.file, &decoded[byLine].image, &decoding), XR_OK);
    }
    const XrImage& got = decoded[1].image;
    EXPECT_TRUE(SamePixels(decoded[0].image, got, got.LINEINT));
    if (GetParam() == XR_MODE_RGB || GetParam() == XR_MODE_INDEX) {
        EXPECT_EQ(got.MODE, GetParam());
        EXPECT_TRUE(SamePixels(got, source.image, ImageLineBytes(GetParam(), got.WIDTH)));
    }
    if (GetParam() == XR_MODE_INDEX) {
        EXPECT_EQ(std::memcmp(got.PALBUT, source.image.PALBUT, 256 * 4), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, BmpAdapterRoundTrip,
                         testing::Values(XR_MODE_RGB, XR_MODE_GRAY, XR_MODE_INDEX, XR_MODE_MONO, XR_MODE_HIGH));

// A picture of the test image written to a temporary BMP file.
struct BmpFile {
    Record source;
    TempFile file;
    explicit BmpFile(uint16_t width, uint16_t height) {
        MakeTestImage(&source.image, XR_MODE_RGB, width, height);
        EncodeOptions encoding = Encoding(false);
        bmp_encode(file.file, &source.image, &encoding);
        std::rewind(file.file);
    }
};

TEST(BmpAdapters, ScaledDecodeCropsAndEnlarges) {
    BmpFile bmp(40, 30);
    for (bool byLine : {true, false}) {
        SCOPED_TRACE(byLine ? "line by line" : "whole");
        DecodeOptions options = Decoding(byLine);
        options.stretch = 1;
        options.clipX = 5;
        options.clipY = 7;
        options.clipWidth = 10;
        options.clipHeight = 6;
        Record crop;
        std::rewind(bmp.file.file);
        ASSERT_EQ(bmp_decode_scaled(bmp.file.file, &crop.image, &options), XR_OK);
        ASSERT_EQ(crop.image.WIDTH, 40);  // no target size: the file's
        options.targetWidth = 10;
        options.targetHeight = 6;
        std::rewind(bmp.file.file);
        Record exact;
        ASSERT_EQ(bmp_decode_scaled(bmp.file.file, &exact.image, &options), XR_OK);
        for (uint32_t y = 0; y < 6; ++y)
            EXPECT_EQ(std::memcmp(exact.Line(y), bmp.source.Line(y + 7) + 15, 30), 0) << y;

        options.targetWidth = 20;  // twice the window: every pixel doubles
        options.targetHeight = 12;
        std::rewind(bmp.file.file);
        Record doubled;
        ASSERT_EQ(bmp_decode_scaled(bmp.file.file, &doubled.image, &options), XR_OK);
        for (uint32_t y = 0; y < 12; ++y)
            for (uint32_t x = 0; x < 20; ++x)
                ASSERT_EQ(std::memcmp(doubled.Line(y) + 3 * x, bmp.source.Line(7 + y / 2) + 3 * (5 + x / 2), 3), 0)
                    << x << "," << y;
    }
}

TEST(BmpAdapters, FailuresReturnAStatus) {
    TempFile text;
    std::fputs("this is not a bitmap at all", text.file);
    std::rewind(text.file);
    Record record;
    DecodeOptions decoding = Decoding(true);
    EXPECT_EQ(bmp_decode(text.file, &record.image, &decoding), XR_ERR_FORMAT);
    EXPECT_EQ(record.image.PIXELS, nullptr);

    TempFile empty;
    EXPECT_NE(bmp_decode(empty.file, &record.image, &decoding), XR_OK);
    EXPECT_EQ(bmp_decode(nullptr, &record.image, &decoding), XR_ERR_ARGUMENT);

    BmpFile bmp(8, 8);
    std::vector<uint8_t> bytes = bmp.file.Bytes();
    TempFile cut;
    std::fwrite(bytes.data(), 1, bytes.size() - 10, cut.file);
    std::rewind(cut.file);
    EXPECT_NE(bmp_decode(cut.file, &record.image, &decoding), XR_OK);

    // Writing to a stream opened for reading fails at the first flush.
    FILE* readOnly = std::fopen("/dev/null", "r");
    ASSERT_NE(readOnly, nullptr);
    EncodeOptions encoding = Encoding(true);
    EXPECT_NE(bmp_encode(readOnly, &bmp.source.image, &encoding), XR_OK);
    std::fclose(readOnly);
}


// One pass of crop, mode conversion and resize equals decoding first and then
// converting and sampling by hand.
TEST(BmpAdapters, ScaledDecodeConvertsLikeDecodeThenConvert) {
    for (int32_t fileMode : {XR_MODE_RGB, XR_MODE_INDEX}) {
        Record source;
        ASSERT_EQ(MakeTestImage(&source.image, fileMode, 41, 29), XR_OK);
        TempFile file;
        EncodeOptions encoding = Encoding(false);
        ASSERT_EQ(bmp_encode(file.file, &source.image, &encoding), XR_OK);
        Record full;
        std::rewind(file.file);
        DecodeOptions plain = Decoding(true);
        ASSERT_EQ(bmp_decode(file.file, &full.image, &plain), XR_OK);
        for (int32_t target = XR_MODE_RGB; target <= XR_MODE_MONO; ++target) {
            for (uint8_t palfmt : {uint8_t{0}, uint8_t{1}}) {
                SCOPED_TRACE(std::string(ImageModeName(fileMode)) + " -> " + ImageModeName(target) + " palfmt " +
                             std::to_string(palfmt));
                DecodeOptions options = Decoding(true);
                options.stretch = 1;
                options.targetMode = target;
                options.monoPaletteFormat = palfmt;
                options.clipX = 3, options.clipY = 4, options.clipWidth = 30, options.clipHeight = 20;
                options.targetWidth = 45, options.targetHeight = 10;
                Record scaled;
                std::rewind(file.file);
                ASSERT_EQ(bmp_decode_scaled(file.file, &scaled.image, &options), XR_OK);
                ASSERT_EQ(scaled.image.MODE, target);
                uint32_t rowStep = (20u << 16) / 10, columnStep = (30u << 16) / 45;
                for (uint32_t y = 0; y < 10; ++y) {
                    // Rows are counted from the bottom of the window, as the file stores them.
                    uint32_t fromBottom = (y * rowStep) >> 16;
                    uint32_t sourceRow = 4 + 19 - fromBottom;
                    uint32_t targetRow = 9 - y;
                    std::vector<uint8_t> line(30 * 6);
                    std::memcpy(line.data(), full.Line(sourceRow) + ImageLineBytes(fileMode, 3), ImageLineBytes(fileMode, 30));
                    ASSERT_EQ(DecodeLineConvert(line.data(), 30, fileMode, target, full.image.PALBUT, 0, palfmt), 0);
                    for (uint32_t x = 0; x < 45; ++x) {
                        uint32_t from = (x * columnStep) >> 16;
                        if (target == XR_MODE_MONO) {
                            int want = line[from >> 3] >> (7 - (from & 7)) & 1;
                            int got = scaled.Line(targetRow)[x >> 3] >> (7 - (x & 7)) & 1;
                            ASSERT_EQ(got, want) << x << "," << y;
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
                    const uint8_t* want = fileMode == XR_MODE_INDEX ? full.image.PALBUT : SystemPalette;
                    EXPECT_EQ(std::memcmp(scaled.image.PALBUT, want, 1024), 0);
                }
            }
        }
    }
}

}  // namespace
