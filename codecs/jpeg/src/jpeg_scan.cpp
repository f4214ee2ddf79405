// Entropy-coded data: bit reader, block decoding, restart and in-data markers,
// and the band loop that fills the work buffer.
//
// Marker segments inside the data are read as they come (DNL gives the height,
// others are passed over) and the bits continue behind them. The bit reader
// stops at RST, EOI or the end of the stream and from then on appends one bits,
// counting them. Whether an MCU ran into that padding is checked once per MCU;
// such an MCU is not data, and the marker decides what happens next.
#include <cstring>

#include "jpeg_internal.hpp"
#include "lumapix/stream_inline.hpp"

namespace lumapix::jpeg {

namespace {

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHighs = 0x8080808080808080ull;

inline bool HasFF(uint64_t w) {
    uint64_t t = ~w;
    return ((t - kOnes) & ~t & kHighs) != 0;
}

inline void Pad(BitReader& br) {
    if (br.bits < 64) {
        br.buffer |= ~0ull >> br.bits;
        br.padding += 64 - br.bits;
        br.bits = 64;
    }
}

inline void Consume(CodecStream* s, uint32_t n) {
    s->cursor += n;
    s->count += static_cast<int32_t>(n);
    s->position += static_cast<int32_t>(n);
}

CodecStatus SkipSegment(CodecStream* s) {
    uint16_t length = 0;
    if (StreamReadU16(s, &length) != 0) return s->error;
    if (length < 2) return XR_JPG_MARKER;
    if (SkipBytes(s, length - 2u) != 0) return s->error;
    return XR_OK;
}

CodecStatus ReadDnl(Decoder& d) {
    CodecStream* s = d.stream;
    uint16_t length = 0, lines = 0;
    if (StreamReadU16(s, &length) != 0) return s->error;
    if (length < 4) return XR_JPG_MARKER;
    if (StreamReadU16(s, &lines) != 0) return s->error;
    if (SkipBytes(s, length - 4u) != 0) return s->error;
    if (d.frameHeight == 0 && d.dnlHeight == 0 && lines != 0) d.dnlHeight = lines;
    return XR_OK;
}

inline bool IsRst(int32_t m) { return m >= kRst0 && m <= kRst7; }

// A marker met inside the data other than RST and EOI.
CodecStatus InDataMarker(Decoder& d, int32_t marker) {
    if (marker == kDnl) return ReadDnl(d);
    if (marker >= 0xC0 && marker != kSoi) return SkipSegment(d.stream);
    return XR_OK;  // markers without a segment
}

[[gnu::noinline]] void FillSlow(Decoder& d, BitReader& br) {
    CodecStream* s = d.stream;
    while (br.bits <= 56) {
        if (br.ended) {
            Pad(br);
            return;
        }
        int32_t c = NextByte(s);
        if (c == 0xFF) {
            do c = NextByte(s);
            while (c == 0xFF);  // fill bytes before a marker
            if (c > 0 && !IsRst(c) && c != kEoi) {
                CodecStatus status = InDataMarker(d, c);
                if (status != XR_OK) {
                    d.pending = status;
                    br.ended = 1;
                    br.marker = 0;
                }
                continue;
            }
            if (c != 0) {  // RST, EOI, or the stream failed
                br.ended = 1;
                br.marker = static_cast<uint8_t>(c < 0 ? 0 : c);
                continue;
            }
            c = 0xFF;  // FF 00 is a data FF
        } else if (c < 0) {
            br.ended = 1;
            br.marker = 0;
            continue;
        }
        br.buffer |= static_cast<uint64_t>(c) << (56 - br.bits);
        br.bits += 8;
    }
}

// The bit buffer as the block decoder keeps it: in registers, written back to
// the handle's reader only around the slow refill and at the end of a block.
struct Bits {
    uint64_t buffer;
    int32_t bits;
};

// Tops the buffer up to at least 57 bits.
inline void Fill(Decoder& d, BitReader& br, Bits& r) {
    CodecStream* s = d.stream;
    if (!br.ended && s->limit - s->cursor >= 8) {
        uint64_t w;
        std::memcpy(&w, s->cursor, 8);
        if (!HasFF(w)) {
            w = __builtin_bswap64(w);
            auto n = static_cast<uint32_t>(64 - r.bits) >> 3;  // whole bytes that fit
            uint32_t drop = 64 - 8 * n;
            w = w >> drop << drop;
            r.buffer |= w >> r.bits;
            r.bits += static_cast<int32_t>(8 * n);
            Consume(s, n);
            return;
        }
    }
    br.buffer = r.buffer;
    br.bits = r.bits;
    FillSlow(d, br);
    r.buffer = br.buffer;
    r.bits = br.bits;
}

inline uint32_t Peek(const Bits& r, uint32_t n) { return static_cast<uint32_t>(r.buffer >> (64 - n)); }
inline void Skip(Bits& r, uint32_t n) {
    r.buffer <<= n;
    r.bits -= static_cast<int32_t>(n);
}

// An s-bit value (1 <= s <= 15) with the sign extension of T.81 F.2.2.1.
inline int32_t Receive(Bits& r, uint32_t s) {
    uint32_t v = Peek(r, s);
    Skip(r, s);
    int32_t t = static_cast<int32_t>(v);
    return v < (1u << (s - 1)) ? t - static_cast<int32_t>((1u << s) - 1) : t;
}

// Needs at least 16 bits in the buffer.
inline int32_t DecodeSymbol(Bits& r, const HuffTable& t) {
    uint32_t e = t.look[Peek(r, kLookBits)];
    if (e >> 8) {
        Skip(r, e >> 8);
        return static_cast<int32_t>(e & 0xFF);
    }
    uint32_t length = 0;
    int32_t value = DecodeLongCode(t, Peek(r, 16), &length);
    if (value >= 0) Skip(r, length);
    return value;
}

inline int16_t Dequantise(int32_t value, uint16_t q) {
    return static_cast<int16_t>(static_cast<uint32_t>(value) * q);
}

// One block into coef (zeroed beforehand); returns the last zig-zag index written, or a negative status.
inline int32_t DecodeBlock(Decoder& d, BitReader& br, int32_t& predictor, const HuffTable& dc,
                           const AcTable& ac, const uint16_t* q, int16_t* coef) {
    Bits r{br.buffer, br.bits};
    int32_t result = 0;
    if (r.bits < 32) Fill(d, br, r);
    int32_t size = DecodeSymbol(r, dc);
    if (size < 0 || size > 15) {
        result = -XR_JPG_MARKER;
    } else {
        int32_t diff = size ? Receive(r, static_cast<uint32_t>(size)) : 0;
        predictor = static_cast<int32_t>(static_cast<uint32_t>(predictor) + static_cast<uint32_t>(diff));
        coef[0] = Dequantise(predictor, q[0]);
        for (int32_t k = 1; k < 64;) {
            if (r.bits < 32) Fill(d, br, r);
            int32_t fast = ac.fastAc[Peek(r, kLookBits)];
            if (fast) {
                Skip(r, static_cast<uint32_t>(fast & 0xFF));
                k += (fast >> 8) & 0xFF;
                if (k > 63) {
                    result = -XR_JPG_AC_RUN;
                    break;
                }
                uint32_t at = kZigZag[k];
                coef[at] = Dequantise(fast >> 16, q[at]);
                result = k++;
                continue;
            }
            int32_t rs = DecodeSymbol(r, ac);
            if (rs < 0) {
                result = -XR_JPG_MARKER;
                break;
            }
            int32_t run = rs >> 4, sz = rs & 15;
            if (sz == 0) {
                if (run == 0) break;  // EOB
                k += 16;              // ZRL
                if (run != 15 || k > 64) {
                    result = -XR_JPG_AC_RUN;
                    break;
                }
                continue;
            }
            k += run;
            if (k > 63) {
                result = -XR_JPG_AC_RUN;
                break;
            }
            uint32_t at = kZigZag[k];
            coef[at] = Dequantise(Receive(r, static_cast<uint32_t>(sz)), q[at]);
            result = k++;
        }
    }
    br.buffer = r.buffer;
    br.bits = r.bits;
    return result;
}

// Decodes one MCU into the sample planes. 0 or a status.
CodecStatus DecodeMcu(Decoder& d, BitReader& br) {
    for (int j = 0; j < d.ns; ++j) {
        int f = d.scanOrder[j];
        const Component& c = d.comp[f];
        const uint16_t* q = d.quant[c.tq];
        size_t stride = 8u * c.h;
        for (int by = 0; by < c.v; ++by) {
            for (int bx = 0; bx < c.h; ++bx) {
                int32_t last = DecodeBlock(d, br, d.predictor[f], *d.dcOf[f], *d.acOf[f], q, d.coef);
                if (last < 0) {
                    std::memset(d.coef, 0, sizeof d.coef);
                    return -last;
                }
                int16_t* out = d.samples + c.plane + static_cast<size_t>(by) * 8 * stride + static_cast<size_t>(bx) * 8;
                InverseDct(d.coef, out, stride, d.precision, last, d.allowSimd);
            }
        }
    }
    return XR_OK;
}

void ResetReader(BitReader& br) { br = BitReader{}; }

void ResetPredictors(Decoder& d) {
    for (int32_t& p : d.predictor) p = 0;
}

enum class Next { kResume, kEnd };

// Acts on the marker that stopped the bit reader: RST resumes decoding with a
// fresh bit reader, EOI and a failed stream end the image (d.pending says how).
Next HandleMarker(Decoder& d, BitReader& br) {
    if (br.marker == kEoi) {
        d.pending = XR_JPG_END_OF_IMAGE;
        return Next::kEnd;
    }
    if (!IsRst(br.marker)) {
        if (d.pending == XR_OK) d.pending = d.stream->error ? d.stream->error : XR_JPG_MARKER;
        return Next::kEnd;
    }
    ResetPredictors(d);
    d.restartsLeft = d.restartInterval;
    ResetReader(br);
    return Next::kResume;
}

// At a restart point: drop what is left of the interval and act on the next RST or EOI.
Next Restart(Decoder& d, BitReader& br) {
    while (!br.ended) {
        CodecStatus status = XR_OK;
        int32_t m = NextMarker(d.stream, &status);
        if (m < 0) {
            d.pending = status;
            return Next::kEnd;
        }
        if (IsRst(m) || m == kEoi) {
            br.ended = 1;
            br.marker = static_cast<uint8_t>(m);
            break;
        }
        status = InDataMarker(d, m);
        if (status != XR_OK) {
            d.pending = status;
            return Next::kEnd;
        }
    }
    return HandleMarker(d, br);
}

}  // namespace

void ResetEntropyDecoder(Decoder& d) {
    ResetReader(d.reader);
    ResetPredictors(d);
    d.restartsLeft = d.restartInterval;
    std::memset(d.coef, 0, sizeof d.coef);
}

uint32_t BandSpan(const Decoder& d) {
    uint32_t height = d.frameHeight ? d.frameHeight : d.dnlHeight;
    uint32_t left = height ? height - d.bandStart : kBandLines;
    uint32_t lines = left < kBandLines ? left : kBandLines;
    uint32_t mcuRows = ((lines + 7) / 8 + d.vmax - 1) / d.vmax;
    return mcuRows * 8u * d.vmax;
}

void DecodeBand(Decoder& d, uint8_t* dest, size_t destStride) {
    uint32_t mcuHeight = 8u * d.vmax, mcuWidth = 8u * d.hmax;
    uint32_t height = d.frameHeight ? d.frameHeight : d.dnlHeight;
    uint32_t left = height ? height - d.bandStart : kBandLines;
    uint32_t lines = left < kBandLines ? left : kBandLines;
    uint32_t mcuRows = BandSpan(d) / mcuHeight;
    size_t stride = d.workStride;
    // MCUs that lie wholly inside the line may go straight to the caller's lines.
    uint32_t direct = dest ? d.width / mcuWidth : 0;
    BitReader br = d.reader;

    uint32_t rowsDone = 0;
    bool end = false;
    for (uint32_t row = 0; row < mcuRows; ++row) {
        uint8_t* rowOut = d.work + static_cast<size_t>(row) * mcuHeight * stride;
        uint8_t* rowDest = dest ? dest + static_cast<size_t>(row) * mcuHeight * destStride : nullptr;
        for (uint32_t m = 0; m < d.mcusPerRow;) {
            if (d.restartInterval) {
                if (d.restartsLeft == 0 && Restart(d, br) == Next::kEnd) {
                    end = true;
                    break;
                }
                --d.restartsLeft;
            }
            CodecStatus status = DecodeMcu(d, br);
            // The MCU ran past the data, or failed on a code that reached into
            // the padding: what stopped the data decides.
            if (br.ended && (br.bits < br.padding || (status == XR_JPG_MARKER && br.bits - br.padding < 16))) {
                if (HandleMarker(d, br) == Next::kEnd) {
                    end = true;
                    break;
                }
                // An RST came early: this MCU is the first of the new interval,
                // decoded again from the data behind the marker.
                continue;
            }
            if (status != XR_OK) {
                d.pending = status;
                end = true;
                break;
            }
            size_t at = static_cast<size_t>(m) * mcuWidth * d.outBytes;
            if (m < direct) {
                d.convert(d, rowDest + at, destStride);
            } else {
                d.convert(d, rowOut + at, stride);
            }
            ++m;
        }
        if (end) break;
        ++rowsDone;
        // Once DNL has given the height, rows below it are not decoded.
        if (!d.frameHeight && d.dnlHeight && d.dnlHeight <= d.bandStart + rowsDone * mcuHeight) break;
    }
    d.reader = br;

    uint32_t valid = rowsDone * mcuHeight;
    if (valid > lines) valid = lines;
    uint32_t known = d.frameHeight ? d.frameHeight : d.dnlHeight;
    if (known && d.bandStart + valid > known) valid = known > d.bandStart ? known - d.bandStart : 0;
    d.bandLines = valid;
}

}  // namespace lumapix::jpeg
