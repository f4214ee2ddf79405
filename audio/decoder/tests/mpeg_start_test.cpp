// Where an MPEG audio stream starts: ID3v2 tag length and the frame search,
// checked by hand and against files ffmpeg writes.
#include <gtest/gtest.h>

#include "audio_test_support.hpp"

using namespace audiotest;

namespace {

TEST(Id3v2, TagLengthIsTenPlusTheSynchSafeSize) {
    Bytes tag = {'I', 'D', '3', 3, 0, 0, 0x00, 0x00, 0x0F, 0x76};
    EXPECT_EQ(Id3v2TagLength(tag.data(), 10), 10u + (0x0Fu << 7 | 0x76u));  // 2048
    Bytes big = {'I', 'D', '3', 4, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F};
    EXPECT_EQ(Id3v2TagLength(big.data(), 10), 10u + 0x0FFFFFFFu);
    big[5] = 0x10;  // v2.4 footer: another 10 bytes
    EXPECT_EQ(Id3v2TagLength(big.data(), 10), 20u + 0x0FFFFFFFu);
    EXPECT_EQ(Id3v2TagLength(tag.data(), 9), 0u);
    tag[2] = '4';
    EXPECT_EQ(Id3v2TagLength(tag.data(), 10), 0u);
}

TEST(Mp3FrameSearch, HandMadeHeaders) {
    // MPEG-1 layer III, 128 kbit/s, 44.1 kHz behind junk that looks almost like a header.
    Bytes data = {0x00, 0xFF, 0xF0, 0x90,   // layer 0
                  0xFF, 0xFB, 0xF0,         // bit-rate index 15
                  0xFF, 0xFB, 0x9C,         // sample-rate index 3
                  0xFF, 0xEB, 0x90,         // version bits 01 (reserved)
                  0xFF, 0xFB, 0x90, 0x00};
    EXPECT_EQ(Mp3FindFrame(data.data(), static_cast<uint32_t>(data.size())), 13);
    Bytes mpeg25 = {0x12, 0xFF, 0xE3, 0x10};
    EXPECT_EQ(Mp3FindFrame(mpeg25.data(), 4), 1);
    EXPECT_EQ(Mp3FindFrame(mpeg25.data(), 3), -1);  // the third header byte is missing
    EXPECT_EQ(Mp3FindFrame(data.data(), 13), -1);
}

// ffmpeg's MP3 behind its own ID3v2.4 tag: the tag length leads to the first
// frame; walking the frames by the layer III length formula, each start is
// found by the search, and searching from just after a start never passes the
// next one (a look-alike inside frame data may be met first).
TEST(Mp3FrameSearch, FindsFfmpegFrames) {
    fs::path dir = ScratchDir();
    fs::path mp3 = Ffmpeg(dir, "sine=frequency=1000:sample_rate=44100:duration=1",
                          "-c:a libmp3lame -b:a 128k -write_xing 0 -metadata title=Tagged", "tagged.mp3");
    Bytes file = ReadBytes(mp3);
    ASSERT_GT(file.size(), 2000u);
    uint32_t tag = Id3v2TagLength(file.data(), static_cast<uint32_t>(file.size()));
    ASSERT_GT(tag, 10u);
    ASSERT_LT(tag, file.size());
    const uint32_t bitRates[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    uint32_t frames = 0;
    for (size_t start = tag; start + 4 <= file.size(); ++frames) {
        const uint8_t* frame = file.data() + start;
        uint32_t left = static_cast<uint32_t>(file.size() - start);
        ASSERT_EQ(Mp3FindFrame(frame, left), 0) << "frame " << frames;
        ASSERT_EQ(frame[1], 0xFB);  // MPEG-1 layer III without CRC
        uint32_t length = 144000 * bitRates[frame[2] >> 4] / 44100 + (frame[2] >> 1 & 1);
        if (start + length + 4 <= file.size()) {
            int32_t found = Mp3FindFrame(frame + 1, left - 1);
            EXPECT_GE(found, 0);
            EXPECT_LE(found, static_cast<int32_t>(length - 1)) << "frame " << frames;
        }
        start += length;
    }
    EXPECT_GE(frames, 38u);  // one second at 1152 samples a frame

    // The driver skips the tag before handing the stream to the (not yet present) MP3 decoder.
    DriverRun run = DriveFile(mp3, AUDIO_TYPE_MP3);
    EXPECT_EQ(run.open, 1);
    EXPECT_EQ(run.console, "Error...GetInfo. error code=49156\n");
}

}  // namespace
