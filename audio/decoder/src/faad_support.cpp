#include "faad_support.hpp"

#include <cstring>

#include "lumapix/audio_decoder.h"

namespace lumapix::audio {

NeAACDecHandle OpenFaad() {
    NeAACDecHandle decoder = NeAACDecOpen();
    if (!decoder) return nullptr;
    NeAACDecConfigurationPtr config = NeAACDecGetCurrentConfiguration(decoder);
    config->outputFormat = FAAD_FMT_16BIT;
    config->downMatrix = 0;  // more than two channels are refused, not mixed down
    if (!NeAACDecSetConfiguration(decoder, config)) {
        NeAACDecClose(decoder);
        return nullptr;
    }
    return decoder;
}

int32_t TakeFrame(const NeAACDecFrameInfo& frame, const void* samples, uint32_t channels, uint32_t sampleRate,
                  uint8_t* pcm, uint32_t pcmCapacity, uint32_t* pcmBytes) {
    *pcmBytes = 0;
    if (frame.error != 0) return XR_AUDIO_DECODER_ERROR;
    if (frame.samples == 0) return XR_AUDIO_OK;
    if (!samples || frame.channels != channels || frame.samplerate != sampleRate) return XR_AUDIO_DECODER_ERROR;
    uint64_t bytes = uint64_t{frame.samples} * 2;
    if (bytes > pcmCapacity) return XR_AUDIO_PCM_TOO_SMALL;
    std::memcpy(pcm, samples, static_cast<size_t>(bytes));
    *pcmBytes = static_cast<uint32_t>(bytes);
    return XR_AUDIO_OK;
}

}  // namespace lumapix::audio
