// INDEX and MONO output: each error-adjusted pixel goes to a quantiser, which
// returns an index or a bit and the error between the pixel and what was chosen.
#include <cstring>
#include <type_traits>

#include "converter_state.hpp"
#include "pixel_math.hpp"

namespace lumapix::conv {

namespace {

constexpr uint8_t kPixelClampLimit = 255;

int32_t Clamp(int32_t v) { return v < 0 ? 0 : v > kPixelClampLimit ? kPixelClampLimit : v; }
int16_t Wrap16(int32_t v) { return static_cast<int16_t>(v); }

ErrorVector ErrorAgainst(int32_t r, int32_t g, int32_t b, const uint8_t* bgr) {
    return {Wrap16(r - bgr[2]), Wrap16(g - bgr[1]), Wrap16(b - bgr[0])};
}

struct IndexSystem {
    static constexpr bool kMono = false;
    uint8_t operator()(const Converter&, int32_t r, int32_t g, int32_t b, ErrorVector& e) const {
        uint8_t index = px::CubeIndex(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b));
        e = ErrorAgainst(r, g, b, px::kTables.systemPalette + 4 * index);
        return index;
    }
};

// Nearest entry by squared distance, the first of equals winning. A small
// direct-mapped cache keeps photographs from searching 256 entries per pixel.
struct IndexUser {
    static constexpr bool kMono = false;
    static constexpr uint32_t kCacheSize = 4096;
    uint32_t* cache;  // colour << 8 | index, 0xFFFFFFFF = empty

    uint8_t Search(const Converter& c, int32_t r, int32_t g, int32_t b) const {
        uint32_t best = 0, bestDistance = UINT32_MAX;
        for (uint32_t i = 0; i < c.quantEntries; ++i) {
            const uint8_t* p = c.quantPalette + 4 * i;
            int32_t db = b - p[0], dg = g - p[1], dr = r - p[2];
            uint32_t d = static_cast<uint32_t>(db * db + dg * dg + dr * dr);
            if (d < bestDistance) bestDistance = d, best = i;
        }
        return static_cast<uint8_t>(best > 255 ? 255 : best);
    }
    uint8_t operator()(const Converter& c, int32_t r, int32_t g, int32_t b, ErrorVector& e) const {
        uint32_t colour = static_cast<uint32_t>(r << 16 | g << 8 | b);
        uint32_t slot = (colour * 2654435761u) >> 20;
        uint8_t index;
        if (cache[slot] != UINT32_MAX && cache[slot] >> 8 == colour) {
            index = static_cast<uint8_t>(cache[slot]);
        } else {
            index = Search(c, r, g, b);
            cache[slot] = colour << 8 | index;
        }
        e = ErrorAgainst(r, g, b, c.quantPalette + 4 * index);
        return index;
    }
};

// Bright or dark from luminance: a threshold, or an ordered-dither matrix where
// black stays black whatever the matrix entry.
template <int Pattern>
struct Mono {
    static constexpr bool kMono = true;
    uint8_t operator()(const Converter& c, int32_t r, int32_t g, int32_t b, ErrorVector& e) const {
        int32_t y = px::Luma8(r, g, b);
        bool bright;
        if constexpr (Pattern == 0) {
            bright = y >= c.threshold;
        } else if constexpr (Pattern == 2) {
            bright = y != 0 && (y >> 6) >= px::kTables.bayer2[c.y & 1][c.x & 1];
        } else if constexpr (Pattern == 4) {
            bright = y != 0 && (y >> 4) >= px::kTables.bayer4[c.y & 3][c.x & 3];
        } else if constexpr (Pattern == 8) {
            bright = y != 0 && (y >> 2) >= px::kTables.bayer8[c.y & 7][c.x & 7];
        } else {
            bright = y != 0 && y >= px::kTables.bayer16[c.y & 15][c.x & 15];
        }
        int32_t level = bright ? 255 : 0;
        e = {Wrap16(r - level), Wrap16(g - level), Wrap16(b - level)};
        bool whiteIsZero = c.destination->PALFMT == XR_PALFMT_WHITEISZERO;
        return bright != whiteIsZero;
    }
};

struct NoCache {};
struct ColourCache {
    uint32_t slots[IndexUser::kCacheSize];
};

ErrorVector Scale(const ErrorVector& v, int32_t s) {
    return {Wrap16(v.r * s >> 7), Wrap16(v.g * s >> 7), Wrap16(v.b * s >> 7)};
}

void Add(ErrorVector& to, const ErrorVector& e, int32_t k) {
    to.r = Wrap16(to.r + k * e.r);
    to.g = Wrap16(to.g + k * e.g);
    to.b = Wrap16(to.b + k * e.b);
}

// Dither 0 none, 1 one line, 2 Floyd-Steinberg, 3 Jarvis-Judice-Ninke.
template <class Quantiser, int Dither>
CodecStatus QuantiseLine(Converter& c, const uint16_t* w, uint8_t* line) {
    const uint32_t width = c.width;
    const int32_t s = c.coefficient;
    std::memset(line, 0, Quantiser::kMono ? (width + 7) / 8 : width);
    Quantiser quantise{};
    std::conditional_t<std::is_same_v<Quantiser, IndexUser>, ColourCache, NoCache> cache;
    if constexpr (std::is_same_v<Quantiser, IndexUser>) {
        std::memset(cache.slots, 0xFF, sizeof cache.slots);
        quantise.cache = cache.slots;
    }
    ErrorVector e{0, 0, 0};
    ErrorVector* fs = c.errorLines[0];
    if constexpr (Dither == 2) {
        c.fifo.Clear();
        c.fifo.Push(fs[0]);
        fs[0] = {};
        c.fifo.Push(fs[1]);
        fs[1] = {};
        e = c.fifo.Pop();
    }
    if constexpr (Dither == 3) {
        ErrorVector* oldest = c.errorLines[0];
        c.errorLines[0] = c.errorLines[1];
        c.errorLines[1] = c.errorLines[2];
        c.errorLines[2] = oldest;
        std::memset(oldest, 0, (width + 4) * sizeof(ErrorVector));
    }
    for (uint32_t x = 0; x < width; ++x, w += 3) {
        c.x = static_cast<uint16_t>(x);
        int32_t r = w[2] >> 8, g = w[1] >> 8, b = w[0] >> 8;
        if constexpr (Dither == 1) {
            e = Scale(e, s);
            r = Clamp(r + e.r), g = Clamp(g + e.g), b = Clamp(b + e.b);
        } else if constexpr (Dither == 2) {
            c.fifo.Push(fs[x + 2]);
            fs[x + 2] = {};
            ErrorVector t = c.fifo.Pop();
            ErrorVector sum{Wrap16((7 * e.r + t.r) >> 4), Wrap16((7 * e.g + t.g) >> 4), Wrap16((7 * e.b + t.b) >> 4)};
            e = Scale(sum, s);
            r = Clamp(r + e.r), g = Clamp(g + e.g), b = Clamp(b + e.b);
        } else if constexpr (Dither == 3) {
            ErrorVector& v = c.errorLines[0][x + 2];
            v = Scale(v, s);
            r = Clamp(r + v.r / 48), g = Clamp(g + v.g / 48), b = Clamp(b + v.b / 48);
        }
        uint8_t value = quantise(c, r, g, b, e);
        if constexpr (Quantiser::kMono) {
            line[x >> 3] = static_cast<uint8_t>(line[x >> 3] | value << (7 - (x & 7)));
        } else {
            line[x] = value;
        }
        if constexpr (Dither == 2) {
            Add(fs[x], e, 3);
            Add(fs[x + 1], e, 5);
            Add(fs[x + 2], e, 1);
        } else if constexpr (Dither == 3) {
            ErrorVector* l0 = c.errorLines[0] + x;
            ErrorVector* l1 = c.errorLines[1] + x;
            ErrorVector* l2 = c.errorLines[2] + x;
            Add(l0[3], e, 7), Add(l0[4], e, 5);
            Add(l1[0], e, 3), Add(l1[1], e, 5), Add(l1[2], e, 7), Add(l1[3], e, 5), Add(l1[4], e, 3);
            Add(l2[0], e, 1), Add(l2[1], e, 3), Add(l2[2], e, 5), Add(l2[3], e, 3), Add(l2[4], e, 1);
        }
    }
    return XR_OK;
}

template <class Quantiser>
QuantiseFn ForDither(int32_t dither) {
    switch (dither) {
        case XR_DITHER_NONE: return QuantiseLine<Quantiser, 0>;
        case XR_DITHER_ONE_LINE: return QuantiseLine<Quantiser, 1>;
        case XR_DITHER_TWO_LINES: return QuantiseLine<Quantiser, 2>;
        case XR_DITHER_THREE_LINES: return QuantiseLine<Quantiser, 3>;
        default: return QuantiseLine<Quantiser, 0>;
    }
}

CodecStatus RefuseDither(Converter&, const uint16_t*, uint8_t*) { return XR_ERR_DITHER_MODE; }

}  // namespace

QuantiseFn ChooseQuantiser(const Converter& c, int32_t destinationMode) {
    int32_t dither = c.ditherMode;
    if (dither >= XR_DITHER_COUNT) return RefuseDither;
    if (destinationMode == XR_MODE_INDEX) {
        // Patterns are for bi-level output; INDEX takes the nearest colour instead.
        return c.paletteMode == XR_PALETTE_USER ? ForDither<IndexUser>(dither) : ForDither<IndexSystem>(dither);
    }
    switch (dither) {
        case XR_DITHER_PATTERN2: return QuantiseLine<Mono<2>, 0>;
        case XR_DITHER_PATTERN4: return QuantiseLine<Mono<4>, 0>;
        case XR_DITHER_PATTERN8: return QuantiseLine<Mono<8>, 0>;
        case XR_DITHER_PATTERN16: return QuantiseLine<Mono<16>, 0>;
        default: return ForDither<Mono<0>>(dither);
    }
}

}  // namespace lumapix::conv
