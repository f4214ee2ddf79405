// The player through the real driver on a WAV file that ffmpeg makes, with its
// raw PCM beside it: every byte reaches the device, padded to whole buffers;
// pausing keeps the file open, stopping starts it again from the beginning.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>

#include "fake_wave_device.hpp"
#include "lumapix/audio_driver.h"
#include "lumapix/audio_player.h"

namespace {

std::string TempPath(const std::string& name) {
    const char* dir = std::getenv("LUMAPIX_TEST_TMP");
    return std::string(dir && *dir ? dir : "/tmp") + "/lumapix_player_" + std::to_string(getpid()) + "_" + name;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> PaddedToBuffers(std::vector<uint8_t> pcm) {
    pcm.resize((pcm.size() + WAVE_BUFFER_BYTES - 1) / WAVE_BUFFER_BYTES * WAVE_BUFFER_BYTES, 0);
    return pcm;
}

void WaitUntilStopped() {
    while (AudioPlayerState() != PLAYER_STOPPED) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

class AudioPlayerTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        // Five seconds of a different tone per channel: 882000 bytes, 21.5 buffers.
        wav_ = new std::string(TempPath("tones.wav"));
        const std::string raw = TempPath("tones.raw");
        const std::string command = "ffmpeg -v error -y -f lavfi -i 'aevalsrc=0.5*sin(440*2*PI*t)|0.3*sin(660*2*PI*t):"
                                    "s=44100:d=5' -c:a pcm_s16le -bitexact '" + *wav_ + "' -f s16le -c:a pcm_s16le '" +
                                    raw + "'";
        if (std::system(command.c_str()) == 0) pcm_ = new std::vector<uint8_t>(ReadAll(raw));
        std::remove(raw.c_str());
    }
    static void TearDownTestSuite() {
        std::remove(wav_->c_str());
        delete wav_;
        delete pcm_;
    }
    void SetUp() override {
        if (!pcm_ || pcm_->size() != 882000) GTEST_SKIP() << "ffmpeg missing (scripts/install-deps)";
        AudioSetConsoleSink(
            [](const char* text, void* self) {
                auto* test = static_cast<AudioPlayerTest*>(self);
                std::lock_guard lock(test->consoleMutex_);
                test->console_ += text;
            },
            this);
        WaveOutputSelectDevice(device_.ops());
    }
    void TearDown() override {
        AudioPlayerStop();
        AudioSetConsoleSink(nullptr, nullptr);
        WaveOutputSelectDevice(nullptr);
    }
    std::string Console() {
        std::lock_guard lock(consoleMutex_);
        return console_;
    }

    static std::string* wav_;
    static std::vector<uint8_t>* pcm_;
    FakeWaveDevice device_;
    std::mutex consoleMutex_;
    std::string console_;
};

std::string* AudioPlayerTest::wav_ = nullptr;
std::vector<uint8_t>* AudioPlayerTest::pcm_ = nullptr;

}  // namespace

TEST_F(AudioPlayerTest, TypesPastWavAndFilesThatWillNotOpenLeaveThePlayerStopped) {
    AudioPlayerSetFile("/music/song.xyz", PLAYER_TYPE_UNSUPPORTED);
    AudioPlayerPlay();
    EXPECT_EQ(AudioPlayerState(), PLAYER_STOPPED);
    EXPECT_EQ(Console(), "----- console player -----\n\nError...Unsupported extention type. : /music/song.xyz");
    AudioPlayerSetFile(TempPath("absent.wav").c_str(), 4);
    AudioPlayerPlay();
    EXPECT_EQ(AudioPlayerState(), PLAYER_STOPPED);
    EXPECT_NE(Console().find("Error...OpenAudioFile."), std::string::npos);
    EXPECT_EQ(device_.opens, 0);
}

TEST_F(AudioPlayerTest, PauseThenPlayResumesWithoutReopening) {
    AudioPlayerSetFile(wav_->c_str(), 4);
    device_.Hold();
    AudioPlayerPlay();
    device_.WaitUntilQueued(WAVE_QUEUE_LIMIT);  // the decoding thread waits for the device
    AudioPlayerPause();
    EXPECT_EQ(AudioPlayerState(), PLAYER_PAUSED);
    AudioPlayerPause();  // only while playing
    EXPECT_EQ(device_.pauses, 1);
    AudioPlayerPlay();
    EXPECT_EQ(AudioPlayerState(), PLAYER_PLAYING);
    EXPECT_EQ(device_.resumes, 1);
    device_.Release();
    WaitUntilStopped();  // the end of the stream stops the player by itself
    EXPECT_EQ(device_.opens, 1);
    EXPECT_EQ(device_.format.sampleRate, 44100u);
    EXPECT_EQ(device_.format.channels, 2u);
    EXPECT_EQ(device_.TakePlayed(), PaddedToBuffers(*pcm_));
    AudioPlayerStop();  // joins the thread that ended by itself
    EXPECT_EQ(AudioDriverElapsedSeconds(), 5u);
    EXPECT_NE(Console().find("Close...DecoderThread.\n\n"), std::string::npos);
}

TEST_F(AudioPlayerTest, StopThenPlayStartsAgainFromTheBeginning) {
    AudioPlayerSetFile(wav_->c_str(), 4);
    device_.Hold();
    AudioPlayerPlay();
    device_.WaitUntilQueued(WAVE_QUEUE_LIMIT);
    // A sound card keeps playing while Stop waits for the thread; so does this device once stopped.
    std::thread card([this] {
        WaitUntilStopped();
        device_.Release();
    });
    AudioPlayerStop();
    card.join();
    EXPECT_EQ(AudioPlayerState(), PLAYER_STOPPED);
    EXPECT_EQ(AudioDriverIsOpen(), 0);
    EXPECT_EQ(device_.resets, 1);
    const std::vector<uint8_t> first = device_.TakePlayed();
    EXPECT_LT(first.size(), pcm_->size());

    AudioPlayerPlay();
    WaitUntilStopped();
    EXPECT_EQ(device_.opens, 2);
    EXPECT_EQ(device_.TakePlayed(), PaddedToBuffers(*pcm_));
}
