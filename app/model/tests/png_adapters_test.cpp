// The PNG adapters through real files: encode and decode by line and whole, the
// scaled decode, interlaced files, hostile headers, and the registry row as
// documents use it.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "lumapix/document.h"
#include "lumapix/format_registry.h"
#include "model_test_support.hpp"
#include "test_files.hpp"

using namespace lumapix;
using namespace modeltest;

namespace {

Bytes Encode(XrImage* image, bool byLine, CodecStatus* status) { return EncodeWith(png_encode, image, Encoding(byLine), status); }

CodecStatus Decode(const Bytes& bytes, Record* record, bool byLine, const DecodeOptions* scaled = nullptr) {
    return scaled ? DecodeWith(png_decode_scaled, bytes, *scaled, record) : DecodeWith(png_decode, bytes, Decoding(byLine), record);
}

// Files of the fuzz seed corpus, found from this source file's place in the tree.
Bytes Seed(const char* name) {
    auto root = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path().parent_path();
    return testfiles::ReadBytes(root / "fuzz" / "corpus" / "png" / name);
}

class PngAdapterRoundTrip : public testing::TestWithParam<int32_t> {};

TEST_P(PngAdapterRoundTrip, LineAndWholePathsAgreeAndKeepThePixels) {
    const int32_t mode = GetParam();
    Record source = TestImage(mode, 37, 23), decoded[2];
    CodecStatus status;
    Bytes file = Encode(&source.image, true, &status);
    ASSERT_EQ(status, XR_OK);
    EXPECT_EQ(Encode(&source.image, false, &status), file);
    for (bool line : {false, true}) ASSERT_EQ(Decode(file, &decoded[line], line), XR_OK);
    const XrImage& got = decoded[1].image;
    ASSERT_EQ(got.SIZE, decoded[0].image.SIZE);
    EXPECT_EQ(std::memcmp(got.PIXELS, decoded[0].image.PIXELS, got.SIZE), 0);
    ASSERT_EQ(got.MODE, mode == XR_MODE_MONO ? XR_MODE_GRAY : mode);  // MONO is written as grey
    for (uint32_t y = 0; y < 23; ++y)
        for (uint32_t x = 0; x < ImageLineBytes(got.MODE, 37); ++x) {
            const uint8_t* b = ImageLine(&source.image, y);
            uint8_t want = mode == XR_MODE_MONO ? (b[x / 8] >> (7 - x % 8) & 1 ? 255 : 0) : b[x];
            ASSERT_EQ(ImageLine(&got, y)[x], want) << "line " << y << " byte " << x;
        }
    if (mode == XR_MODE_INDEX) {
        EXPECT_EQ(std::memcmp(got.PALBUT, source.image.PALBUT, 1024), 0) << "palette";
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, PngAdapterRoundTrip, testing::Values(XR_MODE_RGB, XR_MODE_GRAY, XR_MODE_INDEX, XR_MODE_MONO));

TEST(PngAdapters, ScaledDecodeCropsEnlargesAndConverts) {
    Record source = TestImage(XR_MODE_RGB, 40, 30);
    CodecStatus status;
    Bytes file = Encode(&source.image, false, &status);
    DecodeOptions options = Decoding();
    options.stretch = 1;
    options.clipX = 5, options.clipY = 7, options.clipWidth = 10, options.clipHeight = 6;
    options.targetWidth = 10, options.targetHeight = 12;
    for (int32_t line : {1, 0}) {
        options.line = line;
        options.targetMode = 0;  // the file's
        Record crop, grey, refused;
        ASSERT_EQ(Decode(file, &crop, true, &options), XR_OK);
        ASSERT_EQ(crop.image.MODE, XR_MODE_RGB);
        for (uint32_t y = 0; y < 12; ++y)  // twice the clip height: each source line twice
            ASSERT_EQ(std::memcmp(ImageLine(&crop.image, y), ImageLine(&source.image, 7 + y / 2) + 15, 30), 0) << y;
        options.targetMode = XR_MODE_GRAY;
        ASSERT_EQ(Decode(file, &grey, true, &options), XR_OK);
        EXPECT_EQ(grey.image.LINEINT, 10u);
        options.targetMode = XR_MODE_RGBW;
        EXPECT_EQ(Decode(file, &refused, true, &options), XR_ERR_UNSUPPORTED);
        EXPECT_EQ(refused.image.PIXELS, nullptr);
    }
}

TEST(PngAdapters, InterlacedFilesDecodeWholeAndRefuseTheScaledDecode) {
    Bytes interlaced = Seed("basi3p08.png"), plain = Seed("basn3p08.png");  // the same picture
    ASSERT_FALSE(interlaced.empty() || plain.empty());
    Record a, b, none;
    ASSERT_EQ(Decode(interlaced, &a, true), XR_OK) << "line flag set: the whole-image call is used";
    ASSERT_EQ(Decode(plain, &b, true), XR_OK);
    EXPECT_EQ(a.Pixels(), b.Pixels());
    EXPECT_EQ(a.Palette(), b.Palette());
    DecodeOptions scaled = Decoding();
    scaled.stretch = 1;
    EXPECT_EQ(Decode(interlaced, &none, true, &scaled), XR_ERR_INTERNAL);
    EXPECT_EQ(none.image.PIXELS, nullptr);
}

TEST(PngAdapters, HostileHeadersAndFailuresReturnAStatusAndAllocateNothing) {
    Record source = TestImage(XR_MODE_GRAY, 4, 4), huge, image;
    CodecStatus status;
    Bytes file = Encode(&source.image, false, &status);
    for (size_t i = 16; i < 24; ++i) file[i] = i % 4 < 2 ? 0 : 0xFF;  // 65535 x 65535, CRC made to match
    uLong crc = crc32(0, file.data() + 12, 17);
    for (size_t i = 0; i < 4; ++i) file[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    EXPECT_EQ(Decode(file, &huge, true), XR_ERR_INTERNAL) << "above 2^28 pixels";
    EXPECT_EQ(huge.image.PIXELS, nullptr);

    DecodeOptions options = Decoding();
    Record high = TestImage(XR_MODE_HIGH, 8, 8);
    EXPECT_EQ(png_decode(nullptr, &image.image, &options), XR_ERR_ARGUMENT);
    EXPECT_EQ(OverFile({}, [&](FILE* empty) { return png_decode(empty, nullptr, &options); }), XR_ERR_ARGUMENT);
    EXPECT_EQ(OverFile({}, [&](FILE* empty) { return png_decode(empty, &image.image, &options); }), XR_ERR_STREAM_END);
    EXPECT_EQ(OverFile({}, [&](FILE* empty) { return png_encode(empty, nullptr, nullptr); }), XR_ERR_ARGUMENT);
    EXPECT_EQ(OverFile({}, [&](FILE* empty) { return png_encode(empty, &high.image, nullptr); }), XR_ERR_UNSUPPORTED);

    Record rgb = TestImage(XR_MODE_RGB, 30, 20);
    file = Encode(&rgb.image, true, &status);
    file.resize(file.size() / 2);
    EXPECT_EQ(Decode(file, &image, true), XR_ERR_STREAM_END);
    EXPECT_EQ(image.image.WIDTH, 30) << "the record keeps the rows decoded so far";
}

TEST(PngAdapters, DocumentsOpenAndSavePngThroughTheRegistry) {
    const FormatRow& row = FormatRegistry[XR_FORMAT_PNG];
    EXPECT_TRUE(row.decode == png_decode && row.decodeScaled == png_decode_scaled && row.encode == png_encode);
    testfiles::ScratchDir dir;
    std::string path = dir / "doc.png";
    COrvineDoc doc, opened;
    ASSERT_EQ(MakeTestImage(&doc.image, XR_MODE_MONO, 33, 9), XR_OK);
    DocumentQuestions quiet;
    EncodeOptions encoding = Encoding();
    DecodeOptions decoding = Decoding();
    ASSERT_TRUE(SaveImageFile(doc, doc.image, path, encoding, XR_FORMAT_PNG, quiet)) << "MONO saves unchanged";
    EXPECT_EQ(OpenDocument(opened, path, decoding, quiet), OpenOutcome::kOpened);
    EXPECT_TRUE(opened.status == COrvineDoc::kNormal && opened.image.MODE == XR_MODE_GRAY && opened.image.WIDTH == 33);
}

}  // namespace
