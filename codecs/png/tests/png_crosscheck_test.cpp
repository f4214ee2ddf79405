// Interoperability: PNG files written by ImageMagick and netpbm decode to the
// pixels both tools read back from them, and both tools read our files back as the
// pixels we wrote.
#include <gtest/gtest.h>

#include <string>

#include "png_test_support.hpp"
#include "test_files.hpp"

using namespace pngtest;
using testfiles::kMagick;
using testfiles::ReadBytes;
using testfiles::Shell;
using testfiles::WriteBytes;

namespace {

bool HaveTools() { return testfiles::HaveTool(kMagick) && testfiles::HaveTool("pngtopnm") && testfiles::HaveTool("pnmtopng"); }

// Red, green, blue bytes, row after row, after a width and a height.
struct Rgb {
    uint32_t width = 0, height = 0;
    Bytes rgb;
    bool operator==(const Rgb&) const = default;
};

// P4, P5 and P6 (maxval up to 255), scaled to 0..255.
Rgb ParsePnm(const Bytes& bytes) {
    testfiles::Pnm p = testfiles::ParsePnm(bytes);
    Rgb out{p.width, p.height, {}};
    for (size_t i = 0; i < p.samples.size(); i += p.channels)
        for (uint32_t c = 0; c < 3; ++c) {
            uint32_t v = p.samples[i + (p.channels == 3 ? c : 0)];
            out.rgb.push_back(static_cast<uint8_t>(p.kind == 4 ? (v ? 0 : 255) : v * 255 / p.maxval));
        }
    return out;
}

// Our decode as red, green, blue: palette looked up, low-depth grey widened.
Rgb AsRgb(const Decoded& d) {
    Rgb out{d.header.WIDTH, d.header.HEIGHT, {}};
    int top = (1 << d.ihdr.bitDepth) - 1;
    for (size_t i = 0; i < size_t{out.width} * out.height; ++i) {
        if (d.header.MODE == XR_MODE_RGB) {
            out.rgb.insert(out.rgb.end(), {d.pixels[3 * i + 2], d.pixels[3 * i + 1], d.pixels[3 * i]});
        } else if (d.header.MODE == XR_MODE_INDEX) {
            const uint8_t* e = &d.palette[4 * size_t{d.pixels[i]}];
            out.rgb.insert(out.rgb.end(), {e[2], e[1], e[0]});
        } else {
            out.rgb.insert(out.rgb.end(), 3, static_cast<uint8_t>(d.pixels[i] * 255 / top));
        }
    }
    return out;
}

// Gradients crossed by a hook near the top-left corner, so that flips and channel
// swaps show; odd sizes, so that no row is a whole number of bytes.
Rgb TestPicture(uint32_t w, uint32_t h) {
    Rgb out{w, h, {}};
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            bool hook = (x == 2 && y >= 2 && y < 9) || (y == 2 && x >= 2 && x < 6);
            out.rgb.push_back(static_cast<uint8_t>(hook ? 255 : x * 255 / (w - 1)));
            out.rgb.push_back(static_cast<uint8_t>(hook ? 0 : y * 255 / (h - 1)));
            out.rgb.push_back(static_cast<uint8_t>(hook ? 0 : (x + y) * 7));
        }
    return out;
}

Bytes Pnm(const Rgb& image, bool grey) {
    std::string head = (grey ? "P5\n" : "P6\n") + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
    Bytes out(head.begin(), head.end());
    for (size_t i = 0; i < image.rgb.size(); i += 3)
        out.insert(out.end(), image.rgb.begin() + static_cast<ptrdiff_t>(i),
                   image.rgb.begin() + static_cast<ptrdiff_t>(i + (grey ? 1 : 3)));
    return out;
}

TEST(PngCrosscheck, FilesWrittenByImageMagickAndNetpbmDecodeAsTheyReadThem) {
    if (!HaveTools()) GTEST_SKIP() << "ImageMagick or netpbm missing (scripts/install-deps)";
    struct Writer {
        const char* command;  // IN and OUT are filled in
        bool grey;            // the source is a PGM
        uint8_t colour, depth, interlace;  // what the tool must have written
    };
    const Writer writers[] = {
        {"convert IN PNG24:OUT", false, 2, 8, 0},
        {"convert IN -alpha set -channel A -fx 'i/w' +channel PNG32:OUT", false, 6, 8, 0},
        {"convert IN -type Grayscale PNG:OUT", true, 0, 8, 0},
        {"convert IN -alpha set -channel A -fx 'j/h' +channel -type GrayscaleAlpha PNG:OUT", true, 4, 8, 0},
        {"convert IN -depth 4 PNG:OUT", true, 0, 4, 0},
        {"convert IN -depth 2 PNG:OUT", true, 0, 2, 0},
        {"convert IN -threshold 50% -type Bilevel PNG:OUT", true, 0, 1, 0},
        {"convert IN -colors 200 PNG8:OUT", false, 3, 8, 0},
        {"convert IN -colors 100 -interlace PNG PNG8:OUT", false, 3, 8, 1},
        {"convert IN -colors 12 -define png:bit-depth=4 -define png:color-type=3 PNG8:OUT", false, 3, 4, 0},
        {"pnmtopng IN > OUT", true, 0, 8, 0},
        {"pnmquant 64 IN | pnmtopng -interlace > OUT", false, 3, 8, 1},
        {"pnmquant 16 IN | pnmtopng > OUT", false, 3, 4, 0},
    };
    testfiles::ScratchDir dir;
    Rgb picture = TestPicture(37, 23);
    std::string ppm = dir / "in.ppm", pgm = dir / "in.pgm", png = dir / "out.png", netpbm = dir / "netpbm.pnm",
                magick = dir / "magick.ppm";
    WriteBytes(ppm, Pnm(picture, false));
    WriteBytes(pgm, Pnm(picture, true));
    for (const Writer& w : writers) {
        SCOPED_TRACE(w.command);
        std::string command = w.command;
        if (command.starts_with("convert")) command.replace(0, 7, kMagick);
        command.replace(command.find("IN"), 2, "'" + (w.grey ? pgm : ppm) + "'");
        command.replace(command.find("OUT"), 3, "'" + png + "'");
        ASSERT_TRUE(Shell(command));
        Bytes file = ReadBytes(png);
        ASSERT_GT(file.size(), 33u);
        EXPECT_EQ(Bytes(file.begin() + 24, file.begin() + 29), (Bytes{w.depth, w.colour, 0, 0, w.interlace}));
        Decoded d = DecodePng(file);
        ASSERT_EQ(d.status, XR_OK);
        ASSERT_TRUE(Shell("pngtopnm '" + png + "' > '" + netpbm + "'"));
        ASSERT_TRUE(Shell(std::string(kMagick) + " '" + png + "' -alpha off -depth 8 ppm:'" + magick + "'"));
        EXPECT_TRUE(AsRgb(d) == ParsePnm(ReadBytes(magick))) << "differs from ImageMagick's reading";
        EXPECT_TRUE(AsRgb(d) == ParsePnm(ReadBytes(netpbm))) << "differs from pngtopnm's reading";
    }
}

TEST(PngCrosscheck, ImageMagickAndNetpbmReadOurFilesAsWeWroteThem) {
    if (!HaveTools()) GTEST_SKIP() << "ImageMagick or netpbm missing (scripts/install-deps)";
    testfiles::ScratchDir dir;
    Rgb picture = TestPicture(41, 19);
    std::string png = dir / "ours.png", netpbm = dir / "back.pnm", magick = dir / "magick.ppm";
    for (int32_t mode : {XR_MODE_RGB, XR_MODE_GRAY, XR_MODE_INDEX, XR_MODE_MONO}) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        Record record;
        record.image = XrImage{mode, 41, 19, ImageLineBytes(mode, 41), 0, 0, 0, nullptr, nullptr, nullptr, 0};
        ASSERT_EQ(ImageAlloc(&record.image), XR_OK);
        for (uint32_t i = 0; mode == XR_MODE_INDEX && i < 256; ++i) {  // index i is (i, 255 - i, i / 2)
            record.image.PALBUT[4 * i] = static_cast<uint8_t>(i / 2);
            record.image.PALBUT[4 * i + 1] = static_cast<uint8_t>(255 - i);
            record.image.PALBUT[4 * i + 2] = static_cast<uint8_t>(i);
        }
        Rgb want = picture;
        for (uint32_t y = 0; y < 19; ++y) {
            uint8_t* line = ImageLine(&record.image, y);
            for (uint32_t x = 0; x < 41; ++x) {
                uint8_t* px = &want.rgb[(y * 41 + x) * size_t{3}];
                if (mode == XR_MODE_RGB) {
                    line[3 * x] = px[2], line[3 * x + 1] = px[1], line[3 * x + 2] = px[0];
                } else if (mode == XR_MODE_MONO) {  // black is zero: set where red is bright
                    if (px[0] >= 128) line[x / 8] = static_cast<uint8_t>(line[x / 8] | 0x80 >> (x % 8));
                    px[0] = px[1] = px[2] = px[0] >= 128 ? 255 : 0;
                } else {
                    line[x] = px[0];
                    px[1] = mode == XR_MODE_GRAY ? px[0] : static_cast<uint8_t>(255 - px[0]);
                    px[2] = mode == XR_MODE_GRAY ? px[0] : static_cast<uint8_t>(px[0] / 2);
                }
            }
        }
        CodecStatus status;
        WriteBytes(png, EncodePng(record.image, &status, mode == XR_MODE_GRAY));
        ASSERT_EQ(status, XR_OK);
        ASSERT_TRUE(Shell("pngtopnm '" + png + "' > '" + netpbm + "'"));
        ASSERT_TRUE(Shell(std::string(kMagick) + " '" + png + "' -depth 8 ppm:'" + magick + "'"));
        EXPECT_TRUE(ParsePnm(ReadBytes(netpbm)) == want) << "pngtopnm";
        EXPECT_TRUE(ParsePnm(ReadBytes(magick)) == want) << "ImageMagick";
        EXPECT_TRUE(AsRgb(DecodePng(ReadBytes(png))) == want) << "our own decoder";
    }
}

}  // namespace
