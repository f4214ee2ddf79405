#include "lumapix/codec_stream.h"

#include <cstring>

namespace {

int32_t Staged(const CodecStream* s) { return static_cast<int32_t>(s->limit - s->cursor); }

int32_t Fail(CodecStream* s, int32_t code) {
    s->error = code;
    return -1;
}

void Advance(CodecStream* s, int32_t n) {
    s->cursor += n;
    s->count += n;
    s->position += n;
}

// Refills until at least `want` bytes are staged; short reads are normal.
int32_t FillAtLeast(CodecStream* s, int32_t want) {
    while (Staged(s) < want)
        if (StreamFill(s) != 0) return -1;
    return 0;
}

}  // namespace

extern "C" {

int32_t StreamGetObjectSize(void) { return static_cast<int32_t>(sizeof(CodecStream)); }

CodecStatus StreamInit(CodecStream* s, uint8_t* buffer, int32_t bufferSize, void* user,
                       StreamTransferFn callback) {
    // Peeks need two staged bytes, so the staging area holds at least that.
    if (!s || !buffer || bufferSize < XR_STREAM_RESERVED + 2) return XR_ERR_ARGUMENT;
    *s = CodecStream{};
    s->base = buffer + XR_STREAM_RESERVED;
    s->capacity = bufferSize - XR_STREAM_RESERVED;
    s->user = user;
    s->transfer = callback;
    s->cursor = s->limit = s->base;
    return XR_OK;
}

CodecStatus StreamSetSeek(CodecStream* s, StreamSeekFn seek) {
    if (!s) return XR_ERR_ARGUMENT;
    s->seek = seek;
    return XR_OK;
}

int32_t StreamReset(CodecStream* s, int32_t direction) {
    if (!s || (direction != XR_STREAM_READ && direction != XR_STREAM_WRITE)) return -1;
    s->cursor = s->base;
    // A memory stream has its whole block staged: resetting rewinds it rather than
    // discarding the data it exists to serve.
    bool memory = s->transfer == nullptr;
    if (direction == XR_STREAM_WRITE || memory) {
        s->limit = s->base + s->capacity;
        if (memory) s->position = 0;
    } else {
        s->limit = s->base;
    }
    return 0;
}

CodecStatus StreamInitMemory(CodecStream* s, uint8_t* block, int32_t size) {
    if (!s || (!block && size > 0) || size < 0) return XR_ERR_ARGUMENT;
    *s = CodecStream{};
    s->base = s->cursor = block;
    s->capacity = size;
    s->limit = block + size;
    return XR_OK;
}

int32_t StreamFill(CodecStream* s) {
    if (s->error) return -1;
    // A memory stream has nothing more to give; its block must not be shifted.
    if (!s->transfer) return Fail(s, XR_ERR_STREAM_NO_CALLBACK);
    int32_t remaining = Staged(s);
    if (remaining > 0 && s->cursor != s->base) std::memmove(s->base, s->cursor, static_cast<size_t>(remaining));
    s->cursor = s->base;
    s->limit = s->base + remaining;
    int32_t room = s->capacity - remaining;
    if (room <= 0) return 0;
    int32_t got = s->transfer(s->base + remaining, room, s->user);
    if (got == -1) return Fail(s, XR_ERR_STREAM_CALLBACK);
    if (got <= 0 || got > room) return Fail(s, XR_ERR_STREAM_END);
    s->limit = s->base + remaining + got;
    return 0;
}

int32_t StreamGetByte(CodecStream* s) {
    if (s->cursor == s->limit && StreamFill(s) != 0) return -1;
    int32_t value = *s->cursor;
    Advance(s, 1);
    return value;
}

int32_t StreamReadU8(CodecStream* s, uint8_t* value) {
    *value = static_cast<uint8_t>(StreamGetByte(s));
    return s->error ? -1 : 0;
}

int32_t StreamReadU16(CodecStream* s, uint16_t* value) {
    uint32_t hi = static_cast<uint8_t>(StreamGetByte(s));
    uint32_t lo = static_cast<uint8_t>(StreamGetByte(s));
    *value = static_cast<uint16_t>(hi << 8 | lo);
    return s->error ? -1 : 0;
}

int32_t StreamReadU32(CodecStream* s, uint32_t* value) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | static_cast<uint8_t>(StreamGetByte(s));
    *value = v;
    return s->error ? -1 : 0;
}

int32_t StreamRead(CodecStream* s, void* destination, int32_t n) {
    if (s->error) return -1;
    auto* out = static_cast<uint8_t*>(destination);
    while (n > 0) {
        if (s->cursor == s->limit && StreamFill(s) != 0) return -1;
        int32_t run = Staged(s) < n ? Staged(s) : n;
        std::memcpy(out, s->cursor, static_cast<size_t>(run));
        Advance(s, run);
        out += run;
        n -= run;
    }
    return 0;
}

int32_t StreamSkip(CodecStream* s, int32_t n) {
    while (n > 0) {
        if (s->cursor == s->limit && StreamFill(s) != 0) return -1;
        int32_t run = Staged(s) < n ? Staged(s) : n;
        Advance(s, run);
        n -= run;
    }
    return 0;
}

int32_t StreamPeekU8(CodecStream* s) {
    if (FillAtLeast(s, 1) != 0) return -1;
    return *s->cursor;
}

int32_t StreamPeekU16(CodecStream* s) {
    if (FillAtLeast(s, 2) != 0) return -1;
    return s->cursor[0] << 8 | s->cursor[1];
}

int32_t StreamUnread(CodecStream* s, int32_t n) {
    if (s->error || n < 0) return -1;
    if (s->cursor - s->base >= n) {
        s->cursor -= n;
        s->count -= n;
        s->position -= n;
        return 0;
    }
    if (!s->seek) return Fail(s, XR_ERR_STREAM_NO_CALLBACK);
    if (s->seek(s->user, -(n + Staged(s)), 1) != 0) return Fail(s, XR_ERR_STREAM_SEEK);
    s->position -= n;
    s->cursor = s->limit = s->base;
    return 0;
}

int32_t StreamPutByte(CodecStream* s, uint8_t byte) {
    if (s->cursor == s->limit && StreamFlush(s) != 0) return -1;
    *s->cursor = byte;
    Advance(s, 1);
    return 0;
}

int32_t StreamWriteU8(CodecStream* s, uint8_t value) {
    StreamPutByte(s, value);
    return s->error ? -1 : 0;
}

int32_t StreamWriteU16(CodecStream* s, uint16_t value) {
    StreamPutByte(s, static_cast<uint8_t>(value >> 8));
    StreamPutByte(s, static_cast<uint8_t>(value));
    return s->error ? -1 : 0;
}

int32_t StreamWriteU32(CodecStream* s, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) StreamPutByte(s, static_cast<uint8_t>(value >> shift));
    return s->error ? -1 : 0;
}

int32_t StreamWrite(CodecStream* s, const void* source, int32_t n) {
    if (s->error) return -1;
    auto* in = static_cast<const uint8_t*>(source);
    while (n > 0) {
        if (s->cursor == s->limit && StreamFlush(s) != 0) return -1;
        int32_t run = Staged(s) < n ? Staged(s) : n;
        std::memcpy(s->cursor, in, static_cast<size_t>(run));
        Advance(s, run);
        in += run;
        n -= run;
    }
    return 0;
}

int32_t StreamFlush(CodecStream* s) {
    if (s->error) return -1;
    if (!s->transfer) return Fail(s, XR_ERR_STREAM_NO_CALLBACK);
    int32_t pending = static_cast<int32_t>(s->cursor - s->base);
    int32_t done = 0;
    // A callback may take fewer bytes than offered; keep handing it the rest.
    while (done < pending) {
        int32_t put = s->transfer(s->base + done, pending - done, s->user);
        if (put == -1 || put == 0 || put > pending - done) {
            s->cursor = s->base;
            s->limit = s->base + s->capacity;
            return Fail(s, put == -1 ? XR_ERR_STREAM_CALLBACK : XR_ERR_STREAM_END);
        }
        done += put;
    }
    s->cursor = s->base;
    s->limit = s->base + s->capacity;
    return 0;
}

int32_t StreamMemSeek(CodecStream* s, int32_t offset, int32_t whence) {
    uint8_t* reference;
    switch (whence) {
        case 0: reference = s->base; break;
        case 1: reference = s->cursor; break;
        case 2: reference = s->limit; break;
        default: return -1;
    }
    int64_t target = (reference - s->base) + int64_t{offset};
    int64_t end = s->limit - s->base;
    s->position = static_cast<int32_t>(target);
    if (target < 0) target = 0;
    if (target > end) target = end;
    s->cursor = s->base + target;
    return 0;
}

int32_t StreamMemRewind(CodecStream* s) { return StreamMemSeek(s, 0, 0); }

}  // extern "C"
