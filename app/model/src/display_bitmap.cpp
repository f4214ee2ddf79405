#include "lumapix/display_bitmap.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "lumapix/decode_line_convert.h"

namespace lumapix {
namespace {

constexpr uint32_t Opaque(uint32_t r, uint32_t g, uint32_t b) { return 0xFF000000u | r << 16 | g << 8 | b; }

// Sample lookup for 8- or 16-bit samples, built once per conversion.
std::vector<uint8_t> SampleTable(uint32_t entries, BitWindow window) {
    std::vector<uint8_t> table(entries);
    for (uint32_t s = 0; s < entries; ++s) table[s] = DisplaySample(s, window);
    return table;
}

uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// Histograms of sample values, folded into per-bit counts at the end.
class BitCounter {
public:
    BitCounter(BitCounts* counts, uint32_t values) : counts_(counts) {
        if (counts_) histogram_.assign(values, 0);
    }
    bool on() const { return counts_ != nullptr; }
    void Add(uint32_t sample) { ++histogram_[sample]; }
    ~BitCounter() {
        if (!counts_) return;
        std::array<uint64_t, 16> sums{};
        for (uint32_t v = 0; v < histogram_.size(); ++v)
            if (histogram_[v])
                for (uint32_t bit = 0; bit < 16; ++bit)
                    if (v >> bit & 1u) sums[bit] += histogram_[v];
        for (uint32_t bit = 0; bit < 16; ++bit)
            (*counts_)[bit] = static_cast<uint32_t>(std::min<uint64_t>(sums[bit], UINT32_MAX));
    }

private:
    BitCounts* counts_;
    std::vector<uint64_t> histogram_;
};

uint8_t Clamp8(int32_t v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// Planar 4:2:2: pairs of pixels share one Cb, Cr pair.
void PlanarLine(const XrImage& image, uint32_t y, uint8_t* out) {
    const uint8_t* luma = ImagePlane(&image, 0) + static_cast<size_t>(y) * image.LINEINT;
    const uint8_t* chroma = ImagePlane(&image, 1) + static_cast<size_t>(y) * image.LINEINT;
    const uint8_t* cr = chroma + image.LINEINT / 2;
    for (uint32_t x = 0; x < image.WIDTH; ++x) {
        int32_t lum = 256 * luma[x];
        int32_t c = chroma[x / 2] - 128;
        int32_t r = cr[x / 2] - 128;
        out[3 * x] = Clamp8((lum + 454 * c) >> 8);
        out[3 * x + 1] = Clamp8((lum - 183 * r - 88 * c) >> 8);
        out[3 * x + 2] = Clamp8((lum + 359 * r) >> 8);
    }
}

uint32_t BitmapDepth(int32_t mode) {
    switch (mode) {
        case XR_MODE_GRAY:
        case XR_MODE_INDEX:
        case XR_MODE_GRAYW: return 8;
        case XR_MODE_MONO: return 1;
        case XR_MODE_RGB:
        case XR_MODE_YUV:
        case XR_MODE_RGBW:
        case XR_MODE_YUVW:
        case XR_MODE_LAB:
        case XR_MODE_HIGH:
        case XR_MODE_YUV_PLANAR: return 24;
        default: return 0;
    }
}

}  // namespace

int32_t SampleBits(int8_t fmt) {
    int32_t bits = fmt < 0 ? -fmt : fmt;
    return bits == 0 ? 8 : bits;
}

BitWindow DefaultBitWindow(int8_t fmt) {
    int32_t bits = SampleBits(fmt);
    if (bits <= 8) return {9 - bits, 8};
    return {9, 16};
}

uint8_t DisplaySample(uint32_t sample, BitWindow window) {
    uint32_t lo = static_cast<uint32_t>(std::clamp(window.lo, 1, 16));
    uint32_t hi = static_cast<uint32_t>(std::clamp(window.hi, 1, 16));
    uint32_t m = sample & ~((1u << (lo - 1)) - 1u);
    m = std::min(m, (1u << hi) - 1u);
    return static_cast<uint8_t>(hi >= 8 ? m >> (hi - 8) : m << (8 - hi));
}

bool BuildDisplayBitmap(const XrImage& image, BitWindow window, DisplayBitmap* bitmap, BitCounts* counts) {
    *bitmap = DisplayBitmap{};
    if (counts) counts->fill(0);
    const uint32_t depth = BitmapDepth(image.MODE);
    if (depth == 0 || !image.PIXELS || image.WIDTH == 0 || image.HEIGHT == 0) return false;
    const uint32_t width = image.WIDTH;
    const uint32_t height = image.HEIGHT;

    DisplayBitmap out;
    out.width = width;
    out.height = height;
    out.bitsPerPixel = depth;
    out.stride = ((width * depth + 7) / 8 + 3) & ~3u;
    std::vector<uint8_t> work;
    try {
        out.pixels.assign(static_cast<size_t>(out.stride) * height, 0);
        // The library's in-place line routines need room for the wider mode.
        if (image.MODE == XR_MODE_YUV || image.MODE == XR_MODE_YUVW || image.MODE == XR_MODE_LAB ||
            image.MODE == XR_MODE_HIGH)
            work.resize(static_cast<size_t>(width) * 6);
    } catch (const std::bad_alloc&) {
        return false;
    }

    const bool wide = image.MODE == XR_MODE_RGBW || image.MODE == XR_MODE_GRAYW;
    BitCounter counter(image.MODE == XR_MODE_RGB || image.MODE == XR_MODE_GRAY || wide ? counts : nullptr,
                       wide ? 65536u : 256u);
    std::vector<uint8_t> table;
    if (image.MODE == XR_MODE_RGB || image.MODE == XR_MODE_GRAY || wide) table = SampleTable(wide ? 65536u : 256u, window);

    switch (image.MODE) {
        case XR_MODE_GRAY:
        case XR_MODE_GRAYW:
            for (uint32_t i = 0; i < 256; ++i) out.palette.push_back(Opaque(i, i, i));
            break;
        case XR_MODE_INDEX:
            out.palette.assign(256, Opaque(0, 0, 0));
            if (image.PALBUT)
                for (uint32_t i = 0; i < std::min<uint32_t>(image.PALCOUNT, 256); ++i) {
                    const uint8_t* e = image.PALBUT + 4 * i;
                    out.palette[i] = Opaque(e[2], e[1], e[0]);
                }
            break;
        case XR_MODE_MONO: {
            uint32_t black = Opaque(0, 0, 0), white = Opaque(255, 255, 255);
            out.palette = image.PALFMT == XR_PALFMT_WHITEISZERO ? std::vector<uint32_t>{white, black}
                                                                 : std::vector<uint32_t>{black, white};
            break;
        }
        default: break;
    }

    const uint32_t samples = image.MODE == XR_MODE_RGB || image.MODE == XR_MODE_RGBW ? width * 3 : width;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* src = image.MODE == XR_MODE_YUV_PLANAR ? nullptr : ImageLine(&image, y);
        uint8_t* dst = out.pixels.data() + static_cast<size_t>(y) * out.stride;
        switch (image.MODE) {
            case XR_MODE_RGB:
            case XR_MODE_GRAY:
                for (uint32_t i = 0; i < samples; ++i) dst[i] = table[src[i]];
                if (counter.on())
                    for (uint32_t i = 0; i < samples; ++i) counter.Add(src[i]);
                break;
            case XR_MODE_RGBW:
            case XR_MODE_GRAYW:
                for (uint32_t i = 0; i < samples; ++i) {
                    uint16_t s = Word(src + 2 * i);
                    dst[i] = table[s];
                    if (counter.on()) counter.Add(s);
                }
                break;
            case XR_MODE_INDEX: std::memcpy(dst, src, width); break;
            case XR_MODE_MONO: std::memcpy(dst, src, (width + 7) / 8); break;
            case XR_MODE_YUV:
            case XR_MODE_LAB:
            case XR_MODE_HIGH:
                std::memcpy(work.data(), src, ImageLineBytes(image.MODE, width));
                if (DecodeLineConvert(work.data(), width, image.MODE, XR_MODE_RGB, nullptr, 0, 0) != 0) return false;
                std::memcpy(dst, work.data(), static_cast<size_t>(width) * 3);
                break;
            case XR_MODE_YUVW:
                std::memcpy(work.data(), src, ImageLineBytes(image.MODE, width));
                if (DecodeLineConvert(work.data(), width, XR_MODE_YUVW, XR_MODE_RGBW, nullptr, 0, 0) != 0)
                    return false;
                for (uint32_t i = 0; i < width * 3; ++i) dst[i] = work[2 * i + 1];  // high bytes
                break;
            case XR_MODE_YUV_PLANAR: PlanarLine(image, y, dst); break;
            default: return false;
        }
    }
    *bitmap = std::move(out);
    return true;
}

}  // namespace lumapix
