// One block's way to the stream: the integer forward DCT, quantisation and
// Huffman coding with byte stuffing.
#include <array>
#include <bit>

#include "jpeg_enc_internal.hpp"
#include "jpeg_internal.hpp"
#include "lumapix/stream_inline.hpp"

namespace lumapix::jpeg {
namespace {

// One 8-point pass down each of the eight columns of in (stride 8), written
// transposed to out, so two calls transform columns then rows and leave the
// coefficients in natural order. The inner loop runs across columns, which the
// compiler vectorises. Twelve-bit samples need 64-bit products in the odd part.
template <class Acc>
void DctPass(const int32_t* in, int32_t* out) {
    int32_t tmp[64];
    for (int c = 0; c < 8; ++c) {
        const Acc x0 = in[c], x1 = in[8 + c], x2 = in[16 + c], x3 = in[24 + c];
        const Acc x4 = in[32 + c], x5 = in[40 + c], x6 = in[48 + c], x7 = in[56 + c];
        const Acc s07 = x0 + x7, s16 = x1 + x6, s25 = x2 + x5, s34 = x3 + x4;
        const Acc d61 = x6 - x1, d25 = x2 - x5, d43 = x4 - x3;
        const Acc t = s07 + s34, u = s07 - s34, v = s25 - s16;
        const Acc w = 362 * (d61 + d25);
        const Acc p = w - 512 * d43, q = w + 512 * d43;
        const Acc e = 512 * (x0 - x7), f = d25 - d61;
        const Acc r = e + 362 * f, z = e - 362 * f;
        tmp[c] = static_cast<int32_t>((181 * (t + s16 + s25) + 256) >> 9);
        tmp[32 + c] = static_cast<int32_t>((181 * (t - s16 - s25) + 256) >> 9);
        tmp[16 + c] = static_cast<int32_t>((237 * u - 98 * v + 256) >> 9);
        tmp[48 + c] = static_cast<int32_t>((237 * v + 98 * u + 256) >> 9);
        tmp[8 + c] = static_cast<int32_t>((((251 * r - 50 * q) >> 9) + 256) >> 9);
        tmp[56 + c] = static_cast<int32_t>((((251 * q + 50 * r) >> 9) + 256) >> 9);
        tmp[24 + c] = static_cast<int32_t>((((213 * z - 142 * p) >> 9) + 256) >> 9);
        tmp[40 + c] = static_cast<int32_t>((((213 * p + 142 * z) >> 9) + 256) >> 9);
    }
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j) out[j * 8 + i] = tmp[i * 8 + j];
}

// Quantisation divides by multiplying: (n * m) >> shift equals n / d for every
// n below 2^bits when m = ceil(2^shift / d), d <= 255 and shift >= bits + 8.
// Eight-bit coefficients stay below 2^11, so their products fit 32 bits.
struct Quantiser8 {
    static constexpr int kShift = 19;
    static constexpr int32_t kMax = (1 << 11) - 1;
    using Wide = uint32_t;
};
struct Quantiser12 {
    static constexpr int kShift = 23;
    static constexpr int32_t kMax = (1 << 15) - 1;
    using Wide = uint64_t;
};

template <class Q>
void Quantise(const int32_t* block, const uint32_t* reciprocal, int16_t* q) {
    for (int i = 0; i < 64; ++i) {
        const int32_t v = block[i];
        const int32_t sign = v >> 31;
        int32_t m = (v ^ sign) - sign;
        m = m > Q::kMax ? Q::kMax : m;
        const auto quotient =
            static_cast<int32_t>((static_cast<typename Q::Wide>(m) * reciprocal[i]) >> Q::kShift);
        q[i] = static_cast<int16_t>((quotient ^ sign) - sign);
    }
}


inline void EmitBits(Encoder& e, uint32_t bits, int count) {
    e.bitBuffer = e.bitBuffer << count | bits;
    e.bitCount += count;
    if (e.bitCount < 32) return;
    e.bitCount -= 32;
    const uint32_t word = static_cast<uint32_t>(e.bitBuffer >> e.bitCount);
    CodecStream* s = e.out;
    // No 0xFF among the four bytes: they go out as they are.
    const uint32_t inverted = ~word;
    if (((inverted - 0x01010101u) & ~inverted & 0x80808080u) == 0) {
        PutByte(s, static_cast<uint8_t>(word >> 24));
        PutByte(s, static_cast<uint8_t>(word >> 16));
        PutByte(s, static_cast<uint8_t>(word >> 8));
        PutByte(s, static_cast<uint8_t>(word));
        return;
    }
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto byte = static_cast<uint8_t>(word >> shift);
        PutByte(s, byte);
        if (byte == 0xFF) PutByte(s, 0);  // a coded 0xFF is followed by a stuffed zero
    }
}

inline uint32_t Magnitude(int32_t v) { return static_cast<uint32_t>(std::bit_width(static_cast<uint32_t>(v < 0 ? -v : v))); }

// The low size bits of v, or of v - 1 when negative (T.81 F.1.2.1).
inline uint32_t ExtraBits(int32_t v, uint32_t size) {
    return static_cast<uint32_t>(v < 0 ? v - 1 : v) & ((1u << size) - 1);
}

}  // namespace

void ForwardDct(int32_t block[64], uint8_t precision) {
    int32_t columns[64];
    if (precision == 12) {
        DctPass<int64_t>(block, columns);
        DctPass<int64_t>(columns, block);
    } else {
        DctPass<int32_t>(block, columns);
        DctPass<int32_t>(columns, block);
    }
}

void PrepareQuantiser(const uint16_t table[64], uint8_t precision, uint32_t reciprocal[64]) {
    const uint32_t shift = precision == 12 ? Quantiser12::kShift : Quantiser8::kShift;
    for (int i = 0; i < 64; ++i) {
        const uint32_t d = table[i];
        reciprocal[i] = ((1u << shift) + d - 1) / d;
    }
}

void EncodeBlock(Encoder& e, int32_t block[64], int component) {
    ForwardDct(block, e.precision);
    const EncComponent& c = e.comp[component];
    const uint32_t* reciprocal = e.reciprocal[c.tq];
    // The largest magnitude each table can code: DC differences and AC values.
    const int32_t acLimit = e.precision == 12 ? (1 << 14) - 1 : (1 << 10) - 1;
    const int32_t dcLimit = e.precision == 12 ? (1 << 15) - 1 : (1 << 11) - 1;
    int16_t q[64];
    if (e.precision == 12)
        Quantise<Quantiser12>(block, reciprocal, q);
    else
        Quantise<Quantiser8>(block, reciprocal, q);

    int32_t diff = q[0] - e.dcPred[component];
    e.dcPred[component] = q[0];
    if (diff > dcLimit) diff = dcLimit;
    if (diff < -dcLimit) diff = -dcLimit;
    const HuffCodes& dc = e.dc[c.td];
    uint32_t size = Magnitude(diff);
    EmitBits(e, dc.code[size], dc.size[size]);
    if (size) EmitBits(e, ExtraBits(diff, size), static_cast<int>(size));

    const HuffCodes& ac = e.ac[c.ta];
    uint32_t run = 0;
    for (int k = 1; k < 64; ++k) {
        int32_t v = q[kZigZag[k]];
        if (v == 0) {
            ++run;
            continue;
        }
        for (; run > 15; run -= 16) EmitBits(e, ac.code[0xF0], ac.size[0xF0]);
        if (v > acLimit) v = acLimit;
        if (v < -acLimit) v = -acLimit;
        size = Magnitude(v);
        const uint32_t symbol = run << 4 | size;
        EmitBits(e, static_cast<uint32_t>(ac.code[symbol]) << size | ExtraBits(v, size),
                 ac.size[symbol] + static_cast<int>(size));
        run = 0;
    }
    if (run) EmitBits(e, ac.code[0], ac.size[0]);
}

// Pads the last byte with one bits and writes out what is left.
void FlushBits(Encoder& e) {
    const int pad = (8 - e.bitCount % 8) % 8;
    if (pad) EmitBits(e, (1u << pad) - 1, pad);
    while (e.bitCount >= 8) {
        e.bitCount -= 8;
        const auto byte = static_cast<uint8_t>(e.bitBuffer >> e.bitCount);
        PutByte(e.out, byte);
        if (byte == 0xFF) PutByte(e.out, 0);
    }
    e.bitBuffer = 0;
    e.bitCount = 0;
}

}  // namespace lumapix::jpeg
