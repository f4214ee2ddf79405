// Files made for the audio tests (WAV by hand, AAC and MP4 with ffmpeg), reference
// PCM from faad, and runs of the driver that collect PCM and console text.
#ifndef LUMAPIX_AUDIO_TEST_SUPPORT_HPP
#define LUMAPIX_AUDIO_TEST_SUPPORT_HPP

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "lumapix/audio_driver.h"

namespace audiotest {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

// A fresh folder for the running test under LUMAPIX_TEST_TMP.
fs::path ScratchDir();
// Runs a shell command quietly; true when it exits with 0.
bool Run(const std::string& command);
Bytes ReadBytes(const fs::path& path);
void WriteBytes(const fs::path& path, const Bytes& bytes);

// 16-bit little-endian samples of a few tones, channels interleaved.
Bytes TonePcm(uint32_t frames, uint32_t channels);

struct Chunk {
    std::string id;
    Bytes body;
};
Chunk FmtChunk(uint32_t channels, uint32_t sampleRate, uint32_t bits);
Bytes RiffWave(const std::vector<Chunk>& chunks);

// ffmpeg -f lavfi -i SOURCE OPTIONS OUT; the path of OUT in dir.
fs::path Ffmpeg(const fs::path& dir, const std::string& source, const std::string& options, const std::string& out);
fs::path StereoSine(const fs::path& dir, const std::string& out, double seconds = 2.0);

struct WavFile {
    uint32_t format = 0, channels = 0, sampleRate = 0, bits = 0;
    Bytes data;
};
// The fmt and data chunks of a WAV file.
WavFile ParseWav(const Bytes& file);
// What faad makes of a file, as a WAV (its header tells the format it chose).
WavFile FaadDecode(const fs::path& input);

// Collects the console text while alive.
class ConsoleCapture {
public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;
    std::string text;
};

struct DriverRun {
    int32_t open = -1;   // OpenAudioFile's result
    int32_t last = -1;   // the AudioStep result that ended the run
    uint32_t steps = 0;
    AudioFormatInfo format{};
    Bytes pcm;           // everything dumped
    uint64_t total = 0;
    uint32_t elapsed = 0;
    Mp4Info mp4{};
    WavInfo wav{};
    int32_t lastStatus = 0;  // AudioDriverLastStatus after the run
    std::string console;
};
// Opens, steps until the end or an error (at most maxSteps) and closes, dumping the PCM.
DriverRun DriveFile(const fs::path& path, int32_t type, uint32_t maxSteps = 1u << 20);
// The same over bytes in memory.
DriverRun DriveBytes(const Bytes& bytes, int32_t type, uint32_t maxSteps = 1u << 20);

}  // namespace audiotest

#endif
