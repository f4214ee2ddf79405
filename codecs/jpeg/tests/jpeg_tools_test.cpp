// Files written by cjpeg and ImageMagick, compared with djpeg's decode. The
// decoder's IDCT and colour formulas differ slightly from libjpeg's, and its
// chroma is replicated, hence djpeg -dct int -nosmooth and a PSNR floor.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "jpeg_test_support.hpp"

namespace {

using namespace jpegtest;

// Smooth shading, edges and a little noise: enough detail to exercise every code length.
Bytes PhotoLike(uint32_t width, uint32_t height) {
    uint32_t state = 99;
    return Ppm(width, height, [&](uint32_t x, uint32_t y, uint8_t rgb[3]) {
        state = state * 1103515245u + 12345u;
        int noise = static_cast<int>(state >> 28) - 8;
        double fx = x / static_cast<double>(width), fy = y / static_cast<double>(height);
        int r = static_cast<int>(200 * fx + 40 * std::sin(y * 0.3)) + noise;
        int g = static_cast<int>(180 * fy + 60 * std::cos(x * 0.17 + y * 0.05)) + noise;
        int b = static_cast<int>((x / 9 + y / 7) % 3) * 90 + noise;
        rgb[0] = static_cast<uint8_t>(std::clamp(r, 0, 255));
        rgb[1] = static_cast<uint8_t>(std::clamp(g, 0, 255));
        rgb[2] = static_cast<uint8_t>(std::clamp(b, 0, 255));
    });
}

// PSNR of our decode (BGR or grey) against a PPM/PGM.
double Psnr(const Decoded& d, const Bytes& pnm) {
    uint32_t w = 0, h = 0, channels = 0;
    Bytes ref = PnmPixels(pnm, &w, &h, &channels);
    if (w != d.header.WIDTH || h != d.lines || ref.size() < size_t{w} * h * channels) return 0;
    double sum = 0;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            for (uint32_t c = 0; c < channels; ++c) {
                int ours = channels == 3 ? d.Line(y)[3 * x + 2 - c] : d.Line(y)[x];
                double e = ours - ref[(size_t{y} * w + x) * channels + c];
                sum += e * e;
            }
    double mse = sum / (static_cast<double>(w) * h * channels);
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

bool Tools() { return HaveTool("cjpeg") && HaveTool("djpeg"); }

TEST(JpegTools, CjpegFilesAgreeWithDjpeg) {
    if (!Tools()) GTEST_SKIP() << "cjpeg/djpeg not installed";
    Bytes ppm = PhotoLike(97, 71);
    for (std::string options : {"-sample 2x2", "-sample 1x1", "-sample 2x1", "-sample 1x2", "-grayscale",
                                "-sample 2x2 -restart 1", "-optimize -quality 97", "-quality 100 -sample 1x1"}) {
        Bytes jpeg = RunTool("cjpeg -quality 90 " + options, ppm, "photo.ppm");
        ASSERT_FALSE(jpeg.empty()) << options;
        Decoded d = Decode(jpeg);
        ASSERT_EQ(d.status, XR_OK) << options;
        Bytes reference = RunTool("djpeg -dct int -nosmooth", jpeg, "photo.jpg");
        double psnr = Psnr(d, reference);
        EXPECT_GE(psnr, 45.0) << options;
    }
    Bytes progressive = RunTool("cjpeg -progressive", ppm, "photo.ppm");
    EXPECT_EQ(Decode(progressive).headerStatus, XR_JPG_PROCESS);
}

TEST(JpegTools, ImageMagickSamplingFactors) {
    if (!Tools() || !HaveTool("convert")) GTEST_SKIP() << "ImageMagick or djpeg not installed";
    Bytes ppm = PhotoLike(83, 45);
    for (std::string factors : {"4x1", "2x2,1x2,1x2", "2x2,2x1,2x1", "4x1,2x1,2x1"}) {
        Bytes jpeg = RunTool("convert -quality 92 -sampling-factor " + factors + " - jpg:- <", ppm, "photo.ppm");
        ASSERT_FALSE(jpeg.empty()) << factors;
        Decoded d = Decode(jpeg);
        ASSERT_EQ(d.status, XR_OK) << factors;
        EXPECT_GE(Psnr(d, RunTool("djpeg -dct int -nosmooth", jpeg, "photo.jpg")), 45.0) << factors;
    }
}

TEST(JpegTools, ImageMagickCmykIsAdobeYcck) {
    if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick not installed";
    Bytes ppm = PhotoLike(64, 40);
    Bytes jpeg = RunTool("convert -quality 95 - -colorspace CMYK jpg:- <", ppm, "photo.ppm");
    ASSERT_FALSE(jpeg.empty());
    Decoded d = Decode(jpeg);
    ASSERT_EQ(d.status, XR_OK);
    EXPECT_GE(Psnr(d, ppm), 35.0);
    Bytes theirs = RunTool("convert - -colorspace sRGB ppm:- <", jpeg, "cmyk.jpg");
    EXPECT_GE(Psnr(d, theirs), 40.0);
}

}  // namespace
