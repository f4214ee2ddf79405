// Declarations shared by the audio decoder's files.
#ifndef LUMAPIX_AUDIO_INTERNAL_HPP
#define LUMAPIX_AUDIO_INTERNAL_HPP

#include <cstdint>

#include "lumapix/audio_decoder.h"

namespace lumapix::audio {

extern const AudioDecoderOps kWavOps;
extern const AudioDecoderOps kAacOps;
extern const AudioDecoderOps kMp4Ops;
extern const AudioDecoderOps kWmaOps;
extern const AudioDecoderOps kMp3Ops;

inline uint32_t ReadBE16(const uint8_t* p) { return uint32_t{p[0]} << 8 | p[1]; }
inline uint32_t ReadBE32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
inline uint64_t ReadBE64(const uint8_t* p) { return uint64_t{ReadBE32(p)} << 32 | ReadBE32(p + 4); }
inline uint32_t ReadLE16(const uint8_t* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8; }
inline uint32_t ReadLE32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// Format words fit 32 bits; a product past that is reported as the largest value.
inline uint32_t Saturate32(uint64_t value) { return value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value); }

}  // namespace lumapix::audio

#endif
