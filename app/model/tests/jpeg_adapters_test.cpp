// The JPEG adapters, opened through the registry as the viewer opens files.
// Pictures are made with ImageMagick, encoded with cjpeg and decoded by djpeg as
// the reference; the structure cases (DNL, early EOI, truncation, hostile headers,
// 12-bit) use small flat-block files built here, so they need no tools.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "lumapix/decode_line_convert.h"
#include "lumapix/document.h"
#include "jpeg_test_support.hpp"
#include "lumapix/jpeg_decoder.h"
#include "model_test_support.hpp"
#include "test_files.hpp"

namespace {

using namespace modeltest;
using lumapix::COrvineDoc;
using lumapix::OpenOutcome;
using testfiles::kMagick;
using testfiles::Quote;
using testfiles::ReadBytes;
using testfiles::Shell;
using testfiles::WriteBytes;

const char* const kCjpeg = "/usr/bin/cjpeg";
const char* const kDjpeg = "/usr/bin/djpeg";
const char* const kExiftool = "/usr/bin/exiftool";

#define SKIP_WITHOUT(...)                                                                             \
    for (const char* tool : {__VA_ARGS__})                                                            \
        if (!testfiles::HaveTool(tool)) GTEST_SKIP() << tool << " is not installed (scripts/install-deps)"

// Opens path through the document as the viewer does; the record is the document's.
struct Opened {
    COrvineDoc doc;
    Opened(const std::string& path, DecodeOptions options) {
        lumapix::DocumentQuestions questions;
        outcome = lumapix::OpenDocument(doc, path, options, questions);
    }
    OpenOutcome outcome;
    bool Ok() const { return outcome == OpenOutcome::kOpened && doc.status == COrvineDoc::kNormal; }
};

// Peak signal-to-noise ratio over every 8-bit sample; 99 dB for identical images.
double Psnr(const XrImage& a, const XrImage& b) {
    double squares = 0;
    uint64_t samples = 0;
    for (uint32_t y = 0; y < a.HEIGHT; ++y) {
        const uint8_t* p = ImageLine(&a, y);
        const uint8_t* q = ImageLine(&b, y);
        for (uint32_t i = 0; i < ImageLineBytes(a.MODE, a.WIDTH); ++i, ++samples) {
            double d = double(p[i]) - double(q[i]);
            squares += d * d;
        }
    }
    if (squares == 0) return 99.0;
    return 10.0 * std::log10(255.0 * 255.0 * double(samples) / squares);
}

// --- Cross-checks against djpeg ---------------------------------------------------

// Source pictures: smooth plasma (a fixed seed) blurred like a photograph, crossed by
// hard edges that ring in the DCT: a rectangle outline, a diagonal and a filled disc.
class JpegCrossCheck : public testing::Test {
protected:
    static testfiles::ScratchDir* dir;

    static void SetUpTestSuite() {
        dir = new testfiles::ScratchDir("lumapix-jpeg");
        if (!testfiles::HaveTool(kMagick)) return;
        MakePicture(333, 217, *dir / "photo.ppm");
        MakePicture(7, 5, *dir / "tiny.ppm");
        MakePicture(80, 52, *dir / "thumb.ppm");
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }

    static void MakePicture(int width, int height, const std::string& path) {
        std::ostringstream c;
        c << kMagick << " -seed 11 -size " << width << "x" << height << " plasma:tomato-steelblue -blur 0x2"
          << " -fill none -stroke black -strokewidth 3 -draw 'rectangle " << width / 8 << "," << height / 7 << " "
          << width / 2 << "," << height / 2 << "'"
          << " -stroke white -strokewidth 1 -draw 'line 0," << height - 1 << " " << width - 1 << ",0'"
          << " -stroke none -fill yellow -draw 'circle " << 3 * width / 4 << "," << 2 * height / 3 << " "
          << 3 * width / 4 + width / 10 << "," << 2 * height / 3 << "' -depth 8 " << Quote(path);
        Shell(c.str());
    }

    // cjpeg's output for a source picture under the given switches.
    static std::string Encode(const std::string& source, const std::string& switches, const std::string& name) {
        std::string path = *dir / name;
        EXPECT_TRUE(Shell(std::string(kCjpeg) + " " + switches + " -outfile " + Quote(path) + " " + Quote(*dir / source)))
            << switches;
        return path;
    }

    // djpeg's reference decode: integer IDCT and replicated chroma, as ours does.
    static std::string Reference(const std::string& jpeg) {
        std::string path = jpeg + ".pnm";
        EXPECT_TRUE(Shell(std::string(kDjpeg) + " -dct int -nosmooth -pnm -outfile " + Quote(path) + " " + Quote(jpeg)));
        return path;
    }
};

testfiles::ScratchDir* JpegCrossCheck::dir = nullptr;

struct CrossCase {
    const char* name;
    const char* source;
    int quality;
    const char* switches;  // sampling, grey, restart
};

void PrintTo(const CrossCase& c, std::ostream* os) { *os << c.name; }

class JpegAgainstDjpeg : public JpegCrossCheck, public testing::WithParamInterface<CrossCase> {};

TEST_P(JpegAgainstDjpeg, LineAndWholeDecodesAgreeAndMatchDjpeg) {
    SKIP_WITHOUT(kMagick, kCjpeg, kDjpeg);
    const CrossCase& c = GetParam();
    std::string jpeg = Encode(c.source, "-quality " + std::to_string(c.quality) + " " + c.switches,
                              std::string(c.name) + ".jpg");
    Opened reference(Reference(jpeg), Decoding(true));
    ASSERT_TRUE(reference.Ok());
    bool grey = std::strstr(c.switches, "-grayscale") != nullptr;

    Opened byLine(jpeg, Decoding(true));
    Opened whole(jpeg, Decoding(false));
    ASSERT_TRUE(byLine.Ok()) << "status " << byLine.doc.lastDecodeStatus;
    ASSERT_TRUE(whole.Ok()) << "status " << whole.doc.lastDecodeStatus;
    const XrImage& ours = byLine.doc.image;
    EXPECT_EQ(ours.MODE, grey ? XR_MODE_GRAY : XR_MODE_RGB);
    EXPECT_EQ(ours.FMT, 8);
    EXPECT_EQ(ours.LINEINT, ImageLineBytes(ours.MODE, ours.WIDTH));
    EXPECT_EQ(ours.SIZE, ours.LINEINT * ours.HEIGHT);
    ASSERT_EQ(ours.WIDTH, reference.doc.image.WIDTH);
    ASSERT_EQ(ours.HEIGHT, reference.doc.image.HEIGHT);
    EXPECT_TRUE(SamePixels(ours, whole.doc.image)) << "line-by-line and whole-image decodes differ";

    double psnr = Psnr(ours, reference.doc.image);
    RecordProperty("psnr_db", std::to_string(psnr));
    std::printf("[   PSNR   ] %-22s %6.2f dB against djpeg\n", c.name, psnr);
    EXPECT_GE(psnr, 45.0) << "PSNR against djpeg -dct int -nosmooth must be at least 45 dB";
}

// Each sampling once, the qualities spread among them.
const CrossCase kCrossCases[] = {
    {"q50_1x1", "photo.ppm", 50, "-sample 1x1"},
    {"q100_1x1", "photo.ppm", 100, "-sample 1x1"},
    {"q75_2x1", "photo.ppm", 75, "-sample 2x1"},
    {"q95_1x2", "photo.ppm", 95, "-sample 1x2"},
    {"q50_2x2", "photo.ppm", 50, "-sample 2x2"},
    {"q95_2x2", "photo.ppm", 95, "-sample 2x2"},
    {"q75_4x1", "photo.ppm", 75, "-sample 4x1"},
    {"q75_2x2_1x2", "photo.ppm", 75, "-sample 2x2,1x2,1x2"},
    {"q75_2x2_2x1", "photo.ppm", 75, "-sample 2x2,2x1,2x1"},
    {"q75_4x1_2x1", "photo.ppm", 75, "-sample 4x1,2x1,2x1"},
    {"q50_grey", "photo.ppm", 50, "-grayscale"},
    {"q75_2x2_restart_row", "photo.ppm", 75, "-sample 2x2 -restart 1"},
    {"q90_2x1_restart_mcu", "photo.ppm", 90, "-sample 2x1 -restart 1B"},
    {"q75_grey_restart_row", "photo.ppm", 75, "-grayscale -restart 1"},
    {"q90_1x1_optimized", "photo.ppm", 90, "-sample 1x1 -optimize"},
    {"tiny_q90_2x2", "tiny.ppm", 90, "-sample 2x2"},
    {"tiny_q90_grey", "tiny.ppm", 90, "-grayscale"},
};

INSTANTIATE_TEST_SUITE_P(Cjpeg, JpegAgainstDjpeg, testing::ValuesIn(kCrossCases),
                         [](const testing::TestParamInfo<CrossCase>& param) { return std::string(param.param.name); });

// The scaled decode (the Stretch debug option) equals cropping, converting and
// sampling our own full decode with nearest lines and columns.
TEST_F(JpegCrossCheck, ScaledDecodeSamplesTheFullDecode) {
    SKIP_WITHOUT(kMagick, kCjpeg);
    std::string jpeg = Encode("photo.ppm", "-quality 95 -sample 2x2", "scaled.jpg");
    Opened full(jpeg, Decoding(true));
    ASSERT_TRUE(full.Ok());
    const XrImage& source = full.doc.image;

    struct Scaling {
        int32_t mode;
        uint16_t clipX, clipY, clipWidth, clipHeight, width, height;
    };
    const Scaling scalings[] = {
        {XR_MODE_GRAY, 31, 17, 200, 150, 97, 61},   // reduce, grey
        {XR_MODE_RGB, 10, 8, 40, 32, 100, 80},      // enlarge 2.5 times
        {XR_MODE_RGB, 0, 0, 0, 0, 0, 0},            // the whole picture as it is
        {XR_MODE_GRAY, 300, 200, 0, 0, 16, 9},      // window to the edges
        {XR_MODE_MONO, 5, 5, 320, 200, 64, 40},
    };
    for (const Scaling& s : scalings) {
        for (bool byLine : {true, false}) {
            SCOPED_TRACE(std::string(ImageModeName(s.mode)) + " clip " + std::to_string(s.clipX) + "," +
                         std::to_string(s.clipY) + " " + std::to_string(s.clipWidth) + "x" +
                         std::to_string(s.clipHeight) + " to " + std::to_string(s.width) + "x" +
                         std::to_string(s.height) + (byLine ? " by line" : " whole"));
            DecodeOptions options = Decoding(byLine);
            options.stretch = 1;
            options.targetMode = s.mode;
            options.clipX = s.clipX, options.clipY = s.clipY;
            options.clipWidth = s.clipWidth, options.clipHeight = s.clipHeight;
            options.targetWidth = s.width, options.targetHeight = s.height;
            Opened scaled(jpeg, options);
            ASSERT_TRUE(scaled.Ok()) << "status " << scaled.doc.lastDecodeStatus;
            const XrImage& got = scaled.doc.image;
            uint32_t width = s.width ? s.width : source.WIDTH, height = s.height ? s.height : source.HEIGHT;
            ASSERT_EQ(got.MODE, s.mode);
            ASSERT_EQ(got.WIDTH, width);
            ASSERT_EQ(got.HEIGHT, height);
            ASSERT_EQ(got.LINEINT, ImageLineBytes(s.mode, width));

            uint32_t windowWidth = s.clipWidth ? s.clipWidth : source.WIDTH - s.clipX;
            uint32_t windowHeight = s.clipHeight ? s.clipHeight : source.HEIGHT - s.clipY;
            uint32_t rowStep = (windowHeight << 16) / height;
            uint32_t columnStep = static_cast<uint32_t>((uint64_t{windowWidth} << 16) / width);
            uint32_t bytes = s.mode == XR_MODE_MONO ? 0 : ImageLineBytes(s.mode, 1);
            int mismatches = 0;
            for (uint32_t y = 0; y < height && mismatches < 5; ++y) {
                std::vector<uint8_t> line(size_t{windowWidth} * 3);
                std::memcpy(line.data(), ImageLine(&source, s.clipY + ((y * rowStep) >> 16)) + 3u * s.clipX,
                            line.size());
                ASSERT_EQ(DecodeLineConvert(line.data(), windowWidth, XR_MODE_RGB, s.mode, nullptr, 0, 0), 0);
                for (uint32_t x = 0, from = 0; x < width; ++x, from += columnStep) {
                    uint32_t at = from >> 16;
                    bool same = bytes ? std::memcmp(ImageLine(&got, y) + x * bytes, line.data() + at * bytes, bytes) == 0
                                      : (ImageLine(&got, y)[x >> 3] >> (7 - (x & 7)) & 1) ==
                                            (line[at >> 3] >> (7 - (at & 7)) & 1);
                    if (!same) {
                        ADD_FAILURE() << "pixel " << x << "," << y << " differs from source " << s.clipX + at << ","
                                      << s.clipY + ((y * rowStep) >> 16);
                        if (++mismatches == 5) break;
                    }
                }
            }
        }
    }
}

// An Exif file with a JPEG thumbnail: the thumbnail option gives the thumbnail as RGB,
// the main image is untouched by the APP1 segment, and the trace shows the Exif fields.
TEST_F(JpegCrossCheck, ExifThumbnailDecodesAndTheMainImageIgnoresIt) {
    SKIP_WITHOUT(kMagick, kCjpeg, kDjpeg, kExiftool);
    std::string plain = Encode("photo.ppm", "-quality 90 -sample 2x2", "plain.jpg");
    std::string thumb = Encode("thumb.ppm", "-quality 75 -sample 2x2", "thumb.jpg");
    std::string exif = *dir / "exif.jpg";
    WriteBytes(exif, ReadBytes(plain));
    ASSERT_TRUE(Shell(std::string(kExiftool) + " -q -overwrite_original -Make=Lumapix '-Model=Test Camera' " +
                    "'-ThumbnailImage<=" + thumb + "' " + Quote(exif)));

    DecodeOptions options = Decoding(true);
    options.jpegThumbnail = 1;
    Opened small(exif, options);
    ASSERT_TRUE(small.Ok()) << "status " << small.doc.lastDecodeStatus;
    EXPECT_EQ(small.doc.image.MODE, XR_MODE_RGB);
    EXPECT_EQ(small.doc.image.WIDTH, 80);
    EXPECT_EQ(small.doc.image.HEIGHT, 52);
    EXPECT_EQ(small.doc.image.LINEINT, 240u);
    Opened reference(Reference(thumb), Decoding(true));
    ASSERT_TRUE(reference.Ok());
    double psnr = Psnr(small.doc.image, reference.doc.image);
    std::printf("[   PSNR   ] %-22s %6.2f dB against djpeg\n", "exif_thumbnail", psnr);
    EXPECT_GE(psnr, 45.0) << "thumbnail PSNR against djpeg must be at least 45 dB";

    for (bool byLine : {true, false}) {
        Opened withExif(exif, Decoding(byLine));
        Opened without(plain, Decoding(byLine));
        ASSERT_TRUE(withExif.Ok()) << "status " << withExif.doc.lastDecodeStatus;
        ASSERT_TRUE(without.Ok());
        EXPECT_TRUE(SamePixels(withExif.doc.image, without.doc.image));
    }

    // The application-data trace: silent by default, to stderr when asked for.
    testing::internal::CaptureStderr();
    { Opened quiet(exif, Decoding(true)); }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    setenv("LUMAPIX_JPEG_TRACE", "1", 1);
    testing::internal::CaptureStderr();
    { Opened traced(exif, Decoding(true)); }
    std::string exifTrace = testing::internal::GetCapturedStderr();
    testing::internal::CaptureStderr();
    { Opened traced(plain, Decoding(true)); }
    std::string jfifTrace = testing::internal::GetCapturedStderr();
    unsetenv("LUMAPIX_JPEG_TRACE");
    EXPECT_NE(exifTrace.find("APP_MODE : EXIF\n"), std::string::npos) << exifTrace;
    EXPECT_NE(exifTrace.find("Make                  : Lumapix\n"), std::string::npos) << exifTrace;
    EXPECT_NE(exifTrace.find("Model                 : Test Camera\n"), std::string::npos) << exifTrace;
    EXPECT_NE(jfifTrace.find("APP_MODE : JFIF\n"), std::string::npos) << jfifTrace;
    EXPECT_NE(jfifTrace.find("Thumbnail Image   : Not Exist\n"), std::string::npos) << jfifTrace;
}

// Failures the document shows with the placeholder and the decoder's status.
TEST_F(JpegCrossCheck, FilesWithoutAThumbnailOrOfAnotherProcessFail) {
    SKIP_WITHOUT(kMagick, kCjpeg);
    struct Failure {
        std::string path;
        bool thumbnail;
        CodecStatus status;
    };
    const Failure failures[] = {
        {Encode("photo.ppm", "-quality 75", "nothumb.jpg"), true, XR_JPG_NO_THUMBNAIL},
        {Encode("photo.ppm", "-quality 75 -progressive", "progressive.jpg"), false, XR_JPG_PROCESS},
        {Encode("photo.ppm", "-quality 75 -progressive", "progressive_thumb.jpg"), true, XR_JPG_PROCESS},
        {Encode("photo.ppm", "-quality 75 -arithmetic", "arithmetic.jpg"), false, XR_JPG_PROCESS},
    };
    for (const Failure& f : failures) {
        for (bool byLine : {true, false}) {
            DecodeOptions options = Decoding(byLine);
            options.jpegThumbnail = f.thumbnail;
            Opened doc(f.path, options);
            ASSERT_EQ(doc.outcome, OpenOutcome::kOpened) << f.path;
            EXPECT_EQ(doc.doc.status, COrvineDoc::kFailed) << f.path;
            EXPECT_EQ(doc.doc.lastDecodeStatus, f.status) << f.path;
            EXPECT_EQ(doc.doc.image.WIDTH, 128) << "the placeholder";
            EXPECT_EQ(doc.doc.image.HEIGHT, 32) << "the placeholder";
        }
    }
}

// ImageMagick writes CMYK as an Adobe YCCK file: our RGB must be close to the source
// and to ImageMagick's own conversion back to RGB.
TEST_F(JpegCrossCheck, ImageMagickCmykDecodesAsAdobeYcck) {
    SKIP_WITHOUT(kMagick);
    std::string cmyk = *dir / "cmyk.jpg", theirs = *dir / "cmyk.ppm";
    ASSERT_TRUE(Shell(std::string(kMagick) + " " + Quote(*dir / "photo.ppm") + " -quality 95 -colorspace CMYK " + Quote(cmyk)));
    ASSERT_TRUE(Shell(std::string(kMagick) + " " + Quote(cmyk) + " -colorspace sRGB -depth 8 " + Quote(theirs)));
    Opened ours(cmyk, Decoding()), source(*dir / "photo.ppm", Decoding()), magick(theirs, Decoding());
    ASSERT_TRUE(ours.Ok() && source.Ok() && magick.Ok()) << "status " << ours.doc.lastDecodeStatus;
    EXPECT_EQ(ours.doc.image.MODE, XR_MODE_RGB);
    EXPECT_GE(Psnr(ours.doc.image, source.doc.image), 35.0);
    EXPECT_GE(Psnr(ours.doc.image, magick.doc.image), 40.0);
}

// A file cut in the middle of its scan with an EOI put after the cut, as salvage tools
// leave them: it opens with the MCU rows that were complete, exactly as in the whole file.
TEST_F(JpegCrossCheck, CutScanEndedByEoiOpensWithTheCompleteRows) {
    SKIP_WITHOUT(kMagick, kCjpeg);
    for (const char* switches : {"-grayscale", "-sample 2x2"}) {
        std::string jpeg = Encode("photo.ppm", std::string("-quality 80 ") + switches, "cut_source.jpg");
        Bytes bytes = ReadBytes(jpeg);
        const uint8_t sos[] = {0xFF, 0xDA};
        auto scan = std::search(bytes.begin(), bytes.end(), std::begin(sos), std::end(sos));
        ASSERT_NE(scan, bytes.end());
        auto end = scan + (bytes.end() - scan) * 3 / 5;
        if (end[-1] == 0xFF) --end;  // not half a marker
        Bytes cut(bytes.begin(), end);
        cut.insert(cut.end(), {0xFF, 0xD9});
        std::string path = *dir / "cut.jpg";
        WriteBytes(path, cut);
        uint32_t mcuLines = std::strcmp(switches, "-grayscale") == 0 ? 8 : 16;

        Opened full(jpeg, Decoding(true));
        ASSERT_TRUE(full.Ok());
        for (bool byLine : {true, false}) {
            SCOPED_TRACE(std::string(switches) + (byLine ? ", by line" : ", whole"));
            Opened salvaged(path, Decoding(byLine));
            ASSERT_TRUE(salvaged.Ok()) << "status " << salvaged.doc.lastDecodeStatus;
            const XrImage& image = salvaged.doc.image;
            EXPECT_GT(image.HEIGHT, 217 / 3);
            EXPECT_LT(image.HEIGHT, 217);
            EXPECT_EQ(image.HEIGHT % mcuLines, 0u);
            EXPECT_EQ(image.SIZE, image.LINEINT * image.HEIGHT);
            EXPECT_TRUE(SameLines(image, full.doc.image, image.HEIGHT));
        }
    }
}

// --- Files built here --------------------------------------------------------------

// Grey pictures of flat 8 x 8 blocks at levels that differ between neighbours, so a
// line in the wrong place shows, made with the JPEG tests' own coefficient encoder.
int32_t Level(uint32_t x, uint32_t y, uint8_t precision) {
    uint32_t n = x / 8 * 37 + y / 8 * 101;
    return static_cast<int32_t>(precision == 8 ? n % 200 + 20 : n * 17 % 3800 + 100);
}

Bytes FlatJpeg(uint16_t width, uint16_t height, uint8_t precision = 8, bool heightInDnl = false, uint32_t mcus = ~0u,
               bool eoi = true) {
    jpegtest::EncodeOptions options;
    options.heightInDnl = heightInDnl, options.stopAfterMcus = mcus, options.eoi = eoi;
    if (precision == 12) options.sof = 0xC1, options.wideQuant = true;
    auto level = [precision](size_t, uint32_t x, uint32_t y) { return Level(x, y, precision); };
    return jpegtest::Encode(jpegtest::MakePicture(width, height, precision, {{1, 1, 1}}, level), options);
}

// Every sample within 1 of its block's level (samples times 16 at 12 bits).
testing::AssertionResult HoldsLevels(const XrImage& image, uint8_t precision = 8) {
    int32_t scale = precision == 8 ? 1 : 16;
    for (uint32_t y = 0; y < image.HEIGHT; ++y)
        for (uint32_t x = 0; x < image.WIDTH; ++x) {
            const uint8_t* at = ImageLine(&image, y) + x * static_cast<uint32_t>(precision == 8 ? 1 : 2);
            int32_t got = precision == 8 ? at[0] : at[0] | at[1] << 8, want = Level(x, y, precision) * scale;
            if (std::abs(got - want) > scale)
                return testing::AssertionFailure() << "sample " << x << "," << y << " is " << got << ", not " << want;
        }
    return testing::AssertionSuccess();
}

struct Decoded {
    Record record;
    CodecStatus status;
    Decoded(const Bytes& bytes, bool byLine, DecodeAdapter adapter = jpg_decode) {
        status = DecodeWith(adapter, bytes, Decoding(byLine), &record);
    }
};

// How tall the record comes out: the frame's height, the DNL height, the lines before
// an early EOI, and never more than the 16383 lines allocated for unknown or larger heights.
TEST(JpegAdapters, RecordHeightFollowsWhatTheFileDelivers) {
    struct Case {
        const char* name;
        uint16_t width, height;
        bool dnl;
        uint32_t mcus;  // coded before the EOI
        uint16_t expected;
    };
    const Case cases[] = {
        {"stated", 37, 29, false, ~0u, 29},
        {"DNL", 21, 37, true, ~0u, 37},
        {"EOI after 32 of 64 lines", 16, 64, false, 8, 32},
        {"DNL beyond 16383", 8, 16400, true, ~0u, 16383},
        {"stated beyond 16383", 8, 16400, false, ~0u, 16383},
    };
    for (const Case& c : cases) {
        Bytes jpeg = FlatJpeg(c.width, c.height, 8, c.dnl, c.mcus);
        for (bool byLine : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (byLine ? ", by line" : ", whole"));
            Decoded d(jpeg, byLine);
            ASSERT_EQ(d.status, XR_OK);
            EXPECT_EQ(d.record.image.MODE, XR_MODE_GRAY);
            EXPECT_EQ(d.record.image.HEIGHT, c.expected);
            EXPECT_EQ(d.record.image.SIZE, d.record.image.LINEINT * c.expected);
            EXPECT_TRUE(HoldsLevels(d.record.image));
        }
    }
}

// Data that simply stops: a failure, but the record keeps every line decoded before it.
TEST(JpegAdapters, TruncatedDataFailsAndKeepsTheLinesDecoded) {
    Bytes bytes = FlatJpeg(64, 96, 8, false, ~0u, false);
    bytes.erase(bytes.end() - 40, bytes.end());  // the last two or three block rows
    for (bool byLine : {true, false}) {
        SCOPED_TRACE(byLine ? "by line" : "whole");
        Decoded d(bytes, byLine);
        EXPECT_NE(d.status, XR_OK);
        const XrImage& image = d.record.image;
        ASSERT_NE(image.PIXELS, nullptr);
        EXPECT_GE(image.HEIGHT, 16);
        EXPECT_LT(image.HEIGHT, 96);
        EXPECT_EQ(image.SIZE, image.LINEINT * image.HEIGHT);
        EXPECT_TRUE(HoldsLevels(image));
    }
}

TEST(JpegAdapters, TwelveBitGreyBecomesGraywAndHasNoScaledForm) {
    Bytes jpeg = FlatJpeg(24, 16, 12);
    Decoded line(jpeg, true), whole(jpeg, false);
    ASSERT_EQ(line.status, XR_OK);
    ASSERT_EQ(whole.status, XR_OK);
    EXPECT_EQ(line.record.image.MODE, XR_MODE_GRAYW);
    EXPECT_EQ(line.record.image.FMT, 12);
    EXPECT_EQ(line.record.image.SIZE, 48u * 16);
    EXPECT_TRUE(HoldsLevels(line.record.image, 12));
    EXPECT_TRUE(SamePixels(line.record.image, whole.record.image));
    DecodeOptions options = Decoding(true);
    options.targetMode = 0;  // the file's mode
    Record scaled;
    EXPECT_EQ(DecodeWith(jpg_decode_scaled, jpeg, options, &scaled), XR_ERR_UNSUPPORTED);
    EXPECT_EQ(scaled.image.PIXELS, nullptr);
}

// Hostile sizes fail with -1 before an allocation of their size is tried.
TEST(JpegAdapters, HugeHeadersFailCleanly) {
    for (auto [width, height] : {std::pair<uint32_t, uint32_t>{65535, 65535}, {65535, 0}, {20000, 20000}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        Bytes bytes = FlatJpeg(16, 16);
        const uint8_t sof[] = {0xFF, 0xC0};
        auto at = std::search(bytes.begin(), bytes.end(), std::begin(sof), std::end(sof)) - bytes.begin();
        // FFC0, length, precision, then height and width.
        bytes[size_t(at) + 5] = uint8_t(height >> 8), bytes[size_t(at) + 6] = uint8_t(height);
        bytes[size_t(at) + 7] = uint8_t(width >> 8), bytes[size_t(at) + 8] = uint8_t(width);
        for (bool byLine : {true, false}) {
            Decoded d(bytes, byLine);
            EXPECT_EQ(d.status, XR_ERR_INTERNAL);
            EXPECT_EQ(d.record.image.PIXELS, nullptr);
        }
        Decoded scaled(bytes, true, jpg_decode_scaled);  // the file's size as the target
        EXPECT_EQ(scaled.status, XR_ERR_INTERNAL);
        EXPECT_EQ(scaled.record.image.PIXELS, nullptr);
    }
    DecodeOptions options = Decoding(false);  // a sound file asked for a hostile target size
    options.targetWidth = options.targetHeight = 65535;
    Record scaled;
    EXPECT_EQ(DecodeWith(jpg_decode_scaled, FlatJpeg(16, 16), options, &scaled), XR_ERR_INTERNAL);
}

TEST(JpegAdapters, NotJpegOrNothingAtAll) {
    DecodeOptions options = Decoding(true);
    Record record;
    EXPECT_EQ(jpg_decode(nullptr, &record.image, &options), XR_ERR_ARGUMENT);
    EXPECT_EQ(jpg_decode_scaled(nullptr, &record.image, &options), XR_ERR_ARGUMENT);
    // More than the 4095 bytes a marker search may skip, and not one FF among them.
    std::string text;
    while (text.size() < 5000) text += "this is not a JPEG stream, only text without a single marker. ";
    for (DecodeAdapter adapter : {jpg_decode_main, jpg_decode_thumb, jpg_decode_scaled}) {
        Record empty, words;
        EXPECT_NE(DecodeWith(adapter, {}, options, &empty), XR_OK);
        EXPECT_EQ(empty.image.PIXELS, nullptr);
        EXPECT_EQ(DecodeWith(adapter, Bytes(text.begin(), text.end()), options, &words), XR_JPG_MARKER);
        EXPECT_EQ(words.image.PIXELS, nullptr);
    }
}

}  // namespace
