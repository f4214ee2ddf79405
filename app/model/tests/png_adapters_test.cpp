// The PNG adapters through real files: encode and decode by line and whole, the
// scaled decode, interlaced files, hostile headers, and the registry row as
// documents use it.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "lumapix/document.h"
#include "lumapix/format_adapters.h"
#include "lumapix/format_registry.h"
#include "lumapix/test_images.h"

using namespace lumapix;

namespace {

using Bytes = std::vector<uint8_t>;

struct Record {
    XrImage image{};
    ~Record() { ImageFree(&image); }
};

struct TempFile {
    FILE* file = std::tmpfile();
    ~TempFile() { std::fclose(file); }
};

Bytes Encode(XrImage* image, bool byLine, CodecStatus* status) {
    TempFile out;
    EncodeOptions options;
    EncodeOptionsDefaults(&options);
    options.line = byLine;
    *status = png_encode(out.file, image, &options);
    std::rewind(out.file);
    Bytes bytes;
    for (int c; (c = std::fgetc(out.file)) != EOF;) bytes.push_back(static_cast<uint8_t>(c));
    return bytes;
}

CodecStatus Decode(const Bytes& bytes, XrImage* image, bool byLine, const DecodeOptions* scaled = nullptr) {
    TempFile in;
    std::fwrite(bytes.data(), 1, bytes.size(), in.file);
    std::rewind(in.file);
    DecodeOptions options;
    DecodeOptionsDefaults(&options);
    options.line = byLine;
    return scaled ? png_decode_scaled(in.file, image, scaled) : png_decode(in.file, image, &options);
}

// Files of the fuzz seed corpus, found from this source file's place in the tree.
Bytes Seed(const char* name) {
    Bytes bytes;
    auto root = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path().parent_path();
    if (FILE* f = std::fopen((root / "fuzz" / "corpus" / "png" / name).c_str(), "rb")) {
        for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<uint8_t>(c));
        std::fclose(f);
    }
    return bytes;
}

class PngAdapterRoundTrip : public testing::TestWithParam<int32_t> {};

TEST_P(PngAdapterRoundTrip, LineAndWholePathsAgreeAndKeepThePixels) {
    const int32_t mode = GetParam();
    Record source, decoded[2];
    ASSERT_EQ(MakeTestImage(&source.image, mode, 37, 23), XR_OK);
    CodecStatus status;
    Bytes file = Encode(&source.image, true, &status);
    ASSERT_EQ(status, XR_OK);
    EXPECT_EQ(Encode(&source.image, false, &status), file);
    for (bool line : {false, true}) ASSERT_EQ(Decode(file, &decoded[line].image, line), XR_OK);
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
    Record source;
    ASSERT_EQ(MakeTestImage(&source.image, XR_MODE_RGB, 40, 30), XR_OK);
    CodecStatus status;
    Bytes file = Encode(&source.image, false, &status);
    DecodeOptions options;
    DecodeOptionsDefaults(&options);
    options.stretch = 1;
    options.clipX = 5, options.clipY = 7, options.clipWidth = 10, options.clipHeight = 6;
    options.targetWidth = 10, options.targetHeight = 12;
    for (int32_t line : {1, 0}) {
        options.line = line;
        options.targetMode = 0;  // the file's
        Record crop, grey, refused;
        ASSERT_EQ(Decode(file, &crop.image, true, &options), XR_OK);
        ASSERT_EQ(crop.image.MODE, XR_MODE_RGB);
        for (uint32_t y = 0; y < 12; ++y)  // twice the clip height: each source line twice
            ASSERT_EQ(std::memcmp(ImageLine(&crop.image, y), ImageLine(&source.image, 7 + y / 2) + 15, 30), 0) << y;
        options.targetMode = XR_MODE_GRAY;
        ASSERT_EQ(Decode(file, &grey.image, true, &options), XR_OK);
        EXPECT_EQ(grey.image.LINEINT, 10u);
        options.targetMode = XR_MODE_RGBW;
        EXPECT_EQ(Decode(file, &refused.image, true, &options), XR_ERR_UNSUPPORTED);
        EXPECT_EQ(refused.image.PIXELS, nullptr);
    }
}

TEST(PngAdapters, InterlacedFilesDecodeWholeAndRefuseTheScaledDecode) {
    Bytes interlaced = Seed("basi3p08.png"), plain = Seed("basn3p08.png");  // the same picture
    ASSERT_FALSE(interlaced.empty() || plain.empty());
    Record a, b, none;
    ASSERT_EQ(Decode(interlaced, &a.image, true), XR_OK) << "line flag set: the whole-image call is used";
    ASSERT_EQ(Decode(plain, &b.image, true), XR_OK);
    ASSERT_EQ(a.image.SIZE, b.image.SIZE);
    EXPECT_EQ(std::memcmp(a.image.PIXELS, b.image.PIXELS, a.image.SIZE), 0);
    EXPECT_EQ(std::memcmp(a.image.PALBUT, b.image.PALBUT, 1024), 0);
    DecodeOptions scaled;
    DecodeOptionsDefaults(&scaled);
    scaled.stretch = 1;
    EXPECT_EQ(Decode(interlaced, &none.image, true, &scaled), XR_ERR_INTERNAL);
    EXPECT_EQ(none.image.PIXELS, nullptr);
}

TEST(PngAdapters, HostileHeadersAndFailuresReturnAStatusAndAllocateNothing) {
    Record source, huge, image;
    ASSERT_EQ(MakeTestImage(&source.image, XR_MODE_GRAY, 4, 4), XR_OK);
    CodecStatus status;
    Bytes file = Encode(&source.image, false, &status);
    for (size_t i = 16; i < 24; ++i) file[i] = i % 4 < 2 ? 0 : 0xFF;  // 65535 x 65535, CRC made to match
    uLong crc = crc32(0, file.data() + 12, 17);
    for (size_t i = 0; i < 4; ++i) file[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    EXPECT_EQ(Decode(file, &huge.image, true), XR_ERR_INTERNAL) << "above 2^28 pixels";
    EXPECT_EQ(huge.image.PIXELS, nullptr);

    DecodeOptions options;
    DecodeOptionsDefaults(&options);
    TempFile empty;
    EXPECT_EQ(png_decode(nullptr, &image.image, &options), XR_ERR_ARGUMENT);
    EXPECT_EQ(png_decode(empty.file, nullptr, &options), XR_ERR_ARGUMENT);
    EXPECT_EQ(png_decode(empty.file, &image.image, &options), XR_ERR_STREAM_END);
    EXPECT_EQ(png_encode(empty.file, nullptr, nullptr), XR_ERR_ARGUMENT);
    Record high;
    ASSERT_EQ(MakeTestImage(&high.image, XR_MODE_HIGH, 8, 8), XR_OK);
    EXPECT_EQ(png_encode(empty.file, &high.image, nullptr), XR_ERR_UNSUPPORTED);

    ASSERT_EQ(MakeTestImage(&source.image, XR_MODE_RGB, 30, 20), XR_OK);
    file = Encode(&source.image, true, &status);
    file.resize(file.size() / 2);
    EXPECT_EQ(Decode(file, &image.image, true), XR_ERR_STREAM_END);
    EXPECT_EQ(image.image.WIDTH, 30) << "the record keeps the rows decoded so far";
}

TEST(PngAdapters, DocumentsOpenAndSavePngThroughTheRegistry) {
    const FormatRow& row = FormatRegistry[XR_FORMAT_PNG];
    EXPECT_TRUE(row.decode == png_decode && row.decodeScaled == png_decode_scaled && row.encode == png_encode);
    const char* dir = std::getenv("LUMAPIX_TEST_TMP");
    std::string path = std::string(dir && *dir ? dir : "/tmp") + "/png_adapter_" + std::to_string(getpid()) + ".png";
    COrvineDoc doc, opened;
    ASSERT_EQ(MakeTestImage(&doc.image, XR_MODE_MONO, 33, 9), XR_OK);
    EncodeOptions encoding;
    EncodeOptionsDefaults(&encoding);
    DecodeOptions decoding;
    DecodeOptionsDefaults(&decoding);
    DocumentQuestions quiet;
    ASSERT_TRUE(SaveImageFile(doc, doc.image, path, encoding, XR_FORMAT_PNG, quiet)) << "MONO saves unchanged";
    EXPECT_EQ(OpenDocument(opened, path, decoding, quiet), OpenOutcome::kOpened);
    EXPECT_EQ(opened.status, COrvineDoc::kNormal);
    EXPECT_EQ(opened.image.MODE, XR_MODE_GRAY);
    EXPECT_EQ(opened.image.WIDTH, 33);
    std::remove(path.c_str());
}

}  // namespace
