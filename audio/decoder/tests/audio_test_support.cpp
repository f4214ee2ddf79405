#include "audio_test_support.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace audiotest {

namespace {

void PutLE16(Bytes& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutLE32(Bytes& out, uint32_t value) {
    PutLE16(out, value & 0xFFFF);
    PutLE16(out, value >> 16);
}

uint32_t LE16(const uint8_t* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8; }
uint32_t LE32(const uint8_t* p) { return LE16(p) | LE16(p + 2) << 16; }

void AppendConsole(const char* text, void* context) { static_cast<std::string*>(context)->append(text); }

DriverRun Drive(FILE* file, int32_t type, uint32_t maxSteps) {
    DriverRun run;
    char* dumped = nullptr;
    size_t dumpedSize = 0;
    FILE* dump = open_memstream(&dumped, &dumpedSize);
    {
        ConsoleCapture console;
        AudioDriverReset(0);
        AudioDriverSetDumpFile(dump);
        run.open = OpenAudioStream(file, type);
        run.format = AudioDriverFormat();
        if (run.open == 0) {
            if (const Mp4Info* mp4 = AudioDriverMp4Info()) run.mp4 = *mp4;
            if (const WavInfo* wav = AudioDriverWavInfo()) run.wav = *wav;
            while (run.steps < maxSteps && (run.last = AudioStep()) == AUDIO_STEP_CONTINUE) ++run.steps;
            run.total = AudioDriverTotalPcmBytes();
            run.elapsed = AudioDriverElapsedSeconds();
            CloseAudioFile(1);
        }
        AudioDriverSetDumpFile(nullptr);
        run.lastStatus = AudioDriverLastStatus();
        run.console = console.text;
    }
    std::fclose(dump);
    run.pcm.assign(dumped, dumped + dumpedSize);
    std::free(dumped);
    return run;
}

}  // namespace

fs::path ScratchDir() {
    const char* base = std::getenv("LUMAPIX_TEST_TMP");
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    fs::path dir = fs::path(base ? base : "/tmp") / "audio-scratch" /
                   (std::string(test ? test->test_suite_name() : "suite") + "." + (test ? test->name() : "test") +
                    "." + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

Bytes ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes TonePcm(uint32_t frames, uint32_t channels) {
    Bytes pcm;
    pcm.reserve(size_t{frames} * channels * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        for (uint32_t c = 0; c < channels; ++c) {
            double value = 12000.0 * std::sin(0.031 * (c + 1) * i) + 3000.0 * std::sin(0.0007 * i);
            PutLE16(pcm, static_cast<uint16_t>(static_cast<int16_t>(std::lround(value))));
        }
    }
    return pcm;
}

Chunk FmtChunk(uint32_t channels, uint32_t sampleRate, uint32_t bits) {
    Chunk chunk{"fmt ", {}};
    uint32_t blockAlign = channels * bits / 8;
    PutLE16(chunk.body, 1);
    PutLE16(chunk.body, channels);
    PutLE32(chunk.body, sampleRate);
    PutLE32(chunk.body, blockAlign * sampleRate);
    PutLE16(chunk.body, blockAlign);
    PutLE16(chunk.body, bits);
    return chunk;
}

Bytes RiffWave(const std::vector<Chunk>& chunks) {
    Bytes file{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    for (const Chunk& chunk : chunks) {
        file.insert(file.end(), chunk.id.begin(), chunk.id.end());
        PutLE32(file, static_cast<uint32_t>(chunk.body.size()));
        file.insert(file.end(), chunk.body.begin(), chunk.body.end());
    }
    uint32_t riffLength = static_cast<uint32_t>(file.size() - 8);
    for (size_t i = 0; i < 4; ++i) file[4 + i] = static_cast<uint8_t>(riffLength >> (8 * i));
    return file;
}

fs::path Ffmpeg(const fs::path& dir, const std::string& source, const std::string& options, const std::string& out) {
    fs::path path = dir / out;
    std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i \"" + source + "\" " + options + " \"" +
                          path.string() + "\"";
    EXPECT_TRUE(Run(command)) << command;
    return path;
}

fs::path StereoSine(const fs::path& dir, const std::string& out, double seconds) {
    std::string source = "sine=frequency=440:sample_rate=44100:duration=" + std::to_string(seconds);
    return Ffmpeg(dir, source, "-af \"pan=stereo|c0=c0|c1=0.5*c0\" -c:a aac -b:a 128k", out);
}

WavFile ParseWav(const Bytes& file) {
    WavFile wav;
    size_t offset = 12;
    while (file.size() >= 12 && offset + 8 <= file.size()) {
        const uint8_t* chunk = file.data() + offset;
        uint32_t length = LE32(chunk + 4);
        size_t body = offset + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && body + 16 <= file.size()) {
            wav.format = LE16(chunk + 8);
            wav.channels = LE16(chunk + 10);
            wav.sampleRate = LE32(chunk + 12);
            wav.bits = LE16(chunk + 22);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            size_t end = std::min(file.size(), body + length);
            wav.data.assign(file.begin() + static_cast<std::ptrdiff_t>(body),
                            file.begin() + static_cast<std::ptrdiff_t>(end));
            break;
        }
        offset = body + length + (length & 1);
    }
    return wav;
}

WavFile FaadDecode(const fs::path& input) {
    fs::path out = input.string() + ".faad.wav";
    std::string command = "faad -q -o \"" + out.string() + "\" \"" + input.string() + "\"";
    EXPECT_TRUE(Run(command)) << command;
    return ParseWav(ReadBytes(out));
}

ConsoleCapture::ConsoleCapture() { AudioSetConsoleSink(AppendConsole, &text); }
ConsoleCapture::~ConsoleCapture() { AudioSetConsoleSink(nullptr, nullptr); }

DriverRun DriveFile(const fs::path& path, int32_t type, uint32_t maxSteps) {
    FILE* file = std::fopen(path.c_str(), "rb");
    EXPECT_NE(file, nullptr) << path;
    if (!file) return {};
    return Drive(file, type, maxSteps);
}

DriverRun DriveBytes(const Bytes& bytes, int32_t type, uint32_t maxSteps) {
    FILE* file = nullptr;
    if (bytes.empty()) {
        file = std::tmpfile();
    } else {
        file = fmemopen(const_cast<uint8_t*>(bytes.data()), bytes.size(), "rb");
    }
    if (!file) return {};
    return Drive(file, type, maxSteps);
}

}  // namespace audiotest
