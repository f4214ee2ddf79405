// PNG decode and encode throughput on a 4000 x 3000 picture held in memory, so the
// numbers measure the codec and not the disk. Decoding is timed on our own files
// (filter None, level 1) and on files whose rows use the other filters at zlib's
// default level, as other writers make them. Bytes processed count record bytes.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench_support.hpp"
#include "lumapix/codec_stream.h"
#include "lumapix/png_codec.h"
#include "lumapix/xr_image.h"

using namespace lumapix::bench;

namespace {

constexpr uint16_t kWidth = 4000;
constexpr uint16_t kHeight = 3000;
constexpr int64_t kPixels = int64_t{kWidth} * kHeight;

// Smooth waves with a little noise: photographs are neither flat nor random.
Record* Picture(int32_t mode) {
    auto* r = new Record;
    XrImage& im = r->image;
    im.MODE = mode;
    im.WIDTH = kWidth;
    im.HEIGHT = kHeight;
    im.LINEINT = ImageLineBytes(mode, kWidth);
    if (ImageAlloc(&im) != XR_OK) std::abort();
    XorShift rng;
    uint32_t channels = mode == XR_MODE_RGB ? 3 : 1;
    for (uint32_t y = 0; y < kHeight; ++y) {
        uint8_t* line = ImageLine(&im, y);
        for (uint32_t x = 0; x < kWidth; ++x)
            for (uint32_t c = 0; c < channels; ++c) {
                double wave = 127 + 60 * std::sin(x * (0.003 + 0.002 * c)) + 60 * std::cos(y * 0.004 + c);
                line[x * channels + c] = static_cast<uint8_t>(std::clamp(wave + (rng.Next() % 9) - 4.0, 0.0, 255.0));
            }
    }
    if (mode == XR_MODE_INDEX)
        for (uint32_t i = 0; i < 1024; ++i) im.PALBUT[i] = static_cast<uint8_t>(i * 7);
    return r;
}

std::vector<uint8_t> EncodeOurs(const XrImage& image) {
    Sink sink;
    sink.bytes.resize(size_t{image.LINEINT} * image.HEIGHT * 2 + 4096);
    Handle handle(PngEncGetHandleSize());
    uint8_t staging[XR_STREAM_BUFFER_SIZE];
    CodecStream stream;
    StreamInit(&stream, staging, sizeof staging, &sink, SinkWrite);
    PngEncInit(handle.get());
    PngEncSetStream(handle.get(), &stream);
    uint32_t size = 0;
    PngEncSetImage(handle.get(), &image, &size);
    std::vector<uint8_t> buffer(size);
    PngEncSetBuffer(handle.get(), buffer.data(), size);
    PngEncEncodeImage(handle.get(), image.PIXELS);
    if (PngEncEnd(handle.get()) != XR_OK) std::abort();
    sink.bytes.resize(sink.used);
    return sink.bytes;
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const uint8_t* data, size_t size) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(size >> s));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + size);
    uLong crc = crc32(0, out.data() + start, static_cast<uInt>(size + 4));
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(crc >> s));
}

int Paeth(int a, int b, int c) {
    int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// A truecolour or greyscale file with every row filtered by type (or by row
// number modulo 5 when type is 5), deflated at zlib's default level in 8 KiB IDATs.
std::vector<uint8_t> EncodeFiltered(const XrImage& image, int type) {
    uint32_t bpp = image.MODE == XR_MODE_RGB ? 3 : 1;
    size_t rowBytes = size_t{image.WIDTH} * bpp;
    std::vector<uint8_t> raw, prev(rowBytes, 0), cur(rowBytes);
    for (uint32_t y = 0; y < image.HEIGHT; ++y) {
        const uint8_t* line = ImageLine(&image, y);
        for (size_t x = 0; x < rowBytes; x += bpp)
            for (uint32_t c = 0; c < bpp; ++c) cur[x + c] = line[x + (bpp == 3 ? 2 - c : 0)];
        int t = type == 5 ? static_cast<int>(y % 5) : type;
        raw.push_back(static_cast<uint8_t>(t));
        for (size_t i = 0; i < rowBytes; ++i) {
            int a = i >= bpp ? cur[i - bpp] : 0, b = prev[i], c = i >= bpp ? prev[i - bpp] : 0;
            int p = t == 1 ? a : t == 2 ? b : t == 3 ? (a + b) / 2 : t == 4 ? Paeth(a, b, c) : 0;
            raw.push_back(static_cast<uint8_t>(cur[i] - p));
        }
        prev = cur;
    }
    uLongf zsize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> z(zsize);
    compress2(z.data(), &zsize, raw.data(), static_cast<uLong>(raw.size()), Z_DEFAULT_COMPRESSION);
    std::vector<uint8_t> file = {137, 80, 78, 71, 13, 10, 26, 10};
    uint8_t ihdr[13] = {0, 0, static_cast<uint8_t>(kWidth >> 8), static_cast<uint8_t>(kWidth), 0, 0,
                        static_cast<uint8_t>(kHeight >> 8), static_cast<uint8_t>(kHeight), 8,
                        static_cast<uint8_t>(bpp == 3 ? 2 : 0), 0, 0, 0};
    PutChunk(file, "IHDR", ihdr, sizeof ihdr);
    for (size_t at = 0; at < zsize; at += 8192) PutChunk(file, "IDAT", z.data() + at, std::min<size_t>(8192, zsize - at));
    PutChunk(file, "IEND", nullptr, 0);
    return file;
}

void Decode(benchmark::State& state, std::vector<uint8_t>& file, int32_t mode) {
    Handle handle(PngDecGetHandleSize());
    XrImage header{};
    header.MODE = mode;
    std::vector<uint8_t> pixels(size_t{ImageLineBytes(mode, kWidth)} * kHeight);
    std::vector<uint8_t> palette(1024);
    for (auto _ : state) {
        CodecStream stream;
        StreamInitMemory(&stream, file.data(), static_cast<int32_t>(file.size()));
        PngDecInit(handle.get());
        PngDecSetStream(handle.get(), &stream);
        if (PngDecReadHeader(handle.get(), &header, nullptr, nullptr) != XR_OK) std::abort();
        XrImage record = header;
        record.PIXELS = pixels.data();
        record.PALBUT = palette.data();
        PngDecStart(handle.get(), &record);
        if (PngDecDecodeImage(handle.get(), pixels.data()) != XR_OK) std::abort();
        PngDecEnd(handle.get());
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(pixels.size()));
    state.counters["MPixel/s"] = benchmark::Counter(static_cast<double>(kPixels) * static_cast<double>(state.iterations()) / 1e6,
                                                    benchmark::Counter::kIsRate);
    state.counters["file MB"] = static_cast<double>(file.size()) / 1e6;
}

void BM_DecodeOurRgb(benchmark::State& state) {
    static Record* picture = Picture(XR_MODE_RGB);
    static std::vector<uint8_t> file = EncodeOurs(picture->image);
    Decode(state, file, XR_MODE_RGB);
}

void BM_DecodeFilteredRgb(benchmark::State& state) {
    static Record* picture = Picture(XR_MODE_RGB);
    std::vector<uint8_t> file = EncodeFiltered(picture->image, static_cast<int>(state.range(0)));
    Decode(state, file, XR_MODE_RGB);
}

void BM_DecodeFilteredGray(benchmark::State& state) {
    static Record* picture = Picture(XR_MODE_GRAY);
    std::vector<uint8_t> file = EncodeFiltered(picture->image, static_cast<int>(state.range(0)));
    Decode(state, file, XR_MODE_GRAY);
}

void Encode(benchmark::State& state, int32_t mode) {
    static Record* pictures[XR_MODE_COUNT] = {};
    if (!pictures[mode]) pictures[mode] = Picture(mode);
    const XrImage& image = pictures[mode]->image;
    size_t size = 0;
    for (auto _ : state) {
        size = EncodeOurs(image).size();
        benchmark::DoNotOptimize(size);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(image.LINEINT) * image.HEIGHT);
    state.counters["MPixel/s"] = benchmark::Counter(static_cast<double>(kPixels) * static_cast<double>(state.iterations()) / 1e6,
                                                    benchmark::Counter::kIsRate);
    state.counters["file MB"] = static_cast<double>(size) / 1e6;
}

void BM_EncodeRgb(benchmark::State& state) { Encode(state, XR_MODE_RGB); }
void BM_EncodeGray(benchmark::State& state) { Encode(state, XR_MODE_GRAY); }
void BM_EncodeIndex(benchmark::State& state) { Encode(state, XR_MODE_INDEX); }

}  // namespace

BENCHMARK(BM_DecodeOurRgb)->Unit(benchmark::kMillisecond);
// Filter types 0 to 4, and 5 for all five in turn.
BENCHMARK(BM_DecodeFilteredRgb)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeFilteredGray)->Arg(1)->Arg(4)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeRgb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeGray)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeIndex)->Unit(benchmark::kMillisecond);
