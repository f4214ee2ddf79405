// Variable-length-code LZW decoding of GIF image data, row piece by row piece.
//
// Codes are read least significant bit first from data sub-blocks. A code's
// string is built on the stack by walking its prefix chain, then copied out;
// what does not fit in the current run stays pending for the next one. Every
// prefix is smaller than its code, so a walk ends within 4096 steps and the
// stack cannot overflow.
#include <cstring>

#include "gif_internal.hpp"
#include "lumapix/stream_inline.hpp"

using namespace lumapix;
using namespace lumapix::gif;

namespace {

// Reads the next data sub-block into the work area.
CodecStatus NextBlock(LzwDecoder* z, CodecStream* s) {
    int32_t size = NextByte(s);
    if (size < 0) return s->error ? s->error : XR_ERR_STREAM_END;
    if (size == 0) return XR_GIF_DATA_ENDED;
    if (StreamRead(s, z->block, size) != 0) return s->error;
    z->blockPosition = 0;
    z->blockLength = static_cast<uint8_t>(size);
    return XR_OK;
}

template <bool Store>
CodecStatus Run(LzwDecoder* z, CodecStream* s, uint8_t* out, uint32_t n) {
    // Bytes left over from a string that did not fit in the previous run.
    uint32_t top = z->stackTop;
    if (top < kMaxCodes) {
        uint32_t k = kMaxCodes - top < n ? kMaxCodes - top : n;
        if constexpr (Store) {
            std::memcpy(out, z->stack + top, k);
            out += k;
        }
        top += k;
        n -= k;
        z->stackTop = static_cast<uint16_t>(top);
        if (n == 0) return XR_OK;
    }
    if (z->ended) {
        if constexpr (Store) std::memset(out, 0, n);
        return XR_OK;
    }

    uint64_t bits = z->bits;
    uint32_t count = z->bitCount;
    uint32_t width = z->width;
    uint32_t mask = z->mask;
    uint32_t next = z->nextFree;
    uint32_t previous = z->previous;
    uint32_t first = z->firstByte;
    uint32_t position = z->blockPosition;
    uint32_t length = z->blockLength;
    const uint32_t clear = z->clearCode;
    uint16_t* const prefix = z->prefix;
    uint8_t* const suffix = z->suffix;
    uint8_t* const stack = z->stack;
    const uint8_t* const block = z->block;
    CodecStatus status = XR_OK;

    while (n > 0) {
        if (count < width) {
            for (;;) {
                while (position < length && count <= 56) {
                    bits |= uint64_t{block[position++]} << count;
                    count += 8;
                }
                if (count >= width) break;
                status = NextBlock(z, s);
                if (status != XR_OK) break;
                position = 0;
                length = z->blockLength;
            }
            if (status != XR_OK) break;
        }
        uint32_t code = static_cast<uint32_t>(bits) & mask;
        bits >>= width;
        count -= width;

        if (code < clear) {  // a single pixel value
            if (previous != kNoCode && next < kMaxCodes) {
                prefix[next] = static_cast<uint16_t>(previous);
                suffix[next] = static_cast<uint8_t>(code);
                if (++next > mask && width < kMaxCodeWidth) {
                    ++width;
                    mask = mask << 1 | 1;
                }
            }
            previous = code;
            first = code;
            if constexpr (Store) *out++ = static_cast<uint8_t>(code);
            --n;
            continue;
        }
        if (code == clear) {
            width = z->minCodeSize + 1u;
            mask = (1u << width) - 1;
            next = clear + 2;
            previous = kNoCode;
            continue;
        }
        if (code == clear + 1) {  // end of the image data: the rest stays index 0
            z->ended = 1;
            if constexpr (Store) std::memset(out, 0, n);
            n = 0;
            break;
        }

        // Walk the prefix chain from the last byte back to the first. Bytes gather in
        // a register, eight at a time going to the stack, so a short string never
        // passes through memory before it reaches the row.
        uint64_t head = 0;  // the string's first `got` bytes, first byte lowest
        uint32_t got = 0;
        uint32_t sp = kMaxCodes;  // stack[sp, kMaxCodes) holds the bytes after those
        uint32_t c = code;
        if (code >= next) {
            // Only the code about to be defined may appear: the previous string
            // plus its own first byte. Anything beyond is corrupt data.
            if (code > next || previous == kNoCode) {
                status = XR_ERR_FORMAT;
                break;
            }
            head = first;
            got = 1;
            c = previous;
        }
        while (c >= clear) {
            head = head << 8 | suffix[c];
            c = prefix[c];
            if (++got == 8) {
                sp -= 8;
                std::memcpy(stack + sp, &head, 8);
                head = 0;
                got = 0;
            }
        }
        head = head << 8 | c;
        ++got;
        first = c;
        if (previous != kNoCode && next < kMaxCodes) {
            prefix[next] = static_cast<uint16_t>(previous);
            suffix[next] = static_cast<uint8_t>(first);
            if (++next > mask && width < kMaxCodeWidth) {
                ++width;
                mask = mask << 1 | 1;
            }
        }
        previous = code;

        uint32_t tail = kMaxCodes - sp;
        uint32_t k = got + tail;
        if (k <= n) {
            if constexpr (Store) {
                if (n >= 8) {
                    std::memcpy(out, &head, 8);  // bytes past `got` are overwritten below or later
                } else {
                    for (uint32_t i = 0; i < got; ++i) out[i] = static_cast<uint8_t>(head >> (8 * i));
                }
                if (tail) std::memcpy(out + got, stack + sp, tail);
                out += k;
            }
            n -= k;
        } else {
            // The row ends inside the string: put it whole on the stack (a string is
            // at most 4092 bytes, so sp - 8 stays inside), hand out what fits and
            // keep the rest for the next run.
            uint64_t shifted = got == 8 ? head : head << (8 * (8 - got));
            std::memcpy(stack + sp - 8, &shifted, 8);
            sp -= got;
            if constexpr (Store) std::memcpy(out, stack + sp, n);
            z->stackTop = static_cast<uint16_t>(sp + n);
            n = 0;
        }
    }

    z->bits = bits;
    z->bitCount = count;
    z->width = static_cast<uint16_t>(width);
    z->mask = static_cast<uint16_t>(mask);
    z->nextFree = static_cast<uint16_t>(next);
    z->previous = static_cast<uint16_t>(previous);
    z->firstByte = static_cast<uint8_t>(first);
    z->blockPosition = static_cast<uint8_t>(position);
    z->blockLength = static_cast<uint8_t>(length);
    return status;
}

}  // namespace

namespace lumapix::gif {

void LzwDecodeInit(LzwDecoder* z, uint32_t minCodeSize) {
    std::memset(z, 0, sizeof *z);
    z->minCodeSize = static_cast<uint8_t>(minCodeSize);
    z->clearCode = static_cast<uint16_t>(1u << minCodeSize);
    z->endCode = static_cast<uint16_t>(z->clearCode + 1);
    z->nextFree = static_cast<uint16_t>(z->clearCode + 2);
    z->width = static_cast<uint16_t>(minCodeSize + 1);
    z->mask = static_cast<uint16_t>((1u << z->width) - 1);
    z->previous = kNoCode;
    z->stackTop = kMaxCodes;
}

CodecStatus LzwDecodeRun(LzwDecoder* z, CodecStream* s, uint8_t* out, uint32_t count) {
    return Run<true>(z, s, out, count);
}

CodecStatus LzwSkipRun(LzwDecoder* z, CodecStream* s, uint32_t count) {
    return Run<false>(z, s, nullptr, count);
}

}  // namespace lumapix::gif
