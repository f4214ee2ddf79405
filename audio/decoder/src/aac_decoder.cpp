// AAC in ADTS or ADIF framing, decoded by FAAD2 one frame per step.
#include <cstring>

#include "audio_internal.hpp"
#include "faad_support.hpp"

namespace lumapix::audio {

namespace {

constexpr uint32_t kMinFirstInput = 1536;
constexpr uint32_t kAdtsHeaderBytes = 7;
constexpr uint32_t kSamplesPerRawBlock = 1024;
constexpr uint32_t kAdtsSampleRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                           22050, 16000, 12000, 11025, 8000,  7350};

struct AacHandle {
    NeAACDecHandle decoder;
    uint32_t channels;
    uint32_t sampleRate;
    uint64_t pendingPosition;  // ADIF: where the last refill was asked for
    uint8_t adif;
    uint8_t ready;
    uint8_t refillAsked;
};

struct AdtsHeader {
    uint32_t frameLength;
    uint32_t sampleRate;
    uint32_t rawBlocks;
};

// Syncword, layer 0, a defined sampling index and a length that holds the header.
bool ParseAdtsHeader(const uint8_t* p, uint32_t size, AdtsHeader* header) {
    if (size < kAdtsHeaderBytes || p[0] != 0xFF || (p[1] & 0xF6) != 0xF0) return false;
    uint32_t rateIndex = p[2] >> 2 & 0xF;
    if (rateIndex >= 13) return false;
    uint32_t headerBytes = (p[1] & 1) ? kAdtsHeaderBytes : kAdtsHeaderBytes + 2;  // CRC when protection_absent is 0
    header->frameLength = (p[3] & 3u) << 11 | uint32_t{p[4]} << 3 | p[5] >> 5;
    header->sampleRate = kAdtsSampleRates[rateIndex];
    header->rawBlocks = (p[6] & 3u) + 1;
    return header->frameLength > headerBytes;
}

// The average bit rate of the whole frames at the start of the buffer.
uint32_t AdtsBitRate(const uint8_t* input, uint32_t size) {
    uint64_t bytes = 0, samples = 0, rate = 0;
    AdtsHeader header{};
    for (uint32_t offset = 0; ParseAdtsHeader(input + offset, size - offset, &header);) {
        if (header.frameLength > size - offset) break;
        bytes += header.frameLength;
        samples += uint64_t{header.rawBlocks} * kSamplesPerRawBlock;
        rate = header.sampleRate;
        offset += header.frameLength;
    }
    return samples ? Saturate32(bytes * 8 * rate / samples) : 0;
}

// The 23-bit bit rate of an ADIF header: after "ADIF", the copyright-id flag
// (and 72 bits of id when set), then original/copy, home and bitstream type.
uint32_t AdifBitRate(const uint8_t* input, uint32_t size) {
    uint32_t bit = 32;
    auto take = [&](uint32_t count) {
        uint32_t value = 0;
        for (uint32_t i = 0; i < count; ++i, ++bit) {
            if (bit / 8 >= size) return value;
            value = value << 1 | (uint32_t{input[bit / 8]} >> (7 - bit % 8) & 1u);
        }
        return value;
    };
    if (take(1)) bit += 72;
    bit += 3;
    return take(23);
}

int32_t AacHandleSize() { return static_cast<int32_t>(sizeof(AacHandle)); }

int32_t AacInit(void* handle) {
    if (!handle) return 1;
    std::memset(handle, 0, sizeof(AacHandle));
    return XR_AUDIO_OK;
}

int32_t AacReset(void* handle) {
    auto* h = static_cast<AacHandle*>(handle);
    if (!h) return 1;
    if (h->decoder) NeAACDecClose(h->decoder);
    return AacInit(h);
}

int32_t AacGetInfo(void* handle, AudioFormatInfo* format, const uint8_t* input, uint32_t inputSize,
                   uint32_t* consumed, void*) {
    auto* h = static_cast<AacHandle*>(handle);
    if (!h || !format || !consumed || (!input && inputSize)) return 1;
    if (h->ready) return XR_AUDIO_MALFORMED;
    if (inputSize < kMinFirstInput) return XR_AUDIO_SHORT_FIRST_INPUT;
    bool adts = input[0] == 0xFF && (input[1] & 0xF6) == 0xF0;
    bool adif = std::memcmp(input, "ADIF", 4) == 0;
    if (!adts && !adif) return XR_AUDIO_NOT_AAC_FRAMING;

    h->decoder = OpenFaad();
    if (!h->decoder) return XR_AUDIO_DECODER_ERROR;
    unsigned long sampleRate = 0;
    unsigned char channels = 0;
    long skip = NeAACDecInit(h->decoder, const_cast<uint8_t*>(input), inputSize, &sampleRate, &channels);
    if (skip < 0 || skip > static_cast<long>(inputSize) || sampleRate == 0 || channels == 0) {
        AacReset(h);
        return XR_AUDIO_MALFORMED;
    }
    if (channels > 2) {
        AacReset(h);
        return XR_AUDIO_TOO_MANY_CHANNELS;
    }
    h->adif = adif ? 1 : 0;
    h->channels = channels;
    h->sampleRate = static_cast<uint32_t>(sampleRate);
    h->ready = 1;
    *format = AudioFormatInfo{adif ? AdifBitRate(input, inputSize) : AdtsBitRate(input, inputSize), h->sampleRate,
                              h->channels, 16};
    *consumed = static_cast<uint32_t>(skip);
    return XR_AUDIO_OK;
}

// ADTS: one whole frame per step; bytes that do not start a frame are passed over.
int32_t DecodeAdts(AacHandle* h, const uint8_t* input, uint32_t inputSize, uint32_t* consumed, uint8_t* pcm,
                   uint32_t pcmCapacity, uint32_t* pcmBytes) {
    if (inputSize < kAdtsHeaderBytes) return XR_AUDIO_NEED_INPUT;
    AdtsHeader header{};
    if (!ParseAdtsHeader(input, inputSize, &header)) {
        uint32_t skip = 1;
        while (skip < inputSize && input[skip] != 0xFF) ++skip;
        *consumed = skip;
        return XR_AUDIO_OK;
    }
    if (inputSize < header.frameLength) return XR_AUDIO_NEED_INPUT;
    NeAACDecFrameInfo frame{};
    void* samples = NeAACDecDecode(h->decoder, &frame, const_cast<uint8_t*>(input), header.frameLength);
    int32_t status = TakeFrame(frame, samples, h->channels, h->sampleRate, pcm, pcmCapacity, pcmBytes);
    if (status == XR_AUDIO_OK) *consumed = header.frameLength;
    return status;
}

// ADIF has no frame lengths: a step needs as much input as the largest frame
// can take. Short of that it asks for a refill once; called again at the same
// position, what it holds is all the file has left.
int32_t DecodeAdif(AacHandle* h, uint64_t position, const uint8_t* input, uint32_t inputSize,
                   uint32_t* consumed, uint8_t* pcm, uint32_t pcmCapacity, uint32_t* pcmBytes) {
    bool tail = h->refillAsked && h->pendingPosition == position;
    if (inputSize < FAAD_MIN_STREAMSIZE * h->channels && !tail) {
        h->refillAsked = 1;
        h->pendingPosition = position;
        return XR_AUDIO_NEED_INPUT;
    }
    if (inputSize == 0) return XR_AUDIO_STREAM_END;
    NeAACDecFrameInfo frame{};
    void* samples = NeAACDecDecode(h->decoder, &frame, const_cast<uint8_t*>(input), inputSize);
    if (frame.error != 0 || frame.bytesconsumed == 0 || frame.bytesconsumed > inputSize)
        return tail ? XR_AUDIO_STREAM_END : XR_AUDIO_DECODER_ERROR;
    int32_t status = TakeFrame(frame, samples, h->channels, h->sampleRate, pcm, pcmCapacity, pcmBytes);
    if (status == XR_AUDIO_OK) *consumed = static_cast<uint32_t>(frame.bytesconsumed);
    return status;
}

int32_t AacDecExec(void* handle, uint64_t position, const uint8_t* input, uint32_t inputSize, uint32_t* consumed,
                   uint8_t* pcm, uint32_t pcmCapacity, uint32_t* pcmBytes) {
    auto* h = static_cast<AacHandle*>(handle);
    if (!h || !consumed || !pcmBytes || (!input && inputSize)) return 1;
    *consumed = 0;
    *pcmBytes = 0;
    if (!h->ready) return XR_AUDIO_MALFORMED;
    if (!pcm) return XR_AUDIO_NO_PCM_BUFFER;
    if (pcmCapacity < MinPcmCapacity(h->channels)) return XR_AUDIO_PCM_TOO_SMALL;
    if (h->adif) return DecodeAdif(h, position, input, inputSize, consumed, pcm, pcmCapacity, pcmBytes);
    return DecodeAdts(h, input, inputSize, consumed, pcm, pcmCapacity, pcmBytes);
}

int32_t AacEnd(void* handle) { return AacReset(handle); }

}  // namespace

const AudioDecoderOps kAacOps = {AacHandleSize, AacInit, AacGetInfo, AacDecExec, AacReset, AacEnd};

}  // namespace lumapix::audio
