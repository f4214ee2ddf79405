#include "lumapix/pixel_formulas.h"

#include "pixel_math.hpp"
#include "pixel_tables.hpp"

using namespace lumapix;
using px::kTables;


extern "C" {

const uint8_t* const SystemPalette = kTables.systemPalette;
const uint8_t* const CubeLevel = kTables.cubeLevel;
const int16_t* const CubeRoot = kTables.cubeRoot;
const uint8_t (*const BayerMatrix2)[2] = kTables.bayer2;
const uint8_t (*const BayerMatrix4)[4] = kTables.bayer4;
const uint8_t (*const BayerMatrix8)[8] = kTables.bayer8;
const uint8_t (*const BayerMatrix16)[16] = kTables.bayer16;

void YccFromRgb8(const uint8_t bgr[3], uint8_t ycc[3], const int32_t* m) {
    int32_t b = bgr[0], g = bgr[1], r = bgr[2];
    if (!m) {
        px::Ycc c = px::YccFromRgb8(r, g, b);
        ycc[0] = static_cast<uint8_t>(c.y), ycc[1] = static_cast<uint8_t>(c.cb), ycc[2] = static_cast<uint8_t>(c.cr);
        return;
    }
    auto row = [&](int k) { return (int64_t{m[k]} * r + int64_t{m[k + 1]} * g + int64_t{m[k + 2]} * b) >> 16; };
    ycc[0] = px::Clamp8(row(0));
    ycc[1] = px::Clamp8(row(3) + 128);
    ycc[2] = px::Clamp8(row(6) + 128);
}

void RgbFromYcc8(const uint8_t ycc[3], uint8_t bgr[3], const int32_t* m) {
    if (!m) {
        px::Rgb c = px::RgbFromYcc8(ycc[0], ycc[1], ycc[2]);
        bgr[0] = static_cast<uint8_t>(c.b), bgr[1] = static_cast<uint8_t>(c.g), bgr[2] = static_cast<uint8_t>(c.r);
        return;
    }
    int64_t y = ycc[0], u = ycc[1] - 128, v = ycc[2] - 128;
    auto row = [&](int k) { return (m[k] * y + m[k + 1] * u + m[k + 2] * v) >> 16; };
    bgr[2] = px::Clamp8(row(0));
    bgr[1] = px::Clamp8(row(3));
    bgr[0] = px::Clamp8(row(6));
}

void YccFromRgb16(const uint16_t bgr[3], uint16_t ycc[3]) {
    px::Ycc c = px::YccFromRgb16(bgr[2], bgr[1], bgr[0]);
    ycc[0] = static_cast<uint16_t>(c.y), ycc[1] = static_cast<uint16_t>(c.cb), ycc[2] = static_cast<uint16_t>(c.cr);
}

void RgbFromYcc16(const uint16_t ycc[3], uint16_t bgr[3]) {
    px::Rgb c = px::RgbFromYcc16(ycc[0], ycc[1], ycc[2]);
    bgr[0] = static_cast<uint16_t>(c.b), bgr[1] = static_cast<uint16_t>(c.g), bgr[2] = static_cast<uint16_t>(c.r);
}

void LabFromRgb(const uint8_t bgr[3], uint8_t lab[3]) {
    px::Lab c = px::LabFromRgb(bgr[2], bgr[1], bgr[0]);
    lab[0] = c.l, lab[1] = c.a, lab[2] = c.b;
}

void RgbFromLab(const uint8_t lab[3], uint8_t bgr[3]) {
    px::Rgb c = px::RgbFromLab(lab[0], lab[1], lab[2]);
    bgr[0] = static_cast<uint8_t>(c.b), bgr[1] = static_cast<uint8_t>(c.g), bgr[2] = static_cast<uint8_t>(c.r);
}

uint16_t HighFromRgb(const uint8_t bgr[3]) { return px::HighFromRgb(bgr[2], bgr[1], bgr[0]); }

void RgbFromHigh(uint16_t high, uint8_t bgr[3]) {
    bgr[0] = static_cast<uint8_t>((high & 0x1F) << 3);
    bgr[1] = static_cast<uint8_t>((high >> 5 & 0x3F) << 2);
    bgr[2] = static_cast<uint8_t>((high >> 11) << 3);
}

uint8_t SystemPaletteIndex(const uint8_t bgr[3]) { return px::CubeIndex(bgr[2], bgr[1], bgr[0]); }

}  // extern "C"
