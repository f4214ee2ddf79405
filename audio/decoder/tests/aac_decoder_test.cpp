// AAC in ADTS and ADIF framing: files from ffmpeg decoded through the driver and
// compared with faad's decoding of the same file (the same library, so the PCM
// must be equal to the byte); the refusals; an ADIF stream rebuilt from ADTS frames.
#include <gtest/gtest.h>

#include "audio_test_support.hpp"

using namespace audiotest;

namespace {

void ExpectSameAsFaad(const fs::path& path) {
    WavFile reference = FaadDecode(path);
    DriverRun run = DriveFile(path, AUDIO_TYPE_AAC);
    ASSERT_EQ(run.open, 0) << run.console;
    EXPECT_EQ(run.last, AUDIO_STEP_ENDED);
    EXPECT_EQ(run.format.sampleRate, reference.sampleRate);
    EXPECT_EQ(run.format.channels, reference.channels);
    EXPECT_EQ(run.format.bitsPerSample, 16u);
    ASSERT_GT(reference.data.size(), 10000u);
    EXPECT_EQ(run.pcm.size(), reference.data.size());
    EXPECT_TRUE(run.pcm == reference.data);
}

TEST(AdtsDecoder, StereoEqualsFaad) {
    fs::path path = StereoSine(ScratchDir(), "stereo.aac");
    ExpectSameAsFaad(path);
    DriverRun run = DriveFile(path, AUDIO_TYPE_AAC);
    EXPECT_EQ(run.format.sampleRate, 44100u);
    EXPECT_EQ(run.format.channels, 2u);
    EXPECT_NEAR(run.format.bitRate, 128000.0, 20000.0);  // the frames' average, asked for at 128k
    EXPECT_EQ(run.elapsed, 2u);
}

// At 22.05 kHz FAAD2 assumes implicit SBR and gives 44.1 kHz stereo; the format
// words must say what the PCM is.
TEST(AdtsDecoder, LowRateMonoEqualsFaad) {
    fs::path path = Ffmpeg(ScratchDir(), "sine=frequency=300:sample_rate=22050:duration=1.5", "-c:a aac", "mono.aac");
    ExpectSameAsFaad(path);
}

TEST(AdtsDecoder, TruncatedFileGivesTheWholeFramesBeforeTheCut) {
    fs::path dir = ScratchDir();
    fs::path path = StereoSine(dir, "whole.aac");
    Bytes file = ReadBytes(path);
    DriverRun whole = DriveFile(path, AUDIO_TYPE_AAC);
    file.resize(file.size() * 2 / 3);
    DriverRun cut = DriveBytes(file, AUDIO_TYPE_AAC);
    EXPECT_EQ(cut.last, AUDIO_STEP_ENDED);
    ASSERT_GT(cut.pcm.size(), whole.pcm.size() / 2);
    ASSERT_LT(cut.pcm.size(), whole.pcm.size());
    EXPECT_TRUE(std::equal(cut.pcm.begin(), cut.pcm.end(), whole.pcm.begin()));
}

TEST(AdtsDecoder, Refusals) {
    fs::path dir = ScratchDir();
    Bytes file = ReadBytes(StereoSine(dir, "stereo.aac"));
    Bytes shortFile(file.begin(), file.begin() + 1535);
    DriverRun run = DriveBytes(shortFile, AUDIO_TYPE_AAC);
    EXPECT_EQ(run.open, 1);
    EXPECT_EQ(run.console, "Error...GetInfo. error code=49920\n");
    EXPECT_EQ(run.lastStatus, XR_AUDIO_SHORT_FIRST_INPUT);

    Bytes shifted(file.begin() + 1, file.end());
    EXPECT_EQ(DriveBytes(shifted, AUDIO_TYPE_AAC).console, "Error...GetInfo. error code=9\n");

    fs::path surround =
        Ffmpeg(dir, "sine=frequency=500:sample_rate=48000:duration=1", "-ac 6 -c:a aac", "surround.aac");
    EXPECT_EQ(DriveFile(surround, AUDIO_TYPE_AAC).console, "Error...GetInfo. error code=50178\n");  // 0xC402
}

TEST(AdtsDecoder, PcmBufferMustHoldAFrame) {
    Bytes file = ReadBytes(StereoSine(ScratchDir(), "stereo.aac"));
    const AudioDecoderOps* ops = AudioDecoderOpsFor(AUDIO_TYPE_AAC);
    std::vector<uint8_t> handle(static_cast<size_t>(ops->getHandleSize()));
    ops->init(handle.data());
    AudioFormatInfo format{};
    uint32_t consumed = 0, pcmBytes = 0;
    ASSERT_EQ(ops->getInfo(handle.data(), &format, file.data(), 8192, &consumed, nullptr), 0);
    std::vector<uint8_t> pcm(8192);
    EXPECT_EQ(ops->decExec(handle.data(), 0, file.data(), 8192, &consumed, pcm.data(), 4095, &pcmBytes),
              XR_AUDIO_PCM_TOO_SMALL);
    EXPECT_EQ(ops->decExec(handle.data(), 0, file.data(), 8192, &consumed, nullptr, 8192, &pcmBytes),
              XR_AUDIO_NO_PCM_BUFFER);
    EXPECT_EQ(ops->decExec(handle.data(), 0, file.data(), 100, &consumed, pcm.data(), 4096, &pcmBytes),
              XR_AUDIO_NEED_INPUT);  // the first frame is longer than 100 bytes
    ops->end(handle.data());
}

class BitWriter {
public:
    void Put(uint32_t value, uint32_t bits) {
        for (uint32_t i = bits; i-- > 0;) {
            if (used_ % 8 == 0) bytes.push_back(0);
            bytes.back() = static_cast<uint8_t>(bytes.back() | (value >> i & 1) << (7 - used_ % 8));
            ++used_;
        }
    }
    void Align() { used_ = (used_ + 7) / 8 * 8; }
    Bytes bytes;

private:
    uint32_t used_ = 0;
};

// ADIF: header with one program config element (one stereo pair) and the
// given bit rate, then the raw data blocks of the ADTS frames.
Bytes AdifFromAdts(const Bytes& adts, uint32_t bitRate) {
    uint32_t rateIndex = adts[2] >> 2 & 0xF, profile = adts[2] >> 6;
    BitWriter w;
    for (char c : std::string("ADIF")) w.Put(static_cast<uint8_t>(c), 8);
    w.Put(0, 1);  // no copyright id
    w.Put(0, 2);  // original/copy, home
    w.Put(0, 1);  // constant rate
    w.Put(bitRate, 23);
    w.Put(0, 4);  // one program config element
    w.Put(0, 20);  // buffer fullness
    w.Put(0, 4);  // element instance tag
    w.Put(profile, 2);
    w.Put(rateIndex, 4);
    w.Put(1, 4);  // front elements
    w.Put(0, 4 + 4 + 2 + 3 + 4);  // side, back, LFE, data, coupling
    w.Put(0, 3);  // no mixdowns
    w.Put(1, 1);  // the front element is a channel pair
    w.Put(0, 4);
    w.Align();
    w.Put(0, 8);  // no comment
    Bytes adif = w.bytes;
    for (size_t offset = 0; offset + 7 <= adts.size();) {
        uint32_t length = (adts[offset + 3] & 3u) << 11 | uint32_t{adts[offset + 4]} << 3 | adts[offset + 5] >> 5;
        EXPECT_EQ(adts[offset + 1] & 1, 1);  // no CRC, one raw block per frame
        EXPECT_EQ(adts[offset + 6] & 3, 0);
        if (length < 7 || offset + length > adts.size()) break;
        adif.insert(adif.end(), adts.begin() + static_cast<std::ptrdiff_t>(offset + 7),
                    adts.begin() + static_cast<std::ptrdiff_t>(offset + length));
        offset += length;
    }
    return adif;
}

TEST(AdifDecoder, SameFramesSamePcmAsAdts) {
    fs::path path = StereoSine(ScratchDir(), "stereo.aac");
    Bytes adts = ReadBytes(path);
    DriverRun fromAdts = DriveFile(path, AUDIO_TYPE_AAC);
    DriverRun fromAdif = DriveBytes(AdifFromAdts(adts, 123456), AUDIO_TYPE_AAC);
    ASSERT_EQ(fromAdif.open, 0) << fromAdif.console;
    EXPECT_EQ(fromAdif.last, AUDIO_STEP_ENDED);
    EXPECT_EQ(fromAdif.format.bitRate, 123456u);
    EXPECT_EQ(fromAdif.format.sampleRate, 44100u);
    EXPECT_EQ(fromAdif.format.channels, 2u);
    EXPECT_EQ(fromAdif.pcm.size(), fromAdts.pcm.size());
    EXPECT_TRUE(fromAdif.pcm == fromAdts.pcm);
}

}  // namespace
