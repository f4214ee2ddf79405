// BMP decode and encode throughput on a 4000 x 3000 picture held in memory, so the
// numbers measure the codec and not the disk. Bytes processed count record bytes
// (pixels x bytes per pixel); the pixels counter allows comparing modes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "lumapix/bmp_codec.h"
#include "bench_support.hpp"
#include "lumapix/codec_stream.h"
#include "lumapix/test_images.h"
#include "lumapix/xr_image.h"

using namespace lumapix::bench;

namespace {

constexpr uint16_t kWidth = 4000;
constexpr uint16_t kHeight = 3000;
constexpr int64_t kPixels = int64_t{kWidth} * kHeight;

uint8_t AddNoise(uint8_t value, XorShift& rng) {
    int32_t v = int32_t{value} + static_cast<int32_t>(rng.Below(25)) - 12;
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

// The shared gradient with noise on top: flat areas would flatter any codec path.
void MakeNoisyImage(XrImage* image, int32_t mode) {
    if (MakeTestImage(image, mode, kWidth, kHeight) != XR_OK) std::abort();
    XorShift rng;
    for (uint32_t y = 0; y < kHeight; ++y) {
        uint8_t* line = ImageLine(image, y);
        if (mode == XR_MODE_RGB) {
            for (uint32_t i = 0; i < 3u * kWidth; ++i) line[i] = AddNoise(line[i], rng);
        } else {
            // Flip the low bit of each 3-3-2 field at random: neighbouring cube colours.
            for (uint32_t x = 0; x < kWidth; ++x) line[x] = static_cast<uint8_t>(line[x] ^ (rng.Next() & 0x25));
        }
    }
}

size_t FileBytes(const XrImage& image) {
    size_t lineBytes = image.MODE == XR_MODE_RGB ? 3u * image.WIDTH : image.WIDTH;
    size_t table = image.MODE == XR_MODE_RGB ? 0 : 256 * 4;
    return 14 + 40 + table + ((lineBytes + 3) & ~size_t{3}) * image.HEIGHT;
}

std::vector<uint8_t> Encode(const XrImage& image) {
    Sink sink;
    sink.bytes.resize(FileBytes(image));
    Handle handle(BmpEncGetHandleSize());
    uint8_t staging[XR_STREAM_BUFFER_SIZE];
    CodecStream stream;
    StreamInit(&stream, staging, sizeof staging, &sink, SinkWrite);
    BmpEncInit(handle.get());
    BmpEncSetStream(handle.get(), &stream);
    CodecStatus status = BmpEncSetImage(handle.get(), &image, nullptr);
    if (status == XR_OK) status = BmpEncEncodeImage(handle.get(), image.PIXELS);
    if (BmpEncEnd(handle.get()) != XR_OK || status != XR_OK || sink.used != sink.bytes.size()) std::abort();
    return sink.bytes;
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// An RLE8 file of repeat runs and literals of random lengths, with the index
// record it decodes to. Lines are filled exactly, so no run crosses a line end.
struct Rle8Fixture {
    std::vector<uint8_t> file;
    std::vector<uint8_t> expected;  // top line first, kWidth bytes per line
};

Rle8Fixture BuildRle8() {
    Rle8Fixture f;
    f.expected.resize(static_cast<size_t>(kPixels));
    std::vector<uint8_t> codes;
    XorShift rng;
    for (uint32_t fileLine = 0; fileLine < kHeight; ++fileLine) {
        uint8_t* out = f.expected.data() + size_t{kHeight - 1 - fileLine} * kWidth;  // bottom line first
        uint32_t x = 0;
        while (x < kWidth) {
            uint32_t room = kWidth - x;
            if (room >= 3 && rng.Below(4) == 0) {
                uint32_t n = std::min(3 + rng.Below(40), room);
                codes.push_back(0);
                codes.push_back(static_cast<uint8_t>(n));
                for (uint32_t i = 0; i < n; ++i) {
                    auto v = static_cast<uint8_t>(rng.Next());
                    codes.push_back(v);
                    out[x + i] = v;
                }
                if (n & 1) codes.push_back(0);
                x += n;
            } else {
                uint32_t n = std::min(1 + rng.Below(80), room);
                auto v = static_cast<uint8_t>(rng.Next());
                codes.push_back(static_cast<uint8_t>(n));
                codes.push_back(v);
                std::memset(out + x, v, n);
                x += n;
            }
        }
        codes.push_back(0);
        codes.push_back(static_cast<uint8_t>(fileLine + 1 < kHeight ? 0 : 1));  // end of line, end of image
    }
    constexpr uint32_t kOffset = 14 + 40 + 256 * 4;
    auto dataBytes = static_cast<uint32_t>(codes.size());
    f.file = {'B', 'M'};
    Put32(f.file, kOffset + dataBytes);
    Put32(f.file, 0);
    Put32(f.file, kOffset);
    Put32(f.file, 40);
    Put32(f.file, kWidth);
    Put32(f.file, kHeight);
    Put16(f.file, 1);
    Put16(f.file, 8);
    Put32(f.file, 1);  // RLE8
    Put32(f.file, dataBytes);
    Put32(f.file, 2835);
    Put32(f.file, 2835);
    Put32(f.file, 256);
    Put32(f.file, 0);
    for (uint32_t i = 0; i < 256; ++i) {
        auto v = static_cast<uint8_t>(i);
        f.file.insert(f.file.end(), {v, static_cast<uint8_t>(255 - v), static_cast<uint8_t>(v ^ 0x5A), 0});
    }
    f.file.insert(f.file.end(), codes.begin(), codes.end());
    return f;
}

// Sources and their files, built once on first use.
struct Fixtures {
    Record rgb;
    Record index;
    std::vector<uint8_t> rgbFile;
    std::vector<uint8_t> indexFile;
    Rle8Fixture rle8;

    Fixtures() {
        MakeNoisyImage(&rgb.image, XR_MODE_RGB);
        MakeNoisyImage(&index.image, XR_MODE_INDEX);
        rgbFile = Encode(rgb.image);
        indexFile = Encode(index.image);
        rle8 = BuildRle8();
    }
};

Fixtures& Shared() {
    static Fixtures fixtures;
    return fixtures;
}

void SetThroughput(benchmark::State& state, int64_t bytesPerPixel) {
    state.SetBytesProcessed(state.iterations() * kPixels * bytesPerPixel);
    state.counters["pixels"] =
        benchmark::Counter(static_cast<double>(state.iterations() * kPixels), benchmark::Counter::kIsRate);
}

enum class Granularity { kLine, kWhole };

// Decodes file into a record allocated once; the last pass is checked against expected.
void RunDecode(benchmark::State& state, std::vector<uint8_t>& file, const uint8_t* expected,
               Granularity granularity) {
    Handle handle(BmpDecGetHandleSize());
    Record record;
    CodecStream stream;
    XrImage header{};
    int32_t bottomUp = 0;
    auto open = [&] {
        BmpDecInit(handle.get());
        StreamInitMemory(&stream, file.data(), static_cast<int32_t>(file.size()));
        BmpDecSetStream(handle.get(), &stream);
        return BmpDecReadHeader(handle.get(), &header, nullptr);
    };
    // The record is allocated once, outside the timing: that is the caller's cost.
    CodecStatus status = open();
    if (status == XR_OK) {
        ImageCopyHeader(&record.image, &header);
        if (ImageAlloc(&record.image) != XR_OK) status = XR_ERR_INTERNAL;
    }
    if (status != XR_OK) {
        state.SkipWithError(CodecStatusName(status));
        return;
    }
    for (auto _ : state) {
        status = open();
        if (status != XR_OK) break;
        status = BmpDecStart(handle.get(), &record.image, &bottomUp);
        if (status != XR_OK) break;
        if (granularity == Granularity::kWhole) {
            status = BmpDecDecodeImage(handle.get(), record.image.PIXELS);
        } else {
            for (uint32_t i = 0; i < record.image.HEIGHT && status == XR_OK; ++i) {
                uint32_t y = bottomUp ? record.image.HEIGHT - 1u - i : i;
                status = BmpDecDecodeLine(handle.get(), ImageLine(&record.image, y));
            }
        }
        if (status != XR_OK) break;
        BmpDecEnd(handle.get());
        benchmark::ClobberMemory();
    }
    if (status != XR_OK) {
        state.SkipWithError(CodecStatusName(status));
        return;
    }
    if (std::memcmp(record.image.PIXELS, expected, record.image.SIZE) != 0) {
        state.SkipWithError("decoded pixels differ from the source");
        return;
    }
    SetThroughput(state, static_cast<int64_t>(record.image.LINEINT / record.image.WIDTH));
}

void RunEncode(benchmark::State& state, const XrImage& image, Granularity granularity) {
    Handle handle(BmpEncGetHandleSize());
    Sink sink;
    sink.bytes.resize(FileBytes(image));
    uint8_t staging[XR_STREAM_BUFFER_SIZE];
    CodecStream stream;
    CodecStatus status = XR_OK;
    for (auto _ : state) {
        sink.used = 0;
        StreamInit(&stream, staging, sizeof staging, &sink, SinkWrite);
        BmpEncInit(handle.get());
        BmpEncSetStream(handle.get(), &stream);
        status = BmpEncSetImage(handle.get(), &image, nullptr);
        if (status == XR_OK && granularity == Granularity::kWhole) {
            status = BmpEncEncodeImage(handle.get(), image.PIXELS);
        } else {
            for (uint32_t y = image.HEIGHT; y-- > 0 && status == XR_OK;)
                status = BmpEncEncodeLine(handle.get(), ImageLine(&image, y));
        }
        CodecStatus end = BmpEncEnd(handle.get());
        if (status == XR_OK) status = end;
        if (status != XR_OK) break;
        benchmark::DoNotOptimize(sink.bytes.data());
        benchmark::ClobberMemory();
    }
    if (status != XR_OK) {
        state.SkipWithError(CodecStatusName(status));
        return;
    }
    if (sink.used != sink.bytes.size()) {
        state.SkipWithError("encoded size differs from the expected file size");
        return;
    }
    SetThroughput(state, static_cast<int64_t>(image.LINEINT / image.WIDTH));
}

void BM_DecodeRgb24(benchmark::State& state) {
    Fixtures& f = Shared();
    RunDecode(state, f.rgbFile, static_cast<const uint8_t*>(f.rgb.image.PIXELS), Granularity::kLine);
}

void BM_DecodeRgb24Whole(benchmark::State& state) {
    Fixtures& f = Shared();
    RunDecode(state, f.rgbFile, static_cast<const uint8_t*>(f.rgb.image.PIXELS), Granularity::kWhole);
}

void BM_EncodeRgb24(benchmark::State& state) { RunEncode(state, Shared().rgb.image, Granularity::kLine); }

void BM_EncodeRgb24Whole(benchmark::State& state) { RunEncode(state, Shared().rgb.image, Granularity::kWhole); }

void BM_DecodeIndex8(benchmark::State& state) {
    Fixtures& f = Shared();
    RunDecode(state, f.indexFile, static_cast<const uint8_t*>(f.index.image.PIXELS), Granularity::kLine);
}

void BM_EncodeIndex8(benchmark::State& state) { RunEncode(state, Shared().index.image, Granularity::kLine); }

void BM_DecodeRle8(benchmark::State& state) {
    Fixtures& f = Shared();
    RunDecode(state, f.rle8.file, f.rle8.expected.data(), Granularity::kLine);
}

}  // namespace

BENCHMARK(BM_DecodeRgb24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeRgb24Whole)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeRgb24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeRgb24Whole)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeIndex8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeIndex8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeRle8)->Unit(benchmark::kMillisecond);
