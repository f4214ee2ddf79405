#include "lumapix/audio_volume.h"

#include <algorithm>

namespace {

constexpr uint32_t kFull = 65535;

uint32_t Clamp(uint32_t volume) { return std::min(volume, kFull); }

int16_t Scaled(int16_t sample, uint32_t gain) {
    return static_cast<int16_t>(static_cast<int64_t>(sample) * gain / kFull);
}

}  // namespace

extern "C" {

uint32_t AudioVolumeWord(uint32_t volume, int32_t balance) {
    volume = Clamp(volume);
    balance = std::clamp(balance, int32_t{AUDIO_BALANCE_LEFT}, int32_t{AUDIO_BALANCE_RIGHT});
    const auto b = static_cast<uint32_t>(balance);
    // Away from the centre the far channel fades; the near one keeps the volume.
    const uint32_t right = balance < AUDIO_BALANCE_CENTRE ? volume * b / 10 : volume;
    const uint32_t left = balance <= AUDIO_BALANCE_CENTRE ? volume : volume * (20 - b) / 10;
    return right * 65536u + left;
}

uint32_t AudioVolumeOfWord(uint32_t volumeWord) { return ((volumeWord & 0xFFFFu) + (volumeWord >> 16)) / 2; }

int32_t AudioVolumeSliderPosition(uint32_t volume) {
    return static_cast<int32_t>(100 - Clamp(volume) * 100 / kFull);
}

uint32_t AudioVolumeFromSlider(int32_t position) {
    return static_cast<uint32_t>(100 - std::clamp(position, 0, 100)) * kFull / 100;
}

void AudioScalePcm16(uint8_t* pcm, uint32_t bytes, uint32_t channels, uint32_t volumeWord) {
    if (!pcm || channels == 0) return;
    const uint32_t gains[2] = {volumeWord & 0xFFFFu, volumeWord >> 16};
    if (gains[0] == kFull && (channels == 1 || gains[1] == kFull)) return;
    const uint32_t samples = bytes / 2;
    for (uint32_t i = 0; i < samples; ++i) {
        uint8_t* p = pcm + 2 * i;
        const auto sample = static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
        // Mono and the channels past the second follow the left volume.
        const uint32_t channel = channels == 2 ? i % 2 : 0;
        const auto out = static_cast<uint16_t>(Scaled(sample, gains[channel]));
        p[0] = static_cast<uint8_t>(out & 0xFF);
        p[1] = static_cast<uint8_t>(out >> 8);
    }
}

}  // extern "C"
