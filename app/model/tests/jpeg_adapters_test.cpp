// The JPEG adapters, opened through the registry as the viewer opens files.
// Pictures are made with ImageMagick, encoded with cjpeg and decoded by djpeg as
// the reference; the structure cases (DNL, early EOI, truncation, hostile headers,
// 12-bit) use small DC-only files built here, so they need no tools.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "lumapix/decode_line_convert.h"
#include "lumapix/document.h"
#include "lumapix/format_adapters.h"
#include "lumapix/jpeg_decoder.h"

namespace {

using lumapix::COrvineDoc;
using lumapix::OpenOutcome;
using Bytes = std::vector<uint8_t>;

// --- Tools and files -----------------------------------------------------------

const char* const kMagick = "/usr/bin/convert";  // the real ImageMagick; /usr/local/bin/convert is not it
const char* const kCjpeg = "/usr/bin/cjpeg";
const char* const kDjpeg = "/usr/bin/djpeg";
const char* const kExiftool = "/usr/bin/exiftool";

// The first of the tools that is not installed, or "" when all are.
std::string Missing(std::initializer_list<const char*> tools) {
    for (const char* tool : tools)
        if (access(tool, X_OK) != 0) return tool;
    return "";
}

#define SKIP_WITHOUT(...)                                                                  \
    do {                                                                                   \
        std::string missing = Missing({__VA_ARGS__});                                      \
        if (!missing.empty()) GTEST_SKIP() << missing << " is not installed (scripts/install-deps)"; \
    } while (0)

bool Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::string Quote(const std::string& path) { return "'" + path + "'"; }

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

class ScratchDir {
public:
    ScratchDir() {
        const char* base = std::getenv("LUMAPIX_TEST_TMP");
        std::string pattern = std::string(base ? base : "/tmp") + "/lumapix-jpeg-XXXXXX";
        path_ = mkdtemp(pattern.data()) ? pattern : "/tmp";
    }
    ~ScratchDir() {
        if (path_ != "/tmp") std::system(("rm -rf " + Quote(path_)).c_str());
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// --- Records ---------------------------------------------------------------------

struct Record {
    XrImage image{};
    Record() = default;
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;
    ~Record() { ImageFree(&image); }
    const uint8_t* Line(uint32_t y) const { return ImageLine(&image, y); }
};

DecodeOptions Decoding(bool byLine) {
    DecodeOptions options;
    DecodeOptionsDefaults(&options);
    options.line = byLine;
    return options;
}

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

// Decodes bytes through an adapter from a real (seekable) temporary file.
CodecStatus DecodeBytes(const Bytes& bytes, DecodeAdapter adapter, const DecodeOptions& options, XrImage* out) {
    FILE* f = std::tmpfile();
    if (!f) return XR_ERR_INTERNAL;
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
    CodecStatus status = adapter(f, out, &options);
    std::fclose(f);
    return status;
}

uint32_t SampleBytes(const XrImage& image) { return ImageLineBytes(image.MODE, image.WIDTH); }

// Lines [0, lines) of a and b hold the same samples.
bool SameLines(const XrImage& a, const XrImage& b, uint32_t lines) {
    if (a.MODE != b.MODE || a.WIDTH != b.WIDTH || a.HEIGHT < lines || b.HEIGHT < lines) return false;
    for (uint32_t y = 0; y < lines; ++y)
        if (std::memcmp(ImageLine(&a, y), ImageLine(&b, y), SampleBytes(a)) != 0) return false;
    return true;
}

bool SamePixels(const XrImage& a, const XrImage& b) { return a.HEIGHT == b.HEIGHT && SameLines(a, b, a.HEIGHT); }

// Peak signal-to-noise ratio over every 8-bit sample; 99 dB for identical images.
double Psnr(const XrImage& a, const XrImage& b) {
    double squares = 0;
    uint64_t samples = 0;
    for (uint32_t y = 0; y < a.HEIGHT; ++y) {
        const uint8_t* p = ImageLine(&a, y);
        const uint8_t* q = ImageLine(&b, y);
        for (uint32_t i = 0; i < SampleBytes(a); ++i, ++samples) {
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
    static ScratchDir* dir;

    static void SetUpTestSuite() {
        dir = new ScratchDir;
        if (!Missing({kMagick}).empty()) return;
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

ScratchDir* JpegCrossCheck::dir = nullptr;

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
    EXPECT_EQ(ours.LINEINT, SampleBytes(ours));
    EXPECT_EQ(ours.SIZE, ours.LINEINT * ours.HEIGHT);
    ASSERT_EQ(ours.WIDTH, reference.doc.image.WIDTH);
    ASSERT_EQ(ours.HEIGHT, reference.doc.image.HEIGHT);
    EXPECT_TRUE(SamePixels(ours, whole.doc.image)) << "line-by-line and whole-image decodes differ";

    double psnr = Psnr(ours, reference.doc.image);
    RecordProperty("psnr_db", std::to_string(psnr));
    std::printf("[   PSNR   ] %-22s %6.2f dB against djpeg\n", c.name, psnr);
    EXPECT_GE(psnr, 45.0) << "PSNR against djpeg -dct int -nosmooth must be at least 45 dB";
}

const CrossCase kCrossCases[] = {
    {"q50_1x1", "photo.ppm", 50, "-sample 1x1"},
    {"q75_1x1", "photo.ppm", 75, "-sample 1x1"},
    {"q95_1x1", "photo.ppm", 95, "-sample 1x1"},
    {"q50_2x1", "photo.ppm", 50, "-sample 2x1"},
    {"q75_2x1", "photo.ppm", 75, "-sample 2x1"},
    {"q95_2x1", "photo.ppm", 95, "-sample 2x1"},
    {"q50_1x2", "photo.ppm", 50, "-sample 1x2"},
    {"q75_1x2", "photo.ppm", 75, "-sample 1x2"},
    {"q95_1x2", "photo.ppm", 95, "-sample 1x2"},
    {"q50_2x2", "photo.ppm", 50, "-sample 2x2"},
    {"q75_2x2", "photo.ppm", 75, "-sample 2x2"},
    {"q95_2x2", "photo.ppm", 95, "-sample 2x2"},
    {"q75_4x1", "photo.ppm", 75, "-sample 4x1"},
    {"q75_2x2_1x2", "photo.ppm", 75, "-sample 2x2,1x2,1x2"},
    {"q75_2x2_2x1", "photo.ppm", 75, "-sample 2x2,2x1,2x1"},
    {"q75_4x1_2x1", "photo.ppm", 75, "-sample 4x1,2x1,2x1"},
    {"q50_grey", "photo.ppm", 50, "-grayscale"},
    {"q75_grey", "photo.ppm", 75, "-grayscale"},
    {"q95_grey", "photo.ppm", 95, "-grayscale"},
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

// A JFIF thumbnail is uncompressed RGB in APP0: it comes back exactly, blue first.
TEST_F(JpegCrossCheck, JfifThumbnailComesBackExactly) {
    SKIP_WITHOUT(kMagick, kCjpeg);
    std::string plain = Encode("tiny.ppm", "-quality 90 -sample 2x2", "jfif_plain.jpg");
    Bytes bytes = ReadBytes(plain);
    ASSERT_GT(bytes.size(), 20u);
    ASSERT_EQ(bytes[2], 0xFF);
    ASSERT_EQ(bytes[3], 0xE0) << "cjpeg writes JFIF APP0 first";
    size_t app0End = 4 + (size_t{bytes[4]} << 8 | bytes[5]);
    // Version 1.2, no units, 1:1, a 3 x 2 thumbnail of RGB triplets.
    Bytes app0 = {0xFF, 0xE0, 0, 16 + 18, 'J', 'F', 'I', 'F', 0, 1, 2, 0, 0, 1, 0, 1, 3, 2};
    for (uint8_t i = 0; i < 18; ++i) app0.push_back(static_cast<uint8_t>(10 * i + 5));
    Bytes withThumb(bytes.begin(), bytes.begin() + 2);
    withThumb.insert(withThumb.end(), app0.begin(), app0.end());
    withThumb.insert(withThumb.end(), bytes.begin() + static_cast<std::ptrdiff_t>(app0End), bytes.end());
    std::string path = *dir / "jfif_thumb.jpg";
    WriteBytes(path, withThumb);

    DecodeOptions options = Decoding(true);
    options.jpegThumbnail = 1;
    Opened thumb(path, options);
    ASSERT_TRUE(thumb.Ok()) << "status " << thumb.doc.lastDecodeStatus;
    ASSERT_EQ(thumb.doc.image.MODE, XR_MODE_RGB);
    ASSERT_EQ(thumb.doc.image.WIDTH, 3);
    ASSERT_EQ(thumb.doc.image.HEIGHT, 2);
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 3; ++x)
            for (uint32_t c = 0; c < 3; ++c) {
                uint32_t fileIndex = (y * 3 + x) * 3 + (2 - c);  // the file has red first
                EXPECT_EQ(uint32_t{ImageLine(&thumb.doc.image, y)[3 * x + c]}, 10 * fileIndex + 5)
                    << x << "," << y << " channel " << c;
            }
    Opened picture(path, Decoding(true)), original(plain, Decoding(true));
    ASSERT_TRUE(picture.Ok()) << "status " << picture.doc.lastDecodeStatus;
    ASSERT_TRUE(original.Ok());
    EXPECT_TRUE(SamePixels(picture.doc.image, original.doc.image));
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

// A grey JPEG whose blocks carry only a DC term: flat 8 x 8 squares at chosen levels
// (sample = level + 128, or + 2048 at 12 bits), small enough to write by hand, so the
// height cases say exactly what the file holds.
struct DcOnlyJpeg {
    int precision = 8;
    uint16_t width = 16, height = 16;  // the lines the blocks cover
    int32_t statedHeight = -1;         // SOF height; -1: height
    uint16_t dataBlockRows = 0;        // block rows with entropy data; 0: all
    uint16_t dnlHeight = 0;            // DNL segment after the data
    bool eoi = true;

    uint32_t Columns() const { return (width + 7u) / 8; }
    // Neighbouring blocks differ, so a line in the wrong place shows.
    int32_t Level(uint32_t block) const {
        int32_t range = precision == 8 ? 110 : 1900;
        return static_cast<int32_t>(block * 37 % static_cast<uint32_t>(2 * range)) - range;
    }

    Bytes Build() const {
        Bytes out;
        auto u8 = [&](uint32_t v) { out.push_back(static_cast<uint8_t>(v)); };
        auto u16 = [&](uint32_t v) { u8(v >> 8), u8(v & 0xFF); };
        u16(0xFFD8);
        u16(0xFFDB), u16(67), u8(0);  // all steps 1: the DC coefficient is 8 x level
        for (int i = 0; i < 64; ++i) u8(1);
        u16(precision == 8 ? 0xFFC0 : 0xFFC1), u16(11), u8(static_cast<uint32_t>(precision));
        u16(static_cast<uint32_t>(statedHeight < 0 ? height : statedHeight)), u16(width), u8(1), u16(0x0111), u8(0);
        // DC: categories 0-13 as 4-bit codes 0-13, 14 and 15 as 5-bit codes 28 and 29.
        u16(0xFFC4), u16(2 + 17 + 16), u8(0x00);
        for (int length = 1; length <= 16; ++length) u8(length == 4 ? 14 : length == 5 ? 2 : 0);
        for (uint32_t v = 0; v < 16; ++v) u8(v);
        u16(0xFFC4), u16(2 + 17 + 1), u8(0x10), u8(1);  // AC: end of block only, code "0"
        for (int i = 0; i < 16; ++i) u8(0);
        u16(0xFFDA), u16(8), u8(1), u8(1), u8(0x00), u8(0), u8(63), u8(0);

        uint32_t accumulator = 0, bits = 0;
        auto put = [&](uint32_t value, uint32_t count) {
            for (uint32_t i = count; i-- > 0;) {
                accumulator = accumulator << 1 | (value >> i & 1);
                if (++bits < 8) continue;
                u8(accumulator);
                if (accumulator == 0xFF) u8(0);
                accumulator = bits = 0;
            }
        };
        uint32_t blocks = Columns() * (dataBlockRows ? dataBlockRows : (height + 7u) / 8);
        for (uint32_t b = 0; b < blocks; ++b) {
            int32_t diff = 8 * (Level(b) - (b ? Level(b - 1) : 0));
            uint32_t magnitude = static_cast<uint32_t>(diff < 0 ? -diff : diff), category = 0;
            while (magnitude >> category) ++category;
            put(category < 14 ? category : 14 + category, category < 14 ? 4 : 5);
            if (category) put(static_cast<uint32_t>(diff < 0 ? diff + (1 << category) - 1 : diff), category);
            put(0, 1);
        }
        if (bits) put(0xFF, 8 - bits);  // pad with one bits
        if (dnlHeight) u16(0xFFDC), u16(4), u16(dnlHeight);
        if (eoi) u16(0xFFD9);
        return out;
    }

    // Every sample within 1 of its block's level: integer IDCTs may round either way.
    testing::AssertionResult Holds(const XrImage& image) const {
        int32_t offset = precision == 8 ? 128 : 2048, scale = precision == 8 ? 1 : 16;
        for (uint32_t y = 0; y < image.HEIGHT; ++y) {
            const uint8_t* line = ImageLine(&image, y);
            for (uint32_t x = 0; x < width; ++x) {
                int32_t got = scale == 1 ? line[x] : line[2 * x] | line[2 * x + 1] << 8;
                int32_t want = (Level(y / 8 * Columns() + x / 8) + offset) * scale;
                if (std::abs(got - want) > scale)
                    return testing::AssertionFailure() << "sample " << x << "," << y << " is " << got << ", not " << want;
            }
        }
        return testing::AssertionSuccess();
    }
};

struct Decoded {
    Record record;
    CodecStatus status;
    Decoded(const Bytes& bytes, bool byLine, DecodeAdapter adapter = jpg_decode) {
        status = DecodeBytes(bytes, adapter, Decoding(byLine), &record.image);
    }
};

// How tall the record comes out: the frame's height, the DNL height, the lines before
// an early EOI, and never more than the 16383 lines allocated for unknown or larger heights.
TEST(JpegAdapters, RecordHeightFollowsWhatTheFileDelivers) {
    struct Case {
        const char* name;
        uint16_t width, height;
        int32_t stated;
        uint16_t dnl, dataBlockRows, expected;
    };
    const Case cases[] = {
        {"stated", 37, 29, -1, 0, 0, 29},
        {"DNL", 21, 37, 0, 37, 0, 37},
        {"EOI after 32 of 64 lines", 16, 64, -1, 0, 4, 32},
        {"DNL beyond 16383", 8, 16400, 0, 16400, 0, 16383},
        {"stated beyond 16383", 8, 16400, -1, 0, 0, 16383},
    };
    for (const Case& c : cases) {
        DcOnlyJpeg jpeg;
        jpeg.width = c.width, jpeg.height = c.height, jpeg.statedHeight = c.stated;
        jpeg.dnlHeight = c.dnl, jpeg.dataBlockRows = c.dataBlockRows;
        for (bool byLine : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (byLine ? ", by line" : ", whole"));
            Decoded d(jpeg.Build(), byLine);
            ASSERT_EQ(d.status, XR_OK);
            EXPECT_EQ(d.record.image.MODE, XR_MODE_GRAY);
            EXPECT_EQ(d.record.image.HEIGHT, c.expected);
            EXPECT_EQ(d.record.image.SIZE, d.record.image.LINEINT * c.expected);
            EXPECT_TRUE(jpeg.Holds(d.record.image));
        }
    }
}

// Data that simply stops: a failure, but the record keeps every line decoded before it.
TEST(JpegAdapters, TruncatedDataFailsAndKeepsTheLinesDecoded) {
    DcOnlyJpeg jpeg;
    jpeg.width = 64, jpeg.height = 96, jpeg.eoi = false;
    Bytes bytes = jpeg.Build();
    ASSERT_GT(bytes.size(), 200u);
    bytes.erase(bytes.end() - 40, bytes.end());  // the last three block rows or so
    for (bool byLine : {true, false}) {
        SCOPED_TRACE(byLine ? "by line" : "whole");
        Decoded d(bytes, byLine);
        EXPECT_NE(d.status, XR_OK);
        const XrImage& image = d.record.image;
        ASSERT_NE(image.PIXELS, nullptr);
        EXPECT_GE(image.HEIGHT, 16);
        EXPECT_LT(image.HEIGHT, 96);
        EXPECT_EQ(image.SIZE, image.LINEINT * image.HEIGHT);
        EXPECT_TRUE(jpeg.Holds(image));
    }
}

TEST(JpegAdapters, TwelveBitGreyBecomesGraywAndHasNoScaledForm) {
    DcOnlyJpeg jpeg;
    jpeg.precision = 12, jpeg.width = 24, jpeg.height = 16;
    Decoded line(jpeg.Build(), true), whole(jpeg.Build(), false);
    ASSERT_EQ(line.status, XR_OK);
    ASSERT_EQ(whole.status, XR_OK);
    EXPECT_EQ(line.record.image.MODE, XR_MODE_GRAYW);
    EXPECT_EQ(line.record.image.FMT, 12);
    EXPECT_EQ(line.record.image.SIZE, 48u * 16);
    EXPECT_TRUE(jpeg.Holds(line.record.image));
    EXPECT_TRUE(SamePixels(line.record.image, whole.record.image));
    DecodeOptions options = Decoding(true);
    options.targetMode = 0;  // the file's mode
    Record scaled;
    EXPECT_EQ(DecodeBytes(jpeg.Build(), jpg_decode_scaled, options, &scaled.image), XR_ERR_UNSUPPORTED);
    EXPECT_EQ(scaled.image.PIXELS, nullptr);
}

// Hostile sizes fail with -1 before an allocation of their size is tried.
TEST(JpegAdapters, HugeHeadersFailCleanly) {
    for (auto [width, height] : {std::pair<uint32_t, uint32_t>{65535, 65535}, {65535, 0}, {20000, 20000}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        Bytes bytes = DcOnlyJpeg{}.Build();
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
    EXPECT_EQ(DecodeBytes(DcOnlyJpeg{}.Build(), jpg_decode_scaled, options, &scaled.image), XR_ERR_INTERNAL);
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
        EXPECT_NE(DecodeBytes({}, adapter, options, &empty.image), XR_OK);
        EXPECT_EQ(empty.image.PIXELS, nullptr);
        EXPECT_EQ(DecodeBytes(Bytes(text.begin(), text.end()), adapter, options, &words.image), XR_JPG_MARKER);
        EXPECT_EQ(words.image.PIXELS, nullptr);
    }
}

}  // namespace
