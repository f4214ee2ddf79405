// The resampler against its arithmetic written out per pixel, the line engine
// against the whole-image call, and the interpolation against ImageMagick's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "../src/resampler_kernel.hpp"
#include "lumapix/resampler.h"
#include "test_files.hpp"

namespace {

using lumapix::res::BuildKernel;
using Kernel = int16_t[16][4];
using Bytes = std::vector<uint8_t>;

constexpr int32_t kModes[] = {XR_MODE_RGB, XR_MODE_YUV, XR_MODE_GRAY, XR_MODE_INDEX, XR_MODE_MONO};
constexpr int32_t kMethods[] = {XR_RESAMPLE_NEAREST, XR_RESAMPLE_BILINEAR, XR_RESAMPLE_BICUBIC};

// A record over its own vectors; padding bytes after each line must survive.
struct Image {
    XrImage rec{};
    Bytes pixels, palette;
    Image(int32_t mode, uint16_t width, uint16_t height, uint32_t pad = 0, uint8_t palfmt = 0)
        : pixels(size_t{ImageLineBytes(mode, width) + pad} * height, 0xCD) {
        rec = XrImage{mode, width, height, ImageLineBytes(mode, width) + pad, 8, palfmt, 0, nullptr, nullptr,
                      pixels.data(), static_cast<uint32_t>(pixels.size())};
        if (mode == XR_MODE_INDEX) palette.assign(1024, 0), rec.PALCOUNT = 256, rec.PALBUT = palette.data();
    }
    Image(const Image&) = delete;
    uint32_t LineBytes() const { return ImageLineBytes(rec.MODE, rec.WIDTH); }
    uint8_t* Line(uint32_t y) { return pixels.data() + size_t{y} * rec.LINEINT; }
    const uint8_t* Line(uint32_t y) const { return pixels.data() + size_t{y} * rec.LINEINT; }
    Bytes Lines() const {
        Bytes out;
        for (uint32_t y = 0; y < rec.HEIGHT; ++y) out.insert(out.end(), Line(y), Line(y) + LineBytes());
        return out;
    }
    bool PaddingIntact() const {
        for (uint32_t y = 0; y < rec.HEIGHT; ++y)
            if (std::any_of(Line(y) + LineBytes(), Line(y) + rec.LINEINT, [](uint8_t b) { return b != 0xCD; }))
                return false;
        return true;
    }
    int Channels() const { return rec.MODE == XR_MODE_RGB ? 3 : 1; }
    int At(int64_t x, int64_t y, int c) const {  // held inside the image, as the resampler holds its window
        x = std::clamp<int64_t>(x, 0, rec.WIDTH - 1), y = std::clamp<int64_t>(y, 0, rec.HEIGHT - 1);
        return Line(static_cast<uint32_t>(y))[x * Channels() + c];
    }
};

void FillRandom(Image& image, uint32_t seed) {
    std::mt19937 random(seed);
    for (uint32_t y = 0; y < image.rec.HEIGHT; ++y) {
        std::generate_n(image.Line(y), image.LineBytes(), [&] { return static_cast<uint8_t>(random()); });
        if (image.rec.MODE == XR_MODE_MONO && image.rec.WIDTH % 8)  // the stretch writes spare bits as 0
            image.Line(y)[image.LineBytes() - 1] &= static_cast<uint8_t>(0xFF00 >> (image.rec.WIDTH % 8));
    }
    for (auto& b : image.palette) b = static_cast<uint8_t>(random());
}

struct Outcome {
    CodecStatus status = XR_OK;
    Bytes bytes, palette;
};

// Streams as a decoder would: each source line arrives in the same scratch
// buffer, so any earlier row still needed must have been copied.
CodecStatus Stream(Resampler* handle, const Image& source, Image& destination) {
    Bytes scratch(source.LineBytes());
    uint32_t written = 0;
    for (uint32_t y = 0; y < source.rec.HEIGHT; ++y) {
        std::copy_n(source.Line(y), scratch.size(), scratch.begin());
        if (CodecStatus status = ResPutLine(handle, scratch.data())) return status;
        for (int32_t line = 0; line != XR_RES_NEED_LINE;) {
            if (written >= destination.rec.HEIGHT) return XR_ERR_INTERNAL;
            if (CodecStatus status = ResGetLine(handle, destination.Line(written), &line)) return status;
            if (line != XR_RES_NEED_LINE) ++written;
            if (line == XR_RES_LAST_LINE) return written == destination.rec.HEIGHT ? XR_OK : XR_ERR_INTERNAL;
        }
    }
    return XR_ERR_INTERNAL;
}

Outcome Resample(const Image& source, uint16_t width, uint16_t height, int32_t method, int32_t sharpness,
                 bool streamed) {
    Image destination(source.rec.MODE, width, height, 3, source.rec.PALFMT);
    Bytes handleBytes(static_cast<size_t>(ResGetHandleSize())), work(ResWorkBufferBytes(method, source.rec.LINEINT));
    auto* handle = reinterpret_cast<Resampler*>(handleBytes.data());
    Outcome out;
    out.status = ResInit(handle);
    if (!out.status) out.status = ResSetMethod(handle, method, sharpness, work.data());
    if (!out.status) out.status = ResStart(handle, &destination.rec, &source.rec);
    if (!out.status)
        out.status = streamed ? Stream(handle, source, destination) : ResImage(handle, destination.pixels.data(),
                                                                                source.pixels.data());
    EXPECT_TRUE(destination.PaddingIntact()) << "wrote past a line";
    out.bytes = destination.Lines();
    out.palette = destination.palette;
    return out;
}

int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

int64_t BicubicStart(int64_t from, int64_t to) {
    return (from * 65536 - (to - 1) * ((from << 16) / to) - 65536) / 2;
}

// The arithmetic one output pixel at a time (RGB and GRAY).
Bytes Model(const Image& s, uint16_t width, uint16_t height, int32_t method, int32_t sharpness) {
    const int64_t stepX = (int64_t{s.rec.WIDTH} << 16) / width, stepY = (int64_t{s.rec.HEIGHT} << 16) / height;
    Kernel kx{}, ky{};
    BuildKernel(kx, static_cast<uint32_t>(stepX), sharpness);
    BuildKernel(ky, static_cast<uint32_t>(stepY), sharpness);
    const int64_t start = BicubicStart(s.rec.WIDTH, width), last = s.rec.WIDTH - 1;
    Bytes out;
    for (int64_t j = 0; j < height; ++j) {
        const int64_t y = j * stepY >> 16, fy = j * stepY & 0xFFFF;
        for (int64_t k = 0; k < width; ++k)
            for (int c = 0; c < s.Channels(); ++c) {
                const int64_t i = k * stepX >> 16, fx = (k * stepX & 0xFFFF) >> 8, wy = fy >> 8;
                int64_t v = s.At(i, y, c);
                if (method == XR_RESAMPLE_BILINEAR) {
                    auto column = [&](int64_t x) { return s.At(x, y, c) * (256 - wy) + s.At(x, y + 1, c) * wy; };
                    v = ((256 - fx) * column(i) + fx * column(std::min(i + 1, last))) >> 16;
                } else if (method == XR_RESAMPLE_BICUBIC) {
                    const int64_t p = start + k * stepX, x0 = FloorDiv(p, 65536), phase = (p - x0 * 65536) >> 12;
                    int64_t sum = 0;
                    for (int t = 0; t < 4; ++t)
                        for (int r = 0; r < 4; ++r)
                            sum += s.At(x0 - 1 + t, y - 1 + r, c) * ky[fy >> 12][r] * kx[phase][t];
                    v = std::clamp<int64_t>(sum >> 16, 0, 255);
                }
                out.push_back(static_cast<uint8_t>(v));
            }
    }
    return out;
}

TEST(ResamplerKernel, PhasesSumTo256AndKnownValues) {
    for (int32_t sharpness = -128; sharpness <= 127; ++sharpness)
        for (uint32_t step : {0x100u, 0x8000u, 0x10000u, 0x18000u, 0x30000u, 0x55555u, 0x100000u, 0x1000000u}) {
            Kernel k{};
            BuildKernel(k, step, sharpness);
            for (const auto& phase : k) {
                ASSERT_EQ(phase[0] + phase[1] + phase[2] + phase[3], 256) << sharpness << " " << step;
                // 255 x magnitude^2 (rows, then columns) stays inside 32 bits.
                ASSERT_LE(std::abs(phase[0]) + std::abs(phase[1]) + std::abs(phase[2]) + std::abs(phase[3]),
                          1024);
            }
        }
    Kernel k{};
    auto phase = [&](uint32_t step, int32_t sharpness, int p) {
        BuildKernel(k, step, sharpness);
        return std::vector<int>(k[p], k[p] + 4);
    };
    EXPECT_EQ(phase(0x8000, 0, 8), (std::vector<int>{-32, 160, 160, -32}));    // a = -1 at 1.5, 0.5
    EXPECT_EQ(phase(0x8000, -64, 8), (std::vector<int>{-16, 144, 144, -16}));  // a = -0.5, Catmull-Rom
    EXPECT_EQ(phase(0x8000, 127, 0), (std::vector<int>{0, 256, 0, 0}));
    EXPECT_EQ(phase(0x20000, -128, 0), (std::vector<int>{64, 128, 64, 0}));  // halving reads 1, 0, 1, 2 at half
}

// a = 0: inner taps 2|x|^3 - 3|x|^2 + 1 (up to 3/256 from the truncated Q8
// powers), outer taps 0 but for the rounding remainder the first one takes.
TEST(ResamplerKernel, SmoothestSharpnessIsTheSmoothCubic) {
    Kernel k{};
    BuildKernel(k, 0x8000, -128);
    auto cubic = [](double d) { return 256 * (2 * d * d * d - 3 * d * d + 1); };
    for (int p = 0; p < 16; ++p) {
        EXPECT_TRUE(k[p][0] >= 0 && k[p][0] <= 2 && k[p][3] == 0) << p;
        EXPECT_NEAR(k[p][1], cubic(p / 16.0), 3.0) << p;
        EXPECT_NEAR(k[p][2], cubic(1 - p / 16.0), 3.0) << p;
    }
    // No negative weight, so no ringing: outputs stay within the source's range.
    Image source(XR_MODE_GRAY, 12, 1);
    for (uint32_t x = 0; x < 12; ++x) source.Line(0)[x] = x % 4 < 2 ? 20 : 230;
    for (uint8_t v : Resample(source, 97, 1, XR_RESAMPLE_BICUBIC, -128, false).bytes)
        EXPECT_TRUE(v >= 20 && v <= 230) << int{v};
}

struct Session {
    Bytes handleBytes = Bytes(static_cast<size_t>(ResGetHandleSize())), work = Bytes(1 << 16);
    Resampler* handle = reinterpret_cast<Resampler*>(handleBytes.data());
    CodecStatus Start(Image& destination, const Image& source, int32_t method = XR_RESAMPLE_BICUBIC,
                      bool withWork = true) {
        EXPECT_EQ(ResInit(handle), XR_OK);
        EXPECT_EQ(ResSetMethod(handle, method, 0, withWork ? work.data() : nullptr), XR_OK);
        return ResStart(handle, &destination.rec, &source.rec);
    }
};

TEST(ResamplerStatus, ArgumentsAndCallOrder) {
    Session s;
    Image source(XR_MODE_GRAY, 4, 3), destination(XR_MODE_GRAY, 8, 6);
    int32_t line = 0;
    EXPECT_EQ(ResInit(nullptr), XR_ERR_ARGUMENT);
    EXPECT_EQ(ResSetMethod(nullptr, 0, 0, nullptr), XR_ERR_ARGUMENT);
    EXPECT_EQ(ResSetMethod(s.handle, -1, 0, nullptr), XR_ERR_RESAMPLE_METHOD);
    EXPECT_EQ(ResSetMethod(s.handle, 3, 0, nullptr), XR_ERR_RESAMPLE_METHOD);
    EXPECT_EQ(ResStart(s.handle, nullptr, &source.rec), XR_ERR_ARGUMENT);
    EXPECT_EQ(ResStart(s.handle, &destination.rec, nullptr), XR_ERR_ARGUMENT);
    EXPECT_EQ(ResPutLine(s.handle, source.Line(0)), XR_ERR_ARGUMENT);  // not started
    EXPECT_EQ(ResImage(s.handle, destination.pixels.data(), source.pixels.data()), XR_ERR_ARGUMENT);
    ASSERT_EQ(s.Start(destination, source), XR_OK);
    EXPECT_EQ(ResPutLine(s.handle, nullptr), XR_ERR_ARGUMENT);
    EXPECT_EQ(ResGetLine(s.handle, destination.Line(0), nullptr), XR_ERR_ARGUMENT);
    EXPECT_EQ(ResGetLine(s.handle, destination.Line(0), &line), XR_OK);
    EXPECT_EQ(line, XR_RES_NEED_LINE);
    ASSERT_EQ(ResPutLine(s.handle, source.Line(0)), XR_OK);
    EXPECT_EQ(ResPutLine(s.handle, source.Line(1)), XR_ERR_ARGUMENT);  // line 0 not taken yet
    for (int i = 0; i < 2; ++i) {  // priming asks for line 1, and asking twice takes nothing more
        EXPECT_EQ(ResGetLine(s.handle, destination.Line(0), &line), XR_OK);
        EXPECT_EQ(line, XR_RES_NEED_LINE);
    }
    // Sharpness is held to -128..127.
    FillRandom(source, 3);
    auto bicubic = [&](int32_t sharp) { return Resample(source, 9, 7, XR_RESAMPLE_BICUBIC, sharp, false).bytes; };
    EXPECT_EQ(bicubic(1000), bicubic(127));
    EXPECT_EQ(bicubic(-999), bicubic(-128));
    EXPECT_NE(bicubic(127), bicubic(-128));
    // A new method needs a new start.
    EXPECT_EQ(ResSetMethod(s.handle, XR_RESAMPLE_NEAREST, 0, nullptr), XR_OK);
    EXPECT_EQ(ResImage(s.handle, destination.pixels.data(), source.pixels.data()), XR_ERR_ARGUMENT);
    // Bilinear and bicubic keep copied rows in the work buffer.
    for (int32_t method : kMethods) {
        ASSERT_EQ(s.Start(destination, source, method, false), XR_OK);
        const CodecStatus expected = method == XR_RESAMPLE_NEAREST ? XR_OK : XR_ERR_WORK_BUFFER;
        ASSERT_EQ(ResPutLine(s.handle, source.Line(0)), XR_OK);
        EXPECT_EQ(ResGetLine(s.handle, destination.Line(0), &line), expected) << method;
        EXPECT_EQ(ResImage(s.handle, destination.pixels.data(), source.pixels.data()), expected) << method;
    }
}

TEST(ResamplerStatus, ModesSizesPalettesAndScale) {
    Session s;
    Image rgb(XR_MODE_RGB, 4, 4), gray(XR_MODE_GRAY, 4, 4), empty(XR_MODE_RGB, 0, 4), flat(XR_MODE_RGB, 4, 0);
    for (int32_t mode : {XR_MODE_UNK, XR_MODE_RGBW, XR_MODE_YUVW, XR_MODE_GRAYW, XR_MODE_LAB, XR_MODE_HIGH}) {
        Image other(mode, 4, 4);
        EXPECT_EQ(s.Start(rgb, other), XR_ERR_UNSUPPORTED) << mode;
        EXPECT_EQ(s.Start(other, rgb), XR_ERR_UNSUPPORTED) << mode;
    }
    EXPECT_EQ(s.Start(empty, rgb), XR_ERR_MISMATCH);
    EXPECT_EQ(s.Start(rgb, flat), XR_ERR_MISMATCH);
    EXPECT_EQ(s.Start(gray, rgb), XR_ERR_MISMATCH);
    Image black(XR_MODE_MONO, 4, 4, 0, XR_PALFMT_BLACKISZERO), white(XR_MODE_MONO, 8, 8, 0, XR_PALFMT_WHITEISZERO);
    EXPECT_EQ(s.Start(white, black), XR_ERR_MISMATCH);
    Image index(XR_MODE_INDEX, 4, 4), bare(XR_MODE_INDEX, 8, 8);
    bare.rec.PALBUT = nullptr;
    EXPECT_EQ(s.Start(bare, index), XR_ERR_MISMATCH);
    EXPECT_EQ(s.Start(index, bare), XR_ERR_MISMATCH);
    Image narrow(XR_MODE_RGB, 8, 8);
    narrow.rec.LINEINT = 23;
    EXPECT_EQ(s.Start(narrow, rgb), XR_ERR_MISMATCH);
    Image dot(XR_MODE_RGB, 1, 1), wide(XR_MODE_RGB, 257, 1), tall(XR_MODE_RGB, 1, 257), big(XR_MODE_RGB, 256, 256);
    EXPECT_EQ(s.Start(big, dot), XR_OK);
    EXPECT_EQ(s.Start(dot, big), XR_OK);
    for (Image* far : {&wide, &tall}) {
        EXPECT_EQ(s.Start(*far, dot), XR_ERR_RESAMPLE_SCALE);
        EXPECT_EQ(s.Start(dot, *far), XR_ERR_RESAMPLE_SCALE);
    }
}

TEST(Resampler, OnePixelTo256x256ButNot257) {
    Image dot(XR_MODE_RGB, 1, 1);
    std::copy_n(Bytes{10, 200, 77}.begin(), 3, dot.Line(0));
    for (int32_t method : kMethods)
        for (bool streamed : {false, true}) {
            Outcome out = Resample(dot, 256, 256, method, 127, streamed);
            ASSERT_EQ(out.status, XR_OK);
            for (size_t i = 0; i < out.bytes.size(); i += 3)
                ASSERT_TRUE(out.bytes[i] == 10 && out.bytes[i + 1] == 200 && out.bytes[i + 2] == 77) << i;
        }
    EXPECT_EQ(Resample(dot, 257, 1, XR_RESAMPLE_NEAREST, 0, false).status, XR_ERR_RESAMPLE_SCALE);
}

// YUV, INDEX and MONO take row y by nearest neighbour under every method.
TEST(Resampler, PaletteModesOnlyTakeSourceValues) {
    for (int32_t mode : {XR_MODE_YUV, XR_MODE_INDEX, XR_MODE_MONO}) {
        Image source(mode, 23, 19, 1, XR_PALFMT_WHITEISZERO);
        FillRandom(source, 11);
        if (mode != XR_MODE_MONO)  // few values, so that an invented one shows
            for (uint32_t y = 0; y < 19; ++y)
                std::for_each(source.Line(y), source.Line(y) + source.LineBytes(), [](uint8_t& b) { b &= 0x31; });
        const Bytes bytes = source.Lines();
        const std::set<uint8_t> values(bytes.begin(), bytes.end());
        const Bytes nearest = Resample(source, 57, 8, XR_RESAMPLE_NEAREST, 0, false).bytes;
        for (int32_t method : kMethods)
            for (bool streamed : {false, true}) {
                const Outcome out = Resample(source, 57, 8, method, 0, streamed);
                ASSERT_EQ(out.status, XR_OK);
                EXPECT_EQ(out.bytes, nearest) << mode << " " << method;
                EXPECT_TRUE(mode == XR_MODE_MONO || std::all_of(out.bytes.begin(), out.bytes.end(),
                                                                [&](uint8_t b) { return values.count(b) > 0; }));
                EXPECT_EQ(out.palette, source.palette);
            }
    }
    // Bicubic's window starts at row y - 1; MONO must still take row y.
    Image mono(XR_MODE_MONO, 3, 2, 0, XR_PALFMT_WHITEISZERO);
    mono.Line(0)[0] = 0xA0, mono.Line(1)[0] = 0x40;  // 1 0 1 over 0 1 0
    EXPECT_EQ(Resample(mono, 6, 4, XR_RESAMPLE_BICUBIC, 0, true).bytes, (Bytes{0xCC, 0xCC, 0x30, 0x30}));
}

// Every method and mode, odd and even sizes both ways, padded lines: the line
// engine, the whole-image call and (RGB, GRAY) the per-pixel model agree, and
// nearest at the same size is the identity. The model clamps bicubic overshoot.
class ResamplerSizes : public testing::TestWithParam<std::tuple<int32_t, int32_t>> {};

TEST_P(ResamplerSizes, StreamedWholeAndModelAgree) {
    const auto [method, mode] = GetParam();
    const uint16_t sizes[] = {1, 2, 7, 8, 9, 17};
    for (uint16_t w : sizes)
        for (uint16_t h : sizes) {
            Image source(mode, w, h, 5);
            FillRandom(source, 100u * w + h);
            for (uint16_t nw : sizes)
                for (uint16_t nh : sizes) {
                    SCOPED_TRACE(testing::Message() << w << "x" << h << " -> " << nw << "x" << nh);
                    const Outcome whole = Resample(source, nw, nh, method, -20, false);
                    ASSERT_EQ(whole.status, XR_OK);
                    ASSERT_EQ(whole.bytes, Resample(source, nw, nh, method, -20, true).bytes);
                    if (mode == XR_MODE_RGB || mode == XR_MODE_GRAY) {
                        ASSERT_EQ(whole.bytes, Model(source, nw, nh, method, -20));
                    }
                    if (method == XR_RESAMPLE_NEAREST && nw == w && nh == h) {
                        ASSERT_EQ(whole.bytes, source.Lines());
                    }
                }
        }
}

INSTANTIATE_TEST_SUITE_P(MethodsAndModes, ResamplerSizes,
                         testing::Combine(testing::ValuesIn(kMethods), testing::ValuesIn(kModes)));

// Long lines cross the kept column chunks; large reductions work per pixel.
TEST(Resampler, LongLinesAndLargeReductions) {
    for (int32_t mode : {XR_MODE_RGB, XR_MODE_GRAY})
        for (auto [from, to] : {std::pair<uint16_t, uint16_t>{1300, 1701}, {1700, 650}, {1300, 170}, {2000, 100},
                                {2000, 9}, {9, 2000}}) {
            Image source(mode, from, 5);
            FillRandom(source, from);
            for (int32_t method : kMethods) {
                SCOPED_TRACE(testing::Message() << mode << ": " << from << " -> " << to << " by " << method);
                const Outcome whole = Resample(source, to, 11, method, 40, false);
                ASSERT_EQ(whole.bytes, Model(source, to, 11, method, 40));
                ASSERT_EQ(whole.bytes, Resample(source, to, 11, method, 40, true).bytes);
            }
        }
}

// Reductions by three or more start the window past the first column; a ramp
// must still be read at the planned sample centres (a column early reads 4 low).
TEST(Resampler, BicubicReductionKeepsSampleCentres) {
    Image source(XR_MODE_GRAY, 64, 1);
    for (uint32_t x = 0; x < 64; ++x) source.Line(0)[x] = static_cast<uint8_t>(4 * x);
    for (uint16_t width : {uint16_t{18}, uint16_t{12}, uint16_t{7}}) {
        const int64_t step = (int64_t{64} << 16) / width, start = BicubicStart(64, width);
        ASSERT_GE(start, 65536);
        const Bytes out = Resample(source, width, 1, XR_RESAMPLE_BICUBIC, 0, true).bytes;
        double total = 0;
        int count = 0;
        for (int64_t k = 0; k < width; ++k) {
            const double centre = static_cast<double>(start + k * step) / 65536;
            if (centre < 2 || centre > 61) continue;  // the edge hold bends the ramp
            const double error = out[static_cast<size_t>(k)] - 4 * centre;
            EXPECT_LT(std::abs(error), 2.5) << width << " pixel " << k;
            total += error, ++count;
        }
        EXPECT_LT(std::abs(total / count), 1.5) << width;  // truncated phases and sums read a little low
    }
}

// Our sample positions are not ImageMagick's resize geometry (bilinear reads
// (k step x, j step y) from the top-left corner; bicubic centres the columns but
// starts the rows at row 0), so the reference is ImageMagick's own
// interpolation at exactly those positions: -fx with -interpolate Bilinear or
// Catrom (a = -0.5, our sharpness -64), on a smooth picture.
TEST(Resampler, MatchesImageMagickInterpolation) {
    const std::string magick = testfiles::kMagick;
    if (!testfiles::HaveTool(magick)) GTEST_SKIP() << magick << " not installed";
    Image source(XR_MODE_RGB, 96, 72);
    for (uint32_t y = 0; y < 72; ++y)
        for (uint32_t x = 0; x < 96; ++x)
            for (uint32_t c = 0; c < 3; ++c)
                source.Line(y)[3 * x + c] = static_cast<uint8_t>(std::lround(
                    128 + 70 * std::sin(x / (11.0 + 3 * c) + c) * std::cos(y / (13.0 - 2 * c) + 0.5 * c)));
    testfiles::ScratchDir dir;
    const std::string in = dir / "source.bgr", out = dir / "magick.bgr";
    ASSERT_TRUE(testfiles::WriteBytes(in, source.pixels));
    const std::tuple<int32_t, uint16_t, uint16_t, double, int> cases[] = {
        {XR_RESAMPLE_BILINEAR, 211, 157, 0.1, 1},  // enlargement: mean |error| < 0.1, max <= 1
        {XR_RESAMPLE_BILINEAR, 41, 30, 0.1, 1},    // reduction: mean < 0.1, max <= 1
        {XR_RESAMPLE_BICUBIC, 211, 157, 0.3, 2},   // 16 phases, Q8 weights: mean < 0.3, max <= 2
        {XR_RESAMPLE_BICUBIC, 75, 56, 0.4, 2},     // our kernel widens, Catrom does not: mean < 0.4, max <= 2
        {XR_RESAMPLE_BICUBIC, 27, 20, 0.8, 6},     // by 3.5, smoothing shows: mean < 0.8 (a column off: 2), max <= 6
    };
    for (const auto& [method, width, height, meanLimit, maxLimit] : cases) {
        const int64_t stepX = (int64_t{96} << 16) / width, stepY = (int64_t{72} << 16) / height;
        const double startX = method == XR_RESAMPLE_BICUBIC ? static_cast<double>(BicubicStart(96, width)) / 65536 : 0;
        char command[512];
        std::snprintf(command, sizeof command,
                      "%s -size %dx%d xc: -size 96x72 -depth 8 'bgr:%s' -interpolate %s "
                      "-fx 'v.p{%.9f + i * %.9f, j * %.9f}' -depth 8 'bgr:%s'",
                      magick.c_str(), width, height, in.c_str(), method == XR_RESAMPLE_BILINEAR ? "Bilinear" : "Catrom",
                      startX, static_cast<double>(stepX) / 65536, static_cast<double>(stepY) / 65536, out.c_str());
        ASSERT_EQ(std::system(command), 0) << command;
        const Bytes theirs = testfiles::ReadBytes(out);
        const Bytes ours = Resample(source, width, height, method, -64, true).bytes;
        ASSERT_EQ(theirs.size(), ours.size());
        double total = 0;
        int worst = 0;
        for (size_t i = 0; i < ours.size(); ++i) {
            total += std::abs(ours[i] - theirs[i]);
            worst = std::max(worst, std::abs(ours[i] - theirs[i]));
        }
        const double mean = total / double(ours.size());
        std::printf("method %d to %dx%d: mean |error| %.3f, max %d\n", method, width, height, mean, worst);
        EXPECT_LT(mean, meanLimit) << method << " " << width;
        EXPECT_LE(worst, maxLimit) << method << " " << width;
    }
}

}  // namespace
