// Feeds arbitrary bytes to the driver as an AAC (ADTS or ADIF) file: resync over
// junk, frames cut by the end of the file and damaged frames must come to a
// status; a file that opens decodes to whole 16-bit sample frames.
#include <cstdint>
#include <cstdlib>

#include "audio_fuzz_driver.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    audiofuzz::Result r = audiofuzz::Drive(data, size, AUDIO_TYPE_AAC);
    if (r.open != 0) return 0;
    AudioFormatInfo format = AudioDriverFormat();
    if (format.channels == 0 || format.channels > 2 || format.bitsPerSample != 16) std::abort();
    if (r.pcm.size() % (2 * format.channels) != 0) std::abort();
    return 0;
}
