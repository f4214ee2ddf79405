// What the AAC and MP4 decoders share around FAAD2.
#ifndef LUMAPIX_FAAD_SUPPORT_HPP
#define LUMAPIX_FAAD_SUPPORT_HPP

#include <neaacdec.h>

#include <cstdint>

namespace lumapix::audio {

// A FAAD2 decoder giving 16-bit PCM, channels as coded (no down-mix); null without memory.
NeAACDecHandle OpenFaad();

// Copies one decoded frame to pcm after checking it against the format GetInfo
// reported (FAAD2 may only learn some layouts at the first frame). A status.
int32_t TakeFrame(const NeAACDecFrameInfo& frame, const void* samples, uint32_t channels, uint32_t sampleRate,
                  uint8_t* pcm, uint32_t pcmCapacity, uint32_t* pcmBytes);

// channels x 2048 bytes: room for one frame of 16-bit PCM, SBR doubling included.
constexpr uint64_t MinPcmCapacity(uint32_t channels) { return uint64_t{channels} * 2048; }

}  // namespace lumapix::audio

#endif
