// PNM adapters: header mapping, sample scaling, hostile text, round trips of
// every writable variant, and netpbm / ImageMagick reading our files and theirs.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "model_test_support.hpp"
#include "test_files.hpp"

namespace {

using modeltest::Record;

CodecStatus Decode(std::string bytes, Record* out) {
    FILE* f = fmemopen(bytes.data(), bytes.size(), "rb");
    CodecStatus status = pnm_decode(f, &out->image, nullptr);
    std::fclose(f);
    return status;
}

CodecStatus Encode(XrImage* image, bool binary, std::string* bytes) {
    FILE* f = std::tmpfile();
    EncodeOptions options;
    EncodeOptionsDefaults(&options);
    options.pnmBinary = binary;
    CodecStatus status = pnm_encode(f, image, &options);
    std::rewind(f);
    bytes->clear();
    for (int c; (c = std::fgetc(f)) != EOF;) bytes->push_back(static_cast<char>(c));
    std::fclose(f);
    return status;
}

bool Wide(int32_t mode) { return mode == XR_MODE_RGBW || mode == XR_MODE_GRAYW; }
uint32_t Channels(int32_t mode) { return mode == XR_MODE_RGB || mode == XR_MODE_RGBW ? 3 : 1; }

// Sample c (0 = red) of pixel x as the record stores it.
uint32_t Stored(const XrImage& image, uint32_t x, uint32_t y, uint32_t c) {
    const uint8_t* line = ImageLine(&image, y);
    if (image.MODE == XR_MODE_MONO) return uint32_t{line[x >> 3]} >> (7 - (x & 7)) & 1u;
    uint32_t bytes = Wide(image.MODE) ? 2 : 1;
    const uint8_t* at = line + (x * Channels(image.MODE) + Channels(image.MODE) - 1 - c) * bytes;
    return bytes == 2 ? uint32_t{at[0]} | uint32_t{at[1]} << 8 : at[0];
}

// A picture as a PNM file means it: bitmaps 1 = black, samples red first up to maxval.
struct Plain {
    int kind = 0;  // 1..3
    uint32_t width = 0, height = 0, maxval = 1;
    std::vector<uint32_t> samples;
    bool operator==(const Plain&) const = default;
};

void PrintTo(const Plain& p, std::ostream* os) {
    *os << "P" << p.kind << " " << p.width << "x" << p.height << " max " << p.maxval << " [";
    for (size_t i = 0; i < p.samples.size() && i < 24; ++i) *os << p.samples[i] << " ";
    *os << "...]";
}

// What a record holds, in file terms at fileBits per sample: signed samples move to
// offset binary, then keep their top fileBits bits.
Plain FileView(const XrImage& image, uint32_t fileBits) {
    Plain p{image.MODE == XR_MODE_MONO ? 1 : Channels(image.MODE) == 3 ? 3 : 2, image.WIDTH, image.HEIGHT, 1, {}};
    uint32_t depth = Wide(image.MODE) ? 16 : 8;
    p.maxval = image.MODE == XR_MODE_MONO ? 1 : (1u << fileBits) - 1;
    for (uint32_t y = 0; y < image.HEIGHT; ++y)
        for (uint32_t x = 0; x < image.WIDTH; ++x)
            for (uint32_t c = 0; c < Channels(image.MODE); ++c) {
                uint32_t v = Stored(image, x, y, c);
                if (image.MODE == XR_MODE_MONO) p.samples.push_back(v ^ (image.PALFMT == XR_PALFMT_WHITEISZERO ? 0 : 1));
                else p.samples.push_back((image.FMT < 0 ? v ^ 1u << (depth - 1) : v) >> (depth - fileBits));
            }
    return p;
}

Plain FileView(const XrImage& image) {
    return FileView(image, image.MODE == XR_MODE_MONO ? 1 : static_cast<uint32_t>(image.FMT));
}

// The plain forms as netpbm writes them (bitmap digits need no spaces between them).
Plain ParsePlain(const std::string& text) {
    std::istringstream in(text);
    Plain p;
    char letter = 0;
    in >> letter >> p.kind >> p.width >> p.height;
    if (p.kind != 1) in >> p.maxval;
    size_t count = size_t{p.width} * p.height * (p.kind == 3 ? 3u : 1u);
    for (size_t i = 0; i < count && in; ++i) {
        uint32_t v = 0;
        if (p.kind == 1) v = static_cast<uint32_t>((in >> std::ws).get() - '0');
        else in >> v;
        if (in) p.samples.push_back(v);
    }
    return p;
}

std::string PlainText(const Plain& p) {
    std::ostringstream text;
    text << "P" << p.kind << "\n" << p.width << " " << p.height << "\n";
    if (p.kind != 1) text << p.maxval << "\n";
    for (uint32_t v : p.samples) text << v << " ";
    text << "\n";
    return text.str();
}

// A record of every sample pattern a mode can show, with fmt bits per sample.
void Fill(Record* r, int32_t mode, int8_t fmt, uint8_t palfmt, uint16_t width, uint16_t height) {
    XrImage& im = r->image;
    im.MODE = mode, im.WIDTH = width, im.HEIGHT = height, im.FMT = fmt, im.PALFMT = palfmt;
    im.LINEINT = ImageLineBytes(mode, width) + 3;  // a padded interval must not leak into the file
    ASSERT_EQ(ImageAlloc(&im), XR_OK);
    uint32_t depth = Wide(mode) ? 16 : 8, bits = mode == XR_MODE_MONO ? 1 : static_cast<uint32_t>(std::abs(fmt));
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* line = ImageLine(&im, y);
        for (uint32_t i = 0; i < ImageLineBytes(mode, width); i += depth / 8) {
            uint32_t v = ((i * 2654435761u + y * 40503u) >> 7) & ((1u << bits) - 1);
            if (mode == XR_MODE_MONO) v = (i * 7 + y * 13) & 0xFF;
            else v <<= depth - bits;
            line[i] = static_cast<uint8_t>(v);
            if (depth == 16) line[i + 1] = static_cast<uint8_t>(v >> 8);
        }
    }
}

TEST(PnmDecode, MaximumValueChoosesModeAndFormat) {
    struct Case { const char* text; CodecStatus status; int32_t mode; int8_t fmt; };
    const Case cases[] = {
        {"P5 2 1 255\n\1\2", XR_OK, XR_MODE_GRAY, 8},     {"P5 2 1 1023\n\1\2", XR_ERR_INTERNAL, 0, 0},
        {"P2 2 1 1023\n1 2", XR_OK, XR_MODE_GRAYW, 10},   {"P3 1 1 4095\n1 2 3", XR_OK, XR_MODE_RGBW, 12},
        {"P6 1 1 63\nabc", XR_OK, XR_MODE_RGB, 6},        {"P2 1 1 3\n1", XR_OK, XR_MODE_GRAY, 2},
        {"P4 9 1\n\0\0", XR_OK, XR_MODE_MONO, 0},         {"P2 1 1 7\n1", XR_ERR_INTERNAL, 0, 0},
        {"P6 1 1 65535\n", XR_ERR_INTERNAL, 0, 0},        {"P7 1 1 255\n", XR_ERR_ARGUMENT, 0, 0},
        {"GIF89a", XR_ERR_ARGUMENT, 0, 0},                {"", XR_ERR_ARGUMENT, 0, 0},
        {"P5 0 1 255\n", XR_ERR_ARGUMENT, 0, 0},          {"P5 65536 1 255\n", XR_ERR_ARGUMENT, 0, 0},
        {"P5 -3 1 255\n", XR_ERR_ARGUMENT, 0, 0},         {"P5 99999999999999 1 255\n", XR_ERR_ARGUMENT, 0, 0},
        {"P5 2x 1 255\n", XR_ERR_ARGUMENT, 0, 0},         {"P5 2 1 -255\n", XR_ERR_INTERNAL, 0, 0},
        // Comments: before the magic, after it and between the sizes, never before the maximum.
        {"# made by hand\n\nP5\n# a\n#\n2 # b\n1 255\n\1\2", XR_OK, XR_MODE_GRAY, 8},
        {"P5 2 1 # no\n255\n\1\2", XR_ERR_INTERNAL, 0, 0}, {"P5 2 1\n#\n255\n\1\2", XR_ERR_INTERNAL, 0, 0},
    };
    for (const Case& c : cases) {
        Record r;
        EXPECT_EQ(Decode(c.text, &r), c.status) << c.text;
        if (c.status == XR_OK) {
            EXPECT_EQ(r.image.MODE, c.mode) << c.text;
            EXPECT_EQ(r.image.FMT, c.fmt) << c.text;
            EXPECT_EQ(r.image.LINEINT, ImageLineBytes(c.mode, r.image.WIDTH));
        }
    }
    std::string many;
    for (int i = 0; i < 256; ++i) many += "# comment " + std::string(300, 'x') + "\n";
    Record r;
    EXPECT_EQ(Decode(many + "P2 1 1 255\n7\n", &r), XR_OK) << "256 comment lines of any length";
    EXPECT_EQ(Decode(many + "#\nP2 1 1 255\n7\n", &r), XR_ERR_ARGUMENT) << "a 257th";
}

TEST(PnmDecode, SamplesOfFewerBitsAreScaledAlikeInPlainAndBinaryFiles) {
    Record p3, p5, p6, p2w, clamp;
    ASSERT_EQ(Decode("P3 1 1 15\n15 1 0\n", &p3), XR_OK);
    EXPECT_EQ(Stored(p3.image, 0, 0, 0), 240u);
    EXPECT_EQ(Stored(p3.image, 0, 0, 1), 16u);
    ASSERT_EQ(Decode("P5 2 1 15\n\x0f\x03", &p5), XR_OK);  // binary maxval 15: not nearly black
    EXPECT_EQ(Stored(p5.image, 0, 0, 0), 240u);
    EXPECT_EQ(Stored(p5.image, 1, 0, 0), 48u);
    ASSERT_EQ(Decode("P6 1 1 3\n\x03\x01\x00", &p6), XR_OK);
    EXPECT_EQ(FileView(p6.image).samples, (std::vector<uint32_t>{3, 1, 0}));
    EXPECT_EQ(ImageLine(&p6.image, 0)[2], 0xC0);  // red is the last byte of a pixel
    ASSERT_EQ(Decode("P2 2 1 1023\n1023 1", &p2w), XR_OK);
    EXPECT_EQ(Stored(p2w.image, 0, 0, 0), 65472u);
    EXPECT_EQ(ImageLine(&p2w.image, 0)[2], 64);  // little-endian words
    // Out-of-range samples are clamped rather than wrapped into other values.
    ASSERT_EQ(Decode("P2 3 1 15\n99 -4 70000000000\n", &clamp), XR_OK);
    EXPECT_EQ(FileView(clamp.image).samples, (std::vector<uint32_t>{15, 0, 15}));
    Record bin;
    ASSERT_EQ(Decode(std::string("P5 2 1 15\n\xff\x10", 12), &bin), XR_OK);
    EXPECT_EQ(FileView(bin.image).samples, (std::vector<uint32_t>{15, 15}));
}

TEST(PnmDecode, PlainBitmapsTakeOneDigitPerPixel) {
    for (const char* text : {"P1\n10 2\n1 0 1 1 0 0 0 0 0 1\n0 0 0 0 0 0 0 0 1 1\n", "P1 10 2 1011000001\n00000000\n11"}) {
        Record r;
        ASSERT_EQ(Decode(text, &r), XR_OK) << text;
        EXPECT_EQ(r.image.LINEINT, 2u);
        EXPECT_EQ(r.image.PALFMT, XR_PALFMT_WHITEISZERO) << "1 is black in a bitmap";
        const uint8_t* lines = static_cast<const uint8_t*>(r.image.PIXELS);
        EXPECT_EQ(std::vector<uint8_t>(lines, lines + 4), (std::vector<uint8_t>{0xB0, 0x40, 0x00, 0xC0})) << text;
    }
    Record r;
    EXPECT_EQ(Decode("P1 3 1 1 x 0", &r), XR_ERR_ARGUMENT);
}

TEST(PnmDecode, ShortFilesKeepWhatIsThereAndGarbageFails) {
    struct Case { std::string text; std::vector<uint32_t> samples; CodecStatus status = XR_OK; };
    const Case cases[] = {
        {"P6 2 2 255\n\1\2\3\4", {1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"P5 3 1 15\n\1", {1, 0, 0}},
        {"P2 3 2 255\n1 2 3 4", {1, 2, 3, 4, 0, 0}},
        {"P3 2 1 255\n9 8 7 6 5", {9, 8, 7, 6, 5, 0}},
        {"P4 8 2\n\x81", {1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"P2 3 1 255\n1 2", {1, 2, 0}},
        {"P2 3 1 255\n1 2# 3", {1, 0, 0}, XR_ERR_ARGUMENT},
        {"P3 1 1 255\n1 - 3", {1, 0, 0}, XR_ERR_ARGUMENT},
    };
    for (const Case& c : cases) {
        Record r;
        EXPECT_EQ(Decode(c.text, &r), c.status) << c.text;
        EXPECT_EQ(FileView(r.image).samples, c.samples) << c.text;
    }
}

TEST(PnmEncode, PlainSamplesKeepTheirBitsAndSignedOnesAreOffset) {
    Record w;
    Fill(&w, XR_MODE_GRAYW, 12, 0, 3, 1);
    uint16_t values[3] = {0xFFF0, 0x1230, 0x0010};
    for (int i = 0; i < 3; ++i) {
        ImageLine(&w.image, 0)[2 * i] = static_cast<uint8_t>(values[i]);
        ImageLine(&w.image, 0)[2 * i + 1] = static_cast<uint8_t>(values[i] >> 8);
    }
    std::string text;
    ASSERT_EQ(Encode(&w.image, false, &text), XR_OK);
    EXPECT_EQ(text, "P2\n3 1\n4095\n4095 291 1 \n");
    EXPECT_EQ(Encode(&w.image, true, &text), XR_ERR_INTERNAL) << "no two-byte binary samples";

    Record s;
    Fill(&s, XR_MODE_GRAY, -8, 0, 9, 1);
    const int8_t signedValues[9] = {-128, 127, 0, -1, 1, 2, 3, 4, 5};
    std::memcpy(ImageLine(&s.image, 0), signedValues, 9);
    ASSERT_EQ(Encode(&s.image, false, &text), XR_OK);
    EXPECT_EQ(text, "P2\n9 1\n255\n0 255 128 127 129 130 131 132 \n133 \n");
    ASSERT_EQ(Encode(&s.image, true, &text), XR_OK);
    EXPECT_EQ(text, std::string("P5\n9 1\n255\n\x00\xff\x80\x7f\x81\x82\x83\x84\x85", 20));

    Record zero;
    Fill(&zero, XR_MODE_RGB, 8, 0, 1, 1);
    zero.image.FMT = 0;
    ASSERT_EQ(Encode(&zero.image, false, &text), XR_OK);
    EXPECT_EQ(zero.image.FMT, 8);
    for (int32_t mode : {XR_MODE_YUV, XR_MODE_INDEX, XR_MODE_HIGH, XR_MODE_LAB}) {
        Record other;
        Fill(&other, mode, 8, 0, 2, 2);
        EXPECT_EQ(Encode(&other.image, false, &text), XR_ERR_INTERNAL) << mode;
    }
    FILE* readOnly = std::fopen("/dev/null", "r");
    ASSERT_NE(readOnly, nullptr);
    EXPECT_EQ(pnm_encode(readOnly, &zero.image, nullptr), XR_ERR_STREAM_CALLBACK);
    std::fclose(readOnly);
}

struct Variant {
    int32_t mode;
    int8_t fmt;
    uint8_t palfmt;
    bool binary;
};

void PrintTo(const Variant& v, std::ostream* os) {
    *os << ImageModeName(v.mode) << " FMT " << int{v.fmt} << (v.palfmt ? " white-is-zero" : "")
        << (v.binary ? " binary" : " plain");
}

class PnmVariants : public testing::TestWithParam<Variant> {};

// Ours written, then read by us and by netpbm: both must see the samples the record meant.
TEST_P(PnmVariants, RoundTripAndNetpbmAgree) {
    const Variant v = GetParam();
    Record source;
    Fill(&source, v.mode, v.fmt, v.palfmt, 19, 5);
    std::string bytes;
    ASSERT_EQ(Encode(&source.image, v.binary, &bytes), XR_OK);
    uint32_t fileBits = v.mode == XR_MODE_MONO ? 1 : v.binary ? 8 : static_cast<uint32_t>(std::abs(v.fmt));
    Plain want = FileView(source.image, fileBits);
    Record back;
    ASSERT_EQ(Decode(bytes, &back), XR_OK);
    EXPECT_EQ(FileView(back.image), want);

    if (!testfiles::HaveTool("pnmtoplainpnm")) GTEST_SKIP() << "netpbm not installed";
    testfiles::ScratchDir dir;
    ASSERT_TRUE(testfiles::WriteText(dir / "ours.pnm", bytes));
    bool ok = false;
    testfiles::Bytes plain = testfiles::Output("pnmtoplainpnm " + testfiles::Quote(dir / "ours.pnm"), &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(ParsePlain(std::string(plain.begin(), plain.end())), want);
}

INSTANTIATE_TEST_SUITE_P(Everything, PnmVariants, testing::Values(
    Variant{XR_MODE_RGB, 8, 0, false}, Variant{XR_MODE_RGB, 8, 0, true}, Variant{XR_MODE_RGB, 4, 0, false},
    Variant{XR_MODE_RGB, 2, 0, true}, Variant{XR_MODE_RGB, -8, 0, true}, Variant{XR_MODE_RGBW, 16, 0, false},
    Variant{XR_MODE_RGBW, 10, 0, false}, Variant{XR_MODE_RGBW, 8, 0, true}, Variant{XR_MODE_RGBW, -16, 0, false},
    Variant{XR_MODE_GRAY, 8, 0, false}, Variant{XR_MODE_GRAY, 8, 0, true}, Variant{XR_MODE_GRAY, 6, 0, false},
    Variant{XR_MODE_GRAY, 4, 0, true}, Variant{XR_MODE_GRAY, -8, 0, false}, Variant{XR_MODE_GRAYW, 16, 0, false},
    Variant{XR_MODE_GRAYW, 12, 0, false}, Variant{XR_MODE_GRAYW, 8, 0, true}, Variant{XR_MODE_GRAYW, -12, 0, false},
    Variant{XR_MODE_MONO, 0, 0, false}, Variant{XR_MODE_MONO, 0, 0, true}, Variant{XR_MODE_MONO, 0, 1, false},
    Variant{XR_MODE_MONO, 0, 1, true}));

// Theirs: netpbm and ImageMagick turn one plain picture into each form they write.
TEST(PnmCrossCheck, WeReadWhatTheToolsWrite) {
    if (!testfiles::HaveTool("pamtopnm") || !testfiles::HaveTool(testfiles::kMagick))
        GTEST_SKIP() << "netpbm or ImageMagick not installed";
    struct Tool { const char* command; bool fullRangeOnly; };
    const Tool tools[] = {{"pamtopnm", false}, {"pnmtoplainpnm", false},
                          {"/usr/bin/convert - -compress none -", true}, {"/usr/bin/convert - -", true}};
    for (int kind = 1; kind <= 3; ++kind) {
        for (uint32_t maxval : {1u, 3u, 15u, 63u, 255u, 1023u, 4095u, 65535u}) {
            if ((kind == 1) != (maxval == 1)) continue;
            Plain p{kind, 23, 4, maxval, {}};
            for (uint32_t i = 0; i < p.width * p.height * (kind == 3 ? 3u : 1u); ++i)
                p.samples.push_back((i * 2654435761u >> 9) % (maxval + 1));
            for (const Tool& tool : tools) {
                bool binaryTool = std::string(tool.command) == "pamtopnm" || std::string(tool.command) == "/usr/bin/convert - -";
                if (binaryTool && maxval > 255) continue;  // two-byte binary samples: unsupported
                if (tool.fullRangeOnly && maxval != 1 && maxval != 255) continue;  // ImageMagick rescales others
                bool ok = false;
                testfiles::Bytes bytes = testfiles::Output(std::string(tool.command) + " <<'EOF'\n" + PlainText(p) + "EOF\n", &ok);
                ASSERT_TRUE(ok) << tool.command;
                Record r;
                ASSERT_EQ(Decode(std::string(bytes.begin(), bytes.end()), &r), XR_OK) << tool.command << " P" << kind << " " << maxval;
                EXPECT_EQ(FileView(r.image), p) << tool.command << " P" << kind << " " << maxval;
            }
        }
    }
}

}  // namespace
