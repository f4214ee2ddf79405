// Resampling throughput: a 4000 x 3000 RGB photograph-like picture to 1920 x 1440
// by each method, whole image and streamed, plus an enlargement to show the
// other side of the kernels. Counters are output pixels per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "lumapix/resampler.h"
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
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;
};

// Smooth gradients with noise, as a photograph has.
const Record& Source() {
    static Record source(XR_MODE_RGB, kWidth, kHeight);
    static const bool filled = [] {
        uint32_t state = 0x9E3779B9u;
        for (uint32_t y = 0; y < kHeight; ++y) {
            uint8_t* line = ImageLine(&source.image, y);
            for (uint32_t x = 0; x < kWidth; ++x) {
                state ^= state << 13, state ^= state >> 17, state ^= state << 5;
                uint32_t noise = state & 15;
                line[3 * x] = static_cast<uint8_t>(x * 255 / kWidth ^ noise);
                line[3 * x + 1] = static_cast<uint8_t>(y * 255 / kHeight + noise);
                line[3 * x + 2] = static_cast<uint8_t>((x + y) * 255 / (kWidth + kHeight) - noise / 2);
            }
        }
        return true;
    }();
    benchmark::DoNotOptimize(filled);
    return source;
}

void Resize(benchmark::State& state, int32_t method, uint16_t width, uint16_t height, bool streamed) {
    const Record& source = Source();
    Record destination(XR_MODE_RGB, width, height);
    std::vector<uint8_t> handleBytes(static_cast<size_t>(ResGetHandleSize()));
    auto* handle = reinterpret_cast<Resampler*>(handleBytes.data());
    std::vector<uint8_t> work(ResWorkBufferBytes(method, source.image.LINEINT));
    for (auto _ : state) {
        ResInit(handle);
        ResSetMethod(handle, method, 0, work.data());
        if (ResStart(handle, &destination.image, &source.image) != XR_OK) state.SkipWithError("start failed");
        CodecStatus status = XR_OK;
        if (!streamed) {
            status = ResImage(handle, destination.image.PIXELS, source.image.PIXELS);
        } else {
            uint8_t* out = ImageLine(&destination.image, 0);
            int32_t line = XR_RES_NEED_LINE;
            for (uint32_t y = 0; y < kHeight && line != XR_RES_LAST_LINE && status == XR_OK; ++y) {
                status = ResPutLine(handle, ImageLine(&source.image, y));
                while (status == XR_OK && (status = ResGetLine(handle, out, &line)) == XR_OK &&
                       line == XR_RES_LINE_WRITTEN)
                    out += destination.image.LINEINT;
            }
        }
        if (status != XR_OK) state.SkipWithError("resampling failed");
        benchmark::DoNotOptimize(destination.image.PIXELS);
    }
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(width) * height / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK_CAPTURE(Resize, Nearest, XR_RESAMPLE_NEAREST, 1920, 1440, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Resize, Bilinear, XR_RESAMPLE_BILINEAR, 1920, 1440, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Resize, Bicubic, XR_RESAMPLE_BICUBIC, 1920, 1440, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Resize, NearestStreamed, XR_RESAMPLE_NEAREST, 1920, 1440, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Resize, BilinearStreamed, XR_RESAMPLE_BILINEAR, 1920, 1440, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Resize, BicubicStreamed, XR_RESAMPLE_BICUBIC, 1920, 1440, true)->Unit(benchmark::kMillisecond);
// By twenty each pixel reads its own columns instead of every column being summed.
BENCHMARK_CAPTURE(Resize, BicubicToOneTwentieth, XR_RESAMPLE_BICUBIC, 200, 150, false)->Unit(benchmark::kMillisecond);
// Enlargement: 4000 x 3000 to 6000 x 4500.
BENCHMARK_CAPTURE(Resize, BilinearUp, XR_RESAMPLE_BILINEAR, 6000, 4500, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Resize, BicubicUp, XR_RESAMPLE_BICUBIC, 6000, 4500, false)->Unit(benchmark::kMillisecond);

}  // namespace
