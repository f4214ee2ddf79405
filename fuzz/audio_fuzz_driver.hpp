// Runs the audio driver over bytes in memory for the audio harnesses: open,
// step to the end, close, with the PCM collected. Aborts when the steps do not
// end in a number bounded by the input's size (a decoder that stopped making
// progress) or when the byte count the driver reports differs from the PCM.
#ifndef LUMAPIX_AUDIO_FUZZ_DRIVER_HPP
#define LUMAPIX_AUDIO_FUZZ_DRIVER_HPP

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "lumapix/audio_driver.h"

namespace audiofuzz {

inline void Quiet(const char*, void*) {}

struct Result {
    int32_t open = 1;
    int32_t last = AUDIO_STEP_ERROR;
    std::vector<uint8_t> pcm;
};

inline Result Drive(const uint8_t* data, size_t size, int32_t type) {
    Result result;
    // Every step either moves through the input, decodes one MP4 sample (at
    // most one per 1 byte of file) or refills; a refill is followed by progress or the end.
    const uint64_t maxSteps = 2 * uint64_t{size} + 16;
    FILE* file = size ? fmemopen(const_cast<uint8_t*>(data), size, "rb") : std::tmpfile();
    if (!file) return result;
    char* dumped = nullptr;
    size_t dumpedSize = 0;
    FILE* dump = open_memstream(&dumped, &dumpedSize);
    if (!dump) std::abort();
    AudioSetConsoleSink(Quiet, nullptr);
    AudioDriverReset(0);
    AudioDriverSetDumpFile(dump);
    result.open = OpenAudioStream(file, type);
    uint64_t total = 0;
    if (result.open == 0) {
        uint64_t steps = 0;
        while ((result.last = AudioStep()) == AUDIO_STEP_CONTINUE)
            if (++steps > maxSteps) std::abort();
        total = AudioDriverTotalPcmBytes();
        CloseAudioFile(1);
    }
    AudioDriverSetDumpFile(nullptr);
    std::fclose(dump);
    result.pcm.assign(dumped, dumped + dumpedSize);
    std::free(dumped);
    if (total != result.pcm.size()) std::abort();
    return result;
}

}  // namespace audiofuzz

#endif
