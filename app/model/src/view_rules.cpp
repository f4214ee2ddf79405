#include "lumapix/view_rules.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace lumapix {
namespace {

[[gnu::format(printf, 2, 3)]] void Append(std::string& text, const char* format, ...) {
    char line[128];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n > 0) text.append(line, std::min<size_t>(static_cast<size_t>(n), sizeof line - 1));
}

uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

const char* const kImageStatusSizer = "MODE FMT bit, PALFMT         (WIDTHxHEIGHT)       ";
const char* const kZoomStatusSizer = "表示 = 01.000倍\u3000";
const char* const kNavigatorNoColor = " Color \r\n";
const char* const kNavigatorNoPosition = " Position";

uint32_t ZoomIn(uint32_t zoom) {
    uint64_t doubled = 2ull * zoom;
    return static_cast<uint32_t>(std::clamp<uint64_t>(doubled, kZoomMin, kZoomMax));
}

uint32_t ZoomOut(uint32_t zoom) {
    if (zoom < 16384) return kZoomMin;
    if (zoom <= 1048576) return zoom / 2;
    return kZoomMax;
}

uint32_t ZoomedLength(uint32_t length, uint32_t zoom) {
    return static_cast<uint32_t>(static_cast<uint64_t>(length) * zoom >> 16);
}

uint32_t ImageCoordinate(uint32_t zoomedCoordinate, uint32_t zoom) {
    return zoom ? static_cast<uint32_t>((static_cast<uint64_t>(zoomedCoordinate) << 16) / zoom) : 0;
}

std::string ImageStatusText(const XrImage& image) {
    std::string text;
    const char* palfmt = image.PALFMT == XR_PALFMT_WHITEISZERO ? "WHITEISZERO" : "BLACKISZERO";
    const char* mode = image.MODE >= 0 && image.MODE <= XR_MODE_HIGH ? ImageModeName(image.MODE) : "UNKNOWN";
    char fmt[8];
    std::snprintf(fmt, sizeof fmt, "%d", image.FMT);
    Append(text, "%s %s bit : %s (%dx%d)   ", mode, fmt, palfmt, image.WIDTH, image.HEIGHT);
    return text;
}

std::string ZoomStatusText(uint32_t zoom) {
    std::string text;
    Append(text, "表示 = %4.3f倍", zoom / 65536.0);
    return text;
}

std::string NavigatorColorText(const XrImage& image, uint32_t x, uint32_t y) {
    std::string t;
    if (!image.PIXELS || x >= image.WIDTH || y >= image.HEIGHT || image.MODE < XR_MODE_RGB ||
        image.MODE > XR_MODE_LAB)
        return t;
    const uint8_t* line = ImageLine(&image, y);
    switch (image.MODE) {
        case XR_MODE_RGB: {
            const uint8_t* p = line + 3 * x;
            Append(t, " RGB \r\n");
            Append(t, "    R     %3d [%02X]\r\n", p[2], p[2]);
            Append(t, "    G     %3d [%02X]\r\n", p[1], p[1]);
            Append(t, "    B     %3d [%02X]\r\n", p[0], p[0]);
            break;
        }
        case XR_MODE_YUV: {
            const uint8_t* p = line + 2 * x;
            Append(t, " YUV \r\n");
            Append(t, "    Y     %3d [%02X]\r\n", p[0], p[0]);
            Append(t, "    C     %3d [%02X]\r\n", p[1], p[1]);
            break;
        }
        case XR_MODE_GRAY:
            Append(t, " GRAY \r\n");
            Append(t, "    K     %3d [%02X]\r\n", line[x], line[x]);
            break;
        case XR_MODE_INDEX: {
            uint8_t i = line[x];
            Append(t, "  INDEX \r\n");
            Append(t, "    INDEX %3d [%02X]\r\n", i, i);
            if (image.PALBUT && i < image.PALCOUNT) {
                const uint8_t* e = image.PALBUT + 4 * i;
                Append(t, "    R     %3d [%02X]\r\n", e[2], e[2]);
                Append(t, "    G     %3d [%02X]\r\n", e[1], e[1]);
                Append(t, "    B     %3d [%02X]\r\n", e[0], e[0]);
            }
            break;
        }
        case XR_MODE_MONO: {
            int bit = line[x / 8] >> (7 - x % 8) & 1;
            Append(t, " MONO \r\n");
            Append(t, "    K     %3d [%02Xh]\r\n", bit, bit);
            break;
        }
        case XR_MODE_RGBW: {
            const uint8_t* p = line + 6 * x;
            Append(t, " RGBW \r\n");
            Append(t, "    R     %5d [%04X]\r\n", Word(p + 4), Word(p + 4));
            Append(t, "    G     %5d [%04X]\r\n", Word(p + 2), Word(p + 2));
            Append(t, "    B     %5d [%04X]\r\n", Word(p), Word(p));
            break;
        }
        case XR_MODE_YUVW: {
            const uint8_t* p = line + 4 * x;
            Append(t, " YUVW \r\n");
            Append(t, "    Y     %5d [%04X]\r\n", Word(p), Word(p));
            Append(t, "    C     %5d [%04X]\r\n", Word(p + 2), Word(p + 2));
            break;
        }
        case XR_MODE_GRAYW: {
            uint16_t k = Word(line + 2 * x);
            Append(t, " GRAYW \r\n");
            Append(t, "    K     %5d [%04X]\r\n", k, k);
            break;
        }
        case XR_MODE_LAB: {
            const uint8_t* p = line + 3 * x;
            Append(t, " LAB \r\n");
            Append(t, "    L     %3d [%02X]\r\n", p[0], p[0]);
            Append(t, "    a     %3d [%02X]\r\n", p[1], p[1]);
            Append(t, "    b     %3d [%02X]\r\n", p[2], p[2]);
            break;
        }
        default: break;
    }
    return t;
}

std::string NavigatorPositionText(uint32_t x, uint32_t y) {
    std::string t = " Position\r\n";
    Append(t, "    x = %u\r\n", x);
    Append(t, "    y = %u\r\n", y);
    return t;
}

BitRange DisplayBitRange(int8_t fmt) {
    int32_t bits = SampleBits(fmt);
    int32_t top = bits > 8 ? 16 : 8;
    return {top - bits + 1, top};
}

bool DisplayBitsAdjustable(int32_t mode) {
    return mode == XR_MODE_RGB || mode == XR_MODE_GRAY || mode == XR_MODE_RGBW || mode == XR_MODE_GRAYW;
}

BitWindow MoveLowBit(BitWindow window, int32_t lo, int8_t fmt) {
    int32_t bits = SampleBits(fmt);
    int32_t widest = bits > 8 ? 8 : bits;
    window.lo = lo;
    if (window.hi < lo) window.hi = lo;
    if (window.hi - lo + 1 > widest) window.hi = lo + widest - 1;
    return window;
}

BitWindow MoveHighBit(BitWindow window, int32_t hi, int8_t fmt) {
    int32_t bits = SampleBits(fmt);
    int32_t widest = bits > 8 ? 8 : bits;
    window.hi = hi;
    if (window.lo > hi) window.lo = hi;
    if (hi - window.lo + 1 > widest) window.lo = hi - widest + 1;
    return window;
}

BitWindow ClampToRange(BitWindow window, BitRange range) {
    return {std::clamp(window.lo, range.bottom, range.top), std::clamp(window.hi, range.bottom, range.top)};
}

}  // namespace lumapix
