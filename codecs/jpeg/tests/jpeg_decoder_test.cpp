// Main-image decoding: sampling patterns and converters against a reference
// reconstruction of the coded coefficients, 12-bit samples, restart intervals,
// DNL, early EOI, and the statuses of the frame, table and scan headers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <tuple>

#include "jpeg_test_support.hpp"
#include "lumapix/pixel_formulas.h"

namespace {

using namespace jpegtest;

// Busy, smooth-and-sharp content that leaves many non-zero coefficients.
int32_t Busy(size_t c, uint32_t x, uint32_t y) {
    double v = 128 + 70 * std::sin(x * 0.61 + static_cast<double>(c)) + 40 * std::cos(y * (0.37 + 0.2 * static_cast<double>(c)));
    return static_cast<int32_t>(v) + static_cast<int32_t>((x * 7 + y * 13 + c * 5) % 23) - 11;
}

Picture YccPicture(uint8_t hy, uint8_t vy, uint8_t hc, uint8_t vc, uint16_t w = 37, uint16_t h = 29,
                   uint16_t quant = 3) {
    return MakePicture(w, h, 8, {{1, hy, vy, 0, 0, 0}, {2, hc, vc, 1, 1, 1}, {3, hc, vc, 1, 1, 1}}, Busy, quant);
}

// Every pixel of an RGB decode against the integer formula on the reference samples.
void ExpectRgbMatches(const Decoded& d, const Picture& p, uint32_t lines) {
    ASSERT_EQ(d.header.MODE, XR_MODE_RGB);
    Reference ref = Reconstruct(p);
    for (uint32_t y = 0; y < lines; ++y)
        for (uint32_t x = 0; x < p.width; ++x) {
            uint8_t bgr[3];
            ExpectedYcc(ref.At(0, x, y), ref.At(1, x, y), ref.At(2, x, y), bgr);
            const uint8_t* got = d.Line(y) + 3 * x;
            ASSERT_TRUE(got[0] == bgr[0] && got[1] == bgr[1] && got[2] == bgr[2])
                << "pixel " << x << "," << y << " got " << int{got[0]} << "," << int{got[1]} << "," << int{got[2]}
                << " want " << int{bgr[0]} << "," << int{bgr[1]} << "," << int{bgr[2]};
        }
}

void ExpectGreyMatches(const Decoded& d, const Picture& p, uint32_t lines) {
    Reference ref = Reconstruct(p);
    for (uint32_t y = 0; y < lines; ++y)
        for (uint32_t x = 0; x < p.width; ++x)
            ASSERT_EQ(d.Line(y)[x], std::clamp(ref.At(0, x, y), 0, 255)) << x << "," << y;
}

struct PatternCase {
    uint8_t hy, vy, hc, vc;
};

// Luma and chroma factors of every sampling with a converter.
const PatternCase kPatterns[] = {{1, 1, 1, 1}, {2, 1, 1, 1}, {1, 2, 1, 1}, {2, 2, 1, 1},
                                 {2, 2, 1, 2}, {2, 2, 2, 1}, {4, 1, 1, 1}, {4, 1, 2, 1}};

TEST(JpegSampling, EveryPatternMatchesTheReference) {
    for (const PatternCase& c : kPatterns) {
        SCOPED_TRACE(std::to_string(c.hy) + "x" + std::to_string(c.vy) + "/" + std::to_string(c.hc) + "x" +
                     std::to_string(c.vc));
        Picture p = YccPicture(c.hy, c.vy, c.hc, c.vc);
        Decoded d = Decode(Encode(p));
        ASSERT_EQ(d.status, XR_OK);
        ASSERT_EQ(d.lines, p.height);
        EXPECT_EQ(d.workSize, (p.width + 32u) * 48u);
        ExpectRgbMatches(d, p, p.height);
    }
}

TEST(JpegSampling, PatternsWithoutConverterAreRefused) {
    for (PatternCase c : {PatternCase{3, 1, 1, 1}, PatternCase{1, 1, 2, 2}, PatternCase{2, 1, 2, 1}}) {
        Decoded d = Decode(Encode(YccPicture(c.hy, c.vy, c.hc, c.vc, 24, 16)));
        EXPECT_EQ(d.headerStatus, XR_OK);
        EXPECT_EQ(d.status, XR_ERR_UNSUPPORTED) << int{c.hy} << "x" << int{c.vy};
    }
    // Grey files carry any factors: a lone component is never interleaved.
    Picture grey = MakePicture(20, 12, 8, {{1, 3, 2}}, Busy, 2);
    Decoded d = Decode(Encode(grey));
    ASSERT_EQ(d.status, XR_OK);
    ExpectGreyMatches(d, grey, 12);
}

TEST(JpegSampling, FactorLimits) {
    Picture p = YccPicture(1, 1, 1, 1, 8, 8);
    Bytes file = Encode(p);
    size_t sof = 0;
    while (!(file[sof] == 0xFF && file[sof + 1] == 0xC0)) ++sof;
    // Offsets from the marker: 4 precision, 9 Nf, 11 and 14 the first two components' factors.
    using Case = std::tuple<size_t, int, CodecStatus>;
    for (auto [at, value, want] : {Case{11, 0x51, XR_JPG_SAMPLING}, Case{11, 0x13, XR_JPG_SAMPLING},
                                   Case{11, 0x01, XR_JPG_SAMPLING}, Case{11, 0x42, XR_JPG_SAMPLING},
                                   Case{4, 9, XR_ERR_UNSUPPORTED}, Case{9, 2, XR_ERR_ARGUMENT}}) {
        Bytes bad = file;
        bad[sof + at] = static_cast<uint8_t>(value);
        // 4x2 luma with two 1x1 chroma blocks is 10 blocks; 2x1 chroma makes it 11.
        if (value == 0x42) bad[sof + 14] = 0x21;
        EXPECT_EQ(Decode(bad).headerStatus, want) << at << " " << value;
    }
}

TEST(JpegGrey, DecodesToEveryGreyMode) {
    Picture p = MakePicture(19, 21, 8, {{1, 1, 1}}, Busy, 2);
    Bytes file = Encode(p);
    Decoded gray = Decode(file);
    ASSERT_EQ(gray.status, XR_OK);
    EXPECT_EQ(std::tuple(gray.header.MODE, gray.header.LINEINT, gray.header.FMT), std::tuple(XR_MODE_GRAY, 19u, 8));
    ExpectGreyMatches(gray, p, 21);
    Decoded rgb = Decode(file, {.mode = XR_MODE_RGB});
    Decoded yuv = Decode(file, {.mode = XR_MODE_YUV});
    ASSERT_EQ(rgb.status, XR_OK);
    ASSERT_EQ(yuv.status, XR_OK);
    for (uint32_t y = 0; y < 21; ++y)
        for (uint32_t x = 0; x < 19; ++x) {
            uint8_t g = gray.Line(y)[x];
            ASSERT_TRUE(rgb.Line(y)[3 * x] == g && rgb.Line(y)[3 * x + 1] == g && rgb.Line(y)[3 * x + 2] == g);
            ASSERT_TRUE(yuv.Line(y)[2 * x] == g && yuv.Line(y)[2 * x + 1] == 128);
        }
}

TEST(JpegOutput, YuvCarriesCbOnEvenAndCrOnOddPixels) {
    Picture p = YccPicture(2, 1, 1, 1, 30, 10);
    Decoded d = Decode(Encode(p), {.mode = XR_MODE_YUV});
    ASSERT_EQ(d.status, XR_OK);
    Reference ref = Reconstruct(p);
    for (uint32_t y = 0; y < 10; ++y)
        for (uint32_t x = 0; x < 30; ++x) {
            ASSERT_EQ(d.Line(y)[2 * x], std::clamp(ref.At(0, x, y), 0, 255));
            ASSERT_EQ(d.Line(y)[2 * x + 1], std::clamp(ref.At(1 + (x & 1), x, y), 0, 255));
        }
}

TEST(JpegOutput, LineByLineEqualsWholeImage) {
    for (Picture p : {YccPicture(2, 2, 1, 1, 70, 45), YccPicture(1, 1, 1, 1, 33, 17),
                      MakePicture(41, 39, 8, {{1, 1, 1}}, Busy, 4)}) {
        Bytes file = Encode(p);
        Decoded whole = Decode(file), lines = Decode(file, {.byLine = true}), chunked = Decode(file, {.chunk = 7});
        ASSERT_EQ(whole.status, XR_OK);
        ASSERT_EQ(lines.status, XR_OK);
        ASSERT_EQ(chunked.status, XR_OK);
        EXPECT_EQ(whole.lines, p.height);
        EXPECT_EQ(lines.lines, p.height);
        EXPECT_EQ(whole.pixels, lines.pixels);
        EXPECT_EQ(whole.pixels, chunked.pixels);
    }
}

TEST(JpegOutput, VectorAndScalarCodeAgree) {
    uint32_t state = 7;
    auto wild = [&](Picture p) {
        // Large coefficients and quantisers: samples far outside 0..255 and 16-bit wrap-around.
        for (auto& table : p.quant) table.fill(255);
        for (auto& blocks : p.coef)
            for (Block& b : blocks)
                for (int32_t& v : b) {
                    state = state * 1103515245u + 12345u;
                    v = (state >> 16) % 3 ? 0 : static_cast<int32_t>((state >> 8) % 4095) - 2047;
                }
        return p;
    };
    std::vector<Picture> pictures;
    for (const PatternCase& c : kPatterns) {
        pictures.push_back(YccPicture(c.hy, c.vy, c.hc, c.vc, 70, 33, 2));
        pictures.push_back(wild(pictures.back()));
    }
    pictures.push_back(MakePicture(45, 20, 8, {{1, 1, 1}}, Busy, 1));
    pictures.push_back(wild(pictures.back()));
    for (const Picture& p : pictures) {
        Bytes file = Encode(p);
        for (int32_t mode : {int32_t{0}, int32_t{XR_MODE_RGB}}) {
            Decoded vector = Decode(file, {.mode = mode}), scalar = Decode(file, {.mode = mode, .scalar = true});
            ASSERT_EQ(vector.status, XR_OK);
            ASSERT_EQ(scalar.status, XR_OK);
            EXPECT_EQ(vector.pixels, scalar.pixels) << &p - pictures.data() << " mode " << mode;
        }
    }
}

TEST(JpegOutput, RecordMustMatchTheHeader) {
    Bytes colour = Encode(YccPicture(2, 2, 1, 1, 20, 20));
    OpenDecoder d(colour);
    ASSERT_EQ(d.headerStatus, XR_OK);
    XrImage record = d.header;
    record.WIDTH = 19;
    EXPECT_EQ(JpgDecSetOutput(d.get(), &record), XR_ERR_MISMATCH);
    record = d.header;
    const std::pair<int32_t, CodecStatus> modes[] = {
        {XR_MODE_INDEX, XR_ERR_MISMATCH}, {XR_MODE_MONO, XR_ERR_MISMATCH}, {XR_MODE_HIGH, XR_ERR_MISMATCH},
        {0, XR_ERR_MISMATCH},            {14, XR_ERR_MISMATCH},          {XR_MODE_GRAY, XR_ERR_MISMATCH},
        {XR_MODE_GRAYW, XR_ERR_MISMATCH}, {XR_MODE_RGBW, XR_ERR_UNSUPPORTED}, {XR_MODE_YUVW, XR_ERR_UNSUPPORTED},
        {XR_MODE_LAB, XR_ERR_UNSUPPORTED}};
    for (auto [mode, want] : modes) {
        record.MODE = mode;
        EXPECT_EQ(JpgDecSetOutput(d.get(), &record), want) << mode;
    }
    record.MODE = XR_MODE_RGB;
    EXPECT_EQ(JpgDecSetOutput(d.get(), &record), XR_OK);
    uint8_t line[64 * 3];
    EXPECT_EQ(JpgDecDecodeLine(d.get(), line, nullptr), XR_OK);
    EXPECT_EQ(JpgDecSetOutput(d.get(), &record), XR_ERR_ARGUMENT);  // decoding has begun
    EXPECT_EQ(JpgDecDecodeLine(nullptr, line, nullptr), XR_ERR_ARGUMENT);
    EXPECT_EQ(JpgDecDecodeLine(d.get(), nullptr, nullptr), XR_ERR_ARGUMENT);
}

TEST(JpegOutput, SetUpArgumentsAndCallOrder) {
    EXPECT_EQ(JpgDecInit(nullptr), XR_ERR_ARGUMENT);
    Bytes file = Encode(YccPicture(1, 1, 1, 1, 8, 8));
    std::vector<std::max_align_t> handle(static_cast<size_t>(JpgDecGetHandleSize()) / sizeof(std::max_align_t) + 1);
    CodecStream s{};
    StreamInitMemory(&s, file.data(), static_cast<int32_t>(file.size()));
    JpgDecInit(handle.data());
    EXPECT_EQ(JpgDecSetStream(handle.data(), nullptr), XR_ERR_ARGUMENT);
    JpgDecSetStream(handle.data(), &s);
    XrImage header{};
    ASSERT_EQ(JpgDecReadHeader(handle.data(), &header, nullptr, nullptr, nullptr), XR_OK);
    EXPECT_EQ(JpgDecReadHeader(handle.data(), &header, nullptr, nullptr, nullptr), XR_ERR_ARGUMENT);  // read twice
    uint32_t lines = 7;
    uint8_t pixels[64];
    EXPECT_EQ(JpgDecDecodeImage(handle.data(), pixels, &lines), XR_ERR_ARGUMENT);  // no output chosen
    EXPECT_EQ(lines, 0u);
    ASSERT_EQ(JpgDecSetOutput(handle.data(), &header), XR_OK);
    EXPECT_EQ(JpgDecSetWorkBuffer(handle.data(), nullptr), XR_ERR_ARGUMENT);
    EXPECT_EQ(JpgDecDecodeLine(handle.data(), pixels, nullptr), XR_ERR_WORK_BUFFER);
}

TEST(Jpeg12Bit, GreyGivesSamplesTimes16) {
    // Flat blocks reconstruct exactly, so the expected words are known without a reference.
    auto flat = [](size_t, uint32_t x, uint32_t y) { return static_cast<int32_t>(((x / 8) * 977 + (y / 8) * 1511) % 4096); };
    Picture p = MakePicture(24, 16, 12, {{1, 1, 1}}, flat);
    Decoded d = Decode(Encode(p, {.sof = 0xC1, .wideQuant = true}));
    ASSERT_EQ(d.status, XR_OK);
    EXPECT_EQ(std::tuple(d.header.MODE, d.header.FMT, d.header.LINEINT, d.workSize),
              std::tuple(XR_MODE_GRAYW, 12, 48u, (24u + 32u) * 96u));
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 24; ++x) {
            uint32_t word = d.Line(y)[2 * x] | uint32_t{d.Line(y)[2 * x + 1]} << 8;
            ASSERT_EQ(word, static_cast<uint32_t>(flat(0, x, y)) * 16) << x << "," << y;
        }
    // Busy content: every word is the reconstructed sample x 16, clamped.
    auto busy = [](size_t, uint32_t x, uint32_t y) { return std::clamp(16 * Busy(0, x, y), 0, 4095); };
    Picture q = MakePicture(21, 13, 12, {{1, 1, 1}}, busy, 5);
    Decoded e = Decode(Encode(q, {.sof = 0xC1, .wideQuant = true}));
    ASSERT_EQ(e.status, XR_OK);
    Reference ref = Reconstruct(q);
    for (uint32_t y = 0; y < 13; ++y)
        for (uint32_t x = 0; x < 21; ++x) {
            uint32_t word = e.Line(y)[2 * x] | uint32_t{e.Line(y)[2 * x + 1]} << 8;
            ASSERT_EQ(word, static_cast<uint32_t>(std::clamp(ref.At(0, x, y) * 16, 0, 65535)));
        }
}

TEST(Jpeg12Bit, YccToRgbwAndYuvw) {
    auto busy = [](size_t c, uint32_t x, uint32_t y) { return std::clamp(16 * Busy(c, x, y), 0, 4095); };
    Picture p = MakePicture(18, 9, 12, {{1, 2, 1, 0, 0, 0}, {2, 1, 1, 1, 1, 1}, {3, 1, 1, 1, 1, 1}}, busy, 6);
    Bytes file = Encode(p, {.sof = 0xC1, .wideQuant = true});
    Decoded rgbw = Decode(file);
    ASSERT_EQ(rgbw.status, XR_OK);
    ASSERT_EQ(rgbw.header.MODE, XR_MODE_RGBW);
    Decoded yuvw = Decode(file, {.mode = XR_MODE_YUVW});
    ASSERT_EQ(yuvw.status, XR_OK);
    Reference ref = Reconstruct(p);
    auto word = [](const uint8_t* at) { return at[0] | uint32_t{at[1]} << 8; };
    auto wide = [](double v) { return static_cast<uint32_t>(std::clamp<int64_t>(static_cast<int64_t>(v) * 16, 0, 65535)); };
    for (uint32_t y = 0; y < 9; ++y)
        for (uint32_t x = 0; x < 18; ++x) {
            double l = ref.At(0, x, y), cb = ref.At(1, x, y) - 2048.0, cr = ref.At(2, x, y) - 2048.0;
            const uint8_t* px = rgbw.Line(y) + 6 * x;
            ASSERT_EQ(word(px), wide((4096 * l + 7257.2928 * cb) / 4096));
            ASSERT_EQ(word(px + 2), wide((4096 * l - 1409.4336 * cb - 2924.1344 * cr) / 4096));
            ASSERT_EQ(word(px + 4), wide((4096 * l + 5742.592 * cr) / 4096));
            const uint8_t* yv = yuvw.Line(y) + 4 * x;
            ASSERT_EQ(word(yv), static_cast<uint32_t>(std::clamp(ref.At(0, x, y) * 16, 0, 65535)));
            ASSERT_EQ(word(yv + 2), static_cast<uint32_t>(std::clamp(ref.At(1 + (x & 1), x, y) * 16, 0, 65535)));
        }
    // 12-bit 4:2:0 has no converter; 8-bit modes do not apply to 12-bit samples.
    Decoded p420 = Decode(Encode(MakePicture(16, 16, 12, {{1, 2, 2}, {2, 1, 1, 1, 1, 1}, {3, 1, 1, 1, 1, 1}}, busy), {.sof = 0xC1, .wideQuant = true}));
    EXPECT_EQ(p420.status, XR_ERR_UNSUPPORTED);
    EXPECT_EQ(Decode(file, {.mode = XR_MODE_RGB}).status, XR_ERR_UNSUPPORTED);
}

TEST(JpegColour, LabCmykAndYcck) {
    auto flat = [](size_t c, uint32_t x, uint32_t y) { return static_cast<int32_t>((x / 8 * 50 + y / 8 * 30 + c * 70) % 256); };
    std::vector<Comp> three = {{1, 2, 2}, {2, 1, 1, 1, 1, 1}, {3, 1, 1, 1, 1, 1}};
    Bytes g3fax = Segment(0xE1, {'G', '3', 'F', 'A', 'X', 0, 0x07, 0xCA, 0x01, 0x90});
    Picture lab = MakePicture(32, 16, 8, three, flat);
    Bytes labFile = Encode(lab, {.segments = {g3fax}});
    Decoded labOut = Decode(labFile);
    ASSERT_EQ(labOut.status, XR_OK);
    EXPECT_EQ(labOut.header.MODE, XR_MODE_LAB);
    EXPECT_EQ(labOut.appMode, XR_JPG_APP_G3FAX);
    EXPECT_EQ(labOut.app.g3faxResolution, 400);
    Decoded labRgb = Decode(labFile, {.mode = XR_MODE_RGB});
    ASSERT_EQ(labRgb.status, XR_OK);
    Reference ref = Reconstruct(lab);
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 32; ++x) {
            uint8_t want[3] = {static_cast<uint8_t>(ref.At(0, x, y)), static_cast<uint8_t>(ref.At(1, x, y)),
                               static_cast<uint8_t>(ref.At(2, x, y))};
            ASSERT_EQ(0, std::memcmp(labOut.Line(y) + 3 * x, want, 3));
            uint8_t bgr[3];
            RgbFromLab(want, bgr);
            ASSERT_EQ(0, std::memcmp(labRgb.Line(y) + 3 * x, bgr, 3));
        }

    std::vector<Comp> four = {{1, 1, 1}, {2, 1, 1}, {3, 1, 1}, {4, 1, 1}};
    Picture cmyk = MakePicture(16, 8, 8, four, flat);
    Bytes adobe0 = Segment(0xEE, {'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, 0});
    Bytes adobe2 = Segment(0xEE, {'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, 2});
    Decoded plain = Decode(Encode(cmyk)), inverted = Decode(Encode(cmyk, {.segments = {adobe0}}));
    Decoded ycck = Decode(Encode(cmyk, {.segments = {adobe2}}));
    ASSERT_EQ(plain.status, XR_OK);
    ASSERT_EQ(inverted.status, XR_OK);
    ASSERT_EQ(ycck.status, XR_OK);
    EXPECT_EQ(plain.header.MODE, XR_MODE_RGB);
    auto div255 = [](int32_t v) { return static_cast<uint8_t>(std::lround(v / 255.0)); };
    for (uint32_t x = 0; x < 16; x += 8) {
        int32_t c = flat(0, x, 0), m = flat(1, x, 0), yl = flat(2, x, 0), k = flat(3, x, 0);
        uint8_t wantPlain[3] = {div255((255 - yl) * (255 - k)), div255((255 - m) * (255 - k)), div255((255 - c) * (255 - k))};
        uint8_t wantInverted[3] = {div255(yl * k), div255(m * k), div255(c * k)};
        EXPECT_EQ(0, std::memcmp(plain.Line(0) + 3 * x, wantPlain, 3)) << x;
        EXPECT_EQ(0, std::memcmp(inverted.Line(0) + 3 * x, wantInverted, 3)) << x;
        // YCCK: YCbCr gives R, G, B; their complements are CMY as Adobe stores them.
        uint8_t rgb[3];
        ExpectedYcc(c, m, yl, rgb);
        uint8_t wantYcck[3] = {div255((255 - rgb[0]) * k), div255((255 - rgb[1]) * k), div255((255 - rgb[2]) * k)};
        EXPECT_EQ(0, std::memcmp(ycck.Line(0) + 3 * x, wantYcck, 3)) << x;
    }
}

TEST(JpegRestart, IntervalsDecodeLikeTheSameDataWithout) {
    for (Picture p : {YccPicture(2, 2, 1, 1, 61, 35), MakePicture(45, 20, 8, {{1, 1, 1}}, Busy, 3),
                      YccPicture(1, 2, 1, 1, 20, 40)}) {
        Bytes plainFile = Encode(p);
        Decoded plain = Decode(plainFile);
        ASSERT_EQ(plain.status, XR_OK);
        for (uint16_t ri : {uint16_t{1}, uint16_t{2}, uint16_t{3}, uint16_t{7}, uint16_t{100}}) {
            for (uint8_t first : {uint8_t{0}, uint8_t{5}}) {
                Decoded d = Decode(Encode(p, {.restart = ri, .firstRst = first}), {.chunk = first ? 5 : 0});
                ASSERT_EQ(d.status, XR_OK) << ri;
                EXPECT_EQ(d.pixels, plain.pixels) << ri;
            }
        }
    }
}

TEST(JpegRestart, EarlyRestartMarkersResynchronise) {
    // Intervals of 3 MCUs under a DRI that promises 4: each RST arrives in the
    // middle of an MCU, which then starts the next interval from behind the marker.
    Picture p = YccPicture(2, 2, 1, 1, 75, 40);
    Bytes file = Encode(p, {.restart = 3});
    size_t dri = 0;
    while (!(file[dri] == 0xFF && file[dri + 1] == 0xDD)) ++dri;
    file[dri + 5] = 4;
    Decoded d = Decode(file), plain = Decode(Encode(p));
    ASSERT_EQ(d.status, XR_OK);
    EXPECT_EQ(d.pixels, plain.pixels);
}

TEST(JpegDnl, HeightComesFromTheDnlMarker) {
    for (Picture p : {MakePicture(30, 20, 8, {{1, 1, 1}}, Busy, 2), YccPicture(2, 2, 1, 1, 35, 37),
                      YccPicture(2, 1, 1, 1, 17, 8)}) {
        for (uint16_t ri : {uint16_t{0}, uint16_t{1}, uint16_t{3}}) {
            Bytes file = Encode(p, {.restart = ri, .heightInDnl = true});
            for (bool byLine : {false, true}) {
                Decoded d = Decode(file, {.byLine = byLine});
                ASSERT_EQ(d.headerStatus, XR_OK);
                EXPECT_EQ(d.header.HEIGHT, 0);
                EXPECT_EQ(d.lines, p.height) << "restart " << ri << " by line " << byLine;
                if (byLine) EXPECT_EQ(d.newHeight, p.height);
                else EXPECT_EQ(d.status, XR_JPG_END_OF_IMAGE);
                Decoded known = Decode(Encode(p));
                EXPECT_EQ(0, std::memcmp(d.pixels.data(), known.pixels.data(), known.pixels.size()));
            }
        }
    }
}

TEST(JpegEoi, EarlyEoiDeliversTheCompleteRows) {
    Picture p = MakePicture(40, 64, 8, {{1, 1, 1}}, Busy, 2);  // 5 MCUs per row of 8 lines
    Decoded whole = Decode(Encode(p));
    for (uint32_t mcus : {0u, 3u, 5u, 17u, 25u, 31u}) {
        for (bool byLine : {false, true}) {
            Decoded d = Decode(Encode(p, {.stopAfterMcus = mcus}), {.byLine = byLine});
            EXPECT_EQ(d.status, XR_JPG_END_OF_IMAGE) << mcus;
            uint32_t rows = mcus / 5;
            EXPECT_EQ(d.lines, rows * 8) << mcus;
            EXPECT_EQ(0, std::memcmp(d.pixels.data(), whole.pixels.data(), size_t{d.lines} * 40));
        }
    }
    // Once the status is out, it stays.
    OpenDecoder o(Encode(p, {.stopAfterMcus = 4}));
    ASSERT_EQ(JpgDecSetOutput(o.get(), &o.header), XR_OK);
    uint8_t line[40];
    EXPECT_EQ(JpgDecDecodeLine(o.get(), line, nullptr), XR_JPG_END_OF_IMAGE);
    EXPECT_EQ(JpgDecDecodeLine(o.get(), line, nullptr), XR_JPG_END_OF_IMAGE);
}

Bytes ReplaceSegment(Bytes file, uint8_t marker, size_t nth, const Bytes& body) {
    for (size_t i = 0, seen = 0; i + 3 < file.size(); ++i) {
        if (file[i] != 0xFF || file[i + 1] != marker) continue;
        if (seen++ != nth) continue;
        size_t length = size_t{file[i + 2]} << 8 | file[i + 3];
        Bytes seg = Segment(marker, body);
        file.erase(file.begin() + static_cast<std::ptrdiff_t>(i), file.begin() + static_cast<std::ptrdiff_t>(i + 2 + length));
        file.insert(file.begin() + static_cast<std::ptrdiff_t>(i), seg.begin(), seg.end());
        return file;
    }
    return file;
}

TEST(JpegTables, HuffmanAndScanHeaderStatuses) {
    Bytes file = Encode(YccPicture(1, 1, 1, 1, 16, 16));
    Bytes counts(16, 0);
    counts[2] = 3;
    auto dht = [&](uint8_t tcth, Bytes c, size_t values) {
        Bytes b = {tcth};
        b.insert(b.end(), c.begin(), c.end());
        b.resize(b.size() + values, 0);
        return b;
    };
    EXPECT_EQ(Decode(ReplaceSegment(file, 0xC4, 0, dht(0x20, counts, 3))).headerStatus, XR_JPG_HUFFMAN_CLASS);
    EXPECT_EQ(Decode(ReplaceSegment(file, 0xC4, 0, dht(0x02, counts, 3))).headerStatus, XR_JPG_HUFFMAN_ID);
    EXPECT_EQ(Decode(ReplaceSegment(file, 0xC4, 0, dht(0x00, counts, 2))).headerStatus, XR_JPG_HUFFMAN_COUNTS);
    Bytes tooMany(16, 0);
    tooMany[0] = 3;  // three codes of length 1
    EXPECT_EQ(Decode(ReplaceSegment(file, 0xC4, 0, dht(0x00, tooMany, 3))).headerStatus, XR_JPG_HUFFMAN_COUNTS);
    Bytes overflow(16, 0);
    overflow[15] = 255;
    overflow[14] = 2;  // 257 codes
    EXPECT_EQ(Decode(ReplaceSegment(file, 0xC4, 0, dht(0x00, overflow, 257))).headerStatus, XR_JPG_HUFFMAN_COUNTS);
    // Redefinitions draw on the same 4096-byte store: 5 x 226 codes x 4 bytes is too much.
    Bytes repeated = file;
    size_t ac = 0;
    for (size_t seen = 0; ac + 1 < repeated.size(); ++ac)
        if (repeated[ac] == 0xFF && repeated[ac + 1] == 0xC4 && seen++ == 1) break;
    size_t acLength = size_t{repeated[ac + 2]} << 8 | repeated[ac + 3];
    Bytes acSegment(repeated.begin() + static_cast<std::ptrdiff_t>(ac), repeated.begin() + static_cast<std::ptrdiff_t>(ac + 2 + acLength));
    for (int i = 0; i < 3; ++i) repeated.insert(repeated.begin() + static_cast<std::ptrdiff_t>(ac), acSegment.begin(), acSegment.end());
    EXPECT_EQ(Decode(repeated).headerStatus, XR_JPG_HUFFMAN_POOL);

    Bytes sos = {3, 1, 0x00, 2, 0x11, 3, 0x31, 0, 63, 0};
    EXPECT_EQ(Decode(ReplaceSegment(file, 0xDA, 0, sos)).headerStatus, XR_JPG_DC_SELECTOR);
    sos[6] = 0x13;
    EXPECT_EQ(Decode(ReplaceSegment(file, 0xDA, 0, sos)).headerStatus, XR_JPG_AC_SELECTOR);
    sos[6] = 0x22;  // table 2 can be named but never holds codes
    Decoded unnamed = Decode(ReplaceSegment(file, 0xDA, 0, sos));
    EXPECT_EQ(unnamed.headerStatus, XR_OK);
    EXPECT_EQ(unnamed.status, XR_JPG_MARKER);
    sos = {2, 1, 0x00, 2, 0x11, 0, 63, 0};  // fewer scan than frame components
    EXPECT_EQ(Decode(ReplaceSegment(file, 0xDA, 0, sos)).headerStatus, XR_ERR_FORMAT);
}

// 8x8 grey stream: DC table with the single code "0" (size 0), the given AC table, raw scan bytes.
Bytes TinyGrey(const Bytes& acValues, const Bytes& data) {
    Bytes out = {0xFF, 0xD8};
    auto add = [&](const Bytes& b) { out.insert(out.end(), b.begin(), b.end()); };
    Bytes q(65, 1);
    q[0] = 0;
    add(Segment(0xDB, q));
    add(Segment(0xC0, {8, 0, 8, 0, 8, 1, 1, 0x11, 0}));
    Bytes dc(17, 0);
    dc[1] = 1;
    dc.push_back(0);
    add(Segment(0xC4, dc));
    Bytes ac(17, 0);
    ac[0] = 0x10;
    ac[2] = static_cast<uint8_t>(acValues.size());  // 2-bit codes 00, 01, 10
    ac.insert(ac.end(), acValues.begin(), acValues.end());
    add(Segment(0xC4, ac));
    add(Segment(0xDA, {1, 1, 0x00, 0, 63, 0}));
    add(data);
    add({0xFF, 0xD9});
    return out;
}

TEST(JpegTables, BadRunAndSizeSymbols) {
    // "0" DC, then 00 = run 5 with size 0.
    EXPECT_EQ(Decode(TinyGrey({0x50, 0xF1, 0x01}, {0x1F})).status, XR_JPG_AC_RUN);
    // Four times run 15 / size 1 ("01" and a value bit) runs past coefficient 63.
    EXPECT_EQ(Decode(TinyGrey({0x50, 0xF1, 0x01}, {0x36, 0xDF})).status, XR_JPG_AC_RUN);
    // Three ZRL reach coefficient 49 and an EOB ends the block; a fourth ZRL overruns.
    Decoded three = Decode(TinyGrey({0x50, 0xF0, 0x00}, {0x2B, 0x7F}));
    ASSERT_EQ(three.status, XR_OK);
    EXPECT_EQ(three.pixels[0], 128);
    EXPECT_EQ(Decode(TinyGrey({0x50, 0xF0, 0x00}, {0x2A, 0xFF, 0x00})).status, XR_JPG_AC_RUN);
    // "11" is no code at all.
    EXPECT_EQ(Decode(TinyGrey({0x50, 0xF0, 0x00}, {0x60, 0x00, 0x00})).status, XR_JPG_MARKER);
}

TEST(JpegProcess, OnlySequentialHuffmanFramesAreDecoded) {
    Bytes file = Encode(YccPicture(1, 1, 1, 1, 8, 8));
    for (int sof : {0xC2, 0xC3, 0xC5, 0xC6, 0xC7, 0xC9, 0xCA, 0xCB, 0xCD, 0xCE, 0xCF}) {
        Bytes other = Encode(YccPicture(1, 1, 1, 1, 8, 8), {.sof = static_cast<uint8_t>(sof)});
        EXPECT_EQ(Decode(other).headerStatus, XR_JPG_PROCESS) << std::hex << int{sof};
    }
    for (int marker : {0xCC, 0xDE, 0xDF}) {
        Bytes with = file;
        Bytes seg = Segment(static_cast<uint8_t>(marker), {0, 0});
        with.insert(with.begin() + 2, seg.begin(), seg.end());
        EXPECT_EQ(Decode(with).headerStatus, XR_JPG_PROCESS) << std::hex << int{marker};
    }
    Bytes twelve = Encode(MakePicture(8, 8, 12, {{1, 1, 1}}, Busy), {.sof = 0xC1, .wideQuant = true});
    twelve[2 + 4 * (5 + 128) + 4] = 16;  // precision 16
    EXPECT_EQ(Decode(twelve).headerStatus, XR_ERR_UNSUPPORTED);
}

TEST(JpegMarkers, SearchLimitsAndReservedValues) {
    Bytes file = Encode(MakePicture(8, 8, 8, {{1, 1, 1}}, Busy, 2));
    Bytes junk(4095, 0x20);
    Bytes ok = junk;
    ok.insert(ok.end(), file.begin(), file.end());
    EXPECT_EQ(Decode(ok).status, XR_OK);
    Bytes tooFar = Bytes(4096, 0x20);
    tooFar.insert(tooFar.end(), file.begin(), file.end());
    EXPECT_EQ(Decode(tooFar).headerStatus, XR_JPG_MARKER);
    Bytes fill = file;
    fill.insert(fill.begin() + 2, {0xFF, 0xFF, 0xFF});  // fill bytes before the next marker
    EXPECT_EQ(Decode(fill).status, XR_OK);
    Bytes reserved = file;
    reserved.insert(reserved.begin() + 2, {0xFF, 0x05});
    EXPECT_EQ(Decode(reserved).headerStatus, XR_JPG_MARKER);
    Bytes stray = {0xFF, 0xD9, 0xFF, 0x01};  // markers before SOI are passed over
    stray.insert(stray.end(), file.begin(), file.end());
    EXPECT_EQ(Decode(stray).status, XR_OK);
    EXPECT_EQ(Decode(Bytes{}).headerStatus, XR_ERR_STREAM_NO_CALLBACK);
    EXPECT_EQ(Decode(Bytes(10, 0x20), {.chunk = 3}).headerStatus, XR_ERR_STREAM_END);
}

}  // namespace
