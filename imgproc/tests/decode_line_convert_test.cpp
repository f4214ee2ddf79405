// The in-place line converters against the mode converter, which works from a
// separate source line: chunking and the direction of in-place work must not
// change a single byte.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "lumapix/decode_line_convert.h"
#include "lumapix/mode_converter.h"
#include "lumapix/pixel_formulas.h"

namespace {

constexpr uint32_t kWidths[] = {1, 2, 3, 63, 64, 65, 129, 200};

struct Line {
    int32_t mode;
    uint32_t width;
    std::vector<uint8_t> bytes;  // room for six bytes a pixel, the widest mode
};

Line RandomLine(int32_t mode, uint32_t width, std::mt19937& random) {
    Line line{mode, width, std::vector<uint8_t>(size_t{width} * 6 + 8, 0xEE)};
    uint32_t used = ImageLineBytes(mode, width);
    for (uint32_t i = 0; i < used; ++i) line.bytes[i] = static_cast<uint8_t>(random());
    if (mode == XR_MODE_MONO && width % 8) line.bytes[used - 1] &= static_cast<uint8_t>(0xFF00 >> (width % 8));
    return line;
}

std::vector<uint8_t> RandomPalette(std::mt19937& random) {
    std::vector<uint8_t> palette(1024);
    for (auto& b : palette) b = static_cast<uint8_t>(random());
    return palette;
}

// The reference: the mode converter with no dithering and the system palette.
std::vector<uint8_t> ConvertWithConverter(const Line& line, int32_t to, std::vector<uint8_t>& palette, uint8_t palfmt) {
    XrImage source{line.mode, static_cast<uint16_t>(line.width), 1, ImageLineBytes(line.mode, line.width), 8, palfmt,
                   256, palette.data(), nullptr, const_cast<uint8_t*>(line.bytes.data()), 0};
    std::vector<uint8_t> out(ImageLineBytes(to, line.width) + 1);
    std::vector<uint8_t> outPalette(1024);
    XrImage destination{to, static_cast<uint16_t>(line.width), 1, ImageLineBytes(to, line.width), 8, palfmt,
                        256, outPalette.data(), nullptr, out.data(), 0};
    std::vector<uint8_t> handle(static_cast<size_t>(ConvGetHandleSize()));
    std::vector<uint8_t> work(ConvWorkLineBytes(line.width));
    const uint8_t params[3] = {XR_DITHER_NONE, 0, 128};
    EXPECT_EQ(ConvInit(handle.data()), XR_OK);
    EXPECT_EQ(ConvSetDither(handle.data(), params, nullptr), XR_OK);
    EXPECT_EQ(ConvStart(handle.data(), &destination, &source, work.data()), XR_OK);
    EXPECT_EQ(ConvLine(handle.data(), out.data(), line.bytes.data()), XR_OK);
    out.pop_back();
    return out;
}

// Pairs whose decode-time rule differs from the converter's on purpose (tested below).
bool DecodeTimeRuleDiffers(int32_t from, int32_t to) {
    if (to == XR_MODE_GRAY || to == XR_MODE_MONO) return from == XR_MODE_YUV || from == XR_MODE_LAB;
    if (to == XR_MODE_GRAYW) return from != XR_MODE_RGBW;
    return false;
}

TEST(DecodeLineConvert, MatchesTheModeConverterInPlace) {
    std::mt19937 random(7);
    int compared = 0;
    for (int32_t to = XR_MODE_RGB; to <= XR_MODE_HIGH; ++to) {
        for (int32_t from = XR_MODE_RGB; from <= XR_MODE_HIGH; ++from) {
            if (from == to || DecodeTimeRuleDiffers(from, to)) continue;
            for (uint32_t width : kWidths) {
                for (uint8_t palfmt : {uint8_t{0}, uint8_t{1}}) {
                    SCOPED_TRACE(std::string(ImageModeName(from)) + " -> " + ImageModeName(to) + ", width " +
                                 std::to_string(width) + ", palfmt " + std::to_string(palfmt));
                    Line line = RandomLine(from, width, random);
                    std::vector<uint8_t> palette = RandomPalette(random);
                    Line converted = line;
                    int32_t result = DecodeLineConvert(converted.bytes.data(), width, from, to, palette.data(),
                                                       palfmt, palfmt);
                    if (result != 0) {
                        EXPECT_EQ(converted.bytes, line.bytes) << "a refused line must stay as it was";
                        continue;
                    }
                    std::vector<uint8_t> want = ConvertWithConverter(line, to, palette, palfmt);
                    ASSERT_EQ(std::vector<uint8_t>(converted.bytes.begin(), converted.bytes.begin() + static_cast<long>(want.size())), want);
                    ++compared;
                }
            }
        }
    }
    EXPECT_GT(compared, 900);
}

TEST(DecodeLineConvert, RefusesThePairsItHasNoRuleFor) {
    const std::pair<int32_t, int32_t> refused[] = {
        {XR_MODE_LAB, XR_MODE_YUV}, {XR_MODE_HIGH, XR_MODE_YUV}, {XR_MODE_HIGH, XR_MODE_GRAY},
        {XR_MODE_LAB, XR_MODE_INDEX}, {XR_MODE_HIGH, XR_MODE_MONO}, {XR_MODE_LAB, XR_MODE_YUVW},
        {XR_MODE_HIGH, XR_MODE_GRAYW}, {XR_MODE_GRAY, XR_MODE_LAB}, {XR_MODE_YUV, XR_MODE_HIGH},
        {XR_MODE_MONO, XR_MODE_HIGH}, {XR_MODE_LAB, XR_MODE_HIGH}, {0, XR_MODE_RGB}, {11, XR_MODE_RGB}};
    std::vector<uint8_t> line(64, 0x5A);
    for (auto [from, to] : refused) {
        EXPECT_EQ(DecodeLineConvert(line.data(), 4, from, to, nullptr, 0, 0), -1) << from << " -> " << to;
    }
    EXPECT_EQ(DecodeLineConvert(line.data(), 4, XR_MODE_INDEX, XR_MODE_RGB, nullptr, 0, 0), -1) << "no palette";
    EXPECT_EQ(line, std::vector<uint8_t>(64, 0x5A));
}

TEST(DecodeLineConvert, OwnModeKeepsTheLine) {
    std::vector<uint8_t> line = {3, 1, 4, 1, 5, 9};
    for (int32_t mode : {XR_MODE_INDEX, XR_MODE_MONO, XR_MODE_RGB}) {
        EXPECT_EQ(DecodeLineConvert(line.data(), 2, mode, mode, nullptr, 0, 1), 0);
        EXPECT_EQ(line, (std::vector<uint8_t>{3, 1, 4, 1, 5, 9}));
    }
}

TEST(DecodeLineConvert, GreyTargetsTakeLumaAndLightnessDirectly) {
    // YUV to GRAY keeps the Y bytes; YUVW to GRAYW the Y words.
    std::vector<uint8_t> yuv = {10, 200, 20, 50, 30, 90, 0, 0};
    ASSERT_EQ(DecodeLineConvert(yuv.data(), 3, XR_MODE_YUV, XR_MODE_GRAY, nullptr, 0, 0), 0);
    EXPECT_EQ(std::vector<uint8_t>(yuv.begin(), yuv.begin() + 3), (std::vector<uint8_t>{10, 20, 30}));
    std::vector<uint8_t> yuvw = {0x34, 0x12, 1, 2, 0x78, 0x56, 3, 4};
    ASSERT_EQ(DecodeLineConvert(yuvw.data(), 2, XR_MODE_YUVW, XR_MODE_GRAYW, nullptr, 0, 0), 0);
    EXPECT_EQ(std::vector<uint8_t>(yuvw.begin(), yuvw.begin() + 4), (std::vector<uint8_t>{0x34, 0x12, 0x78, 0x56}));

    // LAB lightness maps to the grey of the neutral colour; black and white stay put.
    std::vector<uint8_t> lab = {0, 128, 96, 255, 128, 96, 128, 0, 255};
    ASSERT_EQ(DecodeLineConvert(lab.data(), 3, XR_MODE_LAB, XR_MODE_GRAY, nullptr, 0, 0), 0);
    EXPECT_EQ(lab[0], 0);
    EXPECT_GE(lab[1], 253);
    uint8_t neutral[3], grey[3] = {128, 128, 96};
    RgbFromLab(grey, neutral);
    EXPECT_NEAR(lab[2], neutral[1], 1) << "a and b do not matter";

    // 8-bit sources reach GRAYW through GRAY, widened by 8 bits.
    std::vector<uint8_t> rgb = {29, 150, 77, 255, 255, 255, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(DecodeLineConvert(rgb.data(), 2, XR_MODE_RGB, XR_MODE_GRAYW, nullptr, 0, 0), 0);
    uint32_t first = rgb[0] | uint32_t{rgb[1]} << 8, second = rgb[2] | uint32_t{rgb[3]} << 8;
    EXPECT_EQ(first, uint32_t((77 * 77 + 150 * 150 + 29 * 29) >> 8) << 8);
    EXPECT_EQ(second, 0xFF00u);
}

TEST(DecodeLineConvert, MonoTargetThresholdsAt128WithEitherPolarity) {
    std::vector<uint8_t> grey = {0, 127, 128, 255, 200, 1, 130, 100, 250};
    std::vector<uint8_t> black = grey, white = grey;
    ASSERT_EQ(DecodeLineConvert(black.data(), 9, XR_MODE_GRAY, XR_MODE_MONO, nullptr, 0, XR_PALFMT_BLACKISZERO), 0);
    ASSERT_EQ(DecodeLineConvert(white.data(), 9, XR_MODE_GRAY, XR_MODE_MONO, nullptr, 0, XR_PALFMT_WHITEISZERO), 0);
    EXPECT_EQ(black[0], 0b00111010);
    EXPECT_EQ(black[1], 0b10000000);
    EXPECT_EQ(white[0], 0b11000101);
    EXPECT_EQ(white[1], 0b00000000);
}

}  // namespace
