// Decoding: every colour type and depth of the subset under every filter, wide
// rows, Adam7, IDAT layouts, the file's tail, refusals, call order, scaled decode.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <tuple>

#include "lumapix/decode_line_convert.h"
#include "png_test_support.hpp"

using namespace pngtest;

namespace {

const Bytes kEveryFilter[] = {{0}, {1}, {2}, {3}, {4}, {4, 1, 0, 3, 2}};

Layout Filters(Bytes filters, bool interlace = false, size_t idatSize = 0) {
    Layout layout;
    layout.filters = std::move(filters);
    layout.interlace = interlace;
    layout.idatSize = idatSize;
    return layout;
}

class EveryFormat : public testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(EveryFormat, EveryFilterAndWidthDecodesToTheSamples) {
    auto [colour, depth] = GetParam();
    for (uint32_t width : {1u, 2u, 3u, 7u, 8u, 9u, 15u, 16u, 17u, 33u}) {
        for (const Bytes& filters : kEveryFilter) {
            Picture p = RandomPicture(width, 6, static_cast<uint8_t>(depth), static_cast<uint8_t>(colour), width + filters[0]);
            Bytes file = BuildPng(p, Filters(filters));
            for (bool byLine : {false, true}) {
                Decoded d = DecodePng(file, byLine);
                ASSERT_EQ(d.status, XR_OK) << width << " " << int{filters[0]};
                ASSERT_EQ(d.pixels, ExpectedPixels(p)) << "width " << width << " filter " << int{filters[0]};
            }
        }
    }
}

// (colour type, bit depth)
INSTANTIATE_TEST_SUITE_P(Subset, EveryFormat,
                         testing::Values(std::make_tuple(0, 1), std::make_tuple(0, 2), std::make_tuple(0, 4),
                                         std::make_tuple(0, 8), std::make_tuple(2, 8), std::make_tuple(3, 1),
                                         std::make_tuple(3, 2), std::make_tuple(3, 4), std::make_tuple(3, 8),
                                         std::make_tuple(4, 8), std::make_tuple(6, 8)));

// Rows longer than one inflate step are unfiltered in pieces; Paeth and Average
// must carry their neighbours across the seams.
TEST(PngDecode, RowsWiderThanOneStepDecode) {
    for (auto [colour, width] : {std::pair<uint8_t, uint32_t>{2, 12001}, {6, 9001}, {4, 20000}, {0, 40000}}) {
        Picture p = RandomPicture(width, 4, 8, colour, width);
        Decoded d = DecodePng(BuildPng(p, Filters({4, 3, 1, 4})));
        ASSERT_EQ(d.status, XR_OK);
        EXPECT_TRUE(d.pixels == ExpectedPixels(p)) << "colour " << int{colour} << " width " << width;
    }
}

TEST(PngDecode, LowDepthSamplesKeepTheirValuesAndPalettesFill256Entries) {
    Picture grey = RandomPicture(19, 4, 1, 0, 3);
    Decoded g = DecodePng(BuildPng(grey));
    ASSERT_EQ(g.status, XR_OK);
    EXPECT_EQ(std::tuple(g.header.MODE, g.header.LINEINT, g.header.FMT), std::tuple(XR_MODE_GRAY, 19u, 0));
    for (uint8_t v : g.pixels) EXPECT_LE(v, 1);
    EXPECT_EQ(g.pixels, ExpectedPixels(grey));

    Picture pal = RandomPicture(13, 5, 4, 3, 4);
    pal.plte.resize(5 * 3);  // five entries; indices above them stay indices
    Decoded d = DecodePng(BuildPng(pal));
    ASSERT_EQ(d.status, XR_OK);
    EXPECT_EQ(std::tuple(d.header.MODE, d.header.PALCOUNT), std::tuple(XR_MODE_INDEX, 256));
    EXPECT_EQ(d.header.PALBUT, nullptr);
    EXPECT_EQ(d.pixels, ExpectedPixels(pal));
    for (size_t i = 0; i < 256; ++i) {
        uint8_t want[4] = {0, 0, 0, 0};
        if (i < 5) want[0] = pal.plte[3 * i + 2], want[1] = pal.plte[3 * i + 1], want[2] = pal.plte[3 * i];
        EXPECT_EQ(std::memcmp(&d.palette[4 * i], want, 4), 0) << "entry " << i;
    }
}

TEST(PngDecode, InterlacedPaletteImagesOfEverySmallSize) {
    for (uint32_t w : {1u, 2u, 3u, 4u, 5u, 7u, 8u, 9u, 16u, 17u, 33u}) {
        for (uint32_t h : {1u, 2u, 3u, 5u, 8u, 9u, 17u}) {
            Picture p = RandomPicture(w, h, 8, 3, w * 100 + h);
            Decoded d = DecodePng(BuildPng(p, Filters({0, 1, 2, 3, 4}, true)));
            ASSERT_EQ(d.status, XR_OK) << w << "x" << h;
            EXPECT_EQ(d.pixels, ExpectedPixels(p)) << w << "x" << h;
        }
    }
}

TEST(PngDecode, InterlacedFilesOutsideThePaletteSubsetAreRefused) {
    for (uint8_t colour : {uint8_t{2}, uint8_t{0}, uint8_t{4}, uint8_t{6}}) {  // header reads, pixels do not
        Decoded d = DecodePng(BuildPng(RandomPicture(9, 9, 8, colour, 1), Filters({0}, true)));
        EXPECT_EQ(d.headerStatus, XR_OK);
        EXPECT_EQ(d.status, XR_ERR_UNSUPPORTED) << int{colour};
    }
    for (auto [colour, depth] : {std::pair<uint8_t, uint8_t>{3, 4}, {3, 1}, {0, 2}})
        EXPECT_EQ(DecodePng(BuildPng(RandomPicture(9, 9, depth, colour, 1), Filters({0}, true))).headerStatus,
                  XR_ERR_UNSUPPORTED);
    Bytes file = BuildPng(RandomPicture(9, 9, 8, 3, 1), Filters({0}, true));
    EXPECT_EQ(DecodePng(file, true).status, XR_ERR_UNSUPPORTED) << "passes are not rows";
    Session s(file);
    XrImage header{};
    ASSERT_EQ(PngDecReadHeader(s.h(), &header, nullptr, nullptr), XR_OK);
    Bytes pixels(81), palette(64), work(36);
    XrImage record = header;
    record.PALCOUNT = 16;
    record.PALBUT = palette.data();
    ASSERT_EQ(PngDecStart(s.h(), &record), XR_OK);
    EXPECT_EQ(PngDecDecodeImage(s.h(), pixels.data()), XR_ERR_UNSUPPORTED) << "needs a 256-entry INDEX record";
    PngDecSetLineBuffer(s.h(), work.data());
    EXPECT_EQ(PngDecSetScaledOutput(s.h(), &header), XR_ERR_UNSUPPORTED);
}

TEST(PngDecode, ImageDataMayBeCutAndInterleavedAnyWayAndReadAByteAtATime) {
    Picture p = RandomPicture(31, 11, 8, 6, 9);
    Bytes expected = ExpectedPixels(p);
    for (size_t idat : {size_t{1}, size_t{7}, size_t{100}})
        for (size_t piece : {size_t{0}, size_t{1}, size_t{13}}) {
            Decoded d = DecodePng(BuildPng(p, Filters({1, 2, 3, 4}, false, idat)), piece != 13, piece);
            ASSERT_EQ(d.status, XR_OK) << idat << " " << piece;
            EXPECT_EQ(d.pixels, expected);
        }
    // Empty IDATs and ancillary chunks between the pieces of image data.
    Bytes z = Deflate(FilteredData(p, {4}, false));
    Bytes file = Signature();
    AppendChunk(file, "IHDR", Ihdr(31, 11, 8, 6));
    for (size_t at = 0; at < z.size(); at += 50) {
        AppendChunk(file, "IDAT", {});
        AppendChunk(file, "IDAT", Bytes(z.begin() + static_cast<ptrdiff_t>(at),
                                        z.begin() + static_cast<ptrdiff_t>(std::min(z.size(), at + 50))));
        AppendChunk(file, "tEXt", {'a', 0, 'b'});
    }
    AppendChunk(file, "IEND", {});
    Decoded d = DecodePng(file, true);
    ASSERT_EQ(d.status, XR_OK);
    EXPECT_EQ(d.pixels, expected);
}

// A 4 x 2 8-bit greyscale file from raw filtered rows, with its IHDR changed first.
Bytes GreyFile(const std::function<void(Bytes&)>& changeIhdr = {}, const Bytes& raw = {0, 1, 2, 3, 4, 0, 5, 6, 7, 8}) {
    Bytes ihdr = Ihdr(4, 2, 8, 0);
    if (changeIhdr) changeIhdr(ihdr);
    Bytes file = Signature();
    AppendChunk(file, "IHDR", ihdr);
    AppendChunk(file, "IDAT", Deflate(raw));
    AppendChunk(file, "IEND", {});
    return file;
}

TEST(PngDecode, TheTailOfTheImageData) {
    Picture p = RandomPicture(17, 13, 8, 0, 2);
    Bytes file = BuildPng(p);
    size_t dataEnd = EndOfImageData(file);
    for (size_t cut : {dataEnd, dataEnd + 2, dataEnd + 4, dataEnd + 9, file.size() - 1}) {  // CRC, IEND missing
        Decoded d = DecodePng(Bytes(file.begin(), file.begin() + static_cast<ptrdiff_t>(cut)), true, 5);
        EXPECT_EQ(d.status, XR_OK) << "cut at " << cut;
        EXPECT_EQ(d.pixels, ExpectedPixels(p));
    }
    Bytes inside(file.begin(), file.begin() + static_cast<ptrdiff_t>(dataEnd - 20));
    EXPECT_EQ(DecodePng(inside).status, XR_ERR_STREAM_NO_CALLBACK);  // a memory stream that ran out
    EXPECT_EQ(DecodePng(inside, false, 64).status, XR_ERR_STREAM_END);  // a file that ended

    // Surplus data is left alone, but the CRC of its chunk is still checked.
    Bytes raw = {0, 1, 2, 3, 4, 0, 5, 6, 7, 8};
    raw.resize(5000, 7);
    Bytes surplus = GreyFile({}, raw);
    EXPECT_EQ(DecodePng(surplus).status, XR_OK);
    surplus[EndOfImageData(surplus) + 1] ^= 0x10;
    EXPECT_EQ(DecodePng(surplus).status, XR_ERR_INTERNAL);

    // Image data that ends before the last row: 32, the rows before kept.
    Decoded shortData = DecodePng(GreyFile({}, {0, 1, 2, 3, 4, 0, 5}), true);
    EXPECT_EQ(shortData.status, XR_ERR_TRUNCATED);
    EXPECT_EQ(Bytes(shortData.pixels.begin(), shortData.pixels.begin() + 4), (Bytes{1, 2, 3, 4}));
    Bytes z = Deflate(raw);
    z.resize(z.size() / 2);  // zlib stream cut, the file going on to IEND
    Bytes cutStream = Signature();
    AppendChunk(cutStream, "IHDR", Ihdr(4, 2, 8, 0));
    AppendChunk(cutStream, "IDAT", Bytes(z.begin(), z.begin() + 8));
    AppendChunk(cutStream, "IEND", {});
    EXPECT_EQ(DecodePng(cutStream).status, XR_ERR_TRUNCATED);
}

TEST(PngDecode, RefusalsGiveTheirStatuses) {
    struct Case { const char* what; std::function<void(Bytes&)> change; CodecStatus want; };
    const Case headers[] = {
        {"width 0", [](Bytes& h) { h[3] = 0; }, XR_ERR_FORMAT},
        {"height 0", [](Bytes& h) { h[7] = 0; }, XR_ERR_FORMAT},
        {"width 65536", [](Bytes& h) { h[1] = 1, h[3] = 0; }, XR_ERR_FORMAT},
        {"compression 1", [](Bytes& h) { h[10] = 1; }, XR_ERR_FORMAT},
        {"filter method 1", [](Bytes& h) { h[11] = 1; }, XR_ERR_FORMAT},
        {"interlace 2", [](Bytes& h) { h[12] = 2; }, XR_ERR_FORMAT},
        {"colour type 1", [](Bytes& h) { h[9] = 1; }, XR_ERR_FORMAT},
        {"colour type 7", [](Bytes& h) { h[9] = 7; }, XR_ERR_FORMAT},
        {"grey depth 3", [](Bytes& h) { h[8] = 3; }, XR_ERR_FORMAT},
        {"grey depth 16", [](Bytes& h) { h[8] = 16; }, XR_ERR_FORMAT},
        {"grey+alpha 16", [](Bytes& h) { h[8] = 16, h[9] = 4; }, XR_ERR_FORMAT},
        {"truecolour 16", [](Bytes& h) { h[8] = 16, h[9] = 2; }, XR_ERR_UNSUPPORTED},
        {"truecolour+alpha 16", [](Bytes& h) { h[8] = 16, h[9] = 6; }, XR_ERR_UNSUPPORTED},
        {"truecolour 4", [](Bytes& h) { h[8] = 4, h[9] = 2; }, XR_ERR_FORMAT},
        {"palette 16", [](Bytes& h) { h[8] = 16, h[9] = 3; }, XR_ERR_FORMAT},
        {"interlaced grey 4", [](Bytes& h) { h[8] = 4, h[12] = 1; }, XR_ERR_UNSUPPORTED},
        {"interlaced truecolour 16", [](Bytes& h) { h[8] = 16, h[9] = 2, h[12] = 1; }, XR_ERR_UNSUPPORTED},
    };
    for (const Case& c : headers) EXPECT_EQ(DecodePng(GreyFile(c.change)).headerStatus, c.want) << c.what;

    auto file = [](std::initializer_list<std::pair<const char*, Bytes>> chunks) {
        Bytes f = Signature();
        for (const auto& [type, data] : chunks) AppendChunk(f, type, data);
        return f;
    };
    const Bytes idat = Deflate(Bytes(10, 0)), pal = Ihdr(4, 2, 8, 3);
    Bytes badSignature = GreyFile(), badIhdrCrc = GreyFile();
    badSignature[1] ^= 1;
    badIhdrCrc[29] ^= 1;
    Bytes longIhdr = Ihdr(4, 2, 8, 0);
    longIhdr.push_back(0);
    const std::pair<const char*, Bytes> files[] = {
        {"signature", badSignature},
        {"IHDR CRC", badIhdrCrc},
        {"IHDR not first", file({{"gAMA", {0, 0, 0xB1, 0x8F}}, {"IHDR", Ihdr(4, 2, 8, 0)}})},
        {"IHDR of 14 bytes", file({{"IHDR", longIhdr}})},
        {"no PLTE", file({{"IHDR", pal}, {"IDAT", idat}})},
        {"PLTE of 257 entries", file({{"IHDR", pal}, {"PLTE", Bytes(771, 0)}, {"IDAT", idat}})},
        {"PLTE of 4 bytes", file({{"IHDR", pal}, {"PLTE", Bytes(4, 0)}, {"IDAT", idat}})},
        {"two PLTEs", file({{"IHDR", pal}, {"PLTE", Bytes(3, 0)}, {"PLTE", Bytes(3, 0)}, {"IDAT", idat}})},
        {"IEND before IDAT", file({{"IHDR", Ihdr(4, 2, 8, 0)}, {"IEND", {}}})},
        {"end before IDAT", Bytes(badSignature.begin(), badSignature.begin() + 40)},
    };
    for (const auto& [what, bytes] : files) EXPECT_EQ(DecodePng(bytes).headerStatus, XR_ERR_FORMAT) << what;
    EXPECT_EQ(DecodePng(file({{"IHDR", pal}, {"PLTE", Bytes(6, 9)}, {"IDAT", idat}})).status, XR_OK);
    EXPECT_EQ(DecodePng(Bytes(badSignature.begin(), badSignature.begin() + 5)).headerStatus, XR_ERR_STREAM_NO_CALLBACK);

    // Damage met while rows are decoded: -1; a bad filter type: 3.
    EXPECT_EQ(DecodePng(GreyFile({}, {0, 1, 2, 3, 4, 5, 5, 6, 7, 8})).status, XR_ERR_FORMAT);
    EXPECT_EQ(DecodePng(file({{"IHDR", Ihdr(4, 2, 8, 0)}, {"IDAT", {0x78, 0x9C, 0xFF, 0xFF, 0xFF, 0xFF}}})).status,
              XR_ERR_INTERNAL) << "not deflate";
    EXPECT_EQ(DecodePng(file({{"IHDR", Ihdr(4, 2, 8, 0)}, {"IDAT", {0x78, 0xBB, 0, 0, 0, 1, 0x63, 0, 0}}})).status,
              XR_ERR_INTERNAL) << "preset dictionary";
    Picture p = RandomPicture(6, 5, 8, 2, 1);
    Layout layout = Filters({0}, false, 20);
    layout.before = {{"tEXt", {'k', 0, 'v'}}};
    Bytes split = BuildPng(p, layout);
    std::vector<ChunkInfo> chunks = Chunks(split);
    Bytes bad = split;
    bad[chunks[1].offset + 8 + chunks[1].length] ^= 0x40;  // the tEXt CRC, before the image data
    EXPECT_EQ(DecodePng(bad).headerStatus, XR_ERR_FORMAT);
    bad = split;
    bad[chunks[2].offset + 8 + chunks[2].length + 3] ^= 1;  // the first IDAT's CRC
    EXPECT_EQ(DecodePng(bad).status, XR_ERR_INTERNAL);
    bad = split;
    bad[chunks[3].offset + 9] ^= 1;  // data of the second IDAT
    EXPECT_EQ(DecodePng(bad, true).status, XR_ERR_INTERNAL);
}

TEST(PngDecode, CallsOutOfOrderAndStickyFailures) {
    Bytes row(64);
    EXPECT_EQ(PngDecInit(nullptr), XR_ERR_ARGUMENT);
    Session s(GreyFile());
    EXPECT_EQ(PngDecSetStream(s.h(), nullptr), XR_ERR_ARGUMENT);
    EXPECT_EQ(PngDecDecodeImage(s.h(), row.data()), XR_PNG_ERR_SEQUENCE) << "before the header";
    EXPECT_EQ(PngDecDecodeLine(s.h(), row.data()), XR_PNG_ERR_SEQUENCE);
    XrImage header{};
    EXPECT_EQ(PngDecReadHeader(s.h(), nullptr, nullptr, nullptr), XR_ERR_ARGUMENT);
    ASSERT_EQ(PngDecReadHeader(s.h(), &header, nullptr, nullptr), XR_OK);
    EXPECT_EQ(PngDecDecodeLine(s.h(), row.data()), XR_ERR_MISMATCH) << "not started";
    XrImage record = header;
    record.WIDTH = 5;
    EXPECT_EQ(PngDecStart(s.h(), &record), XR_ERR_MISMATCH);
    record = header;
    record.LINEINT = 3;
    EXPECT_EQ(PngDecStart(s.h(), &record), XR_ERR_MISMATCH);
    record.LINEINT = 8;  // wider is fine
    ASSERT_EQ(PngDecStart(s.h(), &record), XR_OK);
    ASSERT_EQ(PngDecDecodeLine(s.h(), row.data()), XR_OK);
    ASSERT_EQ(PngDecDecodeLine(s.h(), row.data() + 8), XR_OK);
    EXPECT_EQ(Bytes(row.begin(), row.begin() + 12), (Bytes{1, 2, 3, 4, 0, 0, 0, 0, 5, 6, 7, 8}));
    EXPECT_EQ(PngDecDecodeLine(s.h(), row.data()), XR_ERR_ARGUMENT) << "complete";
    EXPECT_EQ(PngDecStart(s.h(), &record), XR_PNG_ERR_SEQUENCE) << "rows already taken";
    EXPECT_EQ(PngDecReadHeader(s.h(), &header, nullptr, nullptr), XR_PNG_ERR_SEQUENCE);
    EXPECT_EQ(PngDecEnd(s.h()), XR_OK);
    EXPECT_EQ(PngDecEnd(nullptr), XR_ERR_ARGUMENT);

    Session bad(GreyFile({}, {0, 1, 2, 3, 4, 9, 5, 6, 7, 8}));  // second row: filter type 9
    ASSERT_EQ(PngDecReadHeader(bad.h(), &header, nullptr, nullptr), XR_OK);
    record = header;
    ASSERT_EQ(PngDecStart(bad.h(), &record), XR_OK);
    EXPECT_EQ(PngDecDecodeLine(bad.h(), row.data()), XR_OK);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(PngDecDecodeLine(bad.h(), row.data()), XR_ERR_FORMAT);
    EXPECT_EQ(PngDecDecodeImage(bad.h(), row.data()), XR_ERR_FORMAT);
}

// The scaled decode against the library's line converters applied to a full decode.
TEST(PngDecode, ScaledDecodeMatchesConvertingTheFullImage) {
    Bytes file = BuildPng(RandomPicture(40, 30, 8, 2, 77));
    Decoded full = DecodePng(file);
    const XrLineConverterTables* tables = DecodeLineConvertTables();
    const XrRect clip{5, 7, 10, 6};
    for (int32_t mode : {XR_MODE_RGB, XR_MODE_GRAY, XR_MODE_MONO, XR_MODE_INDEX}) {
        for (uint16_t height : {uint16_t{12}, uint16_t{3}, uint16_t{5}}) {
            Session s(file);
            XrImage header{};
            ASSERT_EQ(PngDecReadHeader(s.h(), &header, nullptr, nullptr), XR_OK);
            Bytes palette(1024), work(40 * 4), pixels(ImageLineBytes(mode, 17) * size_t{height});
            XrImage target{mode, 17, height, ImageLineBytes(mode, 17), 0, 0, 256, palette.data(), nullptr, nullptr, 0};
            EXPECT_EQ(PngDecSetLineBuffer(s.h(), nullptr), XR_ERR_ARGUMENT);
            ASSERT_EQ(PngDecSetLineBuffer(s.h(), work.data()), XR_OK);
            ASSERT_EQ(PngDecSetRegion(s.h(), &clip), XR_OK);
            ASSERT_EQ(PngDecSetScaledOutput(s.h(), &target), XR_OK);
            ASSERT_EQ(PngDecDecodeScaledImage(s.h(), pixels.data()), XR_OK);
            // Nearest line: a 16.16 accumulator reads source lines while it holds a whole one.
            uint32_t step = (uint32_t{clip.height} << 16) / height, accumulator = 65536, read = 0, current = 0;
            for (uint32_t ty = 0; ty < height; ++ty, accumulator += step) {
                for (; accumulator >= 65536; accumulator -= 65536)
                    if (read < clip.height) current = read++;
                Bytes line(40 * 4), want(target.LINEINT);
                std::memcpy(line.data(), &full.pixels[(clip.y + current) * size_t{120}], 120);
                tables->extract[XR_MODE_RGB](line.data(), clip.x, clip.width);
                tables->convert[mode](line.data(), clip.width, XR_MODE_RGB, nullptr, 0, 0);
                tables->stretch[mode](line.data(), clip.width, want.data(), 17);
                ASSERT_EQ(std::memcmp(want.data(), &pixels[ty * size_t{target.LINEINT}], want.size()), 0)
                    << "mode " << mode << " height " << height << " line " << ty;
            }
        }
    }
    Session s(BuildPng(RandomPicture(20, 10, 4, 3, 8)));  // line by line, palette passed on
    XrImage header{};
    ASSERT_EQ(PngDecReadHeader(s.h(), &header, nullptr, nullptr), XR_OK);
    Bytes palette(1024), work(80), pixels(200);
    XrImage target = header;
    target.PALBUT = palette.data();
    PngDecSetLineBuffer(s.h(), work.data());
    ASSERT_EQ(PngDecSetScaledOutput(s.h(), &target), XR_OK);
    for (uint32_t y = 0; y < 10; ++y) ASSERT_EQ(PngDecDecodeScaledLine(s.h(), &pixels[y * 20]), XR_OK);
    EXPECT_EQ(pixels, DecodePng(BuildPng(RandomPicture(20, 10, 4, 3, 8))).pixels);
    EXPECT_NE(palette, Bytes(1024));
    target.MODE = XR_MODE_RGBW;
    EXPECT_EQ(PngDecSetScaledOutput(s.h(), &target), XR_ERR_UNSUPPORTED);
}

}  // namespace
