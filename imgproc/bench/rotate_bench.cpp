// Rotation throughput on a 4000 x 3000 RGB picture: the quarter turn (blocked
// in RotImage, one column per call in RotLine), the half turn and the mirror.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "lumapix/rotator.h"
#include "lumapix/xr_image.h"

namespace {

constexpr uint16_t kWidth = 4000;
constexpr uint16_t kHeight = 3000;

struct Record {
    XrImage image{};
    Record(int32_t mode, uint16_t width, uint16_t height) {
        image.MODE = mode;
        image.WIDTH = width;
        image.HEIGHT = height;
        image.LINEINT = ImageLineBytes(mode, width);
        ImageAlloc(&image);
    }
    ~Record() { ImageFree(&image); }
};

void FillNoise(Record& r) {
    uint32_t state = 0x9E3779B9u;
    auto* p = static_cast<uint8_t*>(r.image.PIXELS);
    for (uint32_t i = 0; i < r.image.SIZE; ++i) {
        state ^= state << 13, state ^= state >> 17, state ^= state << 5;
        p[i] = static_cast<uint8_t>(state);
    }
}

const Record& Source(int32_t mode) {
    static Record rgb(XR_MODE_RGB, kWidth, kHeight), mono(XR_MODE_MONO, kWidth, kHeight);
    static bool filled = (FillNoise(rgb), FillNoise(mono), true);
    (void)filled;
    return mode == XR_MODE_MONO ? mono : rgb;
}

void Rotate(benchmark::State& state, int32_t mode, int32_t angle, bool lineByLine) {
    const Record& source = Source(mode);
    bool turns = angle == XR_ROTATE_90 || angle == XR_ROTATE_270;
    Record destination(mode, turns ? kHeight : kWidth, turns ? kWidth : kHeight);
    std::vector<uint64_t> handle((static_cast<size_t>(RotGetHandleSize()) + 7) / 8);
    for (auto _ : state) {
        RotInit(handle.data());
        CodecStatus status = RotStart(handle.data(), &destination.image, &source.image, angle);
        if (status == XR_OK && lineByLine) {
            for (int32_t y = 0; y < kHeight && status == XR_OK; ++y)
                status = RotLine(handle.data(), destination.image.PIXELS,
                                 ImageLine(&source.image, static_cast<uint32_t>(y)), y);
        } else if (status == XR_OK) {
            status = RotImage(handle.data(), destination.image.PIXELS, source.image.PIXELS);
        }
        if (status != XR_OK) state.SkipWithError("rotation failed");
        benchmark::DoNotOptimize(destination.image.PIXELS);
        benchmark::ClobberMemory();
    }
    state.counters["Mpixel/s"] = benchmark::Counter(double(kWidth) * kHeight / 1e6,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK_CAPTURE(Rotate, Rgb90, XR_MODE_RGB, XR_ROTATE_90, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Rotate, Rgb90LineByLine, XR_MODE_RGB, XR_ROTATE_90, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Rotate, Rgb270, XR_MODE_RGB, XR_ROTATE_270, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Rotate, RgbCopy, XR_MODE_RGB, XR_ROTATE_COPY, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Rotate, Rgb180, XR_MODE_RGB, XR_ROTATE_180, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Rotate, RgbMirror, XR_MODE_RGB, XR_FLIP_LEFT_RIGHT, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Rotate, Mono90, XR_MODE_MONO, XR_ROTATE_90, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Rotate, Mono90LineByLine, XR_MODE_MONO, XR_ROTATE_90, true)->Unit(benchmark::kMillisecond);

}  // namespace
