#include "resampler_lines.hpp"

#include <algorithm>
#include <cstddef>

namespace lumapix::res {
namespace {

// Source columns whose vertical blend a line keeps at once (on the stack: the
// library allocates nothing).
constexpr uint32_t kChunk = 512;
// Blending every column once is a vectorised pass over the row bytes; it beats
// blending only the columns each pixel reads up to these steps (measured).
constexpr uint32_t kBilinearChunkedBelow = 16u << 16;
constexpr uint32_t kBicubicChunkedBelow = 12u << 16;

uint8_t ClampQ16(int32_t value) { return static_cast<uint8_t>(std::clamp(value >> 16, 0, 255)); }

// YUV, INDEX and MONO (and every mode under nearest): row y of the window through
// the decode-time nearest-neighbour stretch, which keeps the YUV chroma pairing
// and the MONO bit order.
template <int Row>
void NearestLine(const Resampler& r, const uint8_t* const* rows, uint32_t, uint8_t* out) {
    r.stretch(rows[Row], r.source->WIDTH, out, r.destination->WIDTH);
}

// Bilinear, per output pixel: V(i) = upper(i)(256 - fy) + lower(i) fy, then
// ((256 - fx) V(i) + fx V(i + 1)) >> 16 with i + 1 held at the last column.
template <int C>
void BilinearLine(const Resampler& r, const uint8_t* const* rows, uint32_t fraction, uint8_t* __restrict out) {
    const uint8_t* __restrict upper = rows[0];
    const uint8_t* __restrict lower = rows[1];
    const uint32_t fy = fraction >> 8, gy = 256 - fy;
    const uint32_t last = r.source->WIDTH - 1u;
    const uint32_t width = r.destination->WIDTH, step = r.stepX;
    uint32_t position = 0;
    for (uint32_t k = 0; k < width; ++k, position += step, out += C) {
        const size_t i = size_t{position >> 16} * C;
        const size_t j = size_t{std::min((position >> 16) + 1, last)} * C;
        const uint32_t fx = position >> 8 & 0xFF, gx = 256 - fx;
        for (size_t c = 0; c < C; ++c) {
            const uint32_t v0 = uint32_t{upper[i + c]} * gy + uint32_t{lower[i + c]} * fy;
            const uint32_t v1 = uint32_t{upper[j + c]} * gy + uint32_t{lower[j + c]} * fy;
            out[c] = static_cast<uint8_t>((gx * v0 + fx * v1) >> 16);
        }
    }
}

// Bilinear with the vertical blend done once per source column; same arithmetic.
template <int C>
void BilinearLineChunked(const Resampler& r, const uint8_t* const* rows, uint32_t fraction,
                         uint8_t* __restrict out) {
    const uint8_t* __restrict upper = rows[0];
    const uint8_t* __restrict lower = rows[1];
    const uint32_t fy = fraction >> 8, gy = 256 - fy;
    const uint32_t sourceWidth = r.source->WIDTH;
    const uint32_t width = r.destination->WIDTH, step = r.stepX;
    uint16_t blend[(kChunk + 1) * C];  // at most 255 * 256: fits 16 bits
    uint32_t first = 0, end = 0;       // blended columns [first, end); column sourceWidth repeats the last
    uint32_t position = 0;
    for (uint32_t k = 0; k < width; ++k, position += step, out += C) {
        const uint32_t i = position >> 16;
        if (i + 2 > end) {
            first = i;
            end = std::min(first + kChunk, sourceWidth);
            const size_t from = size_t{first} * C, bytes = size_t{end - first} * C;
            for (size_t b = 0; b < bytes; ++b)
                blend[b] = static_cast<uint16_t>(uint32_t{upper[from + b]} * gy + uint32_t{lower[from + b]} * fy);
            if (end == sourceWidth) {
                std::copy_n(blend + bytes - C, C, blend + bytes);
                ++end;
            }
        }
        const uint16_t* v = blend + size_t{i - first} * C;
        const uint32_t fx = position >> 8 & 0xFF, gx = 256 - fx;
        for (int c = 0; c < C; ++c) out[c] = static_cast<uint8_t>((gx * v[c] + fx * v[C + c]) >> 16);
    }
}

// The bicubic horizontal walk: integer column x0 and 16-bit fraction from the
// planned start, stepping by stepX.
struct Walk {
    int32_t x0;
    uint32_t fraction;
    void Advance(uint32_t step) {
        fraction += step;
        x0 += static_cast<int32_t>(fraction >> 16);
        fraction &= 0xFFFF;
    }
};

// Bicubic, per output pixel: columns x0 - 1 .. x0 + 2 held inside the line, each
// summed over the four rows with the vertical weights, then weighted across.
template <int C>
void BicubicLine(const Resampler& r, const uint8_t* const* rows, uint32_t fraction, uint8_t* __restrict out) {
    const int16_t* wy = r.kernelY[fraction >> 12];
    const int32_t last = r.source->WIDTH - 1;
    const uint32_t width = r.destination->WIDTH, step = r.stepX;
    Walk walk{r.startX, r.startXFraction};
    for (uint32_t k = 0; k < width; ++k, walk.Advance(step), out += C) {
        const int16_t* wx = r.kernelX[walk.fraction >> 12];
        size_t column[4];
        for (int t = 0; t < 4; ++t) column[t] = static_cast<size_t>(std::clamp(walk.x0 - 1 + t, 0, last)) * C;
        for (int c = 0; c < C; ++c) {
            int32_t sum = 0;
            for (int t = 0; t < 4; ++t) {
                const size_t b = column[t] + static_cast<size_t>(c);
                const int32_t s = rows[0][b] * wy[0] + rows[1][b] * wy[1] + rows[2][b] * wy[2] + rows[3][b] * wy[3];
                sum += s * wx[t];
            }
            out[c] = ClampQ16(sum);
        }
    }
}

// Bicubic with each source column summed vertically once per line; same arithmetic.
// Windows may reach two columns left and one right of the line, so the kept
// columns are counted from a virtual first column that may be negative.
template <int C>
void BicubicLineChunked(const Resampler& r, const uint8_t* const* rows, uint32_t fraction,
                        uint8_t* __restrict out) {
    const int16_t* wy = r.kernelY[fraction >> 12];
    const int32_t w0 = wy[0], w1 = wy[1], w2 = wy[2], w3 = wy[3];
    const uint8_t* __restrict r0 = rows[0];
    const uint8_t* __restrict r1 = rows[1];
    const uint8_t* __restrict r2 = rows[2];
    const uint8_t* __restrict r3 = rows[3];
    const int32_t sourceWidth = r.source->WIDTH;
    const uint32_t width = r.destination->WIDTH, step = r.stepX;
    Walk walk{r.startX, r.startXFraction};
    // Exclusive end of the columns the last output pixel reads.
    const int64_t lastX0 = ((int64_t{r.startX} << 16) + r.startXFraction + int64_t{width - 1} * step) >> 16;
    const int32_t needed = static_cast<int32_t>(lastX0) + 3;
    int32_t sums[kChunk * C];
    int32_t first = 0, end = 0;  // summed virtual columns [first, end); every window ends past 0
    for (uint32_t k = 0; k < width; ++k, walk.Advance(step), out += C) {
        if (walk.x0 + 3 > end) {
            first = walk.x0 - 1;
            end = std::min(first + static_cast<int32_t>(kChunk), needed);
            // Every window holds a real column, so lo < hi.
            const int32_t lo = std::max(first, 0), hi = std::min(end, sourceWidth);
            int32_t* s = sums + (lo - first) * C;
            const size_t from = static_cast<size_t>(lo) * C, bytes = static_cast<size_t>(hi - lo) * C;
            for (size_t b = 0; b < bytes; ++b)
                s[b] = r0[from + b] * w0 + r1[from + b] * w1 + r2[from + b] * w2 + r3[from + b] * w3;
            for (int32_t v = first; v < lo; ++v) std::copy_n(s, C, sums + (v - first) * C);
            for (int32_t v = hi; v < end; ++v) std::copy_n(sums + (hi - 1 - first) * C, C, sums + (v - first) * C);
        }
        const int32_t* s = sums + (walk.x0 - 1 - first) * C;
        const int16_t* wx = r.kernelX[walk.fraction >> 12];
        for (int c = 0; c < C; ++c)
            out[c] = ClampQ16(s[c] * wx[0] + s[C + c] * wx[1] + s[2 * C + c] * wx[2] + s[3 * C + c] * wx[3]);
    }
}

template <int C>
LineFn Interpolating(int32_t method, uint32_t stepX) {
    if (method == XR_RESAMPLE_BILINEAR)
        return stepX < kBilinearChunkedBelow ? BilinearLineChunked<C> : BilinearLine<C>;
    return stepX < kBicubicChunkedBelow ? BicubicLineChunked<C> : BicubicLine<C>;
}

// Row y of the source, held inside the image.
const uint8_t* SourceRow(const Resampler& r, const uint8_t* source, int64_t y) {
    const int64_t last = int64_t{r.source->HEIGHT} - 1;
    return source + static_cast<size_t>(std::clamp<int64_t>(y, 0, last)) * r.source->LINEINT;
}

// Output row j reads source row y = (j stepY) >> 16 with the low 16 bits as the
// vertical fraction, exactly what the line engine's accumulator arrives at.
template <int Method>
void WholeImage(const Resampler& r, uint8_t* destination, const uint8_t* source) {
    const uint32_t height = r.destination->HEIGHT, outBytes = r.destination->LINEINT;
    uint64_t position = 0;
    for (uint32_t j = 0; j < height; ++j, position += r.stepY, destination += outBytes) {
        const int64_t y = static_cast<int64_t>(position >> 16);
        const uint8_t* rows[4];
        if constexpr (Method == XR_RESAMPLE_BICUBIC) {
            for (int t = 0; t < 4; ++t) rows[t] = SourceRow(r, source, y - 1 + t);
        } else {
            rows[0] = SourceRow(r, source, y);
            rows[1] = SourceRow(r, source, y + 1);
        }
        r.line(r, rows, static_cast<uint32_t>(position & 0xFFFF), destination);
    }
}

}  // namespace

LineFn ChooseLine(int32_t mode, int32_t method, uint32_t stepX) {
    if (method == XR_RESAMPLE_NEAREST) return NearestLine<0>;
    switch (mode) {
        case XR_MODE_RGB: return Interpolating<3>(method, stepX);
        case XR_MODE_GRAY: return Interpolating<1>(method, stepX);
        default:
            // Row y under every method: the bicubic window holds it second, after
            // the repeated row y - 1. Taking the window's first row would shift
            // these modes a row down against RGB and GRAY and against the same
            // image resized by nearest or bilinear.
            return method == XR_RESAMPLE_BICUBIC ? NearestLine<1> : NearestLine<0>;
    }
}

ImageFn ChooseImage(int32_t method) {
    switch (method) {
        case XR_RESAMPLE_NEAREST: return WholeImage<XR_RESAMPLE_NEAREST>;
        case XR_RESAMPLE_BILINEAR: return WholeImage<XR_RESAMPLE_BILINEAR>;
        default: return WholeImage<XR_RESAMPLE_BICUBIC>;
    }
}

}  // namespace lumapix::res
