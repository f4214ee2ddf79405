// JPEG decode throughput on 4000 x 3000 pictures held in memory, so that the
// numbers measure the decoder and not the disk. The files are written once by
// cjpeg from a generated photo-like picture (or taken from LUMAPIX_JPEG_BENCH_FILE);
// djpeg on the same file gives the reference time in the same run. Times are
// processor times (the decoder's thread; djpeg's process), which stay meaningful
// on a machine shared with other work.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "lumapix/codec_stream.h"
#include "lumapix/jpeg_decoder.h"
#include "lumapix/xr_image.h"

namespace {

constexpr uint32_t kWidth = 4000;
constexpr uint32_t kHeight = 3000;

std::string TempDir() {
    const char* dir = std::getenv("TMPDIR");
    return dir ? dir : "/tmp";
}

// Shading, texture at several scales, edges and sensor-like noise: about
// 3 bits per pixel at quality 90, like a detailed photograph.
void WritePhotoLike(const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << kWidth << " " << kHeight << "\n255\n";
    std::vector<uint8_t> line(kWidth * 3);
    uint32_t state = 0x9E3779B9u;
    for (uint32_t y = 0; y < kHeight; ++y) {
        for (uint32_t x = 0; x < kWidth; ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            double fx = x / double{kWidth}, fy = y / double{kHeight};
            double texture = 25 * std::sin(x * 0.05 + 3 * std::sin(y * 0.011)) * std::cos(y * 0.037) +
                             12 * std::sin((x + y) * 0.31) + 8 * std::sin(x * 0.9 + y * 0.7);
            double edge = ((x / 173 + y / 131) % 2) ? 30 : -30;
            int noise = static_cast<int>(state % 17) - 8;
            double base[3] = {150 * fx + 60 * fy, 90 + 80 * std::sin(fx * 6), 200 - 120 * fy};
            for (int c = 0; c < 3; ++c) {
                int v = static_cast<int>(base[c] + texture * (0.6 + 0.2 * c) + edge + noise);
                line[3 * x + static_cast<uint32_t>(c)] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
            }
        }
        out.write(reinterpret_cast<const char*>(line.data()), static_cast<std::streamsize>(line.size()));
    }
}

// Files this process wrote, removed when it ends.
struct TempFiles {
    std::vector<std::string> paths;
    ~TempFiles() {
        for (const std::string& p : paths) std::remove(p.c_str());
    }
};
TempFiles temps;

// The file for a cjpeg option set, made once per process.
const std::string& JpegFile(const std::string& options) {
    static std::map<std::string, std::string> files;
    auto found = files.find(options);
    if (found != files.end()) return found->second;
    std::string& path = files[options];
    if (const char* given = std::getenv("LUMAPIX_JPEG_BENCH_FILE"); given && options == "-sample 2x2") {
        path = given;
        return path;
    }
    std::string ppm = TempDir() + "/lumapix_jpeg_bench.ppm";
    static bool written = false;
    if (!written) {
        WritePhotoLike(ppm);
        temps.paths.push_back(ppm);
        written = true;
    }
    std::string out = TempDir() + "/lumapix_jpeg_bench_" + std::to_string(files.size()) + ".jpg";
    std::string command = "cjpeg -quality 90 " + options + " -outfile '" + out + "' '" + ppm + "'";
    if (std::system(command.c_str()) == 0) path = out;
    temps.paths.push_back(out);
    return path;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Decode(benchmark::State& state, const std::string& options, bool byLine) {
    const std::string& path = JpegFile(options);
    std::vector<uint8_t> file = path.empty() ? std::vector<uint8_t>{} : ReadAll(path);
    if (file.empty()) {
        state.SkipWithError("cjpeg could not make the file");
        return;
    }
    std::vector<std::max_align_t> handle(static_cast<size_t>(JpgDecGetHandleSize()) / sizeof(std::max_align_t) + 1);
    std::vector<uint8_t> pixels, work;
    XrImage header{};
    for (auto _ : state) {
        CodecStream stream{};
        StreamInitMemory(&stream, file.data(), static_cast<int32_t>(file.size()));
        JpgDecInit(handle.data());
        JpgDecSetStream(handle.data(), &stream);
        uint32_t workSize = 0;
        if (JpgDecReadHeader(handle.data(), &header, &workSize, nullptr, nullptr) != XR_OK) {
            state.SkipWithError("header");
            return;
        }
        pixels.resize(size_t{header.LINEINT} * header.HEIGHT);
        work.resize(workSize);
        JpgDecSetWorkBuffer(handle.data(), work.data());
        JpgDecSetOutput(handle.data(), &header);
        CodecStatus status = XR_OK;
        if (byLine) {
            for (uint32_t y = 0; y < header.HEIGHT && status == XR_OK; ++y)
                status = JpgDecDecodeLine(handle.data(), pixels.data() + size_t{y} * header.LINEINT, nullptr);
        } else {
            uint32_t lines = 0;
            status = JpgDecDecodeImage(handle.data(), pixels.data(), &lines);
        }
        if (status != XR_OK) {
            state.SkipWithError("decode");
            return;
        }
        benchmark::DoNotOptimize(pixels.data());
    }
    double mpixels = static_cast<double>(header.WIDTH) * header.HEIGHT / 1e6;
    state.counters["MPixel/s"] = benchmark::Counter(mpixels * static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
    state.counters["file_MB"] = static_cast<double>(file.size()) / 1e6;
}

// djpeg (libjpeg-turbo) on the same file, writing its output to /dev/null.
void Djpeg(benchmark::State& state, const std::string& options) {
    const std::string& path = JpegFile(options);
    if (path.empty() || std::system("command -v djpeg > /dev/null 2>&1") != 0) {
        state.SkipWithError("djpeg or the file is missing");
        return;
    }
    std::string command = "djpeg -dct int -nosmooth -outfile /dev/null '" + path + "'";
    auto childSeconds = [] {
        rusage usage{};
        getrusage(RUSAGE_CHILDREN, &usage);
        return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    };
    for (auto _ : state) {
        double before = childSeconds();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("djpeg failed");
            return;
        }
        state.SetIterationTime(childSeconds() - before);
    }
    state.counters["MPixel/s"] = benchmark::Counter(double{kWidth} * kHeight / 1e6 * static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(Decode, ycc420_image, std::string("-sample 2x2"), false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, ycc420_lines, std::string("-sample 2x2"), true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, ycc422_image, std::string("-sample 2x1"), false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, ycc444_image, std::string("-sample 1x1"), false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, grey_image, std::string("-grayscale"), false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Djpeg, ycc420, std::string("-sample 2x2"))->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(Djpeg, ycc444, std::string("-sample 1x1"))->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(Djpeg, grey, std::string("-grayscale"))->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace
