// The encoder against its own tables and formulas, our decoder, and the Debian
// tools (djpeg, cjpeg, ImageMagick, exiftool).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "jpeg_enc_internal.hpp"
#include "jpeg_internal.hpp"
#include "jpeg_test_support.hpp"
#include "lumapix/jpeg_encoder.h"

namespace {

using namespace jpegtest;

struct Params {
    uint8_t quality = 90;
    uint8_t colourSpace = XR_JPG_CS_YCBCR;
    uint8_t appMode = XR_JPG_WRITE_NONE;
    uint8_t subsampling = XR_JPG_SUB_420;
    const JpgAppInfo* app = nullptr;
    const JpgThumbnail* thumb = nullptr;
    const uint16_t* tables = nullptr;
    bool byLine = false;
};

struct Encoded {
    CodecStatus status = XR_OK;
    Bytes bytes;
};

int32_t Append(uint8_t* data, int32_t count, void* user) {
    auto* out = static_cast<Bytes*>(user);
    out->insert(out->end(), data, data + count);
    return count;
}

// A record over caller-owned pixels.
struct Image {
    XrImage record{};
    Bytes pixels;
    Image(int32_t mode, uint16_t width, uint16_t height, int8_t fmt = 0) {
        record.MODE = mode;
        record.WIDTH = width;
        record.HEIGHT = height;
        record.FMT = fmt;
        record.LINEINT = (ImageLineBytes(mode, width) + 3) & ~3u;
        pixels.assign(size_t{record.LINEINT} * height, 0);
        record.PIXELS = pixels.data();
    }
    uint8_t* Line(uint32_t y) { return pixels.data() + size_t{y} * record.LINEINT; }
};

Encoded Encode(const XrImage& image, const Params& p = {}) {
    std::vector<std::max_align_t> handle(static_cast<size_t>(JpgEncGetHandleSize()) / sizeof(std::max_align_t) + 1);
    Encoded result;
    uint8_t staging[XR_STREAM_BUFFER_SIZE + XR_STREAM_RESERVED];
    CodecStream stream;
    StreamInit(&stream, staging, sizeof staging, &result.bytes, Append);
    void* h = handle.data();
    JpgEncInit(h);
    JpgEncSetStream(h, &stream, nullptr);
    CodecStatus status =
        JpgEncSetParams(h, p.quality, p.tables, p.colourSpace, p.appMode, p.subsampling, p.app, p.thumb);
    uint32_t workSize = 0;
    if (!status) status = JpgEncSetImage(h, &image, &workSize);
    Bytes work(workSize);
    if (!status) status = JpgEncSetWorkBuffer(h, work.data(), workSize);
    if (!status && p.byLine) {
        for (uint32_t y = 0; y < image.HEIGHT && !status; ++y)
            status = JpgEncEncodeLine(h, static_cast<const uint8_t*>(image.PIXELS) + size_t{y} * image.LINEINT);
    } else if (!status) {
        status = JpgEncEncodeImage(h, static_cast<const uint8_t*>(image.PIXELS));
    }
    CodecStatus end = JpgEncEnd(h);
    result.status = status ? status : end;
    return result;
}

// Smooth shading, edges and some noise, as B, G, R.
Image PhotoLike(uint16_t width, uint16_t height) {
    Image image(XR_MODE_RGB, width, height);
    uint32_t state = 7;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            state = state * 1103515245u + 12345u;
            int noise = static_cast<int>(state >> 29) - 4;
            double fx = x / double(width), fy = y / double(height);
            int r = int(190 * fx + 40 * std::sin(y * 0.21)) + noise;
            int g = int(170 * fy + 50 * std::cos(x * 0.13 + y * 0.04)) + noise;
            int b = int(120 + 100 * std::sin((x + y) * 0.05)) + noise;
            uint8_t* p = image.Line(y) + 3 * x;
            p[0] = uint8_t(std::clamp(b, 0, 255)), p[1] = uint8_t(std::clamp(g, 0, 255)), p[2] = uint8_t(std::clamp(r, 0, 255));
        }
    return image;
}

// PSNR of a binary PPM/PGM (R, G, B or grey) against the record (B, G, R).
double Psnr(const Image& source, const Bytes& pnm) {
    uint32_t w = 0, h = 0, channels = 0;
    Bytes ref = PnmPixels(pnm, &w, &h, &channels);
    if (w != source.record.WIDTH || h != source.record.HEIGHT || ref.size() < size_t{w} * h * channels) return 0;
    double sum = 0;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            for (uint32_t c = 0; c < 3; ++c) {
                const uint8_t* p = source.pixels.data() + size_t{y} * source.record.LINEINT + 3 * x;
                int theirs = ref[(size_t{y} * w + x) * channels + (channels == 3 ? c : 0)];
                double e = theirs - p[2 - c];
                sum += e * e;
            }
    double mse = sum / (3.0 * w * h);
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// PSNR of our own decode (B, G, R) against the source.
double Psnr(const Image& source, const Decoded& d) {
    if (d.header.WIDTH != source.record.WIDTH || d.lines != source.record.HEIGHT) return 0;
    double sum = 0;
    const uint32_t n = 3u * source.record.WIDTH;
    for (uint32_t y = 0; y < d.lines; ++y)
        for (uint32_t i = 0; i < n; ++i) {
            double e = double(d.Line(y)[i]) - source.pixels[size_t{y} * source.record.LINEINT + i];
            sum += e * e;
        }
    double mse = sum / (double(n) * d.lines);
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// The body of the n-th segment with this marker, empty when absent.
Bytes FindSegment(const Bytes& file, uint8_t marker, int n = 0) {
    for (size_t i = 2; i + 4 <= file.size();) {
        if (file[i] != 0xFF) break;
        uint8_t m = file[i + 1];
        size_t length = size_t{file[i + 2]} << 8 | file[i + 3];
        if (m == marker && n-- == 0) return Bytes(file.begin() + long(i) + 4, file.begin() + long(i + 2 + length));
        if (m == 0xDA) break;
        i += 2 + length;
    }
    return {};
}

bool Tools() { return HaveTool("djpeg") && HaveTool("cjpeg") && HaveTool("convert"); }

TEST(JpegEncoder, QuantisationTablesFollowTheQualityScale) {
    Image image = PhotoLike(16, 16);
    Bytes q50 = Encode(image.record, {.quality = 50}).bytes;
    for (int t = 0; t < 2; ++t) {
        Bytes dqt = FindSegment(q50, 0xDB, t);
        ASSERT_EQ(dqt.size(), 65u);
        EXPECT_EQ(dqt[0], t);
        const uint8_t* annex = t ? lumapix::jpeg::kAnnexChrominance : lumapix::jpeg::kAnnexLuminance;
        for (size_t k = 0; k < 64; ++k) EXPECT_EQ(dqt[1 + k], annex[lumapix::jpeg::kZigZag[k]]) << t << " " << k;
    }
    for (uint8_t quality : {uint8_t{99}, uint8_t{100}, uint8_t{255}}) {
        Bytes file = Encode(image.record, {.quality = quality}).bytes;
        for (int t = 0; t < 2; ++t) {
            Bytes dqt = FindSegment(file, 0xDB, t);
            EXPECT_TRUE(std::all_of(dqt.begin() + 1, dqt.end(), [](uint8_t v) { return v == 2; })) << int(quality);
        }
    }
    // Quality 0 acts as 1: every entry at the 255 ceiling.
    Bytes coarse = FindSegment(Encode(image.record, {.quality = 0}).bytes, 0xDB);
    EXPECT_TRUE(std::all_of(coarse.begin() + 1, coarse.end(), [](uint8_t v) { return v == 255; }));
}

// cjpeg writes the Annex K Huffman tables and, at quality 50, the Annex K quantisation tables.
TEST(JpegEncoder, TablesMatchCjpeg) {
    if (!Tools()) GTEST_SKIP() << "cjpeg not installed";
    Image image = PhotoLike(32, 16);
    Bytes ours = Encode(image.record, {.quality = 50}).bytes;
    Bytes ppm = Ppm(32, 16, [&](uint32_t x, uint32_t y, uint8_t rgb[3]) {
        for (uint32_t c = 0; c < 3; ++c) rgb[c] = image.Line(y)[3 * x + 2 - c];
    });
    Bytes theirs = RunTool("cjpeg -quality 50 -sample 2x2 -dct int", ppm, "tables.ppm");
    ASSERT_FALSE(theirs.empty());
    // cjpeg orders its DHT segments DC0, AC0, DC1, AC1; ours are DC0, DC1, AC0, AC1.
    for (int n = 0; n < 4; ++n) EXPECT_EQ(FindSegment(ours, 0xC4, n), FindSegment(theirs, 0xC4, n % 2 * 2 + n / 2)) << n;
    for (int n = 0; n < 2; ++n) EXPECT_EQ(FindSegment(ours, 0xDB, n), FindSegment(theirs, 0xDB, n)) << n;
    EXPECT_EQ(FindSegment(ours, 0xC0), FindSegment(theirs, 0xC0));
}

TEST(JpegEncoder, ForwardDctMatchesTheDefinition) {
    uint32_t state = 1;
    for (int trial = 0; trial < 200; ++trial) {
        // Eight-bit samples, then twelve-bit ones with 16 times the range.
        const int32_t scale = trial < 100 ? 1 : 16;
        int32_t block[64];
        double input[64];
        for (int i = 0; i < 64; ++i) {
            state = state * 1664525u + 1013904223u;
            block[i] = scale * (trial % 100 < 2 ? (trial % 100 ? 127 : -128) : int32_t(state >> 24) - 128);
            input[i] = block[i];
        }
        lumapix::jpeg::ForwardDct(block, scale == 1 ? 8 : 12);
        for (int v = 0; v < 8; ++v)
            for (int u = 0; u < 8; ++u) {
                double sum = 0;
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 8; ++x)
                        sum += input[y * 8 + x] * std::cos((2 * x + 1) * u * M_PI / 16) * std::cos((2 * y + 1) * v * M_PI / 16);
                double expected = 0.25 * (u ? 1 : M_SQRT1_2) * (v ? 1 : M_SQRT1_2) * sum;
                EXPECT_NEAR(block[v * 8 + u], expected, 2.0 * scale) << trial << " " << u << "," << v;
            }
    }
}

// Every sampling, colour space and segment opens in djpeg and ImageMagick and in our decoder.
TEST(JpegEncoder, FilesOpenInIndependentDecoders) {
    if (!Tools()) GTEST_SKIP() << "djpeg or ImageMagick not installed";
    Image image = PhotoLike(97, 71);
    for (uint8_t sub : {uint8_t{0}, uint8_t{1}, uint8_t{2}})
        for (uint8_t app : {XR_JPG_WRITE_NONE, XR_JPG_WRITE_JFIF, XR_JPG_WRITE_EXIF, XR_JPG_WRITE_DCF}) {
            Encoded e = Encode(image.record, {.quality = 90, .appMode = app, .subsampling = sub, .byLine = sub == 1});
            ASSERT_EQ(e.status, XR_OK);
            std::string what = "sampling " + std::to_string(sub) + " app " + std::to_string(app);
            EXPECT_GE(Psnr(image, RunTool("djpeg -dct float", e.bytes, "e.jpg")), 36.0) << what;
            EXPECT_GE(Psnr(image, RunTool("convert - ppm:- <", e.bytes, "e.jpg")), 36.0) << what;
            EXPECT_GE(Psnr(image, Decode(e.bytes)), 36.0) << what;
        }
    // Quality orders the error.
    double previous = 0;
    for (uint8_t quality : {uint8_t{20}, uint8_t{50}, uint8_t{75}, uint8_t{90}, uint8_t{99}}) {
        Encoded e = Encode(image.record, {.quality = quality, .subsampling = 2});
        double psnr = Psnr(image, RunTool("djpeg -dct float", e.bytes, "q.jpg"));
        EXPECT_GT(psnr, previous) << int(quality);
        previous = psnr;
    }
    EXPECT_GE(previous, 44.0);
}

TEST(JpegEncoder, OddSizesArePaddedByRepetition) {
    if (!Tools()) GTEST_SKIP() << "djpeg not installed";
    Image image(XR_MODE_RGB, 17, 9);
    for (uint32_t y = 0; y < 9; ++y)
        for (uint32_t x = 0; x < 17; ++x) {
            uint8_t* p = image.Line(y) + 3 * x;
            p[0] = uint8_t(x * 15), p[1] = uint8_t(y * 28), p[2] = uint8_t(x == 16 ? 250 : 60);
        }
    Encoded e = Encode(image.record, {.quality = 95});
    ASSERT_EQ(e.status, XR_OK);
    Bytes sof = FindSegment(e.bytes, 0xC0);
    ASSERT_EQ(sof.size(), 15u);
    EXPECT_EQ((sof[1] << 8 | sof[2]), 9);
    EXPECT_EQ((sof[3] << 8 | sof[4]), 17);
    EXPECT_EQ(sof[7], 0x22);
    Bytes decoded = RunTool("djpeg -dct float -nosmooth", e.bytes, "odd.jpg");
    EXPECT_GE(Psnr(image, decoded), 28.0);
    // Padding repeats the last column, so the red edge column keeps its 2x2 chroma.
    uint32_t w, h, channels;
    Bytes rgb = PnmPixels(decoded, &w, &h, &channels);
    ASSERT_EQ(rgb.size(), size_t{17} * 9 * 3);
    for (uint32_t y = 0; y < 9; ++y) EXPECT_GE(rgb[(y * 17 + 16) * 3], 220) << y;
}

TEST(JpegEncoder, GreyRecords) {
    if (!Tools()) GTEST_SKIP() << "djpeg not installed";
    Image grey(XR_MODE_GRAY, 40, 24);
    for (uint32_t y = 0; y < 24; ++y)
        for (uint32_t x = 0; x < 40; ++x) grey.Line(y)[x] = uint8_t(x * 5 + y);
    // As YCbCr: three components whose chroma is neutral.
    Encoded ycc = Encode(grey.record, {.quality = 95, .subsampling = 1});
    ASSERT_EQ(ycc.status, XR_OK);
    EXPECT_EQ(FindSegment(ycc.bytes, 0xC0)[5], 3);
    uint32_t w, h, channels;
    Bytes rgb = PnmPixels(RunTool("djpeg -dct float", ycc.bytes, "g.jpg"), &w, &h, &channels);
    ASSERT_EQ(channels, 3u);
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
        EXPECT_LE(std::abs(rgb[i] - rgb[i + 1]), 1);
        EXPECT_LE(std::abs(rgb[i] - rgb[i + 2]), 1);
    }
    // As grey: one component, close to the source.
    Encoded one = Encode(grey.record, {.quality = 95, .colourSpace = XR_JPG_CS_GRAY});
    ASSERT_EQ(one.status, XR_OK);
    Bytes pgm = PnmPixels(RunTool("djpeg -dct float", one.bytes, "g1.jpg"), &w, &h, &channels);
    ASSERT_EQ(channels, 1u);
    for (uint32_t y = 0; y < 24; ++y)
        for (uint32_t x = 0; x < 40; ++x) EXPECT_NEAR(pgm[y * 40 + x], grey.Line(y)[x], 3);
    // 4:4:4 has no grey converter.
    EXPECT_EQ(Encode(grey.record, {.subsampling = 2}).status, XR_ERR_UNSUPPORTED);
}

TEST(JpegEncoder, TwelveBitFrames) {
    Image image(XR_MODE_RGBW, 40, 20, 12);
    for (uint32_t y = 0; y < 20; ++y)
        for (uint32_t x = 0; x < 40; ++x)
            for (uint32_t c = 0; c < 3; ++c) {
                uint16_t v = uint16_t((x * 50 + y * 30 * (c + 1)) << 4);
                image.Line(y)[6 * x + 2 * c] = uint8_t(v), image.Line(y)[6 * x + 2 * c + 1] = uint8_t(v >> 8);
            }
    EXPECT_EQ(Encode(image.record, {.subsampling = 0}).status, XR_ERR_UNSUPPORTED);
    JpgAppInfo app{};
    Encoded e = Encode(image.record, {.quality = 99, .appMode = XR_JPG_WRITE_EXIF, .subsampling = 1, .app = &app});
    ASSERT_EQ(e.status, XR_OK);
    EXPECT_TRUE(FindSegment(e.bytes, 0xE1).empty());  // no segments in 12-bit files
    Bytes sof = FindSegment(e.bytes, 0xC1);
    ASSERT_FALSE(sof.empty());
    EXPECT_EQ(sof[0], 12);
    EXPECT_EQ(FindSegment(e.bytes, 0xC4, 0).size(), 33u);  // DHT length 35
    EXPECT_EQ(FindSegment(e.bytes, 0xC4, 2).size(), 243u); // DHT length 245
    Decoded d = Decode(e.bytes);
    ASSERT_EQ(d.status, XR_OK);
    EXPECT_EQ(d.header.MODE, XR_MODE_RGBW);
    double worst = 0;
    for (uint32_t y = 0; y < 20; ++y)
        for (uint32_t i = 0; i < 120; i += 2) {
            auto word = [&](const uint8_t* p) { return (p[i] | p[i + 1] << 8) >> 4; };
            worst = std::max(worst, std::abs(double(word(d.Line(y))) - word(image.Line(y))));
        }
    EXPECT_LE(worst, 24.0);  // of 4095
    Image grey(XR_MODE_GRAYW, 9, 9, 12);
    for (size_t i = 0; i < grey.pixels.size(); i += 2) grey.pixels[i + 1] = uint8_t(i * 3);
    Encoded g = Encode(grey.record, {.quality = 99, .colourSpace = XR_JPG_CS_GRAY});
    ASSERT_EQ(g.status, XR_OK);
    EXPECT_EQ(Decode(g.bytes).status, XR_OK);
}

TEST(JpegEncoder, OtherColourSpaces) {
    if (!Tools()) GTEST_SKIP() << "ImageMagick not installed";
    Image image = PhotoLike(48, 32);
    // CMYK and YCCK, in Adobe's inverted form, through ImageMagick and our decoder.
    for (uint8_t cs : {XR_JPG_CS_CMYK, XR_JPG_CS_YCCK}) {
        Encoded e = Encode(image.record, {.quality = 95, .colourSpace = cs});
        ASSERT_EQ(e.status, XR_OK);
        EXPECT_EQ(FindSegment(e.bytes, 0xC0)[5], 4);
        Bytes adobe = FindSegment(e.bytes, 0xEE);
        ASSERT_EQ(adobe.size(), 12u);
        EXPECT_EQ(adobe[11], cs == XR_JPG_CS_YCCK ? 2 : 0);
        EXPECT_GE(Psnr(image, Decode(e.bytes)), 34.0) << int(cs);
        EXPECT_GE(Psnr(image, RunTool("convert - -colorspace sRGB ppm:- <", e.bytes, "c.jpg")), 30.0) << int(cs);
    }
    // CIELab: with the G3FAX segment our decoder reads it back as Lab.
    Encoded lab = Encode(image.record, {.quality = 95, .colourSpace = XR_JPG_CS_LAB, .appMode = XR_JPG_WRITE_G3FAX,
                                        .subsampling = 2});
    ASSERT_EQ(lab.status, XR_OK);
    EXPECT_EQ(FindSegment(lab.bytes, 0xE1).size(), 10u);
    EXPECT_GE(Psnr(image, Decode(lab.bytes, {.mode = XR_MODE_RGB})), 30.0);
    Image labRecord(XR_MODE_LAB, 16, 16);
    EXPECT_EQ(Encode(labRecord.record, {.colourSpace = XR_JPG_CS_LAB}).status, XR_OK);
    EXPECT_EQ(Encode(labRecord.record, {.colourSpace = XR_JPG_CS_YCBCR}).status, XR_ERR_UNSUPPORTED);
}

// Records already in YCbCr: Y, Cb, Cr per pixel; pairs; 2 x 2 squares.
TEST(JpegEncoder, PresampledYccRecords) {
    const struct { int32_t mode; uint8_t sub; uint16_t width, height; } cases[] = {
        {XR_MODE_YUV3, 2, 20, 10}, {XR_MODE_X4, 1, 10, 10}, {XR_MODE_X6, 0, 10, 5}};
    for (auto c : cases) {
        Image image(c.mode, c.width, c.height);
        const uint32_t bytes = ImageLineBytes(c.mode, c.width);
        for (uint32_t y = 0; y < c.height; ++y)
            for (uint32_t i = 0; i < bytes; ++i) image.Line(y)[i] = uint8_t(100 + (i % 3) * 20);
        Encoded e = Encode(image.record, {.quality = 95, .subsampling = c.sub});
        ASSERT_EQ(e.status, XR_OK) << c.mode;
        Decoded d = Decode(e.bytes);
        ASSERT_EQ(d.status, XR_OK);
        EXPECT_EQ(d.header.WIDTH, 20);
        EXPECT_EQ(d.lines, 10u);
        EXPECT_EQ(Encode(image.record, {.subsampling = uint8_t((c.sub + 1) % 3)}).status, XR_ERR_UNSUPPORTED);
    }
}

TEST(JpegEncoder, ExifReadsBackInExiftool) {
    if (!HaveTool("exiftool") || !Tools()) GTEST_SKIP() << "exiftool not installed";
    Image image = PhotoLike(64, 48);
    Image thumb = PhotoLike(16, 12);
    Encoded thumbJpeg = Encode(thumb.record, {.quality = 99});
    JpgAppInfo app{};
    std::strcpy(app.ifd0.Make, "QUILLBAY");
    std::strcpy(app.ifd0.Model, "ABC");  // fits the entry itself
    std::memcpy(app.ifd0.DateTime, "2004:07:01 12:00:00", 19);
    app.ifd1.Compression = 6;
    JpgThumbnail jpegThumb{16, 12, thumbJpeg.bytes.data(), uint32_t(thumbJpeg.bytes.size())};
    Encoded e = Encode(image.record, {.appMode = XR_JPG_WRITE_DCF, .subsampling = 1, .app = &app, .thumb = &jpegThumb});
    ASSERT_EQ(e.status, XR_OK);
    std::string text;
    for (uint8_t b : RunTool("exiftool -S -a", e.bytes, "exif.jpg")) text += char(b);
    for (uint8_t b : RunTool("exiftool -S -validate", e.bytes, "exif.jpg")) text += char(b);
    for (const char* expected : {"Make: QUILLBAY", "Model: ABC", "ImageDescription: IMAGEDESCRIPTION",
                                 "Orientation: Horizontal (normal)", "XResolution: 72", "ResolutionUnit: inches",
                                 "ModifyDate: 2004:07:01 12:00:00", "YCbCrPositioning: Co-sited",
                                 "ExifVersion: 0210", "ComponentsConfiguration: Y, Cb, Cr, -", "FlashpixVersion: 0100",
                                 "ColorSpace: sRGB", "ExifImageWidth: 64", "ExifImageHeight: 48",
                                 "InteropIndex: R98 - DCF basic file (sRGB)", "InteropVersion: 0100",
                                 "Compression: JPEG (old-style)", "ThumbnailLength: "})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    EXPECT_NE(text.find("Validate: OK"), std::string::npos) << text;
    EXPECT_EQ(RunTool("exiftool -b -ThumbnailImage", e.bytes, "exif.jpg"), thumbJpeg.bytes);

    // Our decoder reads the fields and the thumbnail back.
    Decoded d = Decode(e.bytes, {.thumbnail = true});
    EXPECT_EQ(d.status, XR_OK);
    EXPECT_EQ(d.header.WIDTH, 16);
    EXPECT_STREQ(Decode(e.bytes).app.ifd0.Make, "QUILLBAY");

    // Uncompressed RGB thumbnail, plain Exif.
    Bytes rgb(3 * 8 * 6, 0x80);
    app.ifd1.Compression = 1;
    JpgThumbnail rawThumb{8, 6, rgb.data(), uint32_t(rgb.size())};
    Encoded raw = Encode(image.record, {.appMode = XR_JPG_WRITE_EXIF, .app = &app, .thumb = &rawThumb});
    ASSERT_EQ(raw.status, XR_OK);
    text.clear();
    for (uint8_t b : RunTool("exiftool -S -a", raw.bytes, "raw.jpg")) text += char(b);
    // Exif 2.2 allows only JPEG thumbnails in JPEG files, so exiftool's validation frowns on these.
    for (const char* expected : {"Compression: Uncompressed", "ImageWidth: 8", "ImageHeight: 6",
                                 "BitsPerSample: 8 8 8", "StripByteCounts: 144", "YCbCrPositioning: Centered"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    EXPECT_EQ(text.find("InteropIndex"), std::string::npos);
}

TEST(JpegEncoder, JfifAndG3faxSegments) {
    Image image = PhotoLike(16, 8);
    JpgAppInfo app{};
    app.units = 1, app.xDensity = 300, app.yDensity = 150;
    Bytes rgb(3 * 2 * 2);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 20);
    JpgThumbnail thumb{2, 2, rgb.data(), uint32_t(rgb.size())};
    Encoded jfif = Encode(image.record, {.appMode = XR_JPG_WRITE_JFIF, .app = &app, .thumb = &thumb});
    ASSERT_EQ(jfif.status, XR_OK);
    Bytes app0 = FindSegment(jfif.bytes, 0xE0);
    Bytes expected = {'J', 'F', 'I', 'F', 0, 1, 2, 1, 1, 44, 0, 150, 2, 2};
    expected.insert(expected.end(), rgb.begin(), rgb.end());
    EXPECT_EQ(app0, expected);
    Decoded d = Decode(jfif.bytes);
    EXPECT_EQ(d.app.xDensity, 300);
    EXPECT_EQ(d.appMode, uint32_t{XR_JPG_APP_JFIF});

    app.g3faxResolution = 400;
    Bytes g3 = FindSegment(Encode(image.record, {.appMode = XR_JPG_WRITE_G3FAX, .app = &app}).bytes, 0xE1);
    EXPECT_EQ(g3, (Bytes{'G', '3', 'F', 'A', 'X', 0, 0x07, 0xCA, 0x01, 0x90}));
}

TEST(JpegEncoder, RefusesBadCallsAndKeepsTheFirstFailure) {
    EXPECT_EQ(JpgEncInit(nullptr), XR_ERR_ARGUMENT);
    EXPECT_EQ(JpgEncEnd(nullptr), XR_ERR_ARGUMENT);
    Image image = PhotoLike(16, 16);
    auto statusOf = [](const XrImage& record, Params p = {}) { return Encode(record, p).status; };
    XrImage bad = image.record;
    bad.WIDTH = 0;
    EXPECT_EQ(statusOf(bad), XR_ERR_MISMATCH);
    bad = image.record, bad.LINEINT = 47;
    EXPECT_EQ(statusOf(bad), XR_ERR_MISMATCH);
    bad = image.record, bad.FMT = 16;
    EXPECT_EQ(statusOf(bad), XR_ERR_MISMATCH);
    for (int32_t mode : {int32_t{XR_MODE_INDEX}, int32_t{XR_MODE_MONO}, int32_t{XR_MODE_YUV_PLANAR}, 99}) {
        bad = image.record, bad.MODE = mode;
        EXPECT_EQ(statusOf(bad), XR_ERR_MISMATCH) << mode;
    }
    bad = image.record, bad.MODE = XR_MODE_HIGH;  // accepted, but nothing converts it
    EXPECT_EQ(statusOf(bad), XR_ERR_UNSUPPORTED);

    uint16_t tables[128];
    std::fill(std::begin(tables), std::end(tables), uint16_t{3});
    EXPECT_EQ(statusOf(image.record, {.tables = tables}), XR_OK);
    tables[70] = 1;
    EXPECT_EQ(statusOf(image.record, {.tables = tables}), XR_ERR_UNSUPPORTED);
    tables[70] = 0;
    EXPECT_EQ(statusOf(image.record, {.tables = tables}), XR_ERR_ARGUMENT);

    JpgAppInfo app{};
    Bytes data(10);
    JpgThumbnail noData{4, 4, nullptr, 0};
    EXPECT_EQ(statusOf(image.record, {.appMode = XR_JPG_WRITE_EXIF, .app = &app, .thumb = &noData}), XR_ERR_ARGUMENT);
    JpgThumbnail thumb{4, 4, data.data(), 10};
    EXPECT_EQ(statusOf(image.record, {.appMode = XR_JPG_WRITE_EXIF, .thumb = &thumb}), XR_ERR_ARGUMENT);
    app.ifd1.Compression = 3;
    EXPECT_EQ(statusOf(image.record, {.appMode = XR_JPG_WRITE_EXIF, .app = &app, .thumb = &thumb}), XR_ERR_ARGUMENT);

    // A line before the work buffer; the failure sticks and End still closes the stream.
    std::vector<std::max_align_t> handle(size_t(JpgEncGetHandleSize()) / sizeof(std::max_align_t) + 1);
    Bytes out;
    uint8_t staging[256];
    CodecStream stream;
    StreamInit(&stream, staging, sizeof staging, &out, Append);
    void* h = handle.data();
    JpgEncInit(h);
    JpgEncSetStream(h, &stream, nullptr);
    uint32_t work = 0;
    EXPECT_EQ(JpgEncSetImage(h, &image.record, &work), XR_OK);
    EXPECT_EQ(work, 16u * 48);
    EXPECT_EQ(JpgEncEncodeLine(h, image.pixels.data()), XR_ERR_WORK_BUFFER);
    Bytes buffer(work);
    EXPECT_EQ(JpgEncSetWorkBuffer(h, buffer.data(), work), XR_ERR_WORK_BUFFER);
    EXPECT_EQ(JpgEncEnd(h), XR_ERR_WORK_BUFFER);
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ(out[out.size() - 2], 0xFF);
    EXPECT_EQ(out.back(), 0xD9);
}

TEST(JpegEncoder, StreamFailureIsSticky) {
    Image image = PhotoLike(256, 128);
    std::vector<std::max_align_t> handle(size_t(JpgEncGetHandleSize()) / sizeof(std::max_align_t) + 1);
    int calls = 0;
    uint8_t staging[XR_STREAM_RESERVED + 64];
    CodecStream stream;
    StreamInit(&stream, staging, sizeof staging, &calls, [](uint8_t*, int32_t count, void* user) {
        return ++*static_cast<int*>(user) > 20 ? -1 : count;
    });
    void* h = handle.data();
    JpgEncInit(h);
    JpgEncSetStream(h, &stream, nullptr);
    uint32_t work = 0;
    ASSERT_EQ(JpgEncSetImage(h, &image.record, &work), XR_OK);
    Bytes buffer(work);
    ASSERT_EQ(JpgEncSetWorkBuffer(h, buffer.data(), work), XR_OK);
    EXPECT_EQ(JpgEncEncodeImage(h, image.pixels.data()), XR_ERR_STREAM_CALLBACK);
    EXPECT_EQ(JpgEncEncodeLine(h, image.pixels.data()), XR_ERR_STREAM_CALLBACK);
    EXPECT_EQ(JpgEncEnd(h), XR_ERR_STREAM_CALLBACK);
}

}  // namespace
