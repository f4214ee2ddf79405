// Interoperability, compared as palette-resolved RGB: ImageMagick, netpbm and
// giflib read our files as we wrote them, and we read theirs (plain, interlaced,
// GIF87a, local tables, extensions, images smaller and larger than the screen)
// as they do.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "gif_test_support.hpp"
#include "test_files.hpp"

using namespace giftest;
using testfiles::kMagick;

namespace {

const std::string kConvert = kMagick;

struct Picture {
    uint32_t width = 0, height = 0;
    Bytes rgb;  // red, green, blue per pixel
    bool operator==(const Picture&) const = default;
};

class CrossCheck : public testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"gifbuild", "gif2rgb", "giftopnm", "pamtogif", "ppmtogif", "ppmtoppm", kMagick})
            if (!testfiles::HaveTool(tool)) GTEST_SKIP() << tool << " missing (scripts/install-deps)";
    }
    std::string Temp(const std::string& tag) { return dir_ / (std::to_string(++files_) + tag); }
    // Runs command, its output into a new file; the file's bytes.
    Bytes Run(const std::string& command) {
        std::string out = Temp(".out");
        EXPECT_TRUE(testfiles::Shell(command + " > '" + out + "'")) << command;
        return testfiles::ReadBytes(out);
    }
    // A PPM of netpbm or ImageMagick.
    static Picture Ppm(const Bytes& bytes) {
        testfiles::Pnm p = testfiles::ParsePnm(bytes);
        return p.channels == 3 && p.maxval == 255 ? Picture{p.width, p.height, p.samples} : Picture{};
    }
    std::string File(const Bytes& bytes, const std::string& tag = ".gif") {
        std::string path = Temp(tag);
        testfiles::WriteBytes(path, bytes);
        return path;
    }

private:
    testfiles::ScratchDir dir_{"lumapix-gif-xc"};
    int files_ = 0;
};

// An INDEX picture seen through its palette.
Picture Resolve(const Bytes& pixels, const Bytes& palette, uint32_t width, uint32_t height) {
    Picture p{width, height, {}};
    for (uint8_t i : pixels) p.rgb.insert(p.rgb.end(), {palette[4u * i + 2], palette[4u * i + 1], palette[4u * i]});
    return p;
}

TEST_F(CrossCheck, ToolsReadOurFilesAsWeWroteThem) {
    struct Size { uint16_t width, height; uint32_t colours; };
    for (Size s : {Size{1, 1, 1}, Size{7, 9, 3}, Size{17, 8, 256}, Size{300, 200, 256}, Size{1000, 40, 2}}) {
        SCOPED_TRACE(std::to_string(s.width) + "x" + std::to_string(s.height));
        IndexPicture source(s.width, s.height, s.colours, s.width + 3u);
        for (size_t i = 0; s.colours == 2 && i < source.pixels.size(); ++i) source.pixels[i] = (i / 2500) & 1;
        Picture expected = Resolve(source.pixels, source.palette, s.width, s.height);
        CodecStatus status;
        std::string gif = File(EncodeGif(source.image, &status));
        ASSERT_EQ(status, XR_OK);
        EXPECT_EQ(Ppm(Run("giftopnm '" + gif + "' | ppmtoppm")), expected) << "netpbm";
        EXPECT_EQ(Ppm(Run(kConvert + " '" + gif + "' -depth 8 ppm:-")), expected) << "ImageMagick";
        std::string rgb = Temp(".rgb");
        Run("gif2rgb -1 -o '" + rgb + "' '" + gif + "'");
        EXPECT_EQ(testfiles::ReadBytes(rgb), expected.rgb) << "giflib";
    }
}

TEST_F(CrossCheck, WeReadTheToolsFilesAsTheyDo) {
    struct Size { uint32_t width, height, colours; };
    for (Size s : {Size{1, 1, 2}, Size{7, 1, 5}, Size{8, 8, 16}, Size{9, 17, 200}, Size{123, 77, 256}, Size{64, 3, 3}}) {
        SCOPED_TRACE(std::to_string(s.width) + "x" + std::to_string(s.height));
        // Few distinct colours, so the tools keep them exactly: flat bands and random dots.
        Bytes colours = RandomPixels(3 * s.colours, 256, s.width), pixels = RandomPixels(s.width * s.height, s.colours, s.height);
        Picture source{s.width, s.height, {}};
        for (size_t i = 0; i < pixels.size(); ++i) {
            size_t c = (i / s.width / 5) % 3 == 0 ? (i % s.width / 7) % s.colours : size_t{pixels[i]};
            source.rgb.insert(source.rgb.end(), colours.begin() + static_cast<std::ptrdiff_t>(3 * c),
                              colours.begin() + static_cast<std::ptrdiff_t>(3 * c + 3));
        }
        std::string head = "P6\n" + std::to_string(s.width) + " " + std::to_string(s.height) + "\n255\n";
        Bytes ppmBytes(head.begin(), head.end());
        ppmBytes.insert(ppmBytes.end(), source.rgb.begin(), source.rgb.end());
        std::string ppm = File(ppmBytes, ".ppm");
        const std::pair<std::string, bool> writers[] = {
            {kConvert + " '" + ppm + "' gif:-", false},        {kConvert + " '" + ppm + "' -interlace GIF gif:-", true},
            {kConvert + " '" + ppm + "' gif87:-", false},      {"pamtogif '" + ppm + "'", false},
            {"pamtogif -interlace '" + ppm + "'", true},      {"ppmtogif -interlace '" + ppm + "'", true},
        };
        for (const auto& [command, interlaced] : writers) {
            Bytes file = Run(command);
            Decoded d = DecodeGif(file);
            ASSERT_EQ(d.status, XR_OK) << command;
            EXPECT_EQ(Resolve(d.pixels, d.palette, s.width, s.height), source) << command;
            EXPECT_TRUE(s.height == 1 || d.info.interlaced == interlaced) << command;
            EXPECT_EQ(Ppm(Run("giftopnm '" + File(file) + "' | ppmtoppm")), source) << "netpbm disagrees: " << command;
        }
    }
}

// giflib's gifbuild writes what our own writer never does: local tables, image
// positions, images larger than the screen. ImageMagick gives the image itself;
// we give it in the screen's top-left corner, index 0 around it.
TEST_F(CrossCheck, GiflibLocalTablesPositionsAndClipping) {
    struct Case { uint32_t screenWidth, screenHeight, width, height, left, top; bool local, interlaced; };
    const Case cases[] = {
        {13, 9, 13, 9, 0, 0, true, false},   {9, 17, 9, 17, 0, 0, true, true},   {30, 20, 11, 7, 12, 9, true, false},
        {30, 20, 11, 7, 3, 2, false, true},  {6, 20, 17, 9, 0, 0, false, false}, {17, 5, 17, 19, 0, 0, true, true},
        {4, 3, 9, 8, 0, 0, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " on " + std::to_string(c.screenWidth) +
                     "x" + std::to_string(c.screenHeight));
        Bytes global = RandomPixels(768, 256, 1), local = RandomPixels(192, 256, 2);
        const Bytes& table = c.local ? local : global;
        Bytes pixels = RandomPixels(c.width * c.height, c.local ? 64 : 256, c.width);
        std::ostringstream text;  // gifbuild always flags a global table, so one is always given
        text << "screen width " << c.screenWidth << "\nscreen height " << c.screenHeight << "\nscreen map\n";
        for (size_t i = 0; i < 768; i += 3) text << "\trgb " << +global[i] << " " << +global[i + 1] << " " << +global[i + 2] << "\n";
        text << "end\ncomment\nwritten by the GIF cross-check\nend\nimage\nimage left " << c.left << "\nimage top " << c.top << "\n";
        if (c.interlaced) text << "image interlaced\n";
        if (c.local) {
            text << "image map\n";
            for (size_t i = 0; i < 192; i += 3) text << "\trgb " << +local[i] << " " << +local[i + 1] << " " << +local[i + 2] << "\n";
            text << "end\n";
        }
        text << "image bits " << c.width << " by " << c.height << " hex\n";
        for (size_t i = 0; i < pixels.size(); ++i)
            text << "0123456789abcdef"[pixels[i] >> 4] << "0123456789abcdef"[pixels[i] & 15] << ((i + 1) % c.width ? "" : "\n");
        std::string written = text.str();
        std::string description = File(Bytes(written.begin(), written.end()), ".txt");
        Bytes file = Run("gifbuild '" + description + "'");
        Decoded d = DecodeGif(file);
        ASSERT_EQ(d.status, XR_OK);
        ASSERT_TRUE(d.header.WIDTH == c.screenWidth && d.header.HEIGHT == c.screenHeight);
        EXPECT_EQ(d.info.interlaced, c.interlaced);
        Picture frame = Ppm(Run(kConvert + " '" + File(file) + "' -depth 8 ppm:-"));
        ASSERT_EQ(frame.width, c.width);
        Picture expected{c.screenWidth, c.screenHeight, {}};
        for (uint32_t y = 0; y < c.screenHeight; ++y)
            for (uint32_t x = 0; x < c.screenWidth; ++x) {
                size_t from = x < c.width && y < c.height ? 3 * (size_t{y} * c.width + x) : 0;
                const Bytes& source = x < c.width && y < c.height ? frame.rgb : table;  // index 0 around the image
                expected.rgb.insert(expected.rgb.end(), source.begin() + static_cast<std::ptrdiff_t>(from),
                                    source.begin() + static_cast<std::ptrdiff_t>(from + 3));
            }
        EXPECT_EQ(Resolve(d.pixels, d.palette, c.screenWidth, c.screenHeight), expected);
        Bytes palette(1024, 0);
        for (size_t i = 0; i < table.size() / 3; ++i)
            for (size_t k = 0; k < 3; ++k) palette[4 * i + k] = table[3 * i + 2 - k];
        EXPECT_EQ(d.palette, palette) << "the image's table, zero beyond it";
    }
}

}  // namespace
