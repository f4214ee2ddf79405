#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "lumapix/mode_converter.h"
#include "lumapix/pixel_formulas.h"

namespace {

using Bgr = std::array<uint8_t, 3>;

// An allocated record, freed on scope exit.
struct Image {
    XrImage rec{};
    Image(int32_t mode, uint16_t width, uint16_t height, uint8_t palfmt = XR_PALFMT_BLACKISZERO,
          uint32_t pad = 0) {
        rec.MODE = mode;
        rec.WIDTH = width;
        rec.HEIGHT = height;
        rec.PALFMT = palfmt;
        rec.LINEINT = ImageLineBytes(mode, width) + pad;
        EXPECT_EQ(ImageAlloc(&rec), XR_OK);
    }
    ~Image() { ImageFree(&rec); }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    uint8_t* Line(uint32_t y) const { return ImageLine(&rec, y); }
    uint8_t* Px(uint32_t x, uint32_t y) const { return Line(y) + x * ImageLineBytes(rec.MODE, 1); }
    uint16_t* Words(uint32_t x, uint32_t y) const { return reinterpret_cast<uint16_t*>(Px(x, y)); }
    int Bit(uint32_t x, uint32_t y) const { return (Line(y)[x / 8] >> (7 - x % 8)) & 1; }
    int Bright(uint32_t x, uint32_t y) const { return Bit(x, y) ^ (rec.PALFMT == XR_PALFMT_WHITEISZERO); }
    Bgr At(uint32_t x, uint32_t y) const { return Bgr{Px(x, y)[0], Px(x, y)[1], Px(x, y)[2]}; }
    // The meaningful bytes of every line, without padding.
    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> out;
        for (uint32_t y = 0; y < rec.HEIGHT; ++y) out.insert(out.end(), Line(y), Line(y) + ImageLineBytes(rec.MODE, rec.WIDTH));
        return out;
    }
    void Fill(uint8_t (*f)(uint32_t i)) {
        auto* p = static_cast<uint8_t*>(rec.PIXELS);
        for (uint32_t i = 0; i < rec.SIZE; ++i) p[i] = f(i);
    }
    void FillFlat(const Bgr& c) {
        for (uint32_t y = 0; y < rec.HEIGHT; ++y)
            for (uint32_t x = 0; x < rec.WIDTH; ++x) std::memcpy(Px(x, y), c.data(), rec.MODE == XR_MODE_GRAY ? 1 : 3);
    }
};

uint8_t Noise(uint32_t i) { return static_cast<uint8_t>((i * 2654435761u) >> 13); }

// A mixed-colour RGB picture with plenty of quantisation error.
void FillGradient(Image& image) {
    for (uint32_t y = 0; y < image.rec.HEIGHT; ++y)
        for (uint32_t x = 0; x < image.rec.WIDTH; ++x) {
            uint8_t* p = image.Px(x, y);
            p[0] = static_cast<uint8_t>(x * 6);
            p[1] = static_cast<uint8_t>(y * 40 + 13);
            p[2] = static_cast<uint8_t>(255 - x * 5);
        }
}

struct Setup {
    uint8_t dither = XR_DITHER_NONE;
    int8_t coefficient = 0;
    uint8_t threshold = 128;
    const uint8_t* palette = nullptr;  // user palette, else the system one
    uint32_t entries = 0;
    bool byLine = false;
};

CodecStatus Convert(Image& destination, const Image& source, const Setup& s = {}) {
    std::vector<uint64_t> handle((static_cast<size_t>(ConvGetHandleSize()) + 7) / 8);
    std::vector<uint8_t> work(ConvWorkLineBytes(source.rec.WIDTH));
    std::vector<uint8_t> errors(ConvErrorWorkBytes(s.dither, source.rec.WIDTH) + 1);
    const uint8_t params[3] = {s.dither, static_cast<uint8_t>(s.coefficient), s.threshold};
    CodecStatus status = ConvInit(handle.data());
    if (status == XR_OK) status = ConvSetDither(handle.data(), params, errors.data());
    if (status == XR_OK && s.palette) status = ConvSetPalette(handle.data(), XR_PALETTE_USER, s.entries, s.palette);
    if (status == XR_OK) status = ConvStart(handle.data(), &destination.rec, &source.rec, work.data());
    if (status != XR_OK) return status;
    if (!s.byLine) return ConvImage(handle.data(), destination.rec.PIXELS, source.rec.PIXELS);
    for (uint32_t y = 0; y < source.rec.HEIGHT && status == XR_OK; ++y)
        status = ConvLine(handle.data(), destination.Line(y), source.Line(y));
    return status;
}

int CountBright(const Image& mono) {
    int n = 0;
    for (uint32_t y = 0; y < mono.rec.HEIGHT; ++y)
        for (uint32_t x = 0; x < mono.rec.WIDTH; ++x) n += mono.Bright(x, y);
    return n;
}

TEST(ConvStatus, RefusesBadArguments) {
    std::vector<uint64_t> storage((static_cast<size_t>(ConvGetHandleSize()) + 7) / 8);
    void* h = storage.data();
    std::vector<uint8_t> work(ConvWorkLineBytes(64));
    std::vector<uint8_t> errors(ConvErrorWorkBytes(XR_DITHER_THREE_LINES, 64) + 4096);
    Image rgb(XR_MODE_RGB, 4, 2), gray(XR_MODE_GRAY, 4, 2), narrow(XR_MODE_RGB, 3, 2),
        shorter(XR_MODE_RGB, 4, 1), indexed(XR_MODE_INDEX, 4, 2);
    const uint8_t none[3] = {0, 0, 128}, fs[3] = {2, 0, 128}, jjn[3] = {3, 0, 128}, bad[3] = {8, 0, 128};
    const uint8_t palette[16] = {};

    EXPECT_EQ(ConvInit(nullptr), XR_ERR_ARGUMENT);
    ASSERT_EQ(ConvInit(h), XR_OK);
    EXPECT_EQ(ConvSetDither(nullptr, none, errors.data()), XR_ERR_ARGUMENT);
    EXPECT_EQ(ConvSetDither(h, nullptr, errors.data()), XR_ERR_ARGUMENT);
    EXPECT_EQ(ConvSetPalette(nullptr, XR_PALETTE_SYSTEM, 0, nullptr), XR_ERR_ARGUMENT);
    EXPECT_EQ(ConvStart(nullptr, &gray.rec, &rgb.rec, work.data()), XR_ERR_ARGUMENT);
    EXPECT_EQ(ConvStart(h, nullptr, &rgb.rec, work.data()), XR_ERR_ARGUMENT);
    EXPECT_EQ(ConvStart(h, &gray.rec, nullptr, work.data()), XR_ERR_ARGUMENT);
    EXPECT_EQ(ConvStart(h, &gray.rec, &rgb.rec, nullptr), XR_ERR_ARGUMENT);

    EXPECT_EQ(ConvSetDither(h, fs, nullptr), XR_ERR_WORK_BUFFER);
    EXPECT_EQ(ConvSetDither(h, jjn, nullptr), XR_ERR_WORK_BUFFER);
    EXPECT_EQ(ConvSetDither(h, bad, errors.data()), XR_ERR_DITHER_MODE);
    EXPECT_EQ(ConvSetPalette(h, 2, 4, palette), XR_ERR_PALETTE_MODE);
    ASSERT_EQ(ConvSetDither(h, none, nullptr), XR_OK);

    EXPECT_EQ(ConvStart(h, &gray.rec, &narrow.rec, work.data()), XR_ERR_MISMATCH);
    EXPECT_EQ(ConvStart(h, &gray.rec, &shorter.rec, work.data()), XR_ERR_MISMATCH);
    auto start = [&](XrImage destination, XrImage source) { return ConvStart(h, &destination, &source, work.data()); };
    auto with = [](XrImage r, auto change) {
        change(r);
        return r;
    };
    auto noWidth = [](XrImage& r) { r.WIDTH = 0; };
    auto noHeight = [](XrImage& r) { r.HEIGHT = 0; };
    EXPECT_EQ(start(with(gray.rec, noWidth), with(rgb.rec, noWidth)), XR_ERR_MISMATCH);
    EXPECT_EQ(start(with(gray.rec, noHeight), with(rgb.rec, noHeight)), XR_ERR_MISMATCH);
    EXPECT_EQ(start(gray.rec, with(indexed.rec, [](XrImage& r) { r.PALCOUNT = 16; })), XR_ERR_MISMATCH);
    EXPECT_EQ(start(gray.rec, with(rgb.rec, [](XrImage& r) { r.MODE = XR_MODE_UNK; })), XR_ERR_MISMATCH);
    EXPECT_EQ(start(with(gray.rec, [](XrImage& r) { r.MODE = XR_MODE_YUV3; }), rgb.rec), XR_ERR_MISMATCH);

    ASSERT_EQ(ConvStart(h, &gray.rec, &rgb.rec, work.data()), XR_OK);
    EXPECT_EQ(ConvLine(nullptr, gray.Line(0), rgb.Line(0)), XR_ERR_ARGUMENT);
    EXPECT_EQ(ConvLine(h, nullptr, rgb.Line(0)), XR_ERR_ARGUMENT);
    EXPECT_EQ(ConvLine(h, gray.Line(0), nullptr), XR_ERR_ARGUMENT);
    EXPECT_EQ(ConvImage(nullptr, gray.rec.PIXELS, rgb.rec.PIXELS), XR_ERR_ARGUMENT);
    EXPECT_EQ(ConvImage(h, nullptr, rgb.rec.PIXELS), XR_ERR_ARGUMENT);
}

TEST(ConvStatus, UserPaletteWithoutEntriesFallsBackToTheSystemPalette) {
    Image rgb(XR_MODE_RGB, 1, 1);
    uint8_t* p = rgb.Line(0);
    p[0] = p[1] = p[2] = 200;
    for (uint32_t count : {4u, 0u}) {
        Image out(XR_MODE_INDEX, 1, 1);
        std::vector<uint64_t> storage((static_cast<size_t>(ConvGetHandleSize()) + 7) / 8);
        std::vector<uint8_t> work(ConvWorkLineBytes(1));
        const uint8_t params[3] = {0, 0, 128};
        uint8_t entry[4] = {1, 2, 3, 0};
        ASSERT_EQ(ConvInit(storage.data()), XR_OK);
        ASSERT_EQ(ConvSetDither(storage.data(), params, nullptr), XR_OK);
        ASSERT_EQ(ConvSetPalette(storage.data(), XR_PALETTE_USER, count, count ? nullptr : entry), XR_OK);
        ASSERT_EQ(ConvStart(storage.data(), &out.rec, &rgb.rec, work.data()), XR_OK);
        ASSERT_EQ(ConvLine(storage.data(), out.Line(0), rgb.Line(0)), XR_OK);
        EXPECT_EQ(out.Line(0)[0], 36 * 4 + 6 * 4 + 4);
        EXPECT_EQ(std::memcmp(out.rec.PALBUT, SystemPalette, 1024), 0);
    }
}

TEST(ConvStart, SetsFormatAndDestinationPalette) {
    Image rgb(XR_MODE_RGB, 3, 2);
    for (int32_t mode = XR_MODE_RGB; mode <= XR_MODE_HIGH; ++mode) {
        Image out(mode, 3, 2);
        out.rec.FMT = 0;
        ASSERT_EQ(Convert(out, rgb), XR_OK) << mode;
        const bool wide = mode == XR_MODE_RGBW || mode == XR_MODE_YUVW || mode == XR_MODE_GRAYW;
        EXPECT_EQ(out.rec.FMT, wide ? 16 : 8) << mode;
    }
    Image system(XR_MODE_INDEX, 3, 2);
    ASSERT_EQ(Convert(system, rgb), XR_OK);
    EXPECT_EQ(std::memcmp(system.rec.PALBUT, SystemPalette, 1024), 0);
    const uint8_t user[12] = {1, 2, 3, 0, 40, 50, 60, 0, 200, 210, 220, 0};
    Image custom(XR_MODE_INDEX, 3, 2);
    ASSERT_EQ(Convert(custom, rgb, {.palette = user, .entries = 3}), XR_OK);
    EXPECT_EQ(std::memcmp(custom.rec.PALBUT, user, sizeof user), 0);
}

TEST(ConvCopy, EqualModesCopyBytes) {
    for (int32_t mode : {XR_MODE_RGB, XR_MODE_GRAYW}) {
        Image in(mode, 7, 3), out(mode, 7, 3);
        in.Fill(Noise);
        ASSERT_EQ(Convert(out, in), XR_OK);
        EXPECT_EQ(out.Bytes(), in.Bytes()) << mode;
    }
}

TEST(ConvMono, OtherPolarityInvertsEveryBitAndUnpacksByPolarity) {
    Image in(XR_MODE_MONO, 16, 3), out(XR_MODE_MONO, 16, 3, XR_PALFMT_WHITEISZERO);
    in.Fill(Noise);
    ASSERT_EQ(Convert(out, in), XR_OK);
    const auto a = in.Bytes(), b = out.Bytes();
    for (size_t i = 0; i < a.size(); ++i) EXPECT_EQ(b[i], static_cast<uint8_t>(~a[i])) << i;
    Image grayA(XR_MODE_GRAY, 16, 3), grayB(XR_MODE_GRAY, 16, 3);
    ASSERT_EQ(Convert(grayA, in), XR_OK);
    ASSERT_EQ(Convert(grayB, out), XR_OK);
    for (uint32_t x = 0; x < 16; ++x) EXPECT_EQ(grayA.Px(x, 1)[0], in.Bit(x, 1) ? 255 : 0) << x;
    EXPECT_EQ(grayB.Bytes(), grayA.Bytes());
}

TEST(ConvIndex, SystemPaletteRequantisesAndUnpacksEntries) {
    Image in(XR_MODE_INDEX, 256, 1), out(XR_MODE_INDEX, 256, 1), rgb(XR_MODE_RGB, 256, 1);
    for (uint32_t i = 0; i < 1024; ++i) in.rec.PALBUT[i] = Noise(i + 7);
    for (uint32_t x = 0; x < 256; ++x) in.Line(0)[x] = static_cast<uint8_t>(x);
    ASSERT_EQ(Convert(out, in), XR_OK);
    ASSERT_EQ(Convert(rgb, in), XR_OK);
    for (uint32_t x = 0; x < 256; ++x) {
        EXPECT_EQ(out.Line(0)[x], SystemPaletteIndex(in.rec.PALBUT + 4 * x)) << x;
        EXPECT_EQ(std::memcmp(rgb.Px(x, 0), in.rec.PALBUT + 4 * x, 3), 0) << x;
    }
}

TEST(ConvIndex, UserPaletteTakesNearestFirstOfEquals) {
    const uint8_t palette[16] = {0, 0, 0, 0, 10, 10, 10, 0, 10, 10, 10, 0, 200, 0, 0, 0};
    const Bgr pixels[] = {{10, 10, 10}, {9, 9, 9}, {5, 5, 5}, {120, 0, 0}, {99, 0, 0}, {255, 255, 255}};
    const uint8_t expected[] = {1, 1, 0, 3, 1, 3};  // (5,5,5) ties 0 and 1; (99,0,0): 8121 < 9801 < 10201
    Image in(XR_MODE_RGB, 6, 1), out(XR_MODE_INDEX, 6, 1);
    for (uint32_t x = 0; x < 6; ++x) std::memcpy(in.Px(x, 0), pixels[x].data(), 3);
    ASSERT_EQ(Convert(out, in, {.palette = palette, .entries = 4}), XR_OK);
    for (uint32_t x = 0; x < 6; ++x) EXPECT_EQ(out.Line(0)[x], expected[x]) << x;
}

TEST(ConvMono, ThresholdWithoutDither) {
    Image ramp(XR_MODE_GRAY, 256, 1);
    for (uint32_t x = 0; x < 256; ++x) ramp.Line(0)[x] = static_cast<uint8_t>(x);
    for (int threshold : {0, 128, 255}) {
        Image out(XR_MODE_MONO, 256, 1);
        ASSERT_EQ(Convert(out, ramp, {.threshold = static_cast<uint8_t>(threshold)}), XR_OK);
        for (uint32_t x = 0; x < 256; ++x) {
            EXPECT_EQ(out.Bit(x, 0), static_cast<int>(x) >= threshold ? 1 : 0) << x << " / " << threshold;
        }
    }
}

TEST(ConvMono, PatternsFollowTheMatrices) {
    auto cell = [](int mode, uint32_t x, uint32_t y) -> int {
        switch (mode) {
            case XR_DITHER_PATTERN2: return BayerMatrix2[y % 2][x % 2];
            case XR_DITHER_PATTERN4: return BayerMatrix4[y % 4][x % 4];
            case XR_DITHER_PATTERN8: return BayerMatrix8[y % 8][x % 8];
            default: return BayerMatrix16[y % 16][x % 16];
        }
    };
    const int shift[] = {6, 4, 2, 0};
    const int brightAt100[] = {512, 448, 416, 404};  // 2/4, 7/16, 26/64, 101/256 of 1024
    for (int mode = XR_DITHER_PATTERN2; mode <= XR_DITHER_PATTERN16; ++mode) {
        for (int lv : {0, 1, 100, 200}) {
            const auto level = static_cast<uint8_t>(lv);
            Image in(XR_MODE_GRAY, 32, 32), out(XR_MODE_MONO, 32, 32);
            in.FillFlat(Bgr{level, level, level});
            ASSERT_EQ(Convert(out, in, {.dither = static_cast<uint8_t>(mode), .threshold = 0}), XR_OK);
            for (uint32_t y = 0; y < 32; ++y)
                for (uint32_t x = 0; x < 32; ++x) {
                    const int bright = level != 0 && (level >> shift[mode - 4]) >= cell(mode, x, y);
                    ASSERT_EQ(out.Bit(x, y), bright) << "mode " << mode << " level " << int{level} << " at " << x << "," << y;
                }
            if (level == 100) {
                EXPECT_EQ(CountBright(out), brightAt100[mode - 4]) << mode;
            }
        }
    }
}

TEST(ConvDiffusion, CoefficientMinus128DropsTheError) {
    Image in(XR_MODE_RGB, 40, 6);
    FillGradient(in);
    for (int32_t mode : {XR_MODE_MONO, XR_MODE_INDEX}) {
        Image plain(mode, 40, 6), whole(mode, 40, 6);
        ASSERT_EQ(Convert(plain, in), XR_OK);
        ASSERT_EQ(Convert(whole, in, {.dither = XR_DITHER_ONE_LINE}), XR_OK);
        EXPECT_NE(whole.Bytes(), plain.Bytes()) << "picture too easy for mode " << mode;
        for (uint8_t dither = 1; dither <= 3; ++dither) {
            Image dropped(mode, 40, 6);
            ASSERT_EQ(Convert(dropped, in, {.dither = dither, .coefficient = -128}), XR_OK);
            EXPECT_EQ(dropped.Bytes(), plain.Bytes()) << "mode " << mode << " dither " << int{dither};
        }
    }
}

TEST(ConvDiffusion, FlatGreyToMonoKeepsTheLevel) {
    Image in(XR_MODE_GRAY, 64, 16);
    in.FillFlat(Bgr{100, 100, 100});
    // Line 0 only carries error along the line (all of it, 7/16, 12/48); -64 halves it, flooring.
    struct Case { uint8_t dither; int8_t coefficient; uint8_t first[2]; int bright; };
    const Case cases[] = {{0, 0, {0x00, 0x00}, 0},      {1, 0, {0x52, 0x94}, 416}, {2, 0, {0x49, 0x24}, 398},
                          {3, 0, {0x11, 0x11}, 390}, {1, -64, {0x49, 0x24}, 336}};
    for (const Case& c : cases) {
        Image out(XR_MODE_MONO, 64, 16);
        ASSERT_EQ(Convert(out, in, {.dither = c.dither, .coefficient = c.coefficient}), XR_OK);
        const std::string where = "dither " + std::to_string(c.dither) + " coefficient " + std::to_string(c.coefficient);
        EXPECT_EQ(out.Line(0)[0], c.first[0]) << where;
        EXPECT_EQ(out.Line(0)[1], c.first[1]) << where;
        EXPECT_EQ(CountBright(out), c.bright) << where;
        if (c.dither != 0 && c.coefficient == 0) {
            EXPECT_NEAR(CountBright(out) / 1024.0, 100.0 / 255.0, 0.02) << where;
        }
    }
}

TEST(ConvDiffusion, FlatColourToIndexKeepsTheAverage) {
    const Bgr colour{25, 76, 128};  // each 25 from the nearest cube level
    Image in(XR_MODE_RGB, 64, 16);
    in.FillFlat(colour);
    for (uint8_t dither = 0; dither <= 3; ++dither) {
        Image out(XR_MODE_INDEX, 64, 16);
        ASSERT_EQ(Convert(out, in, {.dither = dither}), XR_OK);
        double sum[3] = {};
        const double plain[3] = {0, 51, 153};  // index 114 everywhere
        for (uint8_t v : out.Bytes())
            for (int c = 0; c < 3; ++c) sum[c] += SystemPalette[4 * v + c];
        for (int c = 0; c < 3; ++c) {
            if (dither == 0) {
                EXPECT_EQ(sum[c] / 1024, plain[c]);
            } else {
                EXPECT_NEAR(sum[c] / 1024, colour[static_cast<size_t>(c)], 1.0) << int{dither} << " " << c;
            }
        }
    }
}

TEST(ConvYuv, OddWidthsPackAndUnpack) {
    const Bgr colour{40, 120, 200};
    uint8_t ycc[3];
    YccFromRgb8(colour.data(), ycc, nullptr);
    for (int w : {1, 3, 5}) {
        const auto width = static_cast<uint16_t>(w);
        Image in(XR_MODE_RGB, width, 2), yuv(XR_MODE_YUV, width, 2), back(XR_MODE_RGB, width, 2);
        in.FillFlat(colour);
        ASSERT_EQ(Convert(yuv, in), XR_OK);
        for (uint32_t x = 0; x < width; ++x) {
            EXPECT_EQ(yuv.Px(x, 1)[0], ycc[0]);
            EXPECT_EQ(yuv.Px(x, 1)[1], ycc[x % 2 == 0 ? 1 : 2]) << width << " " << x;
        }
        ASSERT_EQ(Convert(back, yuv), XR_OK);
        for (uint32_t x = 0; x < width; ++x) {
            if (width == 1) {
                const uint8_t noCr[3] = {ycc[0], ycc[1], 0};
                Bgr expected{};
                RgbFromYcc8(noCr, expected.data(), nullptr);
                EXPECT_EQ(back.At(0, 1), expected);
            } else {
                for (size_t c = 0; c < 3; ++c) EXPECT_NEAR(back.At(x, 1)[c], colour[c], 4) << width << " " << x;
            }
        }
    }
    // Grey 100 alone: Y 100, Cb 128, Cr 0 -> R (25600 - 45952) >> 8 < 0, G 49024 >> 8.
    Image grey(XR_MODE_YUV, 1, 1), rgb(XR_MODE_RGB, 1, 1);
    grey.Line(0)[0] = 100;
    grey.Line(0)[1] = 128;
    ASSERT_EQ(Convert(rgb, grey), XR_OK);
    EXPECT_EQ(rgb.At(0, 0), (Bgr{100, 191, 0}));
}

TEST(ConvYuv, ChromaPairing) {
    // Y0 Cb0 Y1 Cr0 Y2 Cb1 Y3 Cr1 Y4 Cb2
    const uint8_t line[10] = {90, 60, 100, 200, 110, 180, 120, 40, 130, 150};
    const uint8_t triples[5][3] = {{90, 60, 200}, {100, 60, 200}, {110, 180, 200}, {120, 180, 40}, {130, 150, 40}};
    Image in(XR_MODE_YUV, 5, 1), out(XR_MODE_RGB, 5, 1);
    std::memcpy(in.Line(0), line, sizeof line);
    ASSERT_EQ(Convert(out, in), XR_OK);
    for (uint32_t x = 0; x < 5; ++x) {
        Bgr expected{};
        RgbFromYcc8(triples[x], expected.data(), nullptr);
        EXPECT_EQ(out.At(x, 0), expected) << x;
    }
}

TEST(ConvYuv, WideRoundTrip) {
    Image in(XR_MODE_RGBW, 5, 1), yuv(XR_MODE_YUVW, 5, 1), back(XR_MODE_RGBW, 5, 1);
    for (uint32_t x = 0; x < 5; ++x) {
        const uint16_t px[3] = {12000, 40000, 61000};
        std::memcpy(in.Px(x, 0), px, sizeof px);
    }
    ASSERT_EQ(Convert(yuv, in), XR_OK);
    ASSERT_EQ(Convert(back, yuv), XR_OK);
    for (uint32_t x = 0; x < 5; ++x)
        for (uint32_t c = 0; c < 3; ++c) EXPECT_NEAR(back.Words(x, 0)[c], in.Words(x, 0)[c], 10) << x;
}

TEST(ConvGray, LumaFormulas) {
    Image rgb(XR_MODE_RGB, 50, 4), gray(XR_MODE_GRAY, 50, 4);
    rgb.Fill(Noise);
    ASSERT_EQ(Convert(gray, rgb), XR_OK);
    Image rgbw(XR_MODE_RGBW, 50, 4), grayw(XR_MODE_GRAYW, 50, 4);
    rgbw.Fill(Noise);
    ASSERT_EQ(Convert(grayw, rgbw), XR_OK);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 50; ++x) {
            const uint8_t* p = rgb.Px(x, y);
            ASSERT_EQ(gray.Px(x, y)[0], (77 * p[2] + 150 * p[1] + 29 * p[0]) >> 8) << x << "," << y;
            const uint16_t* w = rgbw.Words(x, y);
            const double k = std::trunc((19595.264 * w[2] + 38469.632 * w[1] + 7471.104 * w[0]) / 65536);
            ASSERT_EQ(grayw.Words(x, y)[0], std::min(k, 65535.0)) << x << "," << y;
        }
}

TEST(ConvHigh, PacksHighByteFirstAndDropsLowBits) {
    Image rgb(XR_MODE_RGB, 20, 3), high(XR_MODE_HIGH, 20, 3), back(XR_MODE_RGB, 20, 3);
    rgb.Fill(Noise);
    ASSERT_EQ(Convert(high, rgb), XR_OK);
    ASSERT_EQ(Convert(back, high), XR_OK);
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 20; ++x) {
            const Bgr p = rgb.At(x, y);
            const uint16_t h = HighFromRgb(p.data());
            EXPECT_EQ(high.Px(x, y)[0], h >> 8);
            EXPECT_EQ(high.Px(x, y)[1], h & 0xFF);
            const Bgr masked{static_cast<uint8_t>(p[0] & 0xF8), static_cast<uint8_t>(p[1] & 0xFC),
                             static_cast<uint8_t>(p[2] & 0xF8)};
            EXPECT_EQ(back.At(x, y), masked) << x << "," << y;
        }
}

TEST(ConvLab, MatchesTheFormulas) {
    Image rgb(XR_MODE_RGB, 30, 3), lab(XR_MODE_LAB, 30, 3), back(XR_MODE_RGB, 30, 3);
    rgb.Fill(Noise);
    ASSERT_EQ(Convert(lab, rgb), XR_OK);
    ASSERT_EQ(Convert(back, lab), XR_OK);
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 30; ++x) {
            Bgr expected{}, restored{};
            LabFromRgb(rgb.Px(x, y), expected.data());
            RgbFromLab(expected.data(), restored.data());
            EXPECT_EQ(lab.At(x, y), expected) << x << "," << y;
            EXPECT_EQ(back.At(x, y), restored) << x << "," << y;
        }
}

TEST(ConvImage, MatchesLineByLine) {
    struct Case { int32_t mode; uint8_t dither; };
    const Case cases[] = {{XR_MODE_INDEX, XR_DITHER_TWO_LINES}, {XR_MODE_INDEX, XR_DITHER_THREE_LINES},
                          {XR_MODE_MONO, XR_DITHER_TWO_LINES}, {XR_MODE_MONO, XR_DITHER_THREE_LINES},
                          {XR_MODE_MONO, XR_DITHER_PATTERN8}, {XR_MODE_YUV, 0}, {XR_MODE_GRAYW, 0}};
    Image in(XR_MODE_RGB, 37, 9, XR_PALFMT_BLACKISZERO, 5);  // padded lines
    FillGradient(in);
    for (const Case& c : cases) {
        Image whole(c.mode, 37, 9), lines(c.mode, 37, 9, XR_PALFMT_BLACKISZERO, 3);
        ASSERT_EQ(Convert(whole, in, {.dither = c.dither}), XR_OK);
        ASSERT_EQ(Convert(lines, in, {.dither = c.dither, .byLine = true}), XR_OK);
        EXPECT_EQ(whole.Bytes(), lines.Bytes()) << c.mode << " dither " << int{c.dither};
    }
}

}  // namespace
