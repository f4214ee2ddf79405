// The GIF adapters through real files: round trips by line and whole, GRAY over a
// grey ramp, interlaced files under the line flag, the scaled decode, the size
// limit, failures, and the registry row driving the document's save and open.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "lumapix/document.h"
#include "lumapix/format_registry.h"
#include "model_test_support.hpp"
#include "test_files.hpp"

namespace {

using namespace modeltest;

Bytes Encode(XrImage* image, bool byLine, CodecStatus* status) { return EncodeWith(gif_encode, image, Encoding(byLine), status); }

CodecStatus Decode(const Bytes& file, Record* record, DecodeOptions options, bool scaled = false) {
    return DecodeWith(scaled ? gif_decode_scaled : gif_decode, file, options, record);
}

// Our file of image with its rows stored in interlace order and the flag set.
Bytes Interlaced(const XrImage& image) {
    Record reordered;
    EXPECT_EQ(ImageCopy(&reordered.image, &image), XR_OK);
    static constexpr uint32_t kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    uint32_t out = 0;
    for (uint32_t pass = 0; pass < 4; ++pass)
        for (uint32_t y = kStart[pass]; y < image.HEIGHT; y += kStep[pass])
            std::memcpy(ImageLine(&reordered.image, out++), ImageLine(&image, y), image.WIDTH);
    CodecStatus status;
    Bytes file = Encode(&reordered.image, false, &status);
    EXPECT_EQ(status, XR_OK);
    file[13 + 768 + 9] |= 0x40;
    return file;
}

TEST(GifAdapters, RoundTripsGrayAndInterlacedFiles) {
    Record index = TestImage(XR_MODE_INDEX, 37, 23), gray = TestImage(XR_MODE_GRAY, 31, 17);
    CodecStatus a, b;
    Bytes byLine = Encode(&index.image, true, &a), whole = Encode(&index.image, false, &b);
    ASSERT_TRUE(a == XR_OK && b == XR_OK);
    EXPECT_EQ(byLine, whole);
    for (const Bytes& file : {whole, Interlaced(index.image)}) {
        for (bool lines : {true, false}) {  // the line flag falls back to the whole-image call for interlaced files
            Record decoded;
            ASSERT_EQ(Decode(file, &decoded, Decoding(lines)), XR_OK);
            EXPECT_EQ(decoded.Pixels(), index.Pixels());
            EXPECT_EQ(decoded.Palette(), index.Palette());
        }
    }
    Bytes grayFile = Encode(&gray.image, true, &a);
    ASSERT_EQ(a, XR_OK);
    EXPECT_TRUE(gray.image.MODE == XR_MODE_GRAY && gray.image.PALBUT == nullptr) << "the record is left alone";
    Record decoded;
    ASSERT_EQ(Decode(grayFile, &decoded, Decoding(false)), XR_OK);
    EXPECT_EQ(decoded.image.MODE, XR_MODE_INDEX);
    EXPECT_EQ(decoded.Pixels(), gray.Pixels());
    for (uint32_t i = 0; i < 256; ++i)
        ASSERT_TRUE(decoded.image.PALBUT[4 * i] == i && decoded.image.PALBUT[4 * i + 1] == i &&
                    decoded.image.PALBUT[4 * i + 2] == i && decoded.image.PALBUT[4 * i + 3] == 0);
    for (int32_t mode : {XR_MODE_RGB, XR_MODE_MONO}) {
        Record other = TestImage(mode, 8, 8);
        Encode(&other.image, true, &a);
        EXPECT_EQ(a, XR_ERR_UNSUPPORTED) << "converted by the document first";
    }
}

TEST(GifAdapters, ScaledDecodeOfPlainAndInterlacedFiles) {
    Record source = TestImage(XR_MODE_INDEX, 40, 30);
    CodecStatus status;
    Bytes plain = Encode(&source.image, false, &status);
    for (const Bytes& file : {plain, Interlaced(source.image)}) {
        for (bool lines : {true, false}) {
            DecodeOptions options = Decoding(lines);
            options.stretch = 1, options.targetMode = XR_MODE_INDEX;
            options.clipX = 5, options.clipY = 7, options.clipWidth = 10, options.clipHeight = 6;
            options.targetWidth = 20, options.targetHeight = 12;  // twice the window
            Record doubled, rgb;
            ASSERT_EQ(Decode(file, &doubled, options, true), XR_OK);
            for (uint32_t y = 0; y < 12; ++y)
                for (uint32_t x = 0; x < 20; ++x)
                    ASSERT_EQ(ImageLine(&doubled.image, y)[x], ImageLine(&source.image, 7 + y / 2)[5 + x / 2]) << x << "," << y;
            options.targetMode = XR_MODE_RGB;  // the same window as RGB: the palette's colours
            ASSERT_EQ(Decode(file, &rgb, options, true), XR_OK);
            for (uint32_t i = 0; i < 240; ++i)
                ASSERT_EQ(std::memcmp(static_cast<uint8_t*>(rgb.image.PIXELS) + 3 * i,
                                      source.image.PALBUT + 4 * static_cast<uint8_t*>(doubled.image.PIXELS)[i], 3), 0);
        }
    }
    DecodeOptions options = Decoding(true);
    options.stretch = 1, options.targetMode = XR_MODE_RGBW;
    Record refused;
    EXPECT_EQ(Decode(plain, &refused, options, true), XR_ERR_UNSUPPORTED);
}

TEST(GifAdapters, FailuresAndTheSizeLimit) {
    Record record, source = TestImage(XR_MODE_INDEX, 16, 16);
    EXPECT_EQ(Decode({'n', 'o', 't', ' ', 'a', ' ', 'G', 'I', 'F'}, &record, Decoding(true)), XR_ERR_FORMAT);
    EXPECT_EQ(record.image.PIXELS, nullptr);
    EXPECT_EQ(Decode({}, &record, Decoding(true)), XR_ERR_STREAM_END);
    EXPECT_EQ(gif_decode(nullptr, &record.image, nullptr), XR_ERR_ARGUMENT);
    EXPECT_EQ(OverFile({}, [](FILE* f) { return gif_decode_scaled(f, nullptr, nullptr); }), XR_ERR_ARGUMENT);
    CodecStatus status;
    Bytes file = Encode(&source.image, true, &status);
    for (size_t cut : {size_t{20}, size_t{800}, file.size() - 10})
        for (bool lines : {true, false}) {
            Record partial;
            EXPECT_NE(Decode(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut)), &partial, Decoding(lines)), XR_OK);
        }
    Record empty;
    Encode(&empty.image, true, &status);
    EXPECT_EQ(status, XR_ERR_ARGUMENT);
    FILE* readOnly = std::fopen("/dev/null", "r");  // writing fails at the first flush
    EncodeOptions encoding = Encoding();
    EXPECT_NE(gif_encode(readOnly, &source.image, &encoding), XR_OK);
    std::fclose(readOnly);

    // A few dozen bytes announcing a 65535 x 65535 screen (4 GiB) are refused before allocating;
    // 16384 x 16384 with an 8 x 8 image (clear, 3, end) is the largest allowed.
    for (uint16_t side : {uint16_t{65535}, uint16_t{16384}}) {
        auto lo = static_cast<uint8_t>(side), hi = static_cast<uint8_t>(side >> 8);
        Bytes gif = {'G', 'I', 'F', '8', '9', 'a', lo, hi, lo, hi, 0, 0, 0, ',', 0, 0, 0, 0, 8, 0, 8, 0, 0,
                     2, 2, 0x5C, 0x01, 0, ';'};
        for (bool scaled : {false, true}) {
            DecodeOptions options = Decoding(false);
            options.targetWidth = options.targetHeight = 16, options.targetMode = XR_MODE_INDEX;
            Record big;
            CodecStatus got = Decode(gif, &big, options, scaled);
            EXPECT_EQ(got, side == 65535 ? XR_ERR_INTERNAL : XR_OK);
            if (side == 65535) {
                EXPECT_EQ(big.image.PIXELS, nullptr);
            } else {
                EXPECT_EQ(static_cast<uint8_t*>(big.image.PIXELS)[0], 3);
            }
        }
    }
}

TEST(GifAdapters, RegistryRowDrivesTheDocument) {
    const FormatRow& row = FormatRegistry[XR_FORMAT_GIF];
    EXPECT_TRUE(row.decode == gif_decode && row.decodeScaled == gif_decode_scaled && row.encode == gif_encode);
    testfiles::ScratchDir dir;
    lumapix::DocumentQuestions quiet;
    EncodeOptions encoding = Encoding();
    DecodeOptions decoding = Decoding();
    for (int32_t mode : {XR_MODE_INDEX, XR_MODE_GRAY, XR_MODE_RGB}) {
        lumapix::COrvineDoc doc, opened;
        ASSERT_EQ(MakeTestImage(&doc.image, mode, 45, 21), XR_OK);
        std::string path = dir / "doc.gif";
        ASSERT_TRUE(lumapix::SaveDocumentConverted(doc, path, XR_FORMAT_GIF, encoding, quiet)) << ImageModeName(mode);
        ASSERT_EQ(lumapix::OpenDocument(opened, path, decoding, quiet), lumapix::OpenOutcome::kOpened);
        EXPECT_TRUE(opened.status == lumapix::COrvineDoc::kNormal && opened.image.MODE == XR_MODE_INDEX);
        if (mode != XR_MODE_RGB) {  // RGB goes through the system palette first
            EXPECT_EQ(std::memcmp(opened.image.PIXELS, doc.image.PIXELS, doc.image.SIZE), 0) << ImageModeName(mode);
        }
    }
}

}  // namespace
