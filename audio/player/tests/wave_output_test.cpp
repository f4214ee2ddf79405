// The output ring against devices the test can see into: what reaches the
// device, in what order, how much of it is queued at once, and what the ring
// tells the device about pausing, volume and closing.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "fake_wave_device.hpp"
#include "lumapix/wave_output.h"

namespace {

std::vector<uint8_t> Pattern(size_t bytes) {
    std::vector<uint8_t> b(bytes);
    for (size_t i = 0; i < bytes; ++i) b[i] = static_cast<uint8_t>(i * 131 + i / 251 + 1);
    return b;
}

// Writes as the driver does, in steps of at most 16000 bytes.
void WriteInSteps(const std::vector<uint8_t>& pcm) {
    for (size_t at = 0; at < pcm.size(); at += 16000)
        WaveOutputWrite(pcm.data() + at, static_cast<uint32_t>(std::min<size_t>(16000, pcm.size() - at)));
}

struct Collected {
    std::vector<uint8_t> bytes;
    static void Played(void* self, const uint8_t* data, uint32_t n) {
        auto& c = static_cast<Collected*>(self)->bytes;
        c.insert(c.end(), data, data + n);
    }
};

class WaveOutputTest : public testing::Test {
protected:
    void TearDown() override {
        WaveOutputClose(1);
        WaveOutputSelectDevice(nullptr);
        NullWaveDeviceConfigure(0, nullptr, nullptr);
    }
};

}  // namespace

TEST_F(WaveOutputTest, LastPartialBufferIsPaddedWithSilenceAndNothingElseIsSent) {
    for (size_t total : {size_t{100000}, size_t{81920}, size_t{1}}) {
        Collected collected;
        NullWaveDeviceConfigure(1, Collected::Played, &collected);
        ASSERT_EQ(WaveOutputOpen(16, 44100, 2), 0);
        const std::vector<uint8_t> pcm = Pattern(total);
        WriteInSteps(pcm);
        WaveOutputFlushLast();
        WaveOutputClose(0);
        const size_t rounded = (total + WAVE_BUFFER_BYTES - 1) / WAVE_BUFFER_BYTES * WAVE_BUFFER_BYTES;
        ASSERT_EQ(collected.bytes.size(), rounded) << total;
        EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), collected.bytes.begin()));
        EXPECT_TRUE(std::all_of(collected.bytes.begin() + static_cast<long>(total), collected.bytes.end(),
                                [](uint8_t b) { return b == 0; }));
    }
}

TEST_F(WaveOutputTest, NeverMoreThanEightBuffersQueuedAndTheRingTurnsInOrder) {
    FakeWaveDevice device;
    WaveOutputSelectDevice(device.ops());
    ASSERT_EQ(WaveOutputOpen(16, 44100, 2), 0);
    EXPECT_EQ(device.format.blockAlign, 4u);
    EXPECT_EQ(device.format.byteRate, 176400u);
    device.Hold();
    const std::vector<uint8_t> pcm = Pattern(20 * WAVE_BUFFER_BYTES);
    std::thread writer([&] { WriteInSteps(pcm); });
    device.WaitUntilQueued(WAVE_QUEUE_LIMIT);  // the writer now waits on the semaphore
    EXPECT_EQ(WaveOutputInFlight(), WAVE_QUEUE_LIMIT);
    device.Release();
    writer.join();
    WaveOutputFlushLast();  // nothing is partly filled: sends nothing
    WaveOutputClose(0);
    EXPECT_EQ(device.maxQueued, WAVE_QUEUE_LIMIT);
    ASSERT_EQ(device.submitted.size(), 20u);
    for (size_t i = 0; i < 20; ++i) EXPECT_EQ(device.submitted[i], i % WAVE_BUFFER_COUNT);
    EXPECT_EQ(device.TakePlayed(), pcm);
}

TEST_F(WaveOutputTest, PauseRestartVolumeLevelsAndCloseReachTheDevice) {
    FakeWaveDevice device;
    WaveOutputSelectDevice(device.ops());
    WaveOutputSetVolume(0x12345678u);
    ASSERT_EQ(WaveOutputOpen(16, 22050, 2), 0);
    EXPECT_EQ(device.volume, 0x12345678u);  // the volume outlives the previous device
    WaveOutputSetVolume(0xFFFF0000u);
    EXPECT_EQ(device.volume, 0xFFFF0000u);

    WaveOutputPause();
    std::vector<uint8_t> frames;  // left 1000, right -20000
    for (int i = 0; i < WAVE_BUFFER_BYTES / 4; ++i) frames.insert(frames.end(), {0xE8, 0x03, 0xE0, 0xB1});
    WriteInSteps(frames);
    EXPECT_EQ(WaveOutputInFlight(), 1);
    EXPECT_TRUE(device.played.empty());
    WaveOutputRestart();
    EXPECT_EQ(device.played.size(), size_t{WAVE_BUFFER_BYTES});
    uint32_t left = 0, right = 0;
    WaveOutputLevels(&left, &right);
    EXPECT_EQ(left, 1000u);
    EXPECT_EQ(right, 20000u);
    EXPECT_EQ(device.pauses, 1);
    EXPECT_EQ(device.resumes, 1);

    ASSERT_EQ(WaveOutputOpen(8, 8000, 1), 0);  // reopening closes first
    EXPECT_EQ(device.opens, 2);
    EXPECT_EQ(device.closes, 1);
    WaveOutputClose(1);
    EXPECT_EQ(device.resets, 2);
    EXPECT_EQ(device.closes, 2);
    EXPECT_EQ(WaveOutputIsOpen(), 0);
    WaveOutputLevels(&left, &right);
    EXPECT_EQ(left + right, 0u);
    WaveOutputSetVolume(0xFFFFFFFFu);
}

TEST_F(WaveOutputTest, RefusesOddFormatsAndDevicesThatWillNotOpen) {
    EXPECT_EQ(WaveOutputOpen(12, 44100, 2), -1);
    EXPECT_EQ(WaveOutputOpen(16, 44100, 0), -1);
    EXPECT_EQ(WaveOutputOpen(16, 0, 2), -1);
    WaveDevice broken = *NullWaveDevice();
    broken.open = [](void*, const WaveFormat*, WaveBufferDone, void*) { return int32_t{-1}; };
    WaveOutputSelectDevice(&broken);
    EXPECT_EQ(WaveOutputOpen(16, 44100, 2), -1);
    EXPECT_EQ(WaveOutputIsOpen(), 0);
    WaveOutputWrite(Pattern(100).data(), 100);  // nothing open: ignored
}

TEST_F(WaveOutputTest, TimedNullDeviceReturnsEverythingBeforeCloseWithWaitZeroReturns) {
    Collected collected;
    NullWaveDeviceConfigure(0, Collected::Played, &collected);
    ASSERT_EQ(WaveOutputOpen(16, 48000, 2), 0);  // 40960 bytes play in about 0.2 s
    const std::vector<uint8_t> pcm = Pattern(2 * WAVE_BUFFER_BYTES + 5000);
    WriteInSteps(pcm);
    WaveOutputFlushLast();
    WaveOutputClose(0);
    ASSERT_EQ(collected.bytes.size(), size_t{3 * WAVE_BUFFER_BYTES});
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), collected.bytes.begin()));
}
