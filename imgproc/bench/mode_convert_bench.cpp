// Mode conversion throughput on a 4000 x 3000 photograph-like picture: plain
// conversions, error diffusion to INDEX and an ordered pattern to MONO.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "lumapix/mode_converter.h"
#include "lumapix/xr_image.h"

namespace {

constexpr uint16_t kWidth = 4000;
constexpr uint16_t kHeight = 3000;

struct Record {
    XrImage image{};
    Record(int32_t mode) {
        image.MODE = mode;
        image.WIDTH = kWidth;
        image.HEIGHT = kHeight;
        image.LINEINT = ImageLineBytes(mode, kWidth);
        ImageAlloc(&image);
    }
    ~Record() { ImageFree(&image); }
};

// Smooth gradients with noise: enough variety that quantisers see every case.
const Record& Source() {
    static Record source = [] {
        Record r(XR_MODE_RGB);
        uint32_t state = 0x9E3779B9u;
        for (uint32_t y = 0; y < kHeight; ++y) {
            uint8_t* line = ImageLine(&r.image, y);
            for (uint32_t x = 0; x < kWidth; ++x) {
                state ^= state << 13, state ^= state >> 17, state ^= state << 5;
                uint32_t noise = state & 15;
                line[3 * x] = static_cast<uint8_t>(x * 255 / kWidth ^ noise);
                line[3 * x + 1] = static_cast<uint8_t>(y * 255 / kHeight + noise);
                line[3 * x + 2] = static_cast<uint8_t>((x + y) * 255 / (kWidth + kHeight) - noise / 2);
            }
        }
        return r;
    }();
    return source;
}

void Convert(benchmark::State& state, int32_t mode, uint8_t dither) {
    const Record& source = Source();
    Record destination(mode);
    std::vector<uint8_t> handle(static_cast<size_t>(ConvGetHandleSize()));
    std::vector<uint8_t> work(ConvWorkLineBytes(kWidth));
    std::vector<uint8_t> errors(ConvErrorWorkBytes(dither, kWidth));
    const uint8_t params[3] = {dither, 0, 128};
    for (auto _ : state) {
        ConvInit(handle.data());
        ConvSetDither(handle.data(), params, errors.data());
        ConvStart(handle.data(), &destination.image, &source.image, work.data());
        if (ConvImage(handle.data(), destination.image.PIXELS, source.image.PIXELS) != XR_OK)
            state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(destination.image.PIXELS);
    }
    state.counters["Mpixel/s"] = benchmark::Counter(double(kWidth) * kHeight / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK_CAPTURE(Convert, RgbToGray, XR_MODE_GRAY, XR_DITHER_NONE)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Convert, RgbToYuv, XR_MODE_YUV, XR_DITHER_NONE)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Convert, RgbToIndexTwoLines, XR_MODE_INDEX, XR_DITHER_TWO_LINES)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Convert, RgbToIndexThreeLines, XR_MODE_INDEX, XR_DITHER_THREE_LINES)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Convert, RgbToMonoPattern8, XR_MODE_MONO, XR_DITHER_PATTERN8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Convert, RgbToLab, XR_MODE_LAB, XR_DITHER_NONE)->Unit(benchmark::kMillisecond);

}  // namespace
