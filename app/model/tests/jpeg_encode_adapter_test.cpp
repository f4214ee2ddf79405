// Saving JPEG through the registry's adapter: thumbnails, segments and records
// the encoder cannot take directly, read back through the decode adapters.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "lumapix/format_adapters.h"
#include "lumapix/jpeg_decoder.h"
#include "lumapix/test_images.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Record {
    XrImage image{};
    ~Record() { ImageFree(&image); }
};

EncodeOptions Jpeg(uint8_t appMode, bool thumbnail, bool byLine = true) {
    EncodeOptions options;
    EncodeOptionsDefaults(&options);
    options.jpegAppMode = appMode;
    options.jpegThumbnail = thumbnail;
    options.line = byLine;
    return options;
}

// Encodes through jpg_encode into a temporary file and returns its bytes.
CodecStatus Save(XrImage& record, const EncodeOptions& options, Bytes* bytes) {
    FILE* f = std::tmpfile();
    CodecStatus status = jpg_encode(f, &record, &options);
    std::fflush(f);
    bytes->assign(static_cast<size_t>(std::ftell(f)), 0);
    std::rewind(f);
    if (!bytes->empty() && std::fread(bytes->data(), 1, bytes->size(), f) != bytes->size()) status = -2;
    std::fclose(f);
    return status;
}

CodecStatus Open(const Bytes& bytes, bool thumbnail, XrImage* out) {
    FILE* f = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
    DecodeOptions options;
    DecodeOptionsDefaults(&options);
    options.jpegThumbnail = thumbnail;
    CodecStatus status = jpg_decode(f, out, &options);
    std::fclose(f);
    return status;
}

TEST(JpegEncodeAdapter, ThumbnailsAre160By120) {
    Record source;
    ASSERT_EQ(MakeTestImage(&source.image, XR_MODE_RGB, 300, 100), XR_OK);
    for (uint8_t app : {uint8_t{XR_JPG_WRITE_JFIF}, uint8_t{XR_JPG_WRITE_EXIF}, uint8_t{XR_JPG_WRITE_DCF}}) {
        Bytes file;
        ASSERT_EQ(Save(source.image, Jpeg(app, true), &file), XR_OK);
        Record main, thumb;
        ASSERT_EQ(Open(file, false, &main.image), XR_OK);
        EXPECT_EQ(main.image.WIDTH, 300);
        ASSERT_EQ(Open(file, true, &thumb.image), XR_OK) << int(app);
        EXPECT_EQ(thumb.image.WIDTH, 160);
        EXPECT_EQ(thumb.image.HEIGHT, 120);
        // The thumbnail shows the picture: its centre matches the main image's, channel by channel.
        const uint8_t* t = ImageLine(&thumb.image, 60) + 3 * 80;
        const uint8_t* m = ImageLine(&main.image, 50) + 3 * 150;
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(t[c], m[c], 24) << int(app) << " channel " << c;
    }
}

// Only RGB pictures get a thumbnail; the others are saved without one.
TEST(JpegEncodeAdapter, OtherModesDropTheThumbnail) {
    Record grey;
    ASSERT_EQ(MakeTestImage(&grey.image, XR_MODE_GRAY, 64, 48), XR_OK);
    JpgThumbnail thumbnail{};
    EXPECT_EQ(jpg_make_thumbnail(&grey.image, XR_JPG_WRITE_EXIF, &thumbnail), XR_ERR_ARGUMENT);
    EXPECT_EQ(thumbnail.data, nullptr);
    Bytes file;
    ASSERT_EQ(Save(grey.image, Jpeg(XR_JPG_WRITE_EXIF, true), &file), XR_OK);
    Record main, thumb;
    EXPECT_EQ(Open(file, false, &main.image), XR_OK);
    EXPECT_EQ(Open(file, true, &thumb.image), XR_JPG_NO_THUMBNAIL);
}

// Palette, bi-level, 5-6-5 and 16-bit records are converted on a copy; the caller's record is untouched.
TEST(JpegEncodeAdapter, AnyRecordSavesInAnyColourSpace) {
    for (int32_t mode : {int32_t{XR_MODE_INDEX}, int32_t{XR_MODE_MONO}, int32_t{XR_MODE_HIGH}, int32_t{XR_MODE_GRAY}}) {
        Record source;
        ASSERT_EQ(MakeTestImage(&source.image, mode, 40, 30), XR_OK);
        for (uint8_t colourSpace = 0; colourSpace <= XR_JPG_CS_YCCK; ++colourSpace)
            for (uint8_t sampling = 0; sampling <= 2; ++sampling) {
                EncodeOptions options = Jpeg(XR_JPG_WRITE_NONE, false, sampling == 1);
                options.jpegColorSpace = colourSpace;
                options.jpegSubsampling = sampling;
                Bytes file;
                ASSERT_EQ(Save(source.image, options, &file), XR_OK) << mode << " " << int(colourSpace);
                Record back;
                EXPECT_EQ(Open(file, false, &back.image), XR_OK);
                EXPECT_EQ(back.image.WIDTH, 40);
            }
        EXPECT_EQ(source.image.MODE, mode);
    }
    Record wide;
    wide.image = XrImage{};
    wide.image.MODE = XR_MODE_RGBW;
    wide.image.WIDTH = 20;
    wide.image.HEIGHT = 10;
    wide.image.FMT = 16;
    wide.image.LINEINT = ImageLineBytes(XR_MODE_RGBW, 20);
    ASSERT_EQ(ImageAlloc(&wide.image), XR_OK);
    Bytes file;
    ASSERT_EQ(Save(wide.image, Jpeg(XR_JPG_WRITE_JFIF, false), &file), XR_OK);
    EXPECT_EQ(file[file.size() - 1], 0xD9);
}

TEST(JpegEncodeAdapter, LineAndWholeCallsWriteTheSameFile) {
    Record source;
    ASSERT_EQ(MakeTestImage(&source.image, XR_MODE_RGB, 77, 41), XR_OK);
    Bytes byLine, whole;
    ASSERT_EQ(Save(source.image, Jpeg(XR_JPG_WRITE_DCF, true, true), &byLine), XR_OK);
    ASSERT_EQ(Save(source.image, Jpeg(XR_JPG_WRITE_DCF, true, false), &whole), XR_OK);
    EXPECT_EQ(byLine, whole);
}

}  // namespace
