// Handle and work-area layouts shared by the GIF codec's files.
#ifndef LUMAPIX_GIF_INTERNAL_HPP
#define LUMAPIX_GIF_INTERNAL_HPP

#include <cstddef>
#include <cstdint>

#include "lumapix/gif_codec.h"

namespace lumapix::gif {

constexpr uint32_t kMaxCodes = 4096;     // 12-bit codes
constexpr uint32_t kMaxCodeWidth = 12;
constexpr uint16_t kNoCode = 0xFFFF;
constexpr uint32_t kMaxSubBlock = 255;
constexpr uint32_t kPaletteEntries = 256;

// The decoder's LZW state, laid over the caller's work area.
struct LzwDecoder {
    uint16_t prefix[kMaxCodes];  // code -> the code of its string minus the last byte
    uint8_t suffix[kMaxCodes];   // code -> last byte of its string
    uint8_t stack[kMaxCodes];    // a decoded string, last byte at the end; pending bytes at [stackTop, end)
    uint8_t block[256];          // the current data sub-block (at most 255 bytes)
    uint64_t bits;               // bit accumulator, next code in the low bits
    uint32_t bitCount;
    uint16_t clearCode;
    uint16_t endCode;
    uint16_t nextFree;
    uint16_t width;              // current code width
    uint16_t mask;               // (1 << width) - 1
    uint16_t previous;           // previous code, kNoCode right after a clear
    uint16_t stackTop;           // kMaxCodes when nothing is pending
    uint8_t blockPosition;
    uint8_t blockLength;
    uint8_t firstByte;           // first byte of the previous code's string
    uint8_t minCodeSize;
    uint8_t ended;               // the end code has been read
    uint8_t reserved[25];
};
static_assert(sizeof(LzwDecoder) == XR_GIF_DEC_WORK_SIZE, "the decoder's work area size is fixed");

// The encoder's LZW state. Hash slots are 5 bytes: code (0xFFFF free), prefix, pixel.
constexpr uint32_t kHashSlots = 5021;  // prime, about 1.3 times the 3838 codes a table holds
constexpr uint32_t kSlotBytes = 5;

struct LzwEncoder {
    uint32_t bits;        // bit accumulator, fewer than 8 bits between codes
    uint32_t bitCount;
    uint16_t nextFree;
    uint16_t width;
    uint16_t prefix;      // code of the string matched so far
    uint16_t blockFill;   // bytes pending in block
    uint8_t started;      // the first pixel has been seen
    uint8_t reserved0[3];
    uint8_t block[kMaxSubBlock];
    uint8_t slots[kHashSlots * kSlotBytes];
    uint8_t reserved1[8];
};
static_assert(sizeof(LzwEncoder) == XR_GIF_ENC_WORK_SIZE, "the encoder's work area size is fixed");

enum ParseState : uint8_t { kNothingRead = 0, kImageFound = 1, kDecoding = 2, kTrailerMet = 4 };

struct Decoder {
    CodecStatus status;          // last failure; every later call returns it
    XrImage fileHeader;
    XrImage recordHeader;
    CodecStream* stream;
    XrScaledDecode scaled;       // work line, clip, step, accumulator, counters, converters
    XrImage target;
    uint8_t palette[kPaletteEntries * 4];  // blue, green, red, 0
    uint16_t imageWidth;
    uint16_t imageHeight;
    uint16_t visibleWidth;       // image columns inside the logical screen
    uint16_t visibleHeight;
    uint8_t background;
    uint8_t interlaced;
    uint16_t tableBytes;         // bytes of the colour table in use, 0 without one
    LzwDecoder* work;
    uint8_t state;
    uint8_t pass;                // interlace pass 0..3
    uint32_t row;                // screen row the next image row goes to
    uint32_t imageRows;          // image rows decoded
    uint32_t linesDelivered;     // record lines handed out
};

struct Encoder {
    CodecStatus status;
    CodecStream* stream;
    uint8_t codeSize;     // LZW minimum code size, always 8
    uint8_t background;   // 0
    uint8_t aspect;       // 0
    uint8_t headerWritten;
    LzwEncoder* work;
    XrImage header;
    uint32_t rows;
};

// The handle sizes the codec reports; pointers and XrImage records make them
// platform-dependent, so they are pinned for 64-bit builds.
static_assert(sizeof(void*) != 8 || sizeof(Decoder) == 1312, "decoder handle size changed");
static_assert(sizeof(void*) != 8 || sizeof(Encoder) == 88, "encoder handle size changed");

inline Decoder* AsDecoder(void* handle) { return static_cast<Decoder*>(handle); }
inline Encoder* AsEncoder(void* handle) { return static_cast<Encoder*>(handle); }

// LZW decoding (gif_lzw_decode.cpp).
void LzwDecodeInit(LzwDecoder* z, uint32_t minCodeSize);
// Decodes the next count pixels into out; after the end code the rest is zero.
CodecStatus LzwDecodeRun(LzwDecoder* z, CodecStream* s, uint8_t* out, uint32_t count);
// Decodes and drops the next count pixels.
CodecStatus LzwSkipRun(LzwDecoder* z, CodecStream* s, uint32_t count);

}  // namespace lumapix::gif

#endif
