// MP4/M4A from ffmpeg: PCM equal to faad's, sample count and duration,
// metadata texts, and the refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "audio_test_support.hpp"

using namespace audiotest;

namespace {

fs::path StereoM4a(const fs::path& dir, const std::string& name, const std::string& extra = "") {
    return Ffmpeg(dir, "sine=frequency=440:sample_rate=44100:duration=2",
                  "-ac 2 -c:a aac -b:a 96k " + extra, name);
}

// Offset of the first box of this type (its size field), by plain search.
size_t FindBox(const Bytes& file, const char* type) {
    auto at = std::search(file.begin(), file.end(), type, type + 4);
    EXPECT_NE(at, file.end()) << type;
    return static_cast<size_t>(at - file.begin()) - 4;
}

void PutBE32(Bytes& file, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) file[offset + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

TEST(Mp4Decoder, EqualsFaadAndCountsFrames) {
    fs::path dir = ScratchDir();
    fs::path path = StereoM4a(dir, "tone.m4a");
    WavFile reference = FaadDecode(path);
    DriverRun run = DriveFile(path, AUDIO_TYPE_MP4);
    ASSERT_EQ(run.open, 0) << run.console;
    EXPECT_EQ(run.last, AUDIO_STEP_ENDED);
    EXPECT_EQ(run.format.sampleRate, 44100u);
    EXPECT_EQ(run.format.channels, 2u);
    EXPECT_EQ(run.format.bitsPerSample, 16u);
    EXPECT_NEAR(run.format.bitRate, 96000.0, 15000.0);
    ASSERT_GT(reference.data.size(), 100000u);
    EXPECT_TRUE(run.pcm == reference.data);

    // The same frames as ADTS: ffmpeg copies them out of the track one for one.
    ASSERT_TRUE(audiotest::Run("ffmpeg -nostdin -v error -y -i " + path.string() + " -c copy -f adts " +
                               (dir / "tone.aac").string()));
    DriverRun adts = DriveFile(dir / "tone.aac", AUDIO_TYPE_AAC);
    EXPECT_TRUE(adts.pcm == run.pcm);
    uint32_t frames = 0;
    Bytes aac = ReadBytes(dir / "tone.aac");
    for (size_t offset = 0; offset + 7 <= aac.size(); ++frames)
        offset += (aac[offset + 3] & 3u) << 11 | uint32_t{aac[offset + 4]} << 3 | aac[offset + 5] >> 5;
    EXPECT_EQ(run.mp4.sampleCount, frames);
    EXPECT_EQ(run.steps, frames);
    EXPECT_EQ(run.mp4.frameLength, 1024u);
    EXPECT_EQ(run.mp4.durationMs, static_cast<uint32_t>(1023.0 * frames / 44100 * 1000));
}

TEST(Mp4Decoder, MetadataTexts) {
    fs::path dir = ScratchDir();
    std::string longTitle;
    for (int i = 0; i < 100; ++i) longTitle += "音";  // 300 bytes of three-byte characters
    fs::path path = StereoM4a(dir, "tagged.m4a",
                              "-metadata title=\"夜の歌\" -metadata artist=\"Ann Example\" -metadata composer=Writer "
                              "-metadata album=\"Album\" -metadata date=2024 -movflags +faststart");
    DriverRun run = DriveFile(path, AUDIO_TYPE_MP4);
    ASSERT_EQ(run.open, 0) << run.console;
    EXPECT_STREQ(run.mp4.title, "夜の歌");
    EXPECT_STREQ(run.mp4.artist, "Ann Example");
    EXPECT_STREQ(run.mp4.writer, "Writer");
    EXPECT_STREQ(run.mp4.album, "Album");
    EXPECT_STREQ(run.mp4.date, "2024");
    EXPECT_EQ(std::string(run.mp4.tool).rfind("Lavf", 0), 0u);  // ffmpeg names itself

    fs::path bare = StereoM4a(dir, "long.m4a", "-metadata title=\"" + longTitle + "\" -map_metadata -1 -fflags +bitexact");
    run = DriveFile(bare, AUDIO_TYPE_MP4);
    ASSERT_EQ(run.open, 0) << run.console;
    EXPECT_EQ(std::string(run.mp4.title), longTitle.substr(0, 255));  // 85 whole characters
    EXPECT_STREQ(run.mp4.artist, "");
}

TEST(Mp4Decoder, Refusals) {
    fs::path dir = ScratchDir();
    fs::path surround = Ffmpeg(dir, "sine=frequency=500:sample_rate=48000:duration=1", "-ac 6 -c:a aac", "six.m4a");
    EXPECT_EQ(DriveFile(surround, AUDIO_TYPE_MP4).console, "Error...GetInfo. error code=50178\n");  // 0xC402

    Bytes notMp4 = ReadBytes(StereoSine(dir, "tone.aac"));
    EXPECT_EQ(DriveBytes(notMp4, AUDIO_TYPE_MP4).console, "Error...GetInfo. error code=49156\n");  // 0xC004

    Bytes file = ReadBytes(StereoM4a(dir, "front.m4a", "-movflags +faststart"));
    Bytes noSamples = file;
    size_t stsz = FindBox(noSamples, "stsz");
    PutBE32(noSamples, stsz + 12, 0);  // no common size
    PutBE32(noSamples, stsz + 16, 0);  // and no entries
    EXPECT_EQ(DriveBytes(noSamples, AUDIO_TYPE_MP4).console, "Error...GetInfo. error code=49155\n");  // 0xC003

    Bytes noEsds = file;
    std::memcpy(noEsds.data() + FindBox(noEsds, "esds") + 4, "free", 4);
    EXPECT_EQ(DriveBytes(noEsds, AUDIO_TYPE_MP4).console, "Error...GetInfo. error code=49156\n");

    // moov first, samples cut off: the open succeeds, the first missing sample ends playback.
    Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(file.size() / 2));
    DriverRun run = DriveBytes(cut, AUDIO_TYPE_MP4);
    ASSERT_EQ(run.open, 0);
    EXPECT_EQ(run.last, AUDIO_STEP_ERROR);
    EXPECT_NE(run.console.find("Error...DecExec() error_code=50176\n"), std::string::npos);
    EXPECT_EQ(run.lastStatus, XR_AUDIO_SAMPLE_READ);
    EXPECT_GT(run.pcm.size(), 0u);
}

}  // namespace
