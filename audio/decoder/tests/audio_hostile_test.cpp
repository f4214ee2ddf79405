// Damaged files of every container run through the driver to a status: bytes
// flipped, files cut, MP4 boxes and tables that lie about their sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "audio_test_support.hpp"

using namespace audiotest;

namespace {

constexpr uint32_t kStepLimit = 100000;

// Every run must end by itself, with an open failure, an error or the end.
void ExpectEnds(const Bytes& bytes, int32_t type) {
    DriverRun run = DriveBytes(bytes, type, kStepLimit);
    EXPECT_LT(run.steps, kStepLimit) << "type " << type << ": no end after " << run.steps << " steps";
    if (run.open == 0) {
        EXPECT_NE(run.last, AUDIO_STEP_CONTINUE);
    }
}

void Mutate(const Bytes& original, int32_t type, uint32_t seed, uint32_t rounds) {
    std::mt19937 random(seed);
    for (uint32_t round = 0; round < rounds; ++round) {
        Bytes bytes = original;
        uint32_t flips = 1 + random() % 16;
        for (uint32_t i = 0; i < flips; ++i) bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
        if (round % 4 == 0) bytes.resize(random() % bytes.size());
        ExpectEnds(bytes, type);
    }
}

TEST(AudioHostile, DamagedFilesEndWithAStatus) {
    fs::path dir = ScratchDir();
    Bytes wav = RiffWave({FmtChunk(2, 8000, 16), {"data", TonePcm(4000, 2)}});
    Bytes adts = ReadBytes(StereoSine(dir, "tone.aac", 0.5));
    Bytes m4a = ReadBytes(Ffmpeg(dir, "sine=frequency=440:sample_rate=44100:duration=0.5",
                                 "-c:a aac -movflags +faststart -metadata title=T", "tone.m4a"));
    Mutate(wav, AUDIO_TYPE_WAV, 1, 60);
    Mutate(adts, AUDIO_TYPE_AAC, 2, 60);
    Mutate(m4a, AUDIO_TYPE_MP4, 3, 60);
    Mutate(m4a, AUDIO_TYPE_MP3, 4, 10);
    for (int32_t type = 0; type < AUDIO_TYPE_COUNT; ++type) {
        ExpectEnds({}, type);
        ExpectEnds(Bytes(20000, 0xFF), type);
    }
}

// Each size or count field of the sample tables, set to values that would
// overrun the box, the file or 32-bit arithmetic.
TEST(AudioHostile, LyingMp4Tables) {
    Bytes m4a = ReadBytes(Ffmpeg(ScratchDir(), "sine=frequency=440:sample_rate=44100:duration=0.5",
                                 "-c:a aac -movflags +faststart", "tone.m4a"));
    const uint32_t lies[] = {0, 1, 7, 8, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, static_cast<uint32_t>(m4a.size())};
    // Fields as offsets from the box's size field: its size, and the table's counts and first entries.
    const std::pair<const char*, std::vector<size_t>> fields[] = {
        {"moov", {0}},          {"trak", {0}},          {"stsd", {0, 12, 16}}, {"esds", {0, 12, 13}},
        {"stsz", {0, 12, 16, 20}}, {"stco", {0, 12, 16}}, {"stsc", {0, 12, 16, 20, 28}}, {"mdhd", {0, 20}},
        {"ilst", {0, 8}}};
    for (const auto& [type, offsets] : fields) {
        auto at = std::search(m4a.begin(), m4a.end(), type, type + 4);
        ASSERT_NE(at, m4a.end()) << type;
        size_t box = static_cast<size_t>(at - m4a.begin()) - 4;
        for (size_t offset : offsets) {
            for (uint32_t lie : lies) {
                Bytes bytes = m4a;
                for (size_t i = 0; i < 4 && box + offset + i < bytes.size(); ++i)
                    bytes[box + offset + i] = static_cast<uint8_t>(lie >> (24 - 8 * i));
                ExpectEnds(bytes, AUDIO_TYPE_MP4);
            }
        }
    }
    // A 64-bit box size pointing past the file.
    Bytes large = m4a;
    size_t moov = static_cast<size_t>(std::search(large.begin(), large.end(), "moov", "moov" + 4) - large.begin()) - 4;
    large[moov + 3] = 1;
    ExpectEnds(large, AUDIO_TYPE_MP4);
}

}  // namespace
