// Hand-built GIF files from an independent LZW coder, a strict code parser and
// in-memory codec runs for the GIF tests.
#ifndef LUMAPIX_GIF_TEST_SUPPORT_HPP
#define LUMAPIX_GIF_TEST_SUPPORT_HPP

#include <cstdint>
#include <string>
#include <vector>

#include "lumapix/codec_stream.h"
#include "lumapix/gif_codec.h"
#include "lumapix/xr_image.h"

namespace giftest {

using Bytes = std::vector<uint8_t>;

struct Code {
    uint32_t value, width;
};

struct LzwOptions {
    bool clearWhenFull = true;   // clear before code 4095 would be defined; else keep 12-bit codes
    uint32_t leadingClears = 1;
    bool endCode = true;
};

// Codes for pixels in stored order, each in the width a decoder reads it in.
std::vector<Code> LzwCodes(const Bytes& pixels, uint32_t minCodeSize, const LzwOptions& options = {});
std::vector<Code> WithWidths(const std::vector<uint32_t>& codes, uint32_t minCodeSize);
// Minimum code size byte, sub-blocks of blockSize bytes, zero-length terminator.
Bytes LzwData(const std::vector<Code>& codes, uint8_t minCodeSize, uint32_t blockSize = 255);
// The codes of the image data at offset (the minimum code size byte), read strictly up
// to the end code; *end receives the offset after the terminator. Fails the test on bad data.
std::vector<Code> ParseCodes(const Bytes& file, size_t offset, size_t* end = nullptr);
Bytes Interlace(const Bytes& pixels, uint32_t width, uint32_t height);

struct GifPlan {
    std::string signature = "GIF89a";
    uint16_t screenWidth = 0, screenHeight = 0;  // 0: the image's size
    Bytes globalTable;                           // red, green, blue; 2^k entries
    uint8_t background = 0;
    Bytes beforeImage, afterImage;               // extensions, stray bytes, more frames
    uint16_t left = 0, top = 0, width = 0, height = 0;
    Bytes localTable;
    bool interlaced = false;
    uint8_t minCodeSize = 8;
    Bytes pixels;                                // top line first
    Bytes data;                                  // given image data; else coded from pixels
    LzwOptions lzw;
    uint32_t blockSize = 255;
};

Bytes BuildGif(const GifPlan& plan);
Bytes MakeTable(uint32_t entries, uint32_t salt = 0);
Bytes RandomPixels(size_t count, uint32_t colours, uint32_t seed);
Bytes Comment(const std::string& text);

struct Decoded {
    CodecStatus headerStatus = XR_OK, status = XR_OK;
    XrImage header{};
    GifImageInfo info{};
    uint32_t workSize = 0;
    Bytes pixels, palette;  // WIDTH bytes per line; 1024 bytes blue, green, red, 0
};

enum class Calls { kLines, kWhole };
Decoded DecodeGif(const Bytes& file, Calls calls = Calls::kWhole);

// A decoder over a file in memory with its header read and its work area set.
struct OpenDecoder {
    Bytes bytes;
    std::vector<uint64_t> handle, work;
    CodecStream stream{};
    XrImage header{};
    GifImageInfo info{};
    uint32_t workSize = 0;
    CodecStatus headerStatus;
    explicit OpenDecoder(Bytes file);
    OpenDecoder(const OpenDecoder&) = delete;
    OpenDecoder& operator=(const OpenDecoder&) = delete;
    void* get() { return handle.data(); }
};

// An INDEX picture whose record points into its own vectors.
struct IndexPicture {
    Bytes pixels, palette;
    XrImage image{};
    IndexPicture(uint16_t width, uint16_t height, uint32_t colours, uint32_t seed);
    IndexPicture(const IndexPicture&) = delete;
    IndexPicture& operator=(const IndexPicture&) = delete;
};

Bytes EncodeGif(const XrImage& image, CodecStatus* status, Calls calls = Calls::kWhole);

}  // namespace giftest

#endif
