// Handle layouts and helpers shared by the BMP decoder's files.
#ifndef LUMAPIX_BMP_INTERNAL_HPP
#define LUMAPIX_BMP_INTERNAL_HPP

#include <cstdint>

#include "lumapix/bmp_codec.h"

namespace lumapix::bmp {

enum Compression : uint16_t { kNone = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3 };

// How 16- and 32-bit pixels turn into blue, green, red.
enum class PixelLayout : uint16_t { k555 = 0, k565 = 1, k888 = 2, kMasks = 0xFFFF };

enum class RunKind : uint8_t { kNone, kRepeat, kLiteral, kFill, kEndless };

struct RleState {
    uint32_t remaining;   // pixels left in the current run
    RunKind kind;
    uint8_t value;        // repeat byte (two nibbles for RLE4)
    uint8_t lastValue;    // fill value after end-of-line, delta and end-of-image
    uint8_t literalByte;  // RLE4 literal byte whose low nibble is still due
    uint8_t phase;        // RLE4 nibble parity within the run
    uint8_t padByte;      // literal runs end on an even byte count
};

struct ChannelMask {
    uint32_t mask;
    uint8_t shift;  // right shift that brings the field to bit 0
    uint8_t bits;   // field width
};

struct Decoder {
    CodecStatus status;
    XrImage fileHeader;
    XrImage recordHeader;
    CodecStream* stream;
    XrScaledDecode scaled;
    XrImage target;
    uint8_t palette[256 * 4];  // blue, green, red, 0
    uint32_t lineBytes;        // file line bytes before padding
    uint32_t padding;
    uint16_t compression;
    uint16_t bitsPerPixel;
    uint8_t topDown;
    PixelLayout layout;
    ChannelMask masks[3];  // red, green, blue
    RleState rle;
    uint32_t linesDecoded;
};

struct Encoder {
    CodecStatus status;
    CodecStream* stream;
    XrImage header;
    uint32_t paddedLineBytes;
    uint32_t padding;
    uint32_t lineBytes;
    const int32_t* yuvToRgb;  // coefficients for planar YUV input
};

inline Decoder* AsDecoder(void* handle) { return static_cast<Decoder*>(handle); }
inline Encoder* AsEncoder(void* handle) { return static_cast<Encoder*>(handle); }

// Decodes one RLE4/RLE8 line into width index bytes.
CodecStatus DecodeRleLine(Decoder* d, uint8_t* line);

// Returns the stream's error when it has one, else the handle's status.
inline CodecStatus LineStatus(const Decoder* d) {
    return d->stream->error ? d->stream->error : d->status;
}

}  // namespace lumapix::bmp

#endif
