// The whole PngSuite: every file decodes to the pixels its JSON gives, or is
// refused with the status its class calls for: 9 for 16-bit truecolour and for
// interlaced files below 8 bits (when the header is read), 9 for interlaced 8-bit
// files other than palette images (when the pixels are asked for), 3 for 16-bit
// greyscale. The deliberately broken x* files are listed one by one.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "png_test_support.hpp"
#include "test_files.hpp"

using namespace pngtest;

namespace {

namespace fs = std::filesystem;

// The suite's JSON files hold one flat array of numbers: red, green, blue, alpha per pixel.
std::vector<int> ReadJsonArray(const fs::path& path) {
    Bytes text = testfiles::ReadBytes(path);
    std::vector<int> values;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!std::isdigit(text[i])) continue;
        int v = 0;
        for (; i < text.size() && std::isdigit(text[i]); ++i) v = v * 10 + (text[i] - '0');
        values.push_back(v);
    }
    return values;
}

struct Expectation {
    CodecStatus header = XR_OK, decode = XR_OK;
};

const std::map<std::string, Expectation> kBroken = {
    {"xc1n0g08", {3, 3}}, {"xc9n2c08", {3, 3}},   // colour types 1 and 9
    {"xcrn0g04", {3, 3}}, {"xlfn0g04", {3, 3}},   // signature with CR or LF bytes added
    {"xs1n0g01", {3, 3}}, {"xs2n0g01", {3, 3}}, {"xs4n0g01", {3, 3}}, {"xs7n0g01", {3, 3}},  // signature bytes
    {"xd0n2c08", {3, 3}}, {"xd3n2c08", {3, 3}}, {"xd9n2c08", {3, 3}},  // bit depths 0, 3, 99
    {"xdtn0g01", {3, 3}},                         // no IDAT
    {"xhdn0g08", {3, 3}},                         // IHDR CRC wrong
    {"xcsn0g01", {XR_OK, XR_ERR_INTERNAL}},       // IDAT CRC wrong
};

// What a well-formed suite file must give, from its IHDR bytes.
Expectation Expect(const Bytes& file) {
    uint8_t depth = file[24], colour = file[25], interlace = file[28];
    if (interlace && depth != 8) return {XR_ERR_UNSUPPORTED, XR_ERR_UNSUPPORTED};
    if (depth == 16) {
        CodecStatus s = colour == 2 || colour == 6 ? XR_ERR_UNSUPPORTED : XR_ERR_FORMAT;
        return {s, s};
    }
    if (interlace && colour != 3) return {XR_OK, XR_ERR_UNSUPPORTED};
    return {};
}

TEST(PngSuite, EveryFileDecodesRightOrIsRefusedAsItShouldBe) {
    const fs::path suite = LUMAPIX_PNGSUITE_DIR;
    if (!fs::is_directory(suite / "png")) GTEST_SKIP() << "no PngSuite at " << suite;
    std::map<CodecStatus, int> outcomes;
    for (const auto& entry : fs::directory_iterator(suite / "png")) {
        std::string name = entry.path().stem().string();
        SCOPED_TRACE(name);
        Bytes file = testfiles::ReadBytes(entry.path());
        auto broken = kBroken.find(name);
        ASSERT_TRUE(broken != kBroken.end() || name[0] != 'x') << "a broken file without an expected status";
        Expectation want = broken != kBroken.end() ? broken->second : Expect(file);
        ++outcomes[want.decode];
        bool interlaced = file.size() > 28 && file[28] == 1;
        for (auto [byLine, piece] : {std::pair<bool, size_t>{false, 0}, {true, 0}, {true, 7}}) {
            Decoded d = DecodePng(file, byLine && !interlaced, piece);
            ASSERT_EQ(d.headerStatus, want.header);
            ASSERT_EQ(d.status, want.decode);
            if (d.status != XR_OK) continue;
            std::vector<int> rgba = ReadJsonArray(suite / "json" / (name + ".json"));
            size_t pixels = size_t{d.header.WIDTH} * d.header.HEIGHT;
            ASSERT_EQ(rgba.size(), pixels * 4);
            int top = (1 << d.ihdr.bitDepth) - 1;  // grey samples come unscaled
            for (size_t i = 0; i < pixels; ++i) {
                int rgb[3];
                for (size_t c = 0; c < 3; ++c) {
                    switch (d.header.MODE) {
                        case XR_MODE_RGB: rgb[c] = d.pixels[3 * i + 2 - c]; break;
                        case XR_MODE_INDEX: rgb[c] = d.palette[4 * size_t{d.pixels[i]} + 2 - c]; break;
                        default: rgb[c] = d.pixels[i] * 255 / top; break;
                    }
                }
                ASSERT_TRUE(rgb[0] == rgba[4 * i] && rgb[1] == rgba[4 * i + 1] && rgb[2] == rgba[4 * i + 2])
                    << "pixel " << i << ": " << rgb[0] << "," << rgb[1] << "," << rgb[2];
            }
        }
    }
    int files = 0;
    std::string summary;
    for (auto [status, count] : outcomes) {
        files += count;
        summary += " status " + std::to_string(status) + ": " + std::to_string(count);
    }
    EXPECT_EQ(files, 175);
    std::printf("PngSuite: %d files;%s\n", files, summary.c_str());
}

}  // namespace
