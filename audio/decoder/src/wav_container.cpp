// WAV: the RIFF chunks up to "data" must lie in the first input buffer; the
// data body is then passed through as linear PCM of the file's own bits.
#include <algorithm>
#include <cstring>

#include "audio_internal.hpp"

namespace lumapix::audio {

namespace {

constexpr uint32_t kChunkHeader = 8;
constexpr uint32_t kFmtBodyBytes = 16;
constexpr uint32_t kMaxStepBytes = 4096;

struct WavHandle {
    uint64_t dataEnd;  // stream offset just past the data body
    WavInfo info;
    uint8_t ready;     // GetInfo succeeded
};

int32_t WavHandleSize() { return static_cast<int32_t>(sizeof(WavHandle)); }

int32_t WavInit(void* handle) {
    if (!handle) return 1;
    std::memset(handle, 0, sizeof(WavHandle));
    return XR_AUDIO_OK;
}

// Walks chunks from offset to the one named id; its header must lie within
// size. Chunks follow each other at length + 8, with no pad after odd lengths.
bool FindChunk(const uint8_t* input, uint32_t size, uint64_t offset, const char* id, uint64_t* found) {
    while (offset + kChunkHeader <= size) {
        const uint8_t* chunk = input + offset;
        if (std::memcmp(chunk, id, 4) == 0) {
            *found = offset;
            return true;
        }
        offset += kChunkHeader + uint64_t{ReadLE32(chunk + 4)};
    }
    return false;
}

int32_t WavGetInfo(void* handle, AudioFormatInfo* format, const uint8_t* input, uint32_t inputSize,
                   uint32_t* consumed, void* extra) {
    auto* h = static_cast<WavHandle*>(handle);
    if (!h || !format || !consumed || (!input && inputSize)) return 1;
    if (inputSize < 12 || std::memcmp(input, "RIFF", 4) != 0 || std::memcmp(input + 8, "WAVE", 4) != 0)
        return XR_AUDIO_NOT_CONTAINER;
    uint64_t fmt = 0, data = 0;
    if (!FindChunk(input, inputSize, 12, "fmt ", &fmt)) return XR_AUDIO_NOT_CONTAINER;
    uint32_t fmtLength = ReadLE32(input + fmt + 4);
    const uint8_t* body = input + fmt + kChunkHeader;
    if (fmtLength < kFmtBodyBytes || fmt + kChunkHeader + kFmtBodyBytes > inputSize) return XR_AUDIO_NOT_CONTAINER;
    uint32_t channels = ReadLE16(body + 2);
    uint32_t sampleRate = ReadLE32(body + 4);
    uint32_t bits = ReadLE16(body + 14);
    // Nothing could be played (or timed) without these.
    if (channels == 0 || sampleRate == 0 || bits == 0) return XR_AUDIO_NOT_CONTAINER;
    if (!FindChunk(input, inputSize, fmt + kChunkHeader + fmtLength, "data", &data)) return XR_AUDIO_NOT_CONTAINER;

    WavInfo info{};
    info.bitRate = Saturate32(uint64_t{bits} * channels * sampleRate);
    info.sampleRate = sampleRate;
    info.channels = channels;
    info.bitsPerSample = bits;
    info.dataLength = ReadLE32(input + data + 4);
    h->info = info;
    *consumed = static_cast<uint32_t>(data + kChunkHeader);
    h->dataEnd = *consumed + uint64_t{info.dataLength};
    h->ready = 1;
    *format = AudioFormatInfo{info.bitRate, info.sampleRate, info.channels, info.bitsPerSample};
    if (extra) std::memcpy(extra, &info, sizeof info);
    return XR_AUDIO_OK;
}

// Hands on up to 4096 bytes of the data body. Short of a full step the caller
// refills first, unless the data ends within what it holds; nothing after the
// data chunk is played.
int32_t WavDecExec(void* handle, uint64_t position, const uint8_t* input, uint32_t inputSize, uint32_t* consumed,
                   uint8_t* pcm, uint32_t pcmCapacity, uint32_t* pcmBytes) {
    auto* h = static_cast<WavHandle*>(handle);
    if (!h || !consumed || !pcmBytes || (!input && inputSize)) return 1;
    if (!h->ready) return XR_AUDIO_MALFORMED;
    if (!pcm) return XR_AUDIO_NO_PCM_BUFFER;
    *consumed = 0;
    *pcmBytes = 0;
    if (inputSize <= kMaxStepBytes && position + inputSize < h->dataEnd) return XR_AUDIO_NEED_INPUT;
    uint64_t dataLeft = position < h->dataEnd ? h->dataEnd - position : 0;
    uint64_t count = std::min<uint64_t>({pcmCapacity, inputSize, kMaxStepBytes, dataLeft});
    if (count == 0) return XR_AUDIO_STREAM_END;
    std::memcpy(pcm, input, static_cast<size_t>(count));
    *consumed = *pcmBytes = static_cast<uint32_t>(count);
    return XR_AUDIO_OK;
}

int32_t WavReset(void* handle) { return WavInit(handle); }
int32_t WavEnd(void* handle) { return handle ? XR_AUDIO_OK : 1; }

}  // namespace

const AudioDecoderOps kWavOps = {WavHandleSize, WavInit, WavGetInfo, WavDecExec, WavReset, WavEnd};

}  // namespace lumapix::audio
