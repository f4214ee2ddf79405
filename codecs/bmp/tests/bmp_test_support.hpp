// Hand-built bitmap files and an in-memory decoder run for the BMP tests.
#ifndef LUMAPIX_BMP_TEST_SUPPORT_HPP
#define LUMAPIX_BMP_TEST_SUPPORT_HPP

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lumapix/codec_stream.h"
#include "lumapix/xr_image.h"

namespace bmptest {

struct BmpSpec {
    int32_t width = 4;
    int32_t height = 2;         // negative: top line first
    uint16_t bitsPerPixel = 24;
    uint32_t compression = 0;
    uint32_t headerSize = 40;   // 12 for the OS/2 core form
    uint32_t colorsUsed = 0;
    uint16_t planes = 1;
    std::vector<uint32_t> masks;           // written after a 40-byte header
    std::vector<uint8_t> palette;          // raw colour-table bytes
    int64_t pixelOffset = -1;              // -1: right after the table
    std::vector<uint8_t> gap;              // bytes between table and pixels
    std::vector<uint8_t> pixels;           // raw pixel data as stored
};

std::vector<uint8_t> BuildBmp(const BmpSpec& layout);

struct Decoded {
    CodecStatus headerStatus = XR_OK;
    CodecStatus status = XR_OK;  // first failing step
    XrImage header{};
    XrImage image{};
    int32_t bottomUp = -1;
    Decoded() = default;
    Decoded(const Decoded&) = delete;
    Decoded& operator=(const Decoded&) = delete;
    Decoded(Decoded&& other) noexcept : headerStatus(other.headerStatus), status(other.status),
        header(other.header), image(other.image), bottomUp(other.bottomUp) { other.image = XrImage{}; }
    Decoded& operator=(Decoded&& other) noexcept {
        if (this != &other) {
            ImageFree(&image);
            headerStatus = other.headerStatus;
            status = other.status;
            header = other.header;
            image = other.image;
            bottomUp = other.bottomUp;
            other.image = XrImage{};
        }
        return *this;
    }
    ~Decoded() { ImageFree(&image); }
    const uint8_t* Line(uint32_t y) const { return ImageLine(&image, y); }
};

// Decodes from memory through the codec's call sequence, line by line or whole;
// the record is allocated from the header.
Decoded DecodeBmp(std::vector<uint8_t> bytes, bool byLine = true);
Decoded DecodeBmpStream(CodecStream* stream, bool byLine = true);

// Encodes a record to memory; status in *status.
std::vector<uint8_t> EncodeBmp(const XrImage& image, CodecStatus* status, bool byLine = true);

// A decoder over a file in memory with its header read, for tests that make the calls themselves.
struct OpenDecoder {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> handle;
    CodecStream stream{};
    XrImage header{};
    CodecStatus headerStatus;
    explicit OpenDecoder(std::vector<uint8_t> file);
    OpenDecoder(const OpenDecoder&) = delete;
    OpenDecoder& operator=(const OpenDecoder&) = delete;
    void* get() { return handle.data(); }
};

}  // namespace bmptest

#endif
