// Inline fast paths for codecs written in C++: touch only the staged bytes and
// fall back to the out-of-line calls when a refill or flush is due.
#ifndef LUMAPIX_STREAM_INLINE_HPP
#define LUMAPIX_STREAM_INLINE_HPP

#include <cstdint>

#include "lumapix/codec_stream.h"

namespace lumapix {

inline int32_t NextByte(CodecStream* s) {
    if (s->cursor != s->limit) {
        ++s->count;
        ++s->position;
        return *s->cursor++;
    }
    return StreamGetByte(s);
}

inline int32_t PutByte(CodecStream* s, uint8_t value) {
    if (s->cursor != s->limit) {
        *s->cursor++ = value;
        ++s->count;
        ++s->position;
        return 0;
    }
    return StreamPutByte(s, value);
}

inline uint32_t ReadLE16(CodecStream* s) {
    uint32_t lo = static_cast<uint8_t>(NextByte(s));
    return lo | static_cast<uint32_t>(static_cast<uint8_t>(NextByte(s))) << 8;
}

inline uint32_t ReadLE32(CodecStream* s) {
    uint32_t lo = ReadLE16(s);
    return lo | ReadLE16(s) << 16;
}

inline void WriteLE16(CodecStream* s, uint32_t value) {
    PutByte(s, static_cast<uint8_t>(value));
    PutByte(s, static_cast<uint8_t>(value >> 8));
}

inline void WriteLE32(CodecStream* s, uint32_t value) {
    WriteLE16(s, value & 0xFFFF);
    WriteLE16(s, value >> 16);
}

}  // namespace lumapix

#endif
