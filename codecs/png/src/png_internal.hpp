// Handle layouts and the pieces the PNG decoder's and encoder's files share:
// the CRC-32, the zlib memory arena, chunk type codes.
#ifndef LUMAPIX_PNG_INTERNAL_HPP
#define LUMAPIX_PNG_INTERNAL_HPP

#include <zlib.h>

#include <cstddef>
#include <cstdint>

#include "lumapix/png_codec.h"

namespace lumapix::png {

// Chunk types as big-endian words.
constexpr uint32_t ChunkType(const char (&name)[5]) {
    return uint32_t{static_cast<uint8_t>(name[0])} << 24 | uint32_t{static_cast<uint8_t>(name[1])} << 16 |
           uint32_t{static_cast<uint8_t>(name[2])} << 8 | uint32_t{static_cast<uint8_t>(name[3])};
}
constexpr uint32_t kIhdr = ChunkType("IHDR");
constexpr uint32_t kPlte = ChunkType("PLTE");
constexpr uint32_t kIdat = ChunkType("IDAT");
constexpr uint32_t kIend = ChunkType("IEND");

constexpr uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;  // the largest length a chunk may state

// CRC-32 (ISO 3309, as chunks use it) over a run of bytes. Start from kCrcStart,
// finish with CrcFinal; CrcOf does both.
constexpr uint32_t kCrcStart = 0xFFFFFFFF;
uint32_t CrcUpdate(uint32_t crc, const uint8_t* data, size_t size);
inline uint32_t CrcFinal(uint32_t crc) { return crc ^ 0xFFFFFFFF; }
uint32_t CrcOfType(uint32_t type);  // the running CRC after a chunk's four type bytes

// zlib's memory, carved from a block inside the handle. Everything is given
// back at once when the stream closes.
struct Arena {
    uint8_t* base;
    uint32_t capacity;
    uint32_t used;
};
void ArenaBind(z_stream* z, Arena* arena, uint8_t* memory, uint32_t capacity);
void ArenaRelease(Arena* arena);

// The widest row the filters see: truecolour of 65535 pixels once alpha is dropped.
constexpr uint32_t kMaxRowBytes = 3u * 65535u;
// Inflated bytes handled per step: whole pixels of 1, 2, 3 or 4 bytes.
constexpr uint32_t kStepBytes = 32760;
// zlib 1.2.x asks for about 7 KiB of state and a 32 KiB window to inflate, and for
// about 6 KiB of state and four 64 KiB tables to deflate at window bits 15 and
// memory level 8; both arenas leave room for a larger state.
constexpr uint32_t kInflateArenaBytes = 48u << 10;
constexpr uint32_t kDeflateArenaBytes = 280u << 10;

enum ChunkState : uint8_t { kNoHeader = 0, kBetweenChunks = 2, kInIdat = 3, kAfterIend = 4 };

// Converts one unfiltered row into record pixels.
using RowOutputFn = void (*)(const uint8_t* row, uint8_t* out, uint32_t width);

struct Decoder {
    CodecStatus status;
    XrImage fileHeader;
    XrImage recordHeader;
    CodecStream* stream;
    XrScaledDecode scaled;
    XrImage target;
    uint8_t palette[256 * 4];  // blue, green, red, 0
    PngIhdr ihdr;
    int32_t zlibStatus;
    uint8_t chunkState;
    uint8_t headerRead;
    uint8_t started;
    uint8_t inflateOpen;
    uint8_t zlibEnded;     // inflate has reported the end of the zlib stream
    uint8_t finished;      // every row delivered and the stream's tail checked
    uint32_t idatLeft;     // data bytes left in the current IDAT chunk
    uint32_t crc;          // running CRC of the current chunk
    uint32_t row;          // rows delivered
    uint32_t rowBytes;     // filtered bytes of a row once alpha is dropped
    uint32_t rawPixelBytes;  // bytes a pixel takes in the inflated data (8-bit files)
    uint32_t filterBpp;    // distance of the Sub, Average and Paeth filters
    uint32_t colourBytes;  // bytes kept per pixel (8-bit files)
    uint32_t skipBytes;    // alpha bytes dropped per pixel
    RowOutputFn output;
    z_stream z;
    Arena arena;
    // Work areas below are not cleared by PngDecInit: each byte is written before it is read.
    uint8_t previous[kMaxRowBytes + 16];  // previous row, unfiltered in place into the current one
    uint8_t step[kStepBytes + 16];        // filter byte and inflated bytes of the row
    alignas(std::max_align_t) uint8_t zlibMemory[kInflateArenaBytes];
};

struct Encoder {
    CodecStatus status;
    uint8_t bitDepth;    // always 8
    uint8_t colourType;  // 0 grey, 2 truecolour, 3 palette
    uint8_t interlace;   // always 0
    uint8_t deflateOpen;
    uint8_t* buffer;     // the caller's output buffer
    uint32_t bufferSize;
    CodecStream* stream;
    z_stream z;
    XrImage header;
    uint32_t row;
    uint32_t crc;        // CRC of the last IDAT written
    Arena arena;
    uint8_t line[12288 + 16];  // a row turned into file order, piece by piece
    alignas(std::max_align_t) uint8_t zlibMemory[kDeflateArenaBytes];
};

inline Decoder* AsDecoder(void* handle) { return static_cast<Decoder*>(handle); }
inline Encoder* AsEncoder(void* handle) { return static_cast<Encoder*>(handle); }

// The chunk walk and the inflate input, in png_chunks.cpp.
CodecStatus ReadSignatureAndIhdr(Decoder* d);
CodecStatus WalkToFirstIdat(Decoder* d);
// Inflates exactly size bytes, reading IDAT chunks as they come.
CodecStatus InflateBytes(Decoder* d, uint8_t* out, uint32_t size);
// After the last row: runs inflate to the end of the zlib stream and checks the
// CRC of the IDAT it ends in. A file that stops here is accepted.
CodecStatus FinishImageData(Decoder* d);
void CloseInflate(Decoder* d);

// Row filters and output conversion, in png_rows.cpp.
// Undoes a row's filter in place: row holds the previous row and receives this one.
// src holds size bytes of the filtered row from byte offset pos, in whole pixels;
// carry holds the previous row's bytes at [pos - bpp, pos) as they were before pos.
void Unfilter(uint32_t filterType, uint32_t bpp, uint8_t* row, const uint8_t* src, uint32_t pos,
              uint32_t size, const uint8_t* carry);
// Drops the alpha byte of each of count pixels, in place: pixelBytes 2 or 4 down by one.
void DropAlpha(uint8_t* data, uint32_t count, uint32_t pixelBytes);
RowOutputFn ChooseRowOutput(uint8_t colourType, uint8_t bitDepth);

}  // namespace lumapix::png

#endif
