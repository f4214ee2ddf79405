// Application segments: JFIF and Exif fields, the three kinds of embedded
// thumbnail, G3FAX and Adobe segments, and the trace text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "jpeg_test_support.hpp"

namespace {

using namespace jpegtest;

int32_t Gradient(size_t c, uint32_t x, uint32_t y) { return static_cast<int32_t>((x * 9 + y * 5 + c * 60) % 256); }

Picture Main() { return MakePicture(24, 16, 8, {{1, 2, 1}, {2, 1, 1, 1, 1, 1}, {3, 1, 1, 1, 1, 1}}, Gradient, 2); }

Bytes WithSegments(std::vector<Bytes> segments, const Picture& p = Main()) {
    return Encode(p, {.segments = std::move(segments)});
}

Bytes Counting(size_t n, uint8_t start = 3) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(start + i * 29);
    return b;
}

TEST(JpegJfif, FieldsAndThumbnail) {
    Bytes rgb = Counting(2 * 3 * 3);
    Bytes file = WithSegments({Jfif(1, 300, 200, 2, 3, rgb)});
    Decoded main = Decode(file);
    ASSERT_EQ(main.status, XR_OK);
    EXPECT_EQ(main.appMode, XR_JPG_APP_JFIF);
    const JpgAppInfo& a = main.app;
    EXPECT_EQ(std::tuple(a.jfifMajor, a.jfifMinor, a.units, a.xDensity, a.yDensity, a.thumbWidth, a.thumbHeight),
              std::tuple(1, 2, 1, 300, 200, 2, 3));
    EXPECT_EQ(a.g3faxResolution, 200) << "the default";
    EXPECT_EQ(main.pixels, Decode(Encode(Main())).pixels);

    Decoded thumb = Decode(file, {.thumbnail = true});
    ASSERT_EQ(thumb.status, XR_OK);
    EXPECT_EQ(std::tuple(thumb.header.MODE, thumb.header.WIDTH, thumb.header.HEIGHT, thumb.header.LINEINT, thumb.workSize),
              std::tuple(XR_MODE_RGB, 2, 3, 6u, 0u));
    for (size_t i = 0; i < 6; ++i)
        for (size_t k = 0; k < 3; ++k) EXPECT_EQ(thumb.pixels[3 * i + k], rgb[3 * i + 2 - k]);

    // Line and scaled calls have nothing to decode in this mode.
    OpenDecoder open(file, true);
    ASSERT_EQ(open.headerStatus, XR_OK);
    uint8_t line[64];
    EXPECT_EQ(JpgDecDecodeLine(open.get(), line, nullptr), XR_JPG_THUMB_MODE);
    EXPECT_EQ(JpgDecSetOutput(open.get(), &open.header), XR_JPG_THUMB_MODE);
    XrImage wrong = open.header;
    wrong.WIDTH = 3;
    EXPECT_EQ(JpgDecSetThumbOutput(open.get(), &wrong), XR_ERR_MISMATCH);
    wrong = open.header;
    wrong.MODE = XR_MODE_GRAY;
    EXPECT_EQ(JpgDecSetThumbOutput(open.get(), &wrong), XR_ERR_MISMATCH);
}

TEST(JpegJfif, MissingOrBrokenThumbnail) {
    EXPECT_EQ(Decode(Encode(Main()), {.thumbnail = true}).headerStatus, XR_JPG_NO_THUMBNAIL);
    EXPECT_EQ(Decode(WithSegments({Jfif(0, 1, 1)}), {.thumbnail = true}).headerStatus, XR_JPG_NO_THUMBNAIL);
    // A thumbnail the segment cannot hold counts as absent; the main image still decodes.
    Bytes shortThumb = WithSegments({Jfif(0, 1, 1, 4, 4, Counting(10))});
    EXPECT_EQ(Decode(shortThumb, {.thumbnail = true}).headerStatus, XR_JPG_NO_THUMBNAIL);
    EXPECT_EQ(Decode(shortThumb).status, XR_OK);
}

TEST(JpegApp, SegmentKinds) {
    EXPECT_EQ(Decode(WithSegments({Segment(0xE0, {'J', 'F', 'X', 'X', 0, 0x10})})).appMode, XR_JPG_APP_JFXX);
    EXPECT_EQ(Decode(WithSegments({Segment(0xE0, {'J', 'F'})})).appMode, XR_JPG_APP_UNKNOWN);
    EXPECT_EQ(Decode(WithSegments({Segment(0xE0, {'A', 'V', 'I', '1', 0, 0})})).appMode, XR_JPG_APP_UNKNOWN);
    EXPECT_EQ(Decode(WithSegments({Segment(0xE1, {'h', 't', 't', 'p', ':', '/', '/'})})).appMode, XR_JPG_APP_UNKNOWN);
    Decoded g3 = Decode(WithSegments({Segment(0xE1, {'G', '3', 'F', 'A', 'X', 0, 0x07, 0xCA, 0x00, 0xC8})}));
    EXPECT_EQ(g3.appMode, XR_JPG_APP_G3FAX);
    EXPECT_EQ(g3.header.MODE, XR_MODE_LAB);
    // Segments the decoder does not read leave the mode alone.
    Decoded com = Decode(WithSegments({Jfif(0, 1, 1), Segment(0xFE, {'h', 'i'}), Segment(0xE2, {1, 2, 3})}));
    EXPECT_EQ(com.appMode, XR_JPG_APP_JFIF);
    EXPECT_EQ(com.status, XR_OK);
}

// IFD0 and Exif entries of a typical camera file.
std::vector<Entry> Ifd0(const TiffBuilder& t) {
    return {t.Ascii(270, "A description longer than four bytes"), t.Ascii(271, "Ab"), t.Ascii(272, "Model 9"),
            t.Short(274, {6}), t.Rational(282, 72, 1), t.Rational(283, 300, 2), t.Short(296, {2}),
            t.Ascii(306, "2021:03:04 05:06:07"), t.Short(531, {2}), t.Ascii(271, "Second make is ignored")};
}

std::vector<Entry> ExifIfd(const TiffBuilder& t) {
    return {t.Undefined(36864, {'0', '2', '3', '0'}), t.Ascii(36867, "2020:01:02 03:04:05"),
            t.Ascii(36868, "2019:12:31 23:59:58"), t.Undefined(37121, {1, 2, 3, 0}),
            t.Undefined(40960, {'0', '1', '0', '0'}), t.Short(40961, {1}), t.Long(40962, 4000),
            t.Short(40963, {3000}), t.Short(999, {7})};
}

std::string Trace(const Decoded& d, uint32_t size = 4096) {
    std::string text(size, '\0');
    text.resize(JpgFormatAppTrace(d.appMode, &d.app, text.data(), size));
    return text;
}

// Every field of Ifd0() and ExifIfd() comes back, so the trace shows them all.
TEST(JpegExif, FieldsReadBackInBothByteOrders) {
    for (bool motorola : {true, false}) {
        TiffBuilder t;
        t.motorola = motorola;
        Bytes thumbnail = Encode(MakePicture(8, 8, 8, {{1, 1, 1}}, Gradient, 4));
        std::vector<Entry> ifd1 = {t.Short(259, {6}), t.Long(513, 0), t.Long(514, static_cast<uint32_t>(thumbnail.size())),
                                   t.Rational(282, 96, 1), t.Short(530, {2, 1})};
        Decoded d = Decode(WithSegments({ExifSegment(t.Build(Ifd0(t), ExifIfd(t), ifd1, thumbnail))}), {.chunk = 5});
        ASSERT_EQ(d.status, XR_OK) << motorola;
        EXPECT_EQ(d.appMode, XR_JPG_APP_EXIF);
        EXPECT_NE(d.app.ifd0.ExifIFDPointer, 0u);
        std::string ifd0 =
            "APP_MODE : EXIF\n"
            "ImageDescription      : A description longer than four bytes\n"
            "Make                  : Ab\n"
            "Model                 : Model 9\n"
            "Orientation           : 6\n"
            "XResolution           : 72/1\n"
            "YResolution           : 300/2\n"
            "ResolutionUnit        : 2\n"
            "DateTime              : 2021:03:04 05:06:07\n"
            "YCbCrPositioning      : 2\n"
            "ExifIFDPointer        : " + std::to_string(d.app.ifd0.ExifIFDPointer) + "\n"
            "ExifVersion             : 0230\n"
            "ComponentsConfiguration : 01020300\n"
            "FlashPixVersion         : 0100\n"
            "ColorSpace              : 1\n"
            "PixelXDimension         : 4000\n"
            "PixelYDimension         : 3000\n";
        std::string text = Trace(d);
        EXPECT_EQ(text.substr(0, ifd0.size()), ifd0) << motorola;
        // IFD1 holds no versions: they are absent rather than NUL characters.
        EXPECT_NE(text.find("ExifVersion             : \nComponentsConfiguration : 00000000\n", ifd0.size()), std::string::npos);
        const ExifIfdRecord& i1 = d.app.ifd1;
        EXPECT_TRUE(i1.Compression == 6 && i1.JPEGInterchangeFormat != 0 && i1.XResolution[0] == 96 &&
                    i1.YCbCrSubSampling[0] == 2 && i1.YCbCrSubSampling[1] == 1);
        EXPECT_EQ(i1.JPEGInterchangeFormatLength, thumbnail.size());
        EXPECT_EQ(d.pixels, Decode(Encode(Main())).pixels);
    }
}

TEST(JpegExif, ParsedOnlyWhenTheStreamCanSeek) {
    TiffBuilder t;
    Bytes file = WithSegments({ExifSegment(t.Build(Ifd0(t), {}, {}, {}))});
    Decoded d = Decode(file, {.seekable = false});
    ASSERT_EQ(d.status, XR_OK);
    EXPECT_EQ(d.appMode, XR_JPG_APP_EXIF);
    EXPECT_EQ(d.app.ifd0.Orientation, 0);
    EXPECT_EQ(Decode(file).app.ifd0.Orientation, 6);
}

TEST(JpegExif, StructureErrors) {
    TiffBuilder t;
    Bytes good = t.Build(Ifd0(t), ExifIfd(t), {}, {});
    auto status = [](const Bytes& tiff) { return Decode(WithSegments({ExifSegment(tiff)})).headerStatus; };
    ASSERT_EQ(status(good), XR_OK);
    Bytes b = good;
    b[0] = b[1] = 'X';
    EXPECT_EQ(status(b), XR_JPG_EXIF);
    b = good;
    b[3] = 43;
    EXPECT_EQ(status(b), XR_JPG_EXIF);
    b = good;
    b[7] = 4;  // IFD0 inside the header
    EXPECT_EQ(status(b), XR_JPG_EXIF);
    b = good;
    b[8] = 0x40;  // entry count far beyond the segment
    EXPECT_EQ(status(b), XR_JPG_EXIF);
    b = good;
    b[10 + 8] = 0x7F;  // first entry's string offset beyond the segment
    EXPECT_EQ(status(b), XR_JPG_EXIF);
    b = Bytes(good.begin(), good.begin() + 30);  // the directory is cut off
    EXPECT_EQ(status(b), XR_JPG_EXIF);
    EXPECT_EQ(status(Bytes{'M', 'M', 0}), XR_JPG_EXIF);
    // IFD1 pointer beyond the segment.
    Bytes ifd1 = t.Build(Ifd0(t), {}, {t.Short(259, {6})}, {});
    size_t next = 8 + 2 + 12 * Ifd0(t).size();
    ifd1[next] = 0x7F;
    EXPECT_EQ(status(ifd1), XR_JPG_EXIF);
}

TEST(JpegThumb, ExifJpegThumbnailDecodesThroughTheMainPath) {
    TiffBuilder t;
    Picture small = MakePicture(20, 12, 8, {{1, 2, 2}, {2, 1, 1, 1, 1, 1}, {3, 1, 1, 1, 1, 1}}, Gradient, 3);
    Bytes thumbnail = Encode(small, {.segments = {Jfif(0, 1, 1)}});
    std::vector<Entry> ifd1 = {t.Short(259, {6}), t.Long(513, 0), t.Long(514, static_cast<uint32_t>(thumbnail.size()))};
    Bytes file = WithSegments({Jfif(1, 72, 72), ExifSegment(t.Build(Ifd0(t), ExifIfd(t), ifd1, thumbnail))});
    Decoded thumb = Decode(file, {.thumbnail = true});
    ASSERT_EQ(thumb.status, XR_OK);
    EXPECT_EQ(thumb.header.WIDTH, 20);
    EXPECT_EQ(thumb.header.HEIGHT, 12);
    EXPECT_EQ(thumb.pixels, Decode(thumbnail).pixels);
    EXPECT_EQ(Decode(file).pixels, Decode(Encode(Main())).pixels);
    // In thumbnail mode a JPEG thumbnail also decodes line by line.
    OpenDecoder open(file, true);
    ASSERT_EQ(open.headerStatus, XR_OK);
    XrImage record = open.header;
    ASSERT_EQ(JpgDecSetThumbOutput(open.get(), &record), XR_OK);
    Bytes line(60);
    EXPECT_EQ(JpgDecDecodeLine(open.get(), line.data(), nullptr), XR_OK);
    EXPECT_EQ(0, std::memcmp(line.data(), thumb.pixels.data(), 60));
}

TEST(JpegThumb, ExifUncompressedRgbAndYcbcr) {
    TiffBuilder t;
    Bytes rgb = Counting(3 * 3 * 2);
    std::vector<Entry> rgbIfd = {t.Long(256, 3), t.Long(257, 2), t.Short(258, {8, 8, 8}), t.Short(259, {1}),
                                 t.Short(262, {2}), t.Long(273, 0), t.Short(277, {3}), t.Long(279, 18)};
    Decoded d = Decode(WithSegments({ExifSegment(t.Build(Ifd0(t), {}, rgbIfd, rgb))}), {.thumbnail = true});
    ASSERT_EQ(d.status, XR_OK);
    EXPECT_EQ(d.header.WIDTH, 3);
    EXPECT_EQ(d.header.HEIGHT, 2);
    EXPECT_EQ(d.app.ifd1.BitsPerSample[2], 8);
    for (size_t i = 0; i < 6; ++i)
        for (size_t k = 0; k < 3; ++k) EXPECT_EQ(d.pixels[3 * i + k], rgb[3 * i + 2 - k]);

    for (uint16_t sv : {uint16_t{1}, uint16_t{2}}) {
        // 3 x 3 pixels: two data units per row, units of sv x 2 luma samples, Cb, Cr.
        uint32_t unitRows = sv == 1 ? 3 : 2, unitBytes = 2u * sv + 2;
        Bytes data = Counting(2 * unitRows * unitBytes, 40);
        std::vector<Entry> ycc = {t.Long(256, 3), t.Long(257, 3), t.Short(259, {1}), t.Short(262, {6}),
                                  t.Long(273, 0), t.Short(530, {2, sv})};
        Decoded y = Decode(WithSegments({ExifSegment(t.Build(Ifd0(t), {}, ycc, data))}), {.thumbnail = true});
        ASSERT_EQ(y.status, XR_OK) << sv;
        for (uint32_t py = 0; py < 3; ++py)
            for (uint32_t px = 0; px < 3; ++px) {
                const uint8_t* unit = data.data() + ((py / sv) * 2 + px / 2) * unitBytes;
                uint8_t want[3];
                ExpectedYcc(unit[(py % sv) * 2 + px % 2], unit[unitBytes - 2], unit[unitBytes - 1], want);
                EXPECT_EQ(0, std::memcmp(y.pixels.data() + (py * 3 + px) * 3, want, 3)) << sv << " " << px << "," << py;
            }
    }
}

TEST(JpegThumb, UnsupportedOrOverrunningThumbnails) {
    TiffBuilder t;
    auto thumb = [&](std::vector<Entry> ifd1, size_t bytes) {
        return Decode(WithSegments({ExifSegment(t.Build(Ifd0(t), {}, std::move(ifd1), Counting(bytes)))}),
                      {.thumbnail = true});
    };
    std::vector<Entry> base = {t.Long(256, 4), t.Long(257, 4), t.Short(259, {1}), t.Long(273, 0)};
    auto with = [&](std::vector<Entry> more) {
        std::vector<Entry> e = base;
        e.insert(e.end(), more.begin(), more.end());
        return e;
    };
    EXPECT_EQ(thumb(with({t.Short(262, {5})}), 64).headerStatus, XR_ERR_UNSUPPORTED);
    EXPECT_EQ(thumb(with({t.Short(262, {6}), t.Short(530, {4, 1})}), 64).headerStatus, XR_ERR_UNSUPPORTED);
    EXPECT_EQ(thumb(with({t.Short(262, {2})}), 47).headerStatus, XR_JPG_EXIF);  // 4 x 4 x 3 bytes needed
    EXPECT_EQ(thumb(with({t.Short(262, {2})}), 48).headerStatus, XR_OK);
    std::vector<Entry> other = {t.Short(259, {5}), t.Long(273, 0)};
    EXPECT_EQ(thumb(other, 16).headerStatus, XR_ERR_UNSUPPORTED);
}

TEST(JpegTrace, ExactTexts) {
    Decoded none = Decode(Encode(Main()));
    EXPECT_EQ(Trace(none), "APP_MODE : NOTHING\n");
    for (uint32_t mode : {2u, 5u, 6u, 99u}) {
        none.appMode = mode;
        EXPECT_EQ(Trace(none), "APP_MODE : UNKNOWN\n");
    }
    Decoded jfif = Decode(WithSegments({Jfif(2, 118, 119, 1, 1, {1, 2, 3})}));
    EXPECT_EQ(Trace(jfif),
              "APP_MODE : JFIF\n"
              "Major Version     : 1\n"
              "Minor Version     : 2\n"
              "Units             : 2\n"
              "Xdensity          : 118\n"
              "Ydensity          : 119\n"
              "Thumbnail-Width   : 1\n"
              "Thumbnail-Height  : 1\n"
              "Thumbnail Image   : Exist\n");
    // The text is cut to the buffer and stays terminated.
    char text[10];
    EXPECT_EQ(JpgFormatAppTrace(jfif.appMode, &jfif.app, text, sizeof text), 9u);
    EXPECT_STREQ(text, "APP_MODE ");
    EXPECT_EQ(JpgFormatAppTrace(jfif.appMode, &jfif.app, nullptr, 0), 0u);
}

}  // namespace
