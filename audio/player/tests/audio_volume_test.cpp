// Volume and balance as the panel's sliders set them, and their effect on PCM.
#include <gtest/gtest.h>

#include <vector>

#include "lumapix/audio_volume.h"

TEST(AudioVolume, BalanceFadesTheFarChannelOnly) {
    const uint32_t volume = 40000;
    EXPECT_EQ(AudioVolumeWord(volume, 0), volume);                         // left full, right silent
    EXPECT_EQ(AudioVolumeWord(volume, 20), volume << 16);                  // the reverse
    EXPECT_EQ(AudioVolumeWord(volume, 10), volume << 16 | volume);         // both at the volume
    EXPECT_EQ(AudioVolumeWord(volume, 5), (volume / 2) << 16 | volume);    // right 40000 x 5 / 10
    EXPECT_EQ(AudioVolumeWord(volume, 13), volume << 16 | volume * 7 / 10);
    EXPECT_EQ(AudioVolumeWord(65535, 10), 0xFFFFFFFFu);
    EXPECT_EQ(AudioVolumeOfWord(AudioVolumeWord(volume, 0)), volume / 2);
}

TEST(AudioVolume, SliderRunsFromLoudAtTheTopToSilentAtTheBottom) {
    EXPECT_EQ(AudioVolumeSliderPosition(65535), 0);
    EXPECT_EQ(AudioVolumeSliderPosition(0), 100);
    EXPECT_EQ(AudioVolumeSliderPosition(32767), 51);  // 100 - 49
    EXPECT_EQ(AudioVolumeFromSlider(0), 65535u);
    EXPECT_EQ(AudioVolumeFromSlider(100), 0u);
    EXPECT_EQ(AudioVolumeFromSlider(30), 45874u);  // 70 x 65535 / 100
    EXPECT_EQ(AudioVolumeFromSlider(-5), 65535u);
    EXPECT_EQ(AudioVolumeFromSlider(120), 0u);
}

TEST(AudioVolume, ScalingTouchesEachChannelByItsOwnVolume) {
    std::vector<int16_t> pcm = {32767, -32768, 1000, -1000, -7, 7};
    AudioScalePcm16(reinterpret_cast<uint8_t*>(pcm.data()), 12, 2, AudioVolumeWord(65535, 0));
    EXPECT_EQ(pcm, (std::vector<int16_t>{32767, 0, 1000, 0, -7, 0}));
    std::vector<int16_t> mono = {32767, -32768, 2};
    AudioScalePcm16(reinterpret_cast<uint8_t*>(mono.data()), 6, 1, 0x0000FFFFu / 2);  // mono follows left
    EXPECT_EQ(mono, (std::vector<int16_t>{16383, -16383, 0}));
}
