// Bitmaps written by ImageMagick and netpbm must decode to the pixels those tools
// read back from the same files, and the tools must read our files as we wrote them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "lumapix/format_adapters.h"
#include "lumapix/options.h"
#include "lumapix/test_images.h"
#include "lumapix/xr_image.h"
#include "test_files.hpp"

namespace {

using testfiles::kMagick;
using testfiles::Quote;
using testfiles::Shell;

struct Rgb { uint8_t r, g, b; bool operator==(const Rgb&) const = default; };

struct Picture {
    uint32_t width = 0, height = 0;
    std::vector<Rgb> px;
    Rgb& at(uint32_t x, uint32_t y) { return px[size_t{y} * width + x]; }
};

struct Size { uint16_t width, height; };
// Largest first: the writer's choice of format is checked on it. The widths cover every line padding.
constexpr Size kSizes[] = {{33, 7}, {17, 2}, {13, 7}, {4, 3}, {3, 2}, {1, 1}, {2, 7}};

enum class Source { kRich, kSixteen, kTwo, kGray };
enum class Tool { kImageMagick, kNetpbm };

struct Variant {
    const char* name;
    Tool tool;
    Source source;
    const char* options;  // ImageMagick: options, then the output coder; netpbm: ppmtobmp flags
    uint32_t headerSize, bitsPerPixel, compression;
    uint8_t bits[3] = {};    // red, green, blue field widths of 16-bit files
    bool stretched = false;  // arbitrary masks: a field's maximum decodes as 255
    bool topDown = false;    // the written file is turned into a top-line-first one
};

void PrintTo(const Variant& v, std::ostream* os) { *os << v.name << " (" << v.options << ")"; }

// Files named in the order asked for, in a scratch folder of the test's own.
struct TempFiles {
    testfiles::ScratchDir dir{"lumapix-bmp-xc"};
    int count = 0;
    std::string Add(const std::string& tag) { return dir / (std::to_string(++count) + "_" + tag); }
};

bool HaveNetpbm() { return testfiles::HaveTool("ppmtobmp") && testfiles::HaveTool("bmptopnm"); }

uint32_t LE(const std::vector<uint8_t>& b, size_t at, size_t bytes) {
    uint32_t v = 0;
    for (size_t i = bytes; i-- > 0;) v = v << 8 | (at + i < b.size() ? b[at + i] : 0u);
    return v;
}

// Gradients crossed by a hook in the top-left corner, so that flips and mirrors show.
Rgb SourcePixel(Source kind, uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
    auto ramp = [](uint32_t v, uint32_t n) { return static_cast<uint8_t>(n > 1 ? v * 255 / (n - 1) : 0); };
    bool hook = x == 0 || (y == 0 && x <= w / 3);
    switch (kind) {
        case Source::kRich:
            if (hook) return {255, 255, 32};
            return {ramp(x, w), ramp(y, h), static_cast<uint8_t>((x * 37 + y * 101) & 255)};
        case Source::kSixteen: {
            uint32_t i = hook ? 15 : (x + 2 * y) % 15;
            return {static_cast<uint8_t>((i & 3) * 85), static_cast<uint8_t>((i >> 2) * 85),
                    static_cast<uint8_t>(200 - (i & 3) * 50)};
        }
        case Source::kTwo: return hook || (x * x + 3 * y) % 5 < 2 ? Rgb{250, 180, 10} : Rgb{20, 40, 200};
        case Source::kGray: {
            auto v = static_cast<uint8_t>(hook ? 255 : (ramp(x, w) / 2 + y * 19) & 255);
            return {v, v, v};
        }
    }
    return {};
}

bool WriteSource(const std::string& path, Source kind, Size size) {
    std::ofstream out(path, std::ios::binary);
    out << (kind == Source::kGray ? "P5\n" : "P6\n") << size.width << ' ' << size.height << "\n255\n";
    for (uint32_t y = 0; y < size.height; ++y) {
        for (uint32_t x = 0; x < size.width; ++x) {
            Rgb c = SourcePixel(kind, x, y, size.width, size.height);
            out.put(static_cast<char>(c.r));
            if (kind != Source::kGray) out.put(static_cast<char>(c.g)).put(static_cast<char>(c.b));
        }
    }
    return static_cast<bool>(out);
}

// The record as red, green, blue, whatever its mode.
Picture ToPicture(const XrImage& image) {
    Picture pic{image.WIDTH, image.HEIGHT, std::vector<Rgb>(size_t{image.WIDTH} * image.HEIGHT)};
    for (uint32_t y = 0; y < pic.height; ++y) {
        const uint8_t* line = ImageLine(&image, y);
        for (uint32_t x = 0; x < pic.width; ++x) {
            Rgb& c = pic.at(x, y);
            if (image.MODE == XR_MODE_RGB) {
                c = {line[3 * x + 2], line[3 * x + 1], line[3 * x]};
            } else if (image.MODE == XR_MODE_INDEX) {
                const uint8_t* entry = image.PALBUT + 4 * line[x];
                c = {entry[2], entry[1], entry[0]};
            } else if (image.MODE == XR_MODE_GRAY) {
                c = {line[x], line[x], line[x]};
            } else if (image.MODE == XR_MODE_MONO) {
                bool set = line[x / 8] >> (7 - x % 8) & 1;
                c = set != (image.PALFMT == XR_PALFMT_WHITEISZERO) ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
            } else if (image.MODE == XR_MODE_HIGH) {
                uint32_t v = uint32_t{line[2 * x]} << 8 | line[2 * x + 1];
                c = {static_cast<uint8_t>(v >> 11 << 3), static_cast<uint8_t>((v >> 5 & 63) << 2),
                     static_cast<uint8_t>((v & 31) << 3)};
            }
        }
    }
    return pic;
}

// Our BMP adapter, or the PNM one (cross-checked against netpbm itself) for the tools' readings.
CodecStatus DecodeFile(DecodeAdapter adapter, const std::string& path, bool byLine, int32_t* mode, Picture* pic) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return XR_ERR_ARGUMENT;
    DecodeOptions options;
    DecodeOptionsDefaults(&options);
    options.line = byLine ? 1 : 0;
    XrImage image{};
    CodecStatus status = adapter(file, &image, &options);
    std::fclose(file);
    *mode = image.MODE;
    if (status == XR_OK) *pic = ToPicture(image);
    ImageFree(&image);
    return status;
}

bool ReadPnm(const std::string& path, Picture* pic) {
    int32_t mode;
    return DecodeFile(pnm_decode, path, true, &mode, pic) == XR_OK;
}

testing::AssertionResult SamePixels(const Picture& ours, const Picture& tool) {
    if (ours.width != tool.width || ours.height != tool.height)
        return testing::AssertionFailure() << "size " << ours.width << "x" << ours.height << ", tool says "
                                           << tool.width << "x" << tool.height;
    for (size_t i = 0; i < ours.px.size(); ++i) {
        const Rgb &a = ours.px[i], &b = tool.px[i];
        if (a == b) continue;
        return testing::AssertionFailure() << "pixel (" << i % ours.width << "," << i / ours.width << ") is "
               << +a.r << "," << +a.g << "," << +a.b << ", tool says " << +b.r << "," << +b.g << "," << +b.b;
    }
    return testing::AssertionSuccess();
}

// Rewrites an uncompressed bottom-up file with its lines top first and a negative height.
bool MakeTopDown(const std::string& path) {
    std::vector<uint8_t> b = testfiles::ReadBytes(path);
    if (LE(b, 14, 4) < 40 || (LE(b, 30, 4) != 0 && LE(b, 30, 4) != 3)) return false;
    uint32_t height = LE(b, 22, 4), offset = LE(b, 10, 4), stride = (LE(b, 18, 4) * LE(b, 28, 2) + 31) / 32 * 4;
    if (height > 0xFFFF || offset + uint64_t{stride} * height > b.size()) return false;
    auto line = [&](uint32_t y) { return b.begin() + offset + y * stride; };
    for (uint32_t y = 0; y < height / 2; ++y) std::swap_ranges(line(y), line(y + 1), line(height - 1 - y));
    for (size_t i = 0; i < 4; ++i) b[22 + i] = static_cast<uint8_t>((~height + 1) >> (8 * i));
    return testfiles::WriteBytes(path, b);
}

// ImageMagick converts a whole list in one run (each start is slow); "%d" numbers the
// outputs, which then move to the names given.
bool MagickList(TempFiles& temp, const std::vector<std::string>& inputs, const std::string& options,
                const std::string& coder, const std::vector<std::string>& outputs) {
    std::string command = kMagick, base = temp.Add("list");
    for (const auto& in : inputs) command.append(" ").append(Quote(in));
    command.append(" ").append(options).append(" ").append(Quote(coder + base + "-%d"));
    if (!Shell(command)) return false;
    for (size_t i = 0; i < outputs.size(); ++i)
        if (std::rename((base + "-" + std::to_string(i)).c_str(), outputs[i].c_str()) != 0) return false;
    return true;
}

// A 16-bit field as the tool widened it, narrowed back and widened the way our records hold it.
void RequantiseFields(Picture* pic, const Variant& v) {
    for (Rgb& c : pic->px) {
        uint8_t* channel[3] = {&c.r, &c.g, &c.b};
        for (size_t k = 0; k < 3; ++k) {
            uint32_t n = v.bits[k], field = uint32_t{*channel[k]} >> (8 - n), max = (1u << n) - 1;
            *channel[k] = static_cast<uint8_t>(v.stretched ? (field * 255 + max / 2) / max : field << (8 - n));
        }
    }
}

class BmpCrossCheck : public testing::TestWithParam<Variant> {};

TEST_P(BmpCrossCheck, DecodesToTheWritersPixels) {
    const Variant& v = GetParam();
    if (v.tool == Tool::kImageMagick ? !testfiles::HaveTool(kMagick) : !HaveNetpbm()) GTEST_SKIP() << "encoder tool not installed";
    TempFiles temp;
    std::vector<std::string> sources, bmps, refs;
    for (Size size : kSizes) {
        sources.push_back(temp.Add(v.source == Source::kGray ? "src.pgm" : "src.ppm"));
        ASSERT_TRUE(WriteSource(sources.back(), v.source, size));
        bmps.push_back(temp.Add(v.name + std::string(".bmp")));
        refs.push_back(temp.Add("ref.pnm"));
        if (v.tool == Tool::kNetpbm) {
            ASSERT_TRUE(Shell("ppmtobmp " + std::string(v.options) + " " + Quote(sources.back()) + " >" +
                              Quote(bmps.back())));
        }
    }
    if (v.tool == Tool::kImageMagick) {
        std::string options = v.options;
        size_t coder = options.rfind(' ') + 1;
        ASSERT_TRUE(MagickList(temp, sources, options.substr(0, coder), options.substr(coder), bmps));
    }
    std::vector<uint8_t> first = testfiles::ReadBytes(bmps[0]);
    uint32_t header = LE(first, 14, 4), bpp = LE(first, header == 12 ? 24 : 28, 2);
    uint32_t compression = header == 12 ? 0 : LE(first, 30, 4);
    if (header != v.headerSize || bpp != v.bitsPerPixel || compression != v.compression)
        GTEST_SKIP() << "asked for header " << v.headerSize << ", " << v.bitsPerPixel << " bits, compression "
                     << v.compression << "; the tool wrote " << header << ", " << bpp << ", " << compression;
    for (size_t i = 0; v.topDown && i < bmps.size(); ++i) ASSERT_TRUE(MakeTopDown(bmps[i])) << bmps[i];
    if (v.tool == Tool::kImageMagick && v.compression != 0 && v.compression != 3) {
        // ImageMagick misreads the last line of some narrow run-length files it writes
        // itself, so the reference is the same quantised picture written uncompressed.
        std::string options = v.options;
        options.replace(options.find("-compress RLE"), 13, "-compress None");
        size_t coder = options.rfind(' ') + 1;
        std::vector<std::string> plain;
        for (size_t i = 0; i < sources.size(); ++i) plain.push_back(temp.Add("plain.bmp"));
        ASSERT_TRUE(MagickList(temp, sources, options.substr(0, coder), options.substr(coder), plain));
        ASSERT_TRUE(MagickList(temp, plain, "-depth 8", "ppm:", refs));
    } else if (v.tool == Tool::kImageMagick) {
        ASSERT_TRUE(MagickList(temp, bmps, "-depth 8", "ppm:", refs));
    } else {
        for (size_t i = 0; i < bmps.size(); ++i)
            ASSERT_TRUE(Shell("bmptopnm " + Quote(bmps[i]) + " >" + Quote(refs[i])));
    }

    for (size_t i = 0; i < bmps.size(); ++i) {
        SCOPED_TRACE(std::to_string(kSizes[i].width) + "x" + std::to_string(kSizes[i].height));
        std::vector<uint8_t> bytes = testfiles::ReadBytes(bmps[i]);
        uint32_t bits = LE(bytes, LE(bytes, 14, 4) == 12 ? 24 : 28, 2);  // small images may get fewer
        Picture want;
        ASSERT_TRUE(ReadPnm(refs[i], &want));
        if (bits == 16) RequantiseFields(&want, v);
        for (bool byLine : {true, false}) {
            SCOPED_TRACE(byLine ? "line by line" : "whole image");
            int32_t mode = XR_MODE_UNK;
            Picture got;
            ASSERT_EQ(DecodeFile(bmp_decode, bmps[i], byLine, &mode, &got), XR_OK);
            EXPECT_EQ(mode, bits <= 8 ? XR_MODE_INDEX : XR_MODE_RGB) << bits << " bits per pixel";
            EXPECT_TRUE(SamePixels(got, want));
        }
    }
}

constexpr Tool kIM = Tool::kImageMagick, kPbm = Tool::kNetpbm;
constexpr Source kRich = Source::kRich, kSixteen = Source::kSixteen, kTwo = Source::kTwo;
constexpr const char* kPalette = "-type Palette -colors 200 -compress None BMP3:";

const Variant kVariants[] = {
    {"magick_24", kIM, kRich, "-type TrueColor BMP3:", 40, 24, 0},
    {"magick_24_v5", kIM, kRich, "-type TrueColor BMP:", 124, 24, 0},
    {"magick_24_top_down", kIM, kRich, "-type TrueColor BMP3:", 40, 24, 0, {}, false, true},
    {"magick_32_bitfields", kIM, kRich, "-alpha on BMP:", 124, 32, 3},
    {"magick_16_565", kIM, kRich, "-define bmp:subtype=RGB565 BMP:", 124, 16, 3, {5, 6, 5}},
    {"magick_16_555", kIM, kRich, "-define bmp:subtype=RGB555 BMP:", 124, 16, 3, {5, 5, 5}},
    {"magick_16_1555", kIM, kRich, "-alpha on -define bmp:subtype=ARGB1555 BMP:", 124, 16, 3, {5, 5, 5}},
    {"magick_16_4444", kIM, kRich, "-alpha on -define bmp:subtype=ARGB4444 BMP:", 124, 16, 3, {4, 4, 4}, true},
    {"magick_8", kIM, kRich, kPalette, 40, 8, 0},
    {"magick_4", kIM, kRich, "-colors 16 BMP3:", 40, 4, 0},
    {"magick_1", kIM, kRich, "-type Bilevel BMP3:", 40, 1, 0},
    {"magick_rle8", kIM, kRich, "-type Palette -colors 200 -compress RLE BMP3:", 40, 8, 1},
    {"magick_os2_24", kIM, kRich, "-type TrueColor BMP2:", 12, 24, 0},
    {"magick_os2_8", kIM, kRich, "-type Palette -colors 200 BMP2:", 12, 8, 0},
    {"netpbm_24", kPbm, kRich, "-bpp 24", 40, 24, 0},
    {"netpbm_8", kPbm, kRich, "-bpp 8", 40, 8, 0},
    {"netpbm_8_gray", kPbm, Source::kGray, "-bpp 8", 40, 8, 0},
    {"netpbm_4", kPbm, kSixteen, "-bpp 4", 40, 4, 0},
    {"netpbm_4_top_down", kPbm, kSixteen, "-bpp 4", 40, 4, 0, {}, false, true},
    {"netpbm_1_colours", kPbm, kTwo, "-bpp 1", 40, 1, 0},
    {"netpbm_os2_4", kPbm, kSixteen, "-os2 -bpp 4", 12, 4, 0},
    {"netpbm_os2_1", kPbm, kTwo, "-os2 -bpp 1", 12, 1, 0},
};

INSTANTIATE_TEST_SUITE_P(Writers, BmpCrossCheck, testing::ValuesIn(kVariants),
                         [](const testing::TestParamInfo<Variant>& p) { return std::string(p.param.name); });

struct ExportCase { const char* name; int32_t mode; uint8_t paletteFormat; };
void PrintTo(const ExportCase& c, std::ostream* os) { *os << c.name; }

class BmpCrossCheckExport : public testing::TestWithParam<ExportCase> {};

TEST_P(BmpCrossCheckExport, ToolsReadOurPixels) {
    const ExportCase& c = GetParam();
    bool magick = testfiles::HaveTool(kMagick), netpbm = HaveNetpbm();
    if (!magick && !netpbm) GTEST_SKIP() << "neither ImageMagick nor netpbm installed";
    TempFiles temp;
    std::vector<std::string> bmps, labels, magickRefs, netpbmRefs;
    std::vector<Picture> wants;
    for (Size size : kSizes) {
        for (bool byLine : {true, false}) {
            XrImage image{};
            ASSERT_EQ(MakeTestImage(&image, c.mode, size.width, size.height), XR_OK);
            image.PALFMT = c.paletteFormat;
            wants.push_back(ToPicture(image));
            bmps.push_back(temp.Add(c.name + std::string(".bmp")));
            labels.push_back(std::to_string(size.width) + "x" + std::to_string(size.height) +
                             (byLine ? " line by line" : " whole image"));
            EncodeOptions options;
            EncodeOptionsDefaults(&options);
            options.line = byLine ? 1 : 0;
            FILE* file = std::fopen(bmps.back().c_str(), "wb");
            CodecStatus status = file ? bmp_encode(file, &image, &options) : XR_ERR_ARGUMENT;
            if (file) std::fclose(file);
            ImageFree(&image);
            ASSERT_EQ(status, XR_OK) << labels.back();
            magickRefs.push_back(temp.Add("magick.ppm"));
            netpbmRefs.push_back(temp.Add("netpbm.pnm"));
            if (netpbm) {
                ASSERT_TRUE(Shell("bmptopnm " + Quote(bmps.back()) + " >" + Quote(netpbmRefs.back())));
            }
        }
    }
    if (magick) {
        ASSERT_TRUE(MagickList(temp, bmps, "-depth 8", "ppm:", magickRefs));
    }
    for (size_t i = 0; i < bmps.size(); ++i) {
        SCOPED_TRACE(labels[i]);
        for (const auto* refs : {magick ? &magickRefs : nullptr, netpbm ? &netpbmRefs : nullptr}) {
            Picture read;
            if (!refs) continue;
            ASSERT_TRUE(ReadPnm((*refs)[i], &read)) << (*refs)[i];
            EXPECT_TRUE(SamePixels(wants[i], read)) << (refs == &magickRefs ? "ImageMagick" : "netpbm");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, BmpCrossCheckExport,
                         testing::Values(ExportCase{"rgb", XR_MODE_RGB, 0}, ExportCase{"gray", XR_MODE_GRAY, 0},
                                         ExportCase{"index", XR_MODE_INDEX, 0},
                                         ExportCase{"mono", XR_MODE_MONO, XR_PALFMT_BLACKISZERO},
                                         ExportCase{"mono_white_is_zero", XR_MODE_MONO, XR_PALFMT_WHITEISZERO},
                                         ExportCase{"high", XR_MODE_HIGH, 0}),
                         [](const testing::TestParamInfo<ExportCase>& p) { return std::string(p.param.name); });

}  // namespace
