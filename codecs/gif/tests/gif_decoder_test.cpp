// The decoder on files built with the tests' own LZW coder: header and palette,
// sizes and code sizes, interlace, screen placement and clipping, extensions, table
// handling, call order, and the scaled decode against the shared line stepping.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "gif_test_support.hpp"
#include "lumapix/decode_line_convert.h"
#include "lumapix/scaled_decode.h"

using namespace giftest;

namespace {

GifPlan Picture(uint16_t width, uint16_t height, uint32_t colours = 256, uint32_t seed = 1) {
    GifPlan plan;
    plan.width = width;
    plan.height = height;
    uint8_t bits = 2;
    while ((1u << bits) < colours) ++bits;
    plan.globalTable = MakeTable(1u << bits);
    plan.minCodeSize = bits;
    plan.pixels = RandomPixels(size_t{width} * height, colours, seed);
    return plan;
}

Bytes RecordPalette(const Bytes& table) {
    Bytes palette(1024, 0);
    for (size_t i = 0; i < table.size() / 3; ++i)
        for (size_t c = 0; c < 3; ++c) palette[4 * i + c] = table[3 * i + 2 - c];
    return palette;
}

// The image's pixels in the top-left corner of the screen, clipped to it, zero elsewhere.
Bytes OnScreen(const GifPlan& plan, uint32_t width, uint32_t height) {
    Bytes out(size_t{width} * height, 0);
    for (uint32_t y = 0; y < plan.height && y < height; ++y)
        for (uint32_t x = 0; x < plan.width && x < width; ++x) out[y * width + x] = plan.pixels[y * plan.width + x];
    return out;
}

// Both call patterns give expected; interlaced files refuse line calls.
void ExpectDecodes(const Bytes& file, const Bytes& expected, bool interlaced = false) {
    for (Calls calls : {Calls::kLines, Calls::kWhole}) {
        Decoded d = DecodeGif(file, calls);
        if (interlaced && calls == Calls::kLines) {
            EXPECT_EQ(d.status, XR_ERR_UNSUPPORTED);
            continue;
        }
        ASSERT_EQ(d.status, XR_OK) << (calls == Calls::kLines ? "lines" : "whole");
        EXPECT_EQ(d.pixels, expected) << (calls == Calls::kLines ? "lines" : "whole");
    }
}

TEST(GifDecoder, HeaderPaletteAndFirstImageInformation) {
    GifPlan plan = Picture(7, 3, 16);
    plan.screenWidth = 20, plan.screenHeight = 10, plan.background = 5, plan.interlaced = true;
    Decoded d = DecodeGif(BuildGif(plan));
    ASSERT_EQ(d.status, XR_OK);
    EXPECT_EQ(std::tuple(d.header.MODE, d.header.WIDTH, d.header.HEIGHT, d.header.LINEINT, d.header.PALCOUNT, d.workSize),
              std::tuple(XR_MODE_INDEX, 20, 10, 20u, 256, 16696u));
    EXPECT_EQ(d.header.PALBUT, nullptr);
    const GifImageInfo& i = d.info;
    EXPECT_TRUE(i.width == 7 && i.height == 3 && i.reserved0 == 0 && i.background == 5 && i.reserved1 == 0 && i.interlaced);
    EXPECT_EQ(d.palette, RecordPalette(plan.globalTable)) << "16 entries, then zeros";
    plan.globalTable.clear();
    EXPECT_EQ(DecodeGif(BuildGif(plan)).palette, Bytes(1024, 0)) << "no table at all";
    for (const char* signature : {"GIF87a", "GIF88a", "gif89a", "\x89PNG\r\n"}) {
        plan.signature = signature;
        EXPECT_EQ(OpenDecoder(BuildGif(plan)).headerStatus, signature[4] == '7' ? XR_OK : XR_ERR_FORMAT) << signature;
    }
}

TEST(GifDecoder, OddSizesCodeSizesAndSubBlockSizes) {
    for (uint16_t width : {uint16_t{1}, uint16_t{7}, uint16_t{8}, uint16_t{9}, uint16_t{17}})
        for (uint16_t height : {uint16_t{1}, uint16_t{7}, uint16_t{8}, uint16_t{9}, uint16_t{17}})
            for (uint32_t colours : {2u, 5u, 16u, 256u}) {
                SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + "/" + std::to_string(colours));
                GifPlan plan = Picture(width, height, colours, width * 31u + height);
                plan.blockSize = 1u + uint32_t{width} * height % 255u;
                ExpectDecodes(BuildGif(plan), plan.pixels);
            }
}

TEST(GifDecoder, InterlacedEqualsItsPlainTwin) {
    for (uint16_t height = 1; height <= 20; ++height) {
        GifPlan plan = Picture(5, height, 200, height);
        ExpectDecodes(BuildGif(plan), plan.pixels);
        plan.interlaced = true;
        ExpectDecodes(BuildGif(plan), plan.pixels, true);
    }
}

TEST(GifDecoder, ExtensionsStrayBytesAndLaterFramesChangeNothing) {
    for (bool interlaced : {false, true}) {
        GifPlan plan = Picture(11, 9, 256, 4);
        plan.interlaced = interlaced;
        Bytes bare = BuildGif(plan);
        plan.beforeImage = {'!', 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0,
                            '!', 0xF9, 4, 1, 10, 0, 3, 0,  // graphic control, transparent index 3
                            '!', 0x01, 12, 0, 0, 0, 0, 8, 0, 8, 0, 8, 8, 1, 0, 2, 'h', 'i', 0,  // plain text
                            '!', 0x77, 0,                  // unknown label
                            0x00, 0x55, 0xAA};             // stray bytes between blocks
        Bytes comment = Comment(std::string(600, 'c'));
        plan.beforeImage.insert(plan.beforeImage.end(), comment.begin(), comment.end());
        GifPlan second = Picture(4, 4, 16, 77);
        Bytes frame = BuildGif(second);  // its descriptor and data follow the first image
        plan.afterImage.assign(frame.begin() + 13 + static_cast<std::ptrdiff_t>(second.globalTable.size()), frame.end() - 1);
        Decoded a = DecodeGif(bare), b = DecodeGif(BuildGif(plan));
        ASSERT_EQ(b.status, XR_OK);
        EXPECT_EQ(b.pixels, a.pixels);
        EXPECT_EQ(b.palette, a.palette);
    }
}

TEST(GifDecoder, ImagesAreAnchoredTopLeftAndClippedToTheScreen) {
    struct Case { uint16_t screenWidth, screenHeight; };
    for (Case c : {Case{20, 15}, Case{5, 4}, Case{5, 40}, Case{30, 4}, Case{1, 1}}) {
        for (bool interlaced : {false, true}) {
            SCOPED_TRACE(std::to_string(c.screenWidth) + "x" + std::to_string(c.screenHeight));
            GifPlan plan = Picture(9, 17, 256, c.screenWidth);
            plan.screenWidth = c.screenWidth, plan.screenHeight = c.screenHeight;
            plan.left = 9, plan.top = 6;  // the position plays no part
            plan.interlaced = interlaced;
            ExpectDecodes(BuildGif(plan), OnScreen(plan, c.screenWidth, c.screenHeight), interlaced);
        }
    }
    GifPlan zero = Picture(9, 6, 8);  // a 0 x 0 screen takes the image's size
    Bytes file = BuildGif(zero);
    std::fill(file.begin() + 6, file.begin() + 10, 0);
    ExpectDecodes(file, zero.pixels);
}

TEST(GifDecoder, TablesFillWithAndWithoutClearsAndStringsCrossRows) {
    GifPlan plan = Picture(300, 200, 256, 21);
    for (bool clearWhenFull : {true, false}) {
        plan.lzw.clearWhenFull = clearWhenFull;
        for (uint32_t clears : {0u, 3u}) {
            plan.lzw.leadingClears = clears;
            ExpectDecodes(BuildGif(plan), plan.pixels);
        }
    }
    // Runs of one colour make strings of thousands of bytes, over many narrow rows.
    GifPlan runs = Picture(3, 4000, 2);
    for (size_t i = 0; i < runs.pixels.size(); ++i) runs.pixels[i] = (i / 2999) % 3 == 2;
    ExpectDecodes(BuildGif(runs), runs.pixels);
    runs.interlaced = true;
    ExpectDecodes(BuildGif(runs), runs.pixels, true);
}

TEST(GifDecoder, HandMadeCodeSequences) {
    GifPlan plan;
    plan.width = 4, plan.height = 3, plan.globalTable = MakeTable(4);
    // clear, 1, 6 (= "1 1", the code being defined), 7 (= "1 1 1"), end: six pixels, then zeros.
    plan.data = LzwData(WithWidths({4, 1, 6, 7, 5}, 2), 2);
    ExpectDecodes(BuildGif(plan), {1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0});
}

TEST(GifDecoder, CallOrderAndArguments) {
    GifPlan plan = Picture(6, 5, 16);
    Bytes file = BuildGif(plan), pixels(30), palette(1024);
    XrImage record{};
    record.MODE = XR_MODE_INDEX, record.WIDTH = 6, record.HEIGHT = 5, record.LINEINT = 6, record.PALCOUNT = 256;
    record.PIXELS = pixels.data(), record.PALBUT = palette.data();
    XrImage wrong = record, header;
    wrong.WIDTH = 7;
    uint32_t size;
    EXPECT_EQ(GifDecInit(nullptr), XR_ERR_ARGUMENT);
    EXPECT_EQ(GifDecEnd(nullptr), XR_ERR_ARGUMENT);
    {
        OpenDecoder open(file);
        EXPECT_EQ(GifDecSetStream(open.get(), nullptr), XR_ERR_ARGUMENT);
        EXPECT_EQ(GifDecReadHeader(open.get(), &record, nullptr, nullptr), XR_ERR_ARGUMENT);
        EXPECT_EQ(GifDecSetWork(open.get(), reinterpret_cast<uint8_t*>(open.work.data()) + 1), XR_ERR_ARGUMENT);
        EXPECT_EQ(GifDecDecodeLine(open.get(), pixels.data()), XR_ERR_FORMAT) << "before Start";
        EXPECT_EQ(GifDecStart(open.get(), nullptr), XR_ERR_ARGUMENT);
        EXPECT_EQ(GifDecStart(open.get(), &wrong), XR_ERR_MISMATCH);
        EXPECT_EQ(GifDecStart(open.get(), &record), XR_ERR_MISMATCH) << "a failure is kept";
        EXPECT_EQ(GifDecReadHeader(open.get(), &wrong, &size, nullptr), XR_ERR_MISMATCH);
        EXPECT_EQ(GifDecEnd(open.get()), XR_OK);
    }
    {
        OpenDecoder open(file);
        EXPECT_EQ(GifDecReadHeader(open.get(), &header, &size, nullptr), XR_GIF_STATE) << "twice";
        EXPECT_EQ(GifDecStart(open.get(), &record), XR_GIF_STATE);
    }
    {
        OpenDecoder open(file);
        ASSERT_EQ(GifDecStart(open.get(), &record), XR_OK);
        EXPECT_EQ(GifDecStart(open.get(), &record), XR_GIF_STATE) << "twice";
    }
    {
        OpenDecoder open(file);
        ASSERT_EQ(GifDecStart(open.get(), &record), XR_OK);
        for (uint32_t y = 0; y < 5; ++y) ASSERT_EQ(GifDecDecodeLine(open.get(), pixels.data() + 6 * y), XR_OK);
        EXPECT_EQ(GifDecDecodeLine(open.get(), pixels.data()), XR_ERR_FORMAT) << "past the last line";
        EXPECT_EQ(pixels, plan.pixels);
    }
    std::vector<uint64_t> handle((static_cast<size_t>(GifDecGetHandleSize()) + 7) / 8);
    GifDecInit(handle.data());
    EXPECT_EQ(GifDecStart(handle.data(), &record), XR_GIF_STATE) << "before the header";
    CodecStream stream;
    StreamInitMemory(&stream, file.data(), static_cast<int32_t>(file.size()));
    GifDecInit(handle.data());
    GifDecSetStream(handle.data(), &stream);
    ASSERT_EQ(GifDecReadHeader(handle.data(), &header, &size, nullptr), XR_OK);
    EXPECT_EQ(GifDecStart(handle.data(), &record), XR_ERR_WORK_BUFFER);
}

// The shared line stepping over an already decoded picture: what every scaled decode gives.
CodecStatus NextLine(void* source, uint8_t* line) {
    auto* s = static_cast<std::pair<const Decoded*, uint32_t>*>(source);
    std::memcpy(line, s->first->pixels.data() + size_t{s->second++} * s->first->header.WIDTH, s->first->header.WIDTH);
    return XR_OK;
}

struct Target {
    Bytes pixels, palette = Bytes(1024);
    XrImage image{};
    Target(int32_t mode, uint16_t width, uint16_t height) {
        image.MODE = mode, image.WIDTH = width, image.HEIGHT = height, image.PALCOUNT = 256;
        image.PALFMT = mode == XR_MODE_MONO;
        image.LINEINT = ImageLineBytes(mode, width);
        pixels.assign(size_t{image.LINEINT} * height, 0);
        image.PIXELS = pixels.data(), image.PALBUT = palette.data();
    }
};

CodecStatus Scale(const Bytes& file, const XrRect& clip, Target& t, Calls calls) {
    OpenDecoder open(file);
    Bytes work(size_t{open.header.WIDTH} * 4);
    GifDecSetRegion(open.get(), &clip);
    GifDecSetLineBuffer(open.get(), work.data());
    int32_t bottomUp = -1;
    CodecStatus status = GifDecSetScaledOutput(open.get(), &t.image, &bottomUp);
    EXPECT_TRUE(status != XR_OK || bottomUp == 0);
    for (uint32_t y = 0; calls == Calls::kLines && status == XR_OK && y < t.image.HEIGHT; ++y)
        status = GifDecDecodeScaledLine(open.get(), ImageLine(&t.image, y));
    return calls == Calls::kWhole && status == XR_OK ? GifDecDecodeScaledImage(open.get(), t.pixels.data()) : status;
}

TEST(GifDecoderScaled, PlainAndInterlacedFilesScaleLikeTheSharedStepping) {
    struct Case { int32_t mode; XrRect clip; uint16_t width, height; };
    const Case cases[] = {
        {XR_MODE_INDEX, {0, 0, 0, 0}, 23, 17}, {XR_MODE_RGB, {3, 2, 15, 11}, 30, 22}, {XR_MODE_RGB, {3, 2, 15, 11}, 7, 4},
        {XR_MODE_GRAY, {5, 1, 0, 0}, 40, 50},  {XR_MODE_YUV, {0, 9, 23, 8}, 12, 31},  {XR_MODE_MONO, {2, 3, 12, 12}, 19, 9},
        {XR_MODE_INDEX, {20, 15, 99, 99}, 9, 3}, {XR_MODE_RGB, {0, 0, 0, 0}, 23, 1},
        {XR_MODE_INDEX, {0, 0, 0, 700}, 3, 2},  // more than 256 rows per target line
    };
    for (uint16_t height : {uint16_t{17}, uint16_t{700}}) {
        GifPlan plan = Picture(23, height, 256, 8);
        plan.screenWidth = 30, plan.screenHeight = static_cast<uint16_t>(height + 3);  // screen larger than the image
        Bytes plain = BuildGif(plan);
        plan.interlaced = true;
        Bytes interlaced = BuildGif(plan);
        Decoded full = DecodeGif(plain);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(ImageModeName(c.mode)) + " " + std::to_string(c.width) + "x" + std::to_string(c.height));
            Target want(c.mode, c.width, c.height), lines(c.mode, c.width, c.height), whole(c.mode, c.width, c.height),
                twin(c.mode, c.width, c.height), refused(c.mode, c.width, c.height);
            XrScaledDecode sd;
            ScaledDecodeInit(&sd);
            ScaledDecodeSetRegion(&sd, &c.clip);
            Bytes work(30 * 4);
            sd.workLine = work.data();
            std::pair<const Decoded*, uint32_t> source{&full, 0};
            ASSERT_EQ(ScaledDecodeSetup(&sd, &full.header, &want.image, 0, full.palette.data(), DecodeLineConvertTables()), XR_OK);
            ASSERT_EQ(ScaledDecodeImage(&sd, NextLine, &source, &want.image, 0), XR_OK);
            ASSERT_EQ(Scale(plain, c.clip, lines, Calls::kLines), XR_OK);
            ASSERT_EQ(Scale(plain, c.clip, whole, Calls::kWhole), XR_OK);
            ASSERT_EQ(Scale(interlaced, c.clip, twin, Calls::kWhole), XR_OK);
            EXPECT_EQ(lines.pixels, want.pixels);
            EXPECT_EQ(whole.pixels, want.pixels);
            EXPECT_EQ(twin.pixels, want.pixels);
            EXPECT_EQ(Scale(interlaced, c.clip, refused, Calls::kLines), XR_ERR_UNSUPPORTED);
        }
    }
    Target rgbw(XR_MODE_RGBW, 4, 4);
    EXPECT_EQ(Scale(BuildGif(Picture(4, 4)), {0, 0, 0, 0}, rgbw, Calls::kWhole), XR_ERR_UNSUPPORTED);
}

}  // namespace
