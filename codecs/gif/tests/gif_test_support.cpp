#include "gif_test_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "test_streams.hpp"

namespace giftest {

namespace {

constexpr uint32_t kNone = 0xFFFFFFFF;
constexpr uint64_t kMaxTestPixels = 1u << 24;  // corrupted headers are not worth gigabytes

uint32_t Random(uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

void Put16(Bytes& out, uint32_t v) { out.insert(out.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}); }

uint8_t TableFlags(size_t bytes) {
    uint8_t k = 0;
    while ((2u << k) < bytes / 3) ++k;
    return static_cast<uint8_t>(0x80 | k);
}

// A decoder's code width as it reads codes: after each defined code, one bit more
// once the next free code no longer fits, up to 12 bits.
struct WidthTracker {
    uint32_t minCodeSize, width, next, previous = kNone;
    explicit WidthTracker(uint32_t n) : minCodeSize(n), width(n + 1), next((1u << n) + 2) {}
    // False for a code beyond the table.
    bool Read(uint32_t c) {
        uint32_t clear = 1u << minCodeSize;
        if (c == clear) {
            width = minCodeSize + 1, next = clear + 2, previous = kNone;
            return true;
        }
        if (c == clear + 1) return true;
        if (c > next || (c == next && previous == kNone)) return false;
        if (previous != kNone && next < 4096 && ++next > (1u << width) - 1 && width < 12) ++width;
        previous = c;
        return true;
    }
};

}  // namespace

std::vector<Code> WithWidths(const std::vector<uint32_t>& codes, uint32_t minCodeSize) {
    WidthTracker t(minCodeSize);
    std::vector<Code> out;
    for (uint32_t c : codes) {
        out.push_back({c, t.width});
        t.Read(c);
    }
    return out;
}

std::vector<Code> LzwCodes(const Bytes& pixels, uint32_t minCodeSize, const LzwOptions& options) {
    const uint32_t clear = 1u << minCodeSize;
    std::vector<uint32_t> codes(options.leadingClears, clear);
    std::unordered_map<uint32_t, uint32_t> table;
    uint32_t next = clear + 2;
    if (!pixels.empty()) {
        uint32_t prefix = pixels[0];
        for (size_t i = 1; i < pixels.size(); ++i) {
            uint32_t key = prefix << 8 | pixels[i];
            if (auto found = table.find(key); found != table.end()) {
                prefix = found->second;
                continue;
            }
            codes.push_back(prefix);
            if (options.clearWhenFull && next >= 4095) {
                codes.push_back(clear);
                table.clear();
                next = clear + 2;
            } else if (next < 4096) {
                table[key] = next++;
            }
            prefix = pixels[i];
        }
        codes.push_back(prefix);
    }
    if (options.endCode) codes.push_back(clear + 1);
    return WithWidths(codes, minCodeSize);
}

Bytes LzwData(const std::vector<Code>& codes, uint8_t minCodeSize, uint32_t blockSize) {
    Bytes packed;
    uint64_t bits = 0;
    uint32_t count = 0;
    for (const Code& c : codes) {
        bits |= uint64_t{c.value} << count;
        for (count += c.width; count >= 8; count -= 8, bits >>= 8) packed.push_back(static_cast<uint8_t>(bits));
    }
    if (count > 0) packed.push_back(static_cast<uint8_t>(bits));
    Bytes out = {minCodeSize};
    for (size_t i = 0; i < packed.size(); i += blockSize) {
        size_t n = std::min<size_t>(blockSize, packed.size() - i);
        out.push_back(static_cast<uint8_t>(n));
        out.insert(out.end(), packed.begin() + static_cast<std::ptrdiff_t>(i),
                   packed.begin() + static_cast<std::ptrdiff_t>(i + n));
    }
    out.push_back(0);
    return out;
}

std::vector<Code> ParseCodes(const Bytes& file, size_t offset, size_t* end) {
    std::vector<Code> codes;
    Bytes packed;
    uint32_t minCodeSize = offset < file.size() ? file[offset++] : 0;
    for (;;) {
        if (offset >= file.size() || offset + 1 + file[offset] > file.size()) {
            ADD_FAILURE() << "sub-blocks run past the end of the file";
            return codes;
        }
        uint32_t n = file[offset++];
        if (n == 0) break;
        packed.insert(packed.end(), file.begin() + static_cast<std::ptrdiff_t>(offset),
                      file.begin() + static_cast<std::ptrdiff_t>(offset + n));
        offset += n;
    }
    if (end) *end = offset;
    WidthTracker t(minCodeSize);
    size_t bit = 0;
    for (;;) {
        if (bit + t.width > packed.size() * 8) {
            ADD_FAILURE() << "no end code";
            return codes;
        }
        uint32_t c = 0;
        for (uint32_t i = 0; i < t.width; ++i, ++bit) c |= static_cast<uint32_t>(packed[bit / 8] >> (bit % 8) & 1) << i;
        codes.push_back({c, t.width});
        if (c == (1u << minCodeSize) + 1) break;
        if (!t.Read(c)) {
            ADD_FAILURE() << "code " << c << " beyond the table";
            return codes;
        }
    }
    EXPECT_EQ((bit + 7) / 8, packed.size()) << "bytes follow the end code";
    return codes;
}

Bytes Interlace(const Bytes& pixels, uint32_t width, uint32_t height) {
    static constexpr uint32_t kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    Bytes out;
    for (uint32_t pass = 0; pass < 4; ++pass)
        for (uint32_t y = kStart[pass]; y < height; y += kStep[pass])
            out.insert(out.end(), pixels.begin() + static_cast<std::ptrdiff_t>(size_t{y} * width),
                       pixels.begin() + static_cast<std::ptrdiff_t>(size_t{y + 1} * width));
    return out;
}

Bytes BuildGif(const GifPlan& plan) {
    Bytes out(plan.signature.begin(), plan.signature.end());
    Put16(out, plan.screenWidth ? plan.screenWidth : plan.width);
    Put16(out, plan.screenHeight ? plan.screenHeight : plan.height);
    out.insert(out.end(), {static_cast<uint8_t>(plan.globalTable.empty() ? 0x70 : 0x70 | TableFlags(plan.globalTable.size())),
                           plan.background, 0});
    out.insert(out.end(), plan.globalTable.begin(), plan.globalTable.end());
    out.insert(out.end(), plan.beforeImage.begin(), plan.beforeImage.end());
    out.push_back(',');
    for (uint16_t v : {plan.left, plan.top, plan.width, plan.height}) Put16(out, v);
    uint8_t flags = plan.interlaced ? 0x40 : 0;
    if (!plan.localTable.empty()) flags = static_cast<uint8_t>(flags | TableFlags(plan.localTable.size()));
    out.push_back(flags);
    out.insert(out.end(), plan.localTable.begin(), plan.localTable.end());
    Bytes data = plan.data;
    if (data.empty()) {
        Bytes stored = plan.interlaced ? Interlace(plan.pixels, plan.width, plan.height) : plan.pixels;
        data = LzwData(LzwCodes(stored, plan.minCodeSize, plan.lzw), plan.minCodeSize, plan.blockSize);
    }
    out.insert(out.end(), data.begin(), data.end());
    out.insert(out.end(), plan.afterImage.begin(), plan.afterImage.end());
    out.push_back(';');
    return out;
}

Bytes MakeTable(uint32_t entries, uint32_t salt) {
    Bytes table;
    for (uint32_t i = 0; i < entries; ++i)
        table.insert(table.end(), {static_cast<uint8_t>(i * 37 + salt), static_cast<uint8_t>(255 - i * 11 - salt * 3),
                                   static_cast<uint8_t>(i * 101 + 7 + salt * 5)});
    return table;
}

Bytes RandomPixels(size_t count, uint32_t colours, uint32_t seed) {
    uint32_t state = seed * 2654435761u + 1;
    Bytes pixels(count);
    for (auto& p : pixels) p = static_cast<uint8_t>(Random(state) % colours);
    return pixels;
}

Bytes Comment(const std::string& text) {
    Bytes out = {'!', 0xFE};
    for (size_t i = 0; i < text.size(); i += 255) {
        size_t n = std::min<size_t>(255, text.size() - i);
        out.push_back(static_cast<uint8_t>(n));
        out.insert(out.end(), text.begin() + static_cast<std::ptrdiff_t>(i), text.begin() + static_cast<std::ptrdiff_t>(i + n));
    }
    out.push_back(0);
    return out;
}

OpenDecoder::OpenDecoder(Bytes file)
    : bytes(std::move(file)), handle((static_cast<size_t>(GifDecGetHandleSize()) + 7) / 8), work(XR_GIF_DEC_WORK_SIZE / 8) {
    GifDecInit(get());
    StreamInitMemory(&stream, bytes.data(), static_cast<int32_t>(bytes.size()));
    GifDecSetStream(get(), &stream);
    headerStatus = GifDecReadHeader(get(), &header, &workSize, &info);
    GifDecSetWork(get(), work.data());
}

Decoded DecodeGif(const Bytes& file, Calls calls) {
    Decoded d;
    OpenDecoder open(file);
    d.headerStatus = d.status = open.headerStatus;
    d.header = open.header;
    d.info = open.info;
    d.workSize = open.workSize;
    if (d.status != XR_OK) return d;
    if (uint64_t{d.header.WIDTH} * d.header.HEIGHT > kMaxTestPixels) {
        d.status = XR_ERR_INTERNAL;
        return d;
    }
    d.pixels.assign(size_t{d.header.WIDTH} * d.header.HEIGHT, 0xEE);  // every byte must be written
    d.palette.assign(1024, 0xEE);
    XrImage record = d.header;
    record.PIXELS = d.pixels.data();
    record.PALBUT = d.palette.data();
    d.status = GifDecStart(open.get(), &record);
    for (uint32_t y = 0; calls == Calls::kLines && y < d.header.HEIGHT && d.status == XR_OK; ++y)
        d.status = GifDecDecodeLine(open.get(), d.pixels.data() + size_t{y} * d.header.WIDTH);
    if (calls == Calls::kWhole && d.status == XR_OK) d.status = GifDecDecodeImage(open.get(), record.PIXELS);
    EXPECT_EQ(GifDecEnd(open.get()), XR_OK);
    return d;
}

IndexPicture::IndexPicture(uint16_t width, uint16_t height, uint32_t colours, uint32_t seed)
    : pixels(RandomPixels(size_t{width} * height, colours, seed)), palette(RandomPixels(1024, 256, seed + 1)) {
    for (size_t i = 3; i < palette.size(); i += 4) palette[i] = 0;
    image.MODE = XR_MODE_INDEX;
    image.WIDTH = width;
    image.HEIGHT = height;
    image.LINEINT = width;
    image.PALCOUNT = 256;
    image.PALBUT = palette.data();
    image.PIXELS = pixels.data();
    image.SIZE = static_cast<uint32_t>(pixels.size());
}

Bytes EncodeGif(const XrImage& image, CodecStatus* status, Calls calls) {
    Bytes out;
    std::vector<uint64_t> handle((static_cast<size_t>(GifEncGetHandleSize()) + 7) / 8);
    std::vector<uint64_t> work(XR_GIF_ENC_WORK_SIZE / 8 + 1);
    uint8_t buffer[XR_STREAM_BUFFER_SIZE];
    CodecStream stream;
    StreamInit(&stream, buffer, sizeof buffer, &out, teststreams::AppendTo);
    GifEncInit(handle.data());
    GifEncSetStream(handle.data(), &stream);
    uint32_t workSize = 0;
    *status = GifEncSetImage(handle.data(), &image, &workSize);
    if (*status == XR_OK) *status = GifEncSetBuffer(handle.data(), work.data(), workSize);
    for (uint32_t y = 0; calls == Calls::kLines && y < image.HEIGHT && *status == XR_OK; ++y)
        *status = GifEncEncodeLine(handle.data(), ImageLine(&image, y));
    if (calls == Calls::kWhole && *status == XR_OK) *status = GifEncEncodeImage(handle.data(), image.PIXELS);
    CodecStatus end = GifEncEnd(handle.data());
    if (*status == XR_OK) *status = end;
    return out;
}

}  // namespace giftest
