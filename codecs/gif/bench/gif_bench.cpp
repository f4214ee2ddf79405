// GIF decode and encode throughput on 4000 x 3000 256-colour pictures held in
// memory, so the numbers measure the codec and not the disk. Two pictures: the
// shared gradient (long LZW strings) and the same with noise on every pixel
// (short strings, the table refilled all the time).
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench_support.hpp"
#include "lumapix/codec_stream.h"
#include "lumapix/gif_codec.h"
#include "lumapix/test_images.h"
#include "lumapix/xr_image.h"

using namespace lumapix::bench;

namespace {

constexpr uint16_t kWidth = 4000;
constexpr uint16_t kHeight = 3000;
constexpr int64_t kPixels = int64_t{kWidth} * kHeight;

// Output grows with the stream: GIF sizes vary too much to guess.
struct GrowingSink {
    std::vector<uint8_t> bytes;
};

int32_t GrowingSinkWrite(uint8_t* data, int32_t count, void* user) {
    auto* sink = static_cast<GrowingSink*>(user);
    sink->bytes.insert(sink->bytes.end(), data, data + count);
    return count;
}

void MakePicture(XrImage* image, bool noisy) {
    if (MakeTestImage(image, XR_MODE_INDEX, kWidth, kHeight) != XR_OK) std::abort();
    if (!noisy) return;
    XorShift rng;
    for (uint32_t y = 0; y < kHeight; ++y) {
        uint8_t* line = ImageLine(image, y);
        // Flip the low bit of each 3-3-2 field at random: neighbouring cube colours.
        for (uint32_t x = 0; x < kWidth; ++x) line[x] = static_cast<uint8_t>(line[x] ^ (rng.Next() & 0x25));
    }
}

enum class Granularity { kLine, kWhole };

// Encodes into sink (cleared first); aborts on failure.
void Encode(const XrImage& image, Granularity granularity, Handle& handle, Handle& work, GrowingSink& sink) {
    uint8_t staging[XR_STREAM_BUFFER_SIZE];
    CodecStream stream;
    sink.bytes.clear();
    StreamInit(&stream, staging, sizeof staging, &sink, GrowingSinkWrite);
    GifEncInit(handle.get());
    GifEncSetStream(handle.get(), &stream);
    uint32_t workSize = 0;
    CodecStatus status = GifEncSetImage(handle.get(), &image, &workSize);
    if (status == XR_OK) status = GifEncSetBuffer(handle.get(), work.get(), workSize);
    if (status == XR_OK && granularity == Granularity::kWhole) {
        status = GifEncEncodeImage(handle.get(), image.PIXELS);
    } else {
        for (uint32_t y = 0; y < image.HEIGHT && status == XR_OK; ++y)
            status = GifEncEncodeLine(handle.get(), ImageLine(&image, y));
    }
    CodecStatus end = GifEncEnd(handle.get());
    if (status != XR_OK || end != XR_OK) std::abort();
}

struct Fixtures {
    Record smooth, noisy;
    std::vector<uint8_t> smoothFile, noisyFile;
    Fixtures() {
        MakePicture(&smooth.image, false);
        MakePicture(&noisy.image, true);
        Handle handle(GifEncGetHandleSize()), work(XR_GIF_ENC_WORK_SIZE);
        GrowingSink sink;
        Encode(smooth.image, Granularity::kWhole, handle, work, sink);
        smoothFile = sink.bytes;
        Encode(noisy.image, Granularity::kWhole, handle, work, sink);
        noisyFile = sink.bytes;
    }
};

Fixtures& Shared() {
    static Fixtures fixtures;
    return fixtures;
}

void SetThroughput(benchmark::State& state, size_t fileBytes) {
    state.SetBytesProcessed(state.iterations() * kPixels);
    state.counters["pixels"] =
        benchmark::Counter(static_cast<double>(state.iterations() * kPixels), benchmark::Counter::kIsRate);
    state.counters["file_bytes"] = static_cast<double>(fileBytes);
}

// Decodes file into a record allocated once; the last pass is checked against the source.
void RunDecode(benchmark::State& state, std::vector<uint8_t>& file, const XrImage& source, Granularity granularity) {
    Handle handle(GifDecGetHandleSize()), work(XR_GIF_DEC_WORK_SIZE);
    Record record;
    CodecStream stream;
    XrImage header{};
    uint32_t workSize = 0;
    auto open = [&] {
        GifDecInit(handle.get());
        StreamInitMemory(&stream, file.data(), static_cast<int32_t>(file.size()));
        GifDecSetStream(handle.get(), &stream);
        CodecStatus status = GifDecReadHeader(handle.get(), &header, &workSize, nullptr);
        if (status == XR_OK) status = GifDecSetWork(handle.get(), work.get());
        return status;
    };
    CodecStatus status = open();
    if (status == XR_OK) {
        ImageCopyHeader(&record.image, &header);
        if (ImageAlloc(&record.image) != XR_OK) status = XR_ERR_INTERNAL;
    }
    for (auto _ : state) {
        if (status != XR_OK) break;
        status = open();
        if (status == XR_OK) status = GifDecStart(handle.get(), &record.image);
        if (status != XR_OK) break;
        if (granularity == Granularity::kWhole) {
            status = GifDecDecodeImage(handle.get(), record.image.PIXELS);
        } else {
            for (uint32_t y = 0; y < record.image.HEIGHT && status == XR_OK; ++y)
                status = GifDecDecodeLine(handle.get(), ImageLine(&record.image, y));
        }
        GifDecEnd(handle.get());
        benchmark::ClobberMemory();
    }
    if (status != XR_OK) {
        state.SkipWithError(CodecStatusName(status));
        return;
    }
    if (std::memcmp(record.image.PIXELS, source.PIXELS, source.SIZE) != 0) {
        state.SkipWithError("decoded pixels differ from the source");
        return;
    }
    SetThroughput(state, file.size());
}

void RunEncode(benchmark::State& state, const XrImage& image, Granularity granularity) {
    Handle handle(GifEncGetHandleSize()), work(XR_GIF_ENC_WORK_SIZE);
    GrowingSink sink;
    sink.bytes.reserve(size_t{kWidth} * kHeight * 2);
    for (auto _ : state) {
        Encode(image, granularity, handle, work, sink);
        benchmark::DoNotOptimize(sink.bytes.data());
        benchmark::ClobberMemory();
    }
    SetThroughput(state, sink.bytes.size());
}

void BM_DecodeNoisy(benchmark::State& state) {
    Fixtures& f = Shared();
    RunDecode(state, f.noisyFile, f.noisy.image, Granularity::kWhole);
}

void BM_DecodeNoisyLines(benchmark::State& state) {
    Fixtures& f = Shared();
    RunDecode(state, f.noisyFile, f.noisy.image, Granularity::kLine);
}

void BM_DecodeSmooth(benchmark::State& state) {
    Fixtures& f = Shared();
    RunDecode(state, f.smoothFile, f.smooth.image, Granularity::kWhole);
}

void BM_EncodeNoisy(benchmark::State& state) { RunEncode(state, Shared().noisy.image, Granularity::kWhole); }

void BM_EncodeNoisyLines(benchmark::State& state) { RunEncode(state, Shared().noisy.image, Granularity::kLine); }

void BM_EncodeSmooth(benchmark::State& state) { RunEncode(state, Shared().smooth.image, Granularity::kWhole); }

}  // namespace

BENCHMARK(BM_DecodeNoisy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeNoisyLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSmooth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeNoisy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeNoisyLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeSmooth)->Unit(benchmark::kMillisecond);
