// Feeds arbitrary bytes to the driver as a WAV file. What it plays must be a
// stretch of the input as it stands (the data body is passed through), no
// longer than the data chunk says, and whole seconds must follow from it.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "audio_fuzz_driver.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    audiofuzz::Result r = audiofuzz::Drive(data, size, AUDIO_TYPE_WAV);
    if (r.open != 0) return 0;
    const WavInfo* info = AudioDriverWavInfo();
    if (!info || r.pcm.size() > info->dataLength) std::abort();
    if (!r.pcm.empty() && std::search(data, data + size, r.pcm.begin(), r.pcm.end()) == data + size) std::abort();
    return 0;
}
