#include "png_test_support.hpp"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>

#include "test_streams.hpp"

namespace pngtest {

namespace {

void PutBe32(Bytes& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

uint32_t GetBe32(const Bytes& b, size_t at) {
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | uint32_t{b[at + 3]};
}

// The predictor as the PNG standard writes it out.
int Paeth(int a, int b, int c) {
    int p = a + b - c;
    int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    if (pb <= pc) return b;
    return c;
}

// Packs one row of samples (width pixels from sample index start, every step-th pixel).
Bytes PackRow(const Picture& p, uint32_t y, uint32_t x0, uint32_t step, uint32_t width) {
    uint32_t ch = Channels(p.colour);
    Bytes row((size_t{width} * ch * p.depth + 7) / 8, 0);
    size_t bit = 0;
    for (uint32_t i = 0; i < width; ++i) {
        size_t at = (size_t{y} * p.width + x0 + size_t{i} * step) * ch;
        for (uint32_t c = 0; c < ch; ++c, bit += p.depth) {
            uint32_t v = p.samples[at + c];
            if (p.depth == 8) row[bit / 8] = static_cast<uint8_t>(v);
            else row[bit / 8] = static_cast<uint8_t>(row[bit / 8] | v << (8 - p.depth - bit % 8));
        }
    }
    return row;
}

void FilterRow(uint8_t type, uint32_t bpp, const Bytes& cur, const Bytes& prev, Bytes& out) {
    out.push_back(type);
    for (size_t i = 0; i < cur.size(); ++i) {
        int a = i >= bpp ? cur[i - bpp] : 0, b = prev[i], c = i >= bpp ? prev[i - bpp] : 0;
        int pred = 0;
        switch (type) {
            case 1: pred = a; break;
            case 2: pred = b; break;
            case 3: pred = (a + b) / 2; break;
            case 4: pred = Paeth(a, b, c); break;
            default: break;
        }
        out.push_back(static_cast<uint8_t>(cur[i] - pred));
    }
}

constexpr uint8_t kStartX[7] = {0, 4, 0, 2, 0, 1, 0};
constexpr uint8_t kStartY[7] = {0, 0, 4, 0, 2, 0, 1};
constexpr uint8_t kStepX[7] = {8, 8, 4, 4, 2, 2, 1};
constexpr uint8_t kStepY[7] = {8, 8, 8, 4, 4, 2, 2};

}  // namespace

uint32_t Channels(uint8_t colour) {
    switch (colour) {
        case 2: return 3;
        case 4: return 2;
        case 6: return 4;
        default: return 1;
    }
}

Picture RandomPicture(uint32_t width, uint32_t height, uint8_t depth, uint8_t colour, uint32_t seed) {
    Picture p;
    p.width = width;
    p.height = height;
    p.depth = depth;
    p.colour = colour;
    std::mt19937 rng(seed);
    uint32_t limit = 1u << depth;
    if (colour == 3) {
        uint32_t entries = depth == 8 ? 1 + static_cast<uint32_t>(rng() % 256) : limit;
        for (uint32_t i = 0; i < entries * 3; ++i) p.plte.push_back(static_cast<uint8_t>(rng()));
        limit = entries;
    }
    p.samples.resize(size_t{width} * height * Channels(colour));
    // Smooth runs with noise, so that every filter meets both kinds of data.
    uint32_t level = 0;
    for (auto& s : p.samples) {
        if (rng() % 4 == 0) level = static_cast<uint32_t>(rng());
        s = static_cast<uint8_t>((level + static_cast<uint32_t>(rng() % 3)) % limit);
    }
    return p;
}

Bytes Signature() { return {137, 80, 78, 71, 13, 10, 26, 10}; }

void AppendChunk(Bytes& file, const std::string& type, const Bytes& data) {
    PutBe32(file, static_cast<uint32_t>(data.size()));
    Bytes body(type.begin(), type.end());
    body.insert(body.end(), data.begin(), data.end());
    file.insert(file.end(), body.begin(), body.end());
    PutBe32(file, static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

Bytes Ihdr(uint32_t width, uint32_t height, uint8_t depth, uint8_t colour, uint8_t interlace) {
    Bytes d;
    PutBe32(d, width);
    PutBe32(d, height);
    d.insert(d.end(), {depth, colour, 0, 0, interlace});
    return d;
}

Bytes Deflate(const Bytes& raw) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    Bytes out(size);
    compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 6);
    out.resize(size);
    return out;
}

Bytes FilteredData(const Picture& p, const Bytes& filters, bool interlace) {
    uint32_t bpp = (Channels(p.colour) * p.depth + 7) / 8;
    Bytes out;
    size_t rowIndex = 0;
    auto emit = [&](uint32_t y, uint32_t x0, uint32_t step, uint32_t width, Bytes& prev) {
        Bytes cur = PackRow(p, y, x0, step, width);
        if (prev.size() != cur.size()) prev.assign(cur.size(), 0);
        FilterRow(filters[rowIndex++ % filters.size()], bpp, cur, prev, out);
        prev = cur;
    };
    if (!interlace) {
        Bytes prev;
        for (uint32_t y = 0; y < p.height; ++y) emit(y, 0, 1, p.width, prev);
        return out;
    }
    for (int pass = 0; pass < 7; ++pass) {
        uint32_t w = p.width > kStartX[pass] ? (p.width - kStartX[pass] + kStepX[pass] - 1) / kStepX[pass] : 0;
        uint32_t h = p.height > kStartY[pass] ? (p.height - kStartY[pass] + kStepY[pass] - 1) / kStepY[pass] : 0;
        if (w == 0 || h == 0) continue;
        Bytes prev;
        for (uint32_t r = 0; r < h; ++r) emit(kStartY[pass] + r * kStepY[pass], kStartX[pass], kStepX[pass], w, prev);
    }
    return out;
}

Bytes BuildPng(const Picture& p, const Layout& layout) {
    Bytes file = Signature();
    AppendChunk(file, "IHDR", Ihdr(p.width, p.height, p.depth, p.colour, layout.interlace ? 1 : 0));
    if (!p.plte.empty()) AppendChunk(file, "PLTE", p.plte);
    for (const auto& [type, data] : layout.before) AppendChunk(file, type, data);
    Bytes z = Deflate(FilteredData(p, layout.filters, layout.interlace));
    size_t step = layout.idatSize ? layout.idatSize : z.size();
    for (size_t at = 0; at < z.size(); at += step)
        AppendChunk(file, "IDAT", Bytes(z.begin() + static_cast<ptrdiff_t>(at),
                                        z.begin() + static_cast<ptrdiff_t>(std::min(z.size(), at + step))));
    AppendChunk(file, "IEND", {});
    return file;
}

Bytes ExpectedPixels(const Picture& p) {
    uint32_t ch = Channels(p.colour);
    bool rgb = p.colour == 2 || p.colour == 6;
    Bytes out;
    for (size_t i = 0; i < size_t{p.width} * p.height; ++i) {
        const uint8_t* s = &p.samples[i * ch];
        if (rgb) out.insert(out.end(), {s[2], s[1], s[0]});
        else out.push_back(s[0]);
    }
    return out;
}

std::vector<ChunkInfo> Chunks(const Bytes& file) {
    std::vector<ChunkInfo> chunks;
    for (size_t at = 8; at + 12 <= file.size();) {
        ChunkInfo c{at, GetBe32(file, at), std::string(file.begin() + static_cast<ptrdiff_t>(at + 4),
                                                        file.begin() + static_cast<ptrdiff_t>(at + 8))};
        chunks.push_back(c);
        at += 12 + size_t{c.length};
    }
    return chunks;
}

size_t EndOfImageData(const Bytes& file) {
    size_t end = 0;
    for (const ChunkInfo& c : Chunks(file))
        if (c.type == "IDAT") end = c.offset + 8 + c.length;
    return end;
}

Session::Session(Bytes bytes) : file(std::move(bytes)), handle(static_cast<size_t>(PngDecGetHandleSize())) {
    PngDecInit(h());
    StreamInitMemory(&stream, file.data(), static_cast<int32_t>(file.size()));
    PngDecSetStream(h(), &stream);
}

Decoded DecodePng(const Bytes& file, bool byLine, size_t piece) {
    Decoded d;
    Bytes copy = file;
    Bytes handle(static_cast<size_t>(PngDecGetHandleSize()));
    uint8_t buffer[XR_STREAM_BUFFER_SIZE];
    teststreams::PieceSource reader{&copy, piece};
    CodecStream stream;
    if (piece) StreamInit(&stream, buffer, sizeof buffer, &reader, teststreams::PieceSource::Read);
    else StreamInitMemory(&stream, copy.data(), static_cast<int32_t>(copy.size()));
    PngDecInit(handle.data());
    PngDecSetStream(handle.data(), &stream);
    d.headerStatus = d.status = PngDecReadHeader(handle.data(), &d.header, nullptr, &d.ihdr);
    if (d.status == XR_OK) {
        XrImage record = d.header;
        d.pixels.assign(size_t{record.LINEINT} * record.HEIGHT, 0xCD);
        if (record.MODE == XR_MODE_INDEX) d.palette.assign(1024, 0xCD);
        record.PIXELS = d.pixels.data();
        record.PALBUT = d.palette.empty() ? nullptr : d.palette.data();
        d.status = PngDecStart(handle.data(), &record);
        if (d.status == XR_OK && byLine) {
            for (uint32_t y = 0; y < record.HEIGHT && d.status == XR_OK; ++y)
                d.status = PngDecDecodeLine(handle.data(), d.pixels.data() + size_t{y} * record.LINEINT);
        } else if (d.status == XR_OK) {
            d.status = PngDecDecodeImage(handle.data(), d.pixels.data());
        }
    }
    PngDecEnd(handle.data());
    return d;
}

Bytes EncodePng(const XrImage& image, CodecStatus* status, bool byLine) {
    Bytes out;
    Bytes handle(static_cast<size_t>(PngEncGetHandleSize()));
    uint8_t staging[XR_STREAM_BUFFER_SIZE];
    CodecStream stream;
    StreamInit(&stream, staging, sizeof staging, &out, teststreams::AppendTo);
    PngEncInit(handle.data());
    PngEncSetStream(handle.data(), &stream);
    uint32_t size = 0;
    *status = PngEncSetImage(handle.data(), &image, &size);
    Bytes buffer(size);
    if (*status == XR_OK) *status = PngEncSetBuffer(handle.data(), buffer.data(), size);
    if (*status == XR_OK && byLine) {
        for (uint32_t y = 0; y < image.HEIGHT && *status == XR_OK; ++y)
            *status = PngEncEncodeLine(handle.data(), ImageLine(&image, y));
    } else if (*status == XR_OK) {
        *status = PngEncEncodeImage(handle.data(), image.PIXELS);
    }
    CodecStatus end = PngEncEnd(handle.data());
    if (*status == XR_OK) *status = end;
    return out;
}

void RecordFrom(const Picture& p, XrImage* image) {
    *image = XrImage{};
    image->MODE = p.colour == 3 ? XR_MODE_INDEX : p.colour == 2 || p.colour == 6 ? XR_MODE_RGB : XR_MODE_GRAY;
    image->WIDTH = static_cast<uint16_t>(p.width);
    image->HEIGHT = static_cast<uint16_t>(p.height);
    image->LINEINT = ImageLineBytes(image->MODE, p.width);
    ImageAlloc(image);
    Bytes pixels = ExpectedPixels(p);
    std::memcpy(image->PIXELS, pixels.data(), pixels.size());
    if (image->MODE == XR_MODE_INDEX) {
        image->PALCOUNT = static_cast<uint16_t>(p.plte.size() / 3);
        for (size_t i = 0; i < p.plte.size() / 3; ++i) {
            image->PALBUT[4 * i] = p.plte[3 * i + 2];
            image->PALBUT[4 * i + 1] = p.plte[3 * i + 1];
            image->PALBUT[4 * i + 2] = p.plte[3 * i];
        }
    }
}

}  // namespace pngtest
