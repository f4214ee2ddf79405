// The rotator against a pixel-by-pixel reference, fixed pixels and
// netpbm / ImageMagick. Sources carry noise in their LINEINT padding and MONO
// spare bits, and whole destination buffers are compared, so a stray byte or
// bit anywhere fails.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "lumapix/rotator.h"
#include "test_files.hpp"

namespace {

constexpr int32_t kAngles[] = {0, 90, 180, 270, -1, -2};
constexpr int32_t kModes[] = {XR_MODE_RGB, XR_MODE_GRAY, XR_MODE_INDEX, XR_MODE_MONO};

bool Turns(int32_t angle) { return angle == 90 || angle == 270; }

struct Image {
    XrImage rec{};
    Image(int32_t mode, uint16_t width, uint16_t height, uint32_t pad = 0, uint32_t noise = 0) {
        rec = XrImage{mode, width, height, ImageLineBytes(mode, width) + pad, 0, 0, 0, nullptr, nullptr, nullptr, 0};
        EXPECT_EQ(ImageAlloc(&rec), XR_OK);
        if (noise) Noise(noise);
    }
    ~Image() { ImageFree(&rec); }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    uint8_t* Bytes() const { return static_cast<uint8_t*>(rec.PIXELS); }
    std::vector<uint8_t> All() const { return {Bytes(), Bytes() + rec.SIZE}; }
    uint32_t Step() const { return rec.MODE == XR_MODE_RGB ? 3 : 1; }
    uint32_t Get(uint32_t x, uint32_t y) const {
        const uint8_t* line = ImageLine(&rec, y);
        if (rec.MODE == XR_MODE_MONO) return (unsigned{line[x / 8]} >> (7 - x % 8)) & 1u;
        uint32_t v = 0;
        for (uint32_t i = 0; i < Step(); ++i) v = v << 8 | line[x * Step() + i];
        return v;
    }
    void Set(uint32_t x, uint32_t y, uint32_t v) {
        uint8_t* line = ImageLine(&rec, y);
        if (rec.MODE == XR_MODE_MONO) {
            line[x / 8] = static_cast<uint8_t>(line[x / 8] | v << (7 - x % 8));
            return;
        }
        for (uint32_t i = Step(); i-- > 0; v >>= 8) line[x * Step() + i] = static_cast<uint8_t>(v);
    }
    void Noise(uint32_t seed) {  // every byte, padding and spare bits included
        for (uint32_t i = 0, s = seed * 2654435761u + 1; i < rec.SIZE; ++i) {
            s ^= s << 13, s ^= s >> 17, s ^= s << 5;
            Bytes()[i] = static_cast<uint8_t>(s >> 7);
        }
    }
};
using ImagePtr = std::unique_ptr<Image>;

ImagePtr Blank(const Image& source, int32_t angle, uint32_t pad) {
    const XrImage& s = source.rec;
    return std::make_unique<Image>(s.MODE, Turns(angle) ? s.HEIGHT : s.WIDTH, Turns(angle) ? s.WIDTH : s.HEIGHT, pad);
}

ImagePtr Reference(const Image& source, int32_t angle, uint32_t pad = 0) {
    ImagePtr out = Blank(source, angle, pad);
    uint32_t w = source.rec.WIDTH, h = source.rec.HEIGHT;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            uint32_t dx = angle == 90 ? h - 1 - y : angle == 270 ? y : angle == 180 || angle == -1 ? w - 1 - x : x;
            uint32_t dy = angle == 90 ? x : angle == 270 ? w - 1 - x : angle == 180 || angle == -2 ? h - 1 - y : y;
            out->Set(dx, dy, source.Get(x, y));
        }
    return out;
}

struct Handle {
    std::vector<uint64_t> bytes = std::vector<uint64_t>((static_cast<size_t>(RotGetHandleSize()) + 7) / 8);
    Handle() { EXPECT_EQ(RotInit(get()), XR_OK); }
    void* get() { return bytes.data(); }
};

// The rotator's result; the destination starts dirty to show that it is cleared.
ImagePtr Rotated(const Image& source, int32_t angle, bool lineByLine, uint32_t pad = 0) {
    ImagePtr out = Blank(source, angle, pad);
    out->Noise(99);
    Handle h;
    EXPECT_EQ(RotStart(h.get(), &out->rec, &source.rec, angle), XR_OK);
    for (int32_t y = 0; lineByLine && y < source.rec.HEIGHT; ++y)
        EXPECT_EQ(RotLine(h.get(), out->Bytes(), ImageLine(&source.rec, static_cast<uint32_t>(y)), y), XR_OK);
    if (!lineByLine) {
        out->Noise(98);  // RotImage clears again
        EXPECT_EQ(RotImage(h.get(), out->Bytes(), source.rec.PIXELS), XR_OK);
    }
    return out;
}

class RotatorAngles : public testing::TestWithParam<std::tuple<int32_t, int32_t>> {};

TEST_P(RotatorAngles, MatchesTheReferenceOnOddSizesLineByLineAndWhole) {
    auto [mode, angle] = GetParam();
    constexpr uint16_t kSizes[] = {1, 7, 8, 9, 13, 17};
    for (uint16_t w : kSizes)
        for (uint16_t h : kSizes)
            for (uint32_t pad : {0u, 3u}) {
                SCOPED_TRACE(testing::Message() << w << "x" << h << " pad " << pad);
                Image source(mode, w, h, pad, w * 31u + h);
                std::vector<uint8_t> want = Reference(source, angle, pad)->All();
                EXPECT_EQ(Rotated(source, angle, true, pad)->All(), want) << "RotLine";
                EXPECT_EQ(Rotated(source, angle, false, pad)->All(), want) << "RotImage";
            }
}

INSTANTIATE_TEST_SUITE_P(AllModes, RotatorAngles, testing::Combine(testing::ValuesIn(kModes), testing::ValuesIn(kAngles)));

// RotImage turns in tiles of 256 rows by 16 columns and in 8 x 8 bit blocks
// grouped by 16; these sizes cross several and end inside one.
TEST(Rotator, BlockedQuarterTurnsMatchAcrossTiles) {
    for (auto [mode, w, h] : {std::tuple<int32_t, uint16_t, uint16_t>{XR_MODE_RGB, 300, 45}, {XR_MODE_GRAY, 33, 97},
                              {XR_MODE_INDEX, 529, 35}, {XR_MODE_MONO, 300, 139}, {XR_MODE_MONO, 129, 257}})
        for (int32_t angle : {90, 270}) {
            SCOPED_TRACE(testing::Message() << mode << " " << w << "x" << h << " by " << angle);
            Image source(mode, w, h, 2, 5);
            std::vector<uint8_t> want = Reference(source, angle, 1)->All();
            EXPECT_EQ(Rotated(source, angle, false, 1)->All(), want);
            EXPECT_EQ(Rotated(source, angle, true, 1)->All(), want);
        }
}

// Fixed pixels, independent of the reference's placement formulas.
TEST(Rotator, TurnsClockwise) {
    Image gray(XR_MODE_GRAY, 3, 2);
    std::memcpy(gray.Bytes(), "\1\2\3\4\5\6", 6);
    EXPECT_EQ(Rotated(gray, 90, true)->All(), (std::vector<uint8_t>{4, 1, 5, 2, 6, 3}));
    EXPECT_EQ(Rotated(gray, 270, false)->All(), (std::vector<uint8_t>{3, 6, 2, 5, 1, 4}));
}

// MONO columns share bytes with other lines: a line placed again must clear bits as well as set them.
TEST(Rotator, PlacingALineAgainReplacesIt) {
    for (int32_t mode : {XR_MODE_GRAY, XR_MODE_MONO})
        for (int32_t angle : kAngles) {
            Image source(mode, 11, 5, 0, 8);
            ImagePtr out = Blank(source, angle, 0);
            Handle h;
            ASSERT_EQ(RotStart(h.get(), &out->rec, &source.rec, angle), XR_OK);
            std::vector<uint8_t> ones(ImageLineBytes(mode, 11), 0xFF);
            for (int32_t y = 0; y < 5; ++y) {
                ASSERT_EQ(RotLine(h.get(), out->Bytes(), ones.data(), y), XR_OK);
                ASSERT_EQ(RotLine(h.get(), out->Bytes(), ImageLine(&source.rec, static_cast<uint32_t>(y)), y), XR_OK);
            }
            EXPECT_EQ(out->All(), Reference(source, angle)->All()) << mode << " by " << angle;
        }
}

TEST(Rotator, StatusesAndClearing) {
    Handle h;
    EXPECT_EQ(RotInit(nullptr), XR_ERR_ARGUMENT);
    Image rgb(XR_MODE_RGB, 5, 3, 0, 1), turned(XR_MODE_RGB, 3, 5), gray(XR_MODE_GRAY, 5, 3);
    const uint8_t* line = rgb.Bytes();
    EXPECT_EQ(RotLine(h.get(), turned.Bytes(), line, 0), XR_ERR_ROTATE_ANGLE) << "not started";
    EXPECT_EQ(RotImage(h.get(), turned.Bytes(), rgb.Bytes()), XR_ERR_ROTATE_ANGLE);
    EXPECT_EQ(RotStart(nullptr, &turned.rec, &rgb.rec, 90), XR_ERR_ARGUMENT);
    EXPECT_EQ(RotStart(h.get(), nullptr, &rgb.rec, 90), XR_ERR_ARGUMENT);
    EXPECT_EQ(RotStart(h.get(), &turned.rec, nullptr, 90), XR_ERR_ARGUMENT);
    EXPECT_EQ(RotStart(h.get(), &gray.rec, &rgb.rec, 0), XR_ERR_MISMATCH);
    EXPECT_EQ(RotStart(h.get(), &rgb.rec, &rgb.rec, 90), XR_ERR_MISMATCH);
    EXPECT_EQ(RotStart(h.get(), &turned.rec, &rgb.rec, 180), XR_ERR_MISMATCH);
    for (int32_t angle : {45, 360, -90, -3, 1}) EXPECT_EQ(RotStart(h.get(), &turned.rec, &rgb.rec, angle), 9) << angle;
    // YUV, RGBW, YUVW, GRAYW, LAB, HIGH, the unnamed modes and none.
    for (int32_t mode : {2, 6, 7, 8, 9, 10, 11, 0, -1}) {
        XrImage a{mode, 4, 4, 24, 0, 0, 0, nullptr, nullptr, rgb.rec.PIXELS, 45};
        EXPECT_EQ(RotStart(h.get(), &a, &a, 0), mode >= 6 ? XR_ERR_UNSUPPORTED : XR_ERR_MISMATCH) << mode;
    }
    // Buffers too small for their lines, or no lines at all.
    XrImage bad = turned.rec;
    bad.LINEINT = 8;
    EXPECT_EQ(RotStart(h.get(), &bad, &rgb.rec, 90), XR_ERR_MISMATCH);
    bad = rgb.rec, bad.LINEINT = 14;
    EXPECT_EQ(RotStart(h.get(), &turned.rec, &bad, 90), XR_ERR_MISMATCH);
    bad = rgb.rec, bad.WIDTH = 0;
    EXPECT_EQ(RotStart(h.get(), &bad, &bad, 0), XR_ERR_MISMATCH);
    bad = turned.rec, bad.PIXELS = nullptr;
    EXPECT_EQ(RotStart(h.get(), &bad, &rgb.rec, 90), XR_ERR_ARGUMENT);

    // SIZE may end right after the last line's pixels or run past the rows; all of it is cleared.
    Image roomy(XR_MODE_RGB, 3, 5, 2, 7);  // 55 bytes
    bad = roomy.rec, bad.LINEINT = 10, bad.SIZE = 4 * 10 + 8;
    EXPECT_EQ(RotStart(h.get(), &bad, &rgb.rec, 90), XR_ERR_MISMATCH);
    bad.SIZE = 4 * 10 + 9;
    EXPECT_EQ(RotStart(h.get(), &bad, &rgb.rec, 90), XR_OK);
    bad.SIZE = 55;
    ASSERT_EQ(RotStart(h.get(), &bad, &rgb.rec, 90), XR_OK);
    EXPECT_EQ(roomy.All(), std::vector<uint8_t>(55, 0));
    roomy.Noise(3);
    ASSERT_EQ(RotImage(h.get(), roomy.Bytes(), rgb.Bytes()), XR_OK);
    for (int i : {9, 19, 49, 50, 54}) EXPECT_EQ(roomy.Bytes()[i], 0) << "byte " << i;
    EXPECT_EQ(RotLine(nullptr, roomy.Bytes(), line, 0), XR_ERR_ARGUMENT);
    EXPECT_EQ(RotLine(h.get(), nullptr, line, 0), XR_ERR_ARGUMENT);
    EXPECT_EQ(RotLine(h.get(), roomy.Bytes(), nullptr, 0), XR_ERR_ARGUMENT);
    EXPECT_EQ(RotLine(h.get(), roomy.Bytes(), line, -1), XR_ERR_ROTATE_LINE);
    EXPECT_EQ(RotLine(h.get(), roomy.Bytes(), line, 3), XR_ERR_ROTATE_LINE);
    EXPECT_EQ(RotLine(h.get(), roomy.Bytes(), line, 2), XR_OK);
    EXPECT_EQ(RotStart(h.get(), &gray.rec, &rgb.rec, 0), XR_ERR_MISMATCH);
    EXPECT_EQ(RotLine(h.get(), roomy.Bytes(), line, 2), XR_ERR_ROTATE_ANGLE) << "after a failed start";
}

// P4 (MONO, rows packed as ours), P5 (GRAY) or P6 (RGB, red first) in both directions.
void SwapRedBlue(std::vector<uint8_t>& bytes, int32_t mode) {
    for (size_t i = 0; mode == XR_MODE_RGB && i + 2 < bytes.size(); i += 3) std::swap(bytes[i], bytes[i + 2]);
}

TEST(RotatorCrossCheck, AgreesWithPamflipAndImageMagick) {
    const std::string magick = testfiles::kMagick;
    bool netpbm = testfiles::HaveTool("pamflip"), haveMagick = testfiles::HaveTool(magick);
    if (!netpbm && !haveMagick) GTEST_SKIP() << "neither pamflip nor ImageMagick installed";
    testfiles::ScratchDir dir;
    const std::string in = dir / "in.pnm", out = dir / "out.pnm";
    // pamflip turns counterclockwise: its -r90 is our 270.
    const std::tuple<bool, std::string, int32_t> tools[] = {
        {true, "pamflip -r90", 270},  {true, "pamflip -r270", 90},
        {true, "pamflip -r180", 180}, {true, "pamflip -lr", -1},        {true, "pamflip -tb", -2},
        {false, "-rotate 90", 90},    {false, "-rotate 270", 270},      {false, "-flop", -1}};
    for (int32_t mode : {XR_MODE_RGB, XR_MODE_GRAY, XR_MODE_MONO}) {
        ImagePtr source = Rotated(Image(mode, 13, 9, 0, 17), 0, true);  // spare bits cleared
        std::vector<uint8_t> pixels = source->All();
        SwapRedBlue(pixels, mode);
        const char* kind = mode == XR_MODE_MONO ? "P4" : mode == XR_MODE_GRAY ? "P5" : "P6";
        std::ofstream(in, std::ios::binary) << kind << "\n13 9\n" << (mode == XR_MODE_MONO ? "" : "255\n")
                                            << std::string(pixels.begin(), pixels.end());
        for (const auto& [isNetpbm, operation, angle] : tools) {
            if (isNetpbm ? !netpbm : !haveMagick || mode == XR_MODE_MONO) continue;  // ImageMagick: no P4 out
            std::string command = isNetpbm ? operation + " '" + in + "' > '" + out + "'"
                                           : magick + " '" + in + "' " + operation + (mode == XR_MODE_GRAY ? " pgm:'" : " ppm:'") +
                                                 out + "'";
            SCOPED_TRACE(command);
            ASSERT_TRUE(testfiles::Shell(command));
            std::vector<uint8_t> theirs = testfiles::ReadBytes(out);
            std::vector<uint8_t> ours = Rotated(*source, angle, true)->All();
            ASSERT_GT(theirs.size(), ours.size());
            EXPECT_EQ(std::string(theirs.begin(), theirs.begin() + 2), kind);
            theirs.erase(theirs.begin(), theirs.end() - static_cast<std::ptrdiff_t>(ours.size()));
            SwapRedBlue(theirs, mode);
            EXPECT_EQ(theirs, ours);
        }
    }
}

}  // namespace
