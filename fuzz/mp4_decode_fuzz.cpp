// Feeds arbitrary bytes to the driver as an MP4 file: box walking, the sample
// tables and metadata of a damaged file must come to a status. A file that
// opens reports texts that are NUL-terminated, and never more frames of PCM
// than it has samples.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "audio_fuzz_driver.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    audiofuzz::Result r = audiofuzz::Drive(data, size, AUDIO_TYPE_MP4);
    if (r.open != 0) return 0;
    const Mp4Info* info = AudioDriverMp4Info();
    AudioFormatInfo format = AudioDriverFormat();
    if (!info || format.channels == 0 || format.channels > 2 || format.bitsPerSample != 16) std::abort();
    for (const char* text : {info->title, info->artist, info->writer, info->album, info->date, info->tool})
        if (!std::memchr(text, 0, MP4_TEXT_BYTES)) std::abort();
    // At most 2048 samples per channel (SBR doubling) for each MP4 sample.
    if (r.pcm.size() > uint64_t{info->sampleCount} * 2048 * 2 * format.channels) std::abort();
    return 0;
}
