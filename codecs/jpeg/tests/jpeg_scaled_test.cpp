// Scaled decode: crop, nearest-line vertical steps, horizontal stretch and mode
// conversion, compared with the plain decode passed through the same line routines.
#include <gtest/gtest.h>

#include <cstring>

#include "jpeg_test_support.hpp"
#include "lumapix/decode_line_convert.h"

namespace {

using namespace jpegtest;

int32_t Pattern(size_t c, uint32_t x, uint32_t y) { return static_cast<int32_t>((x * 13 + y * 7 + c * 50 + x * y) % 256); }

Bytes Colour(EncodeOptions o = {}) {
    return Encode(MakePicture(40, 30, 8, {{1, 2, 2}, {2, 1, 1, 1, 1, 1}, {3, 1, 1, 1, 1, 1}}, Pattern, 3), o);
}

struct Scaled {
    CodecStatus status = XR_OK;
    uint32_t lines = 0;
    uint32_t lineBytes = 0;
    std::vector<uint8_t> pixels;
    const uint8_t* Line(uint32_t y) const { return pixels.data() + size_t{y} * lineBytes; }
};

Scaled DecodeScaled(const Bytes& file, const XrRect* region, int32_t mode, uint16_t width, uint16_t height,
                    uint32_t step = 0, bool byLine = false) {
    Scaled r;
    OpenDecoder o(file);
    if (o.headerStatus != XR_OK) {
        r.status = o.headerStatus;
        return r;
    }
    std::vector<uint8_t> line(size_t{o.header.WIDTH} * 4);
    std::vector<uint8_t> palette(1024);
    XrImage out{};
    out.MODE = mode;
    out.WIDTH = width;
    out.HEIGHT = height;
    out.LINEINT = ImageLineBytes(mode, width);
    if (mode == XR_MODE_INDEX) out.PALCOUNT = 256, out.PALBUT = palette.data();
    r.lineBytes = out.LINEINT;
    r.pixels.assign(size_t{out.LINEINT} * height, 0);
    JpgDecSetRegion(o.get(), region);
    JpgDecSetLineBuffer(o.get(), line.data());
    r.status = JpgDecSetScaledOutput(o.get(), &out, step);
    if (r.status != XR_OK) return r;
    if (byLine) {
        for (uint32_t y = 0; y < height && r.status == XR_OK; ++y) {
            r.status = JpgDecDecodeScaledLine(o.get(), r.pixels.data() + size_t{y} * out.LINEINT);
            if (r.status == XR_OK) ++r.lines;
        }
    } else {
        r.status = JpgDecDecodeScaledImage(o.get(), r.pixels.data(), &r.lines);
    }
    return r;
}

// Plain decode cropped, converted and stretched with the library's line routines.
std::vector<uint8_t> Expected(const Decoded& plain, const XrRect& clip, int32_t mode, uint16_t width,
                              uint32_t sourceLine) {
    const XrLineConverterTables* t = DecodeLineConvertTables();
    std::vector<uint8_t> work(size_t{plain.header.WIDTH} * 4);
    std::memcpy(work.data(), plain.Line(sourceLine), plain.lineBytes);
    t->extract[plain.header.MODE](work.data(), clip.x, clip.width);
    t->convert[mode](work.data(), clip.width, plain.header.MODE, nullptr, 0, 0);
    std::vector<uint8_t> out(ImageLineBytes(mode, width));
    t->stretch[mode](work.data(), clip.width, out.data(), width);
    return out;
}

TEST(JpegScaled, WholeImageEqualsThePlainDecode) {
    Bytes file = Colour();
    Decoded plain = Decode(file);
    for (bool byLine : {false, true}) {
        Scaled s = DecodeScaled(file, nullptr, XR_MODE_RGB, 40, 30, 0, byLine);
        ASSERT_EQ(s.status, XR_OK);
        EXPECT_EQ(s.lines, 30u);
        EXPECT_EQ(s.pixels, plain.pixels);
    }
}

TEST(JpegScaled, CropStepsAndStretch) {
    Bytes file = Colour();
    Decoded plain = Decode(file);
    XrRect clip{5, 3, 20, 10};
    struct Case {
        int32_t mode;
        uint16_t width, height;
    };
    for (Case c : {Case{XR_MODE_RGB, 20, 10}, Case{XR_MODE_RGB, 20, 20}, Case{XR_MODE_RGB, 20, 5},
                   Case{XR_MODE_RGB, 33, 7}, Case{XR_MODE_GRAY, 20, 10}, Case{XR_MODE_INDEX, 9, 10},
                   Case{XR_MODE_YUV, 40, 10}, Case{XR_MODE_MONO, 20, 10}}) {
        Scaled s = DecodeScaled(file, &clip, c.mode, c.width, c.height);
        ASSERT_EQ(s.status, XR_OK) << c.mode;
        ASSERT_EQ(s.lines, c.height);
        uint32_t step = (uint32_t{clip.height} << 16) / c.height;
        for (uint32_t y = 0; y < c.height; ++y) {
            // Nearest line: output line y shows source line clip.y + floor(y * step).
            uint32_t source = clip.y + static_cast<uint32_t>((uint64_t{y} * step) >> 16);
            std::vector<uint8_t> want = Expected(plain, clip, c.mode, c.width, source);
            ASSERT_EQ(0, std::memcmp(s.Line(y), want.data(), want.size())) << c.mode << " line " << y;
        }
    }
}

TEST(JpegScaled, GreySourceAndRegionEdges) {
    Bytes grey = Encode(MakePicture(25, 18, 8, {{1, 1, 1}}, Pattern, 2));
    Decoded plain = Decode(grey);
    XrRect beyond{20, 10, 100, 100};  // clipped to 5 x 8
    Scaled s = DecodeScaled(grey, &beyond, XR_MODE_RGB, 5, 8);
    ASSERT_EQ(s.status, XR_OK);
    for (uint32_t y = 0; y < 8; ++y) {
        std::vector<uint8_t> want = Expected(plain, XrRect{20, 10, 5, 8}, XR_MODE_RGB, 5, 10 + y);
        ASSERT_EQ(0, std::memcmp(s.Line(y), want.data(), want.size()));
    }
    XrRect outside{30, 0, 0, 0};
    EXPECT_EQ(DecodeScaled(grey, &outside, XR_MODE_GRAY, 5, 5).status, XR_ERR_UNSUPPORTED);
}

TEST(JpegScaled, UnknownHeightAndExplicitStep) {
    Bytes file = Colour({.heightInDnl = true});
    Decoded plain = Decode(Colour());
    // One source line per output line: the first lines match, then the image ends.
    Scaled s = DecodeScaled(file, nullptr, XR_MODE_RGB, 40, 35, 0x10000);
    EXPECT_EQ(s.status, XR_JPG_END_OF_IMAGE);
    EXPECT_EQ(s.lines, 30u);
    EXPECT_EQ(0, std::memcmp(s.pixels.data(), plain.pixels.data(), plain.pixels.size()));
    // With the step derived from 65535 lines, the second output line lies past the end.
    Scaled derived = DecodeScaled(file, nullptr, XR_MODE_RGB, 40, 4);
    EXPECT_EQ(derived.status, XR_JPG_END_OF_IMAGE);
    EXPECT_EQ(derived.lines, 1u);
}

TEST(JpegScaled, RefusedCombinations) {
    Bytes file = Colour();
    EXPECT_EQ(DecodeScaled(file, nullptr, XR_MODE_RGBW, 10, 10).status, XR_ERR_UNSUPPORTED);
    EXPECT_EQ(DecodeScaled(file, nullptr, XR_MODE_LAB, 10, 10).status, XR_ERR_UNSUPPORTED);
    Bytes g3fax = Segment(0xE1, {'G', '3', 'F', 'A', 'X', 0, 0x07, 0xCA, 0x00, 0xC8});
    EXPECT_EQ(DecodeScaled(Colour({.segments = {g3fax}}), nullptr, XR_MODE_RGB, 10, 10).status, XR_ERR_UNSUPPORTED);
    Bytes twelve = Encode(MakePicture(16, 16, 12, {{1, 1, 1}}, Pattern), {.sof = 0xC1, .wideQuant = true});
    EXPECT_EQ(DecodeScaled(twelve, nullptr, XR_MODE_GRAY, 10, 10).status, XR_ERR_UNSUPPORTED);

    OpenDecoder o(file);
    XrImage out = o.header;
    EXPECT_EQ(JpgDecSetScaledOutput(o.get(), &out, 0), XR_ERR_ARGUMENT);  // no line buffer
    uint8_t line[64];
    EXPECT_EQ(JpgDecDecodeScaledLine(o.get(), line), XR_ERR_ARGUMENT);  // not set up

    Bytes jfif = Colour({.segments = {Jfif(0, 1, 1, 1, 1, {1, 2, 3})}});
    OpenDecoder thumb(jfif, true);
    ASSERT_EQ(thumb.headerStatus, XR_OK);
    std::vector<uint8_t> buffer(16);
    JpgDecSetLineBuffer(thumb.get(), buffer.data());
    out = thumb.header;
    EXPECT_EQ(JpgDecSetScaledOutput(thumb.get(), &out, 0), XR_JPG_THUMB_MODE);
    EXPECT_EQ(JpgDecDecodeScaledLine(thumb.get(), line), XR_JPG_THUMB_MODE);
}

}  // namespace
