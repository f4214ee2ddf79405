// The WAV container and the driver around it: chunk walking, format words,
// stepping, elapsed time, the sound output calls and the console messages.
#include <gtest/gtest.h>

#include "audio_test_support.hpp"

using namespace audiotest;

namespace {

Bytes WavWith(const std::vector<Chunk>& before, uint32_t channels, uint32_t rate, uint32_t bits, const Bytes& pcm,
              const std::vector<Chunk>& after = {}) {
    std::vector<Chunk> chunks = before;
    chunks.push_back(FmtChunk(channels, rate, bits));
    chunks.push_back({"data", pcm});
    chunks.insert(chunks.end(), after.begin(), after.end());
    return RiffWave(chunks);
}

TEST(WavContainer, WalksChunksAndReportsFormat) {
    Bytes pcm = TonePcm(3000, 2);
    // A 100-byte LIST before "fmt ", an odd-length chunk (no pad byte) before "data".
    std::vector<Chunk> chunks = {{"LIST", Bytes(100, 'x')}, FmtChunk(2, 22050, 16), {"odd ", Bytes(3, 1)},
                                 {"data", pcm}};
    Bytes file = RiffWave(chunks);
    const AudioDecoderOps* ops = AudioDecoderOpsFor(AUDIO_TYPE_WAV);
    std::vector<uint8_t> handle(static_cast<size_t>(ops->getHandleSize()));
    ASSERT_EQ(ops->init(handle.data()), 0);
    AudioFormatInfo format{};
    WavInfo info{};
    uint32_t consumed = 0;
    ASSERT_EQ(ops->getInfo(handle.data(), &format, file.data(), static_cast<uint32_t>(file.size()), &consumed, &info),
              0);
    EXPECT_EQ(consumed, 12u + 108 + 24 + 11 + 8);
    EXPECT_EQ(format.bitRate, 16u * 2 * 22050);
    EXPECT_EQ(format.sampleRate, 22050u);
    EXPECT_EQ(format.channels, 2u);
    EXPECT_EQ(format.bitsPerSample, 16u);
    EXPECT_EQ(info.bitRate, format.bitRate);
    EXPECT_EQ(info.dataLength, pcm.size());
    // 4096 bytes held while the data goes on: refill first; 4097: a full 4096-byte step.
    uint8_t out[16000];
    uint32_t pcmBytes = 0;
    const uint32_t start = consumed;
    EXPECT_EQ(ops->decExec(handle.data(), start, &file[start], 4096, &consumed, out, sizeof out, &pcmBytes), 0xC006);
    EXPECT_EQ(ops->decExec(handle.data(), start, &file[start], 4097, &consumed, out, sizeof out, &pcmBytes), 0);
    EXPECT_EQ(pcmBytes, 4096u);
    ops->end(handle.data());
}

TEST(WavContainer, RefusesWhatIsNotInTheFirstBuffer) {
    Bytes pcm = TonePcm(100, 1);
    Bytes near = WavWith({{"junk", Bytes(8192 - 12 - 8 - 24 - 8, 0)}}, 1, 8000, 16, pcm);
    Bytes far = WavWith({{"junk", Bytes(8192 - 12 - 8 - 24 - 7, 0)}}, 1, 8000, 16, pcm);
    Bytes notWave = near;
    notWave[8] = 'A';
    Bytes noFmt = RiffWave({{"data", pcm}});
    Bytes lyingFmt = WavWith({}, 1, 8000, 16, pcm);
    lyingFmt[16] = 0xF0;  // fmt length far past the buffer: "data" is never reached

    // The "data" header in the last 8 bytes of the first buffer still counts; one byte later it does not.
    EXPECT_EQ(DriveBytes(near, AUDIO_TYPE_WAV).open, 0);
    for (Bytes* file : {&far, &notWave, &noFmt, &lyingFmt}) {
        DriverRun run = DriveBytes(*file, AUDIO_TYPE_WAV);
        EXPECT_EQ(run.open, 1);
        EXPECT_EQ(run.console, "Error...GetInfo. error code=3\n");
    }
}

// 1 764 000 bytes of 44.1 kHz stereo 16-bit: ten seconds, played to the byte,
// and the chunk after "data" is not played.
TEST(WavDriver, PlaysTheWholeDataChunkAndNothingAfter) {
    Bytes pcm = TonePcm(441000, 2);
    ASSERT_EQ(pcm.size(), 1764000u);
    Bytes file = WavWith({}, 2, 44100, 16, pcm, {{"LIST", Bytes(37, 'z')}});
    DriverRun run = DriveBytes(file, AUDIO_TYPE_WAV);
    ASSERT_EQ(run.open, 0);
    EXPECT_EQ(run.last, AUDIO_STEP_ENDED);
    EXPECT_EQ(run.total, 1764000u);
    EXPECT_EQ(run.elapsed, 10u);
    EXPECT_TRUE(run.pcm == pcm);
    EXPECT_EQ(run.wav.dataLength, 1764000u);
    EXPECT_NE(run.console.find("pcm  size = 1764000\r"), std::string::npos);
}

TEST(WavDriver, TruncatedDataEndsTheStreamAfterTheLastFullStep) {
    Bytes pcm = TonePcm(6000, 2);  // 24000 bytes declared, 15000 present
    Bytes file = WavWith({}, 2, 44100, 16, pcm);
    file.resize(44 + 15000);
    DriverRun run = DriveBytes(file, AUDIO_TYPE_WAV);
    EXPECT_EQ(run.last, AUDIO_STEP_ENDED);
    ASSERT_EQ(run.pcm.size(), 12288u);  // three whole 4096-byte steps; the rest waits for data that never comes
    EXPECT_TRUE(std::equal(run.pcm.begin(), run.pcm.end(), pcm.begin()));
}

TEST(ReadAudio, KeepsTheUnconsumedBytesAndReportsTheEnd) {
    Bytes content(10000);
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<uint8_t>(i % 251);
    FILE* file = fmemopen(content.data(), content.size(), "rb");
    ASSERT_NE(file, nullptr);
    uint8_t buffer[AUDIO_INPUT_BYTES];
    uint32_t valid = AUDIO_INPUT_BYTES, consumed = AUDIO_INPUT_BYTES;
    ASSERT_EQ(ReadAudio(buffer, &valid, &consumed, file), 0);
    EXPECT_EQ(valid, 8192u);
    EXPECT_EQ(consumed, 0u);
    consumed = 8000;  // 192 bytes kept, 8000 wanted, 1808 left in the file
    ASSERT_EQ(ReadAudio(buffer, &valid, &consumed, file), 0);
    EXPECT_EQ(valid, 192u + 1808);
    EXPECT_EQ(buffer[0], content[8000]);
    EXPECT_EQ(buffer[valid - 1], content[9999]);
    consumed = 100;  // nothing more to read, but 1900 bytes are still held
    EXPECT_EQ(ReadAudio(buffer, &valid, &consumed, file), 0);
    EXPECT_EQ(valid, 1900u);
    EXPECT_EQ(buffer[0], content[8100]);
    consumed = valid;
    EXPECT_EQ(ReadAudio(buffer, &valid, &consumed, file), 2);
    EXPECT_EQ(valid, 0u);
    std::fclose(file);
}

TEST(AudioDriver, ConsoleMessagesOfFailedOpens) {
    {
        ConsoleCapture console;
        EXPECT_EQ(OpenAudioFile("/nonexistent/a.wav", 7), 1);
        EXPECT_EQ(console.text, "Error...Ellegal src codec_type(7)\n");
    }
    {
        ConsoleCapture console;
        EXPECT_EQ(OpenAudioFile("/nonexistent/a.wav", AUDIO_TYPE_WAV), 1);  // fails before any decoder call
        EXPECT_EQ(console.text, "");
    }
    EXPECT_EQ(AudioStep(), AUDIO_STEP_ERROR);
    CloseAudioFile(1);
    EXPECT_EQ(DriveBytes(Bytes(3000, 0), AUDIO_TYPE_WMA).console, "Error...GetInfo. error code=49156\n");
}

// A recording stand-in for the sound output.
struct OutputLog {
    static inline std::vector<uint32_t> opened;
    static inline uint64_t written = 0;
    static inline int flushes = 0;
    static inline std::vector<int32_t> closes;
    static inline int32_t openResult = 0;
    static int32_t Open(uint32_t bits, uint32_t rate, uint32_t channels) {
        opened = {bits, rate, channels};
        return openResult;
    }
    static void Write(const uint8_t*, uint32_t n) { written += n; }
    static void FlushLast() { ++flushes; }
    static void Nothing() {}
    static void Close(int32_t wait) { closes.push_back(wait); }
    static void Clear() {
        opened.clear();
        written = 0;
        flushes = 0;
        closes.clear();
    }
};

TEST(AudioDriver, FeedsTheSoundOutput) {
    static const AudioOutputOps ops = {OutputLog::Open,    OutputLog::Write,   OutputLog::FlushLast,
                                       OutputLog::Nothing, OutputLog::Nothing, OutputLog::Close};
    fs::path path = ScratchDir() / "tone.wav";
    Bytes pcm = TonePcm(30000, 2);
    WriteBytes(path, WavWith({}, 2, 32000, 16, pcm));
    AudioDriverSetOutput(&ops);
    OutputLog::Clear();
    AudioDriverReset(1);
    ASSERT_EQ(OpenAudioFile(path.c_str(), AUDIO_TYPE_WAV), 0);
    EXPECT_EQ(OpenAudioFile(path.c_str(), AUDIO_TYPE_WAV), 1);  // one file at a time
    EXPECT_EQ(OutputLog::opened, (std::vector<uint32_t>{16, 32000, 2}));
    int32_t step = 0;
    while ((step = AudioStep()) == AUDIO_STEP_CONTINUE) {
    }
    EXPECT_EQ(step, AUDIO_STEP_ENDED);
    EXPECT_EQ(OutputLog::written, pcm.size());
    EXPECT_EQ(OutputLog::flushes, 1);
    CloseAudioFile(0);
    EXPECT_EQ(OutputLog::closes, std::vector<int32_t>{0});

    OutputLog::Clear();
    OutputLog::openResult = -1;
    {
        ConsoleCapture console;
        EXPECT_EQ(OpenAudioFile(path.c_str(), AUDIO_TYPE_WAV), 1);
        EXPECT_EQ(console.text, "Error...Can not open sound device.\n");
    }
    OutputLog::openResult = 0;
    AudioDriverSetOutput(nullptr);
    AudioDriverReset(0);
    EXPECT_EQ(AudioDriverIsOpen(), 0);
}

}  // namespace
