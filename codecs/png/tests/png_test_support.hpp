// PNG files built by hand (with zlib's own CRC and deflate, independent of the
// codec's), a plain reference filter and Adam7 writer, and in-memory runs of the
// codec's call sequences.
#ifndef LUMAPIX_PNG_TEST_SUPPORT_HPP
#define LUMAPIX_PNG_TEST_SUPPORT_HPP

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "lumapix/codec_stream.h"
#include "lumapix/png_codec.h"
#include "lumapix/xr_image.h"

namespace pngtest {

using Bytes = std::vector<uint8_t>;

// An image in the file's terms: one byte per sample, channels per the colour type.
struct Picture {
    uint32_t width = 0, height = 0;
    uint8_t depth = 8, colour = 2;
    Bytes samples;  // height x width x channels
    Bytes plte;     // red, green, blue triples
};
uint32_t Channels(uint8_t colour);
// Smooth runs and noise, samples below 2^depth (indices below the palette size), fixed seed.
Picture RandomPicture(uint32_t width, uint32_t height, uint8_t depth, uint8_t colour, uint32_t seed);

Bytes Signature();
Bytes Ihdr(uint32_t width, uint32_t height, uint8_t depth, uint8_t colour, uint8_t interlace = 0);
void AppendChunk(Bytes& file, const std::string& type, const Bytes& data);
Bytes Deflate(const Bytes& raw);
// Packed, filtered rows (row i uses filters[i % size]); Adam7 passes one after another.
Bytes FilteredData(const Picture& p, const Bytes& filters, bool interlace);

struct Layout {
    Bytes filters{0};
    bool interlace = false;
    size_t idatSize = 0;  // IDATs of this size; 0: one IDAT
    std::vector<std::pair<std::string, Bytes>> before;  // chunks ahead of the image data
};
Bytes BuildPng(const Picture& p, const Layout& layout = {});

// The record pixels the decoder gives: blue-green-red, alpha dropped, samples unscaled.
Bytes ExpectedPixels(const Picture& p);

struct ChunkInfo {
    size_t offset;  // of the length field
    uint32_t length;
    std::string type;
};
std::vector<ChunkInfo> Chunks(const Bytes& file);
size_t EndOfImageData(const Bytes& file);  // just past the last IDAT's data

struct Decoded {
    CodecStatus headerStatus = XR_OK;
    CodecStatus status = XR_OK;  // first failing step
    XrImage header{};
    PngIhdr ihdr{};
    Bytes pixels;   // HEIGHT x LINEINT
    Bytes palette;  // 1024 bytes for INDEX
};
// Through the call sequence from memory (piece 0) or a read callback giving at most piece bytes.
Decoded DecodePng(const Bytes& file, bool byLine = false, size_t piece = 0);
Bytes EncodePng(const XrImage& image, CodecStatus* status, bool byLine = false);

// A decoder over a file in memory, for tests that make the calls themselves.
struct Session {
    Bytes file;
    Bytes handle;
    CodecStream stream{};
    explicit Session(Bytes bytes);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session() { PngDecEnd(h()); }
    void* h() { return handle.data(); }
};

struct Record {
    XrImage image{};
    Record() = default;
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;
    ~Record() { ImageFree(&image); }
};
// A record holding the picture as the decoder would deliver it; PALCOUNT is the PLTE's size.
void RecordFrom(const Picture& p, XrImage* image);

}  // namespace pngtest

#endif
