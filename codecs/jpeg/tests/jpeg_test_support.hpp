// Hand-built JPEG streams and an in-memory decoder run for the JPEG tests.
//
// The builder is a small baseline/extended sequential encoder: it takes
// quantised coefficients, so a test knows exactly what the decoder must
// reconstruct, and it can place restart markers, DNL, an early EOI and any
// extra segments where a test needs them.
#ifndef LUMAPIX_JPEG_TEST_SUPPORT_HPP
#define LUMAPIX_JPEG_TEST_SUPPORT_HPP

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "lumapix/jpeg_decoder.h"

namespace jpegtest {

using Bytes = std::vector<uint8_t>;
using Block = std::array<int32_t, 64>;  // natural order

struct Comp {
    uint8_t id, h, v, tq = 0, td = 0, ta = 0;
};

struct Picture {
    uint16_t width = 16, height = 16;
    uint8_t precision = 8;
    std::vector<Comp> comps;
    std::array<std::array<uint16_t, 64>, 4> quant{};  // natural order
    std::vector<std::vector<Block>> coef;               // per component, raster order over its block grid
    uint32_t hmax = 1, vmax = 1, mcusX = 1, mcusY = 1;
    uint32_t BlocksX(size_t c) const { return mcusX * Effective(c).h; }
    uint32_t BlocksY(size_t c) const { return mcusY * Effective(c).v; }
    Comp Effective(size_t c) const;  // a lone component is not interleaved: 1 x 1
};

// Samples of component c at (x, y) of its own sample grid, without level shift.
using SampleFn = std::function<int32_t(size_t c, uint32_t x, uint32_t y)>;

// Forward DCT and quantisation of the sample function; quant 0 gives all-ones tables.
Picture MakePicture(uint16_t width, uint16_t height, uint8_t precision, std::vector<Comp> comps,
                    const SampleFn& sample, uint16_t quant = 0);

struct EncodeOptions {
    uint8_t sof = 0xC0;
    bool wideQuant = false;                // 16-bit DQT entries
    uint16_t restart = 0;                  // DRI interval in MCUs
    uint8_t firstRst = 0;                  // number of the first RST marker
    bool heightInDnl = false;              // SOF height 0, DNL after the data
    uint32_t stopAfterMcus = 0xFFFFFFFFu;  // EOI after this many MCUs
    std::vector<Bytes> segments;           // after SOI, before the tables
    bool eoi = true;
};
Bytes Encode(const Picture& picture, const EncodeOptions& options = {});

// What the decoder must produce: per component, IDCT samples over the block grid.
struct Reference {
    std::vector<std::vector<int32_t>> planes;
    std::vector<uint32_t> strides;
    const Picture* picture;
    // Sample of component c that covers image pixel (x, y), replicated.
    int32_t At(size_t c, uint32_t x, uint32_t y) const;
};
Reference Reconstruct(const Picture& picture);

// Expected pixel formulas, written independently of the decoder.
void ExpectedYcc(int32_t y, int32_t cb, int32_t cr, uint8_t bgr[3]);

// Marker segment with its length.
Bytes Segment(uint8_t marker, const Bytes& body);
Bytes Jfif(uint8_t units, uint16_t xd, uint16_t yd, uint8_t tw = 0, uint8_t th = 0, const Bytes& rgb = {});

// TIFF directory entries as stored (value bytes in the file's byte order).
struct Entry {
    uint16_t tag, type;
    uint32_t count;
    Bytes data;
};
struct TiffBuilder {
    bool motorola = true;
    Entry Ascii(uint16_t tag, const std::string& text) const;
    Entry Short(uint16_t tag, std::vector<uint16_t> values) const;
    Entry Long(uint16_t tag, uint32_t value) const;
    Entry Rational(uint16_t tag, uint32_t num, uint32_t den) const;
    Entry Undefined(uint16_t tag, const Bytes& bytes) const;
    // IFD0 (+ Exif IFD when exif is non-empty) and IFD1 (when ifd1 is non-empty) and the
    // thumbnail bytes; pointers and thumbnail offsets (513, 273) are filled in.
    Bytes Build(std::vector<Entry> ifd0, std::vector<Entry> exif, std::vector<Entry> ifd1,
                const Bytes& thumbnail) const;
    void Put16(Bytes& out, uint32_t v) const;
    void Put32(Bytes& out, uint32_t v) const;
};
Bytes ExifSegment(const Bytes& tiff);

struct DecodeOptions {
    int32_t mode = 0;         // 0: the header's
    bool byLine = false;
    bool seekable = true;
    bool thumbnail = false;
    int32_t chunk = 0;        // > 0: a callback stream handing out at most this many bytes per read
    uint16_t recordHeight = 0;  // 0: the header's (16383 when unknown)
    bool scalar = false;        // keep the decoder off its vector code
};

struct Decoded {
    CodecStatus headerStatus = XR_OK;
    CodecStatus status = XR_OK;
    XrImage header{};
    uint32_t workSize = 0;
    uint32_t appMode = 0;
    JpgAppInfo app{};
    uint32_t lines = 0;
    uint32_t newHeight = 0;  // last non-zero value DecodeLine reported
    uint32_t lineBytes = 0;
    std::vector<uint8_t> pixels;
    const uint8_t* Line(uint32_t y) const { return pixels.data() + size_t{y} * lineBytes; }
};
Decoded Decode(const Bytes& file, const DecodeOptions& options = {});

// A decoder over a file in memory with its header read, for tests that make the calls themselves.
struct OpenDecoder {
    Bytes file;
    std::vector<std::max_align_t> handle;
    CodecStream stream{};
    XrImage header{};
    uint32_t workSize = 0;
    std::vector<uint8_t> work;
    CodecStatus headerStatus;
    explicit OpenDecoder(Bytes bytes, bool thumbnail = false);
    OpenDecoder(const OpenDecoder&) = delete;
    OpenDecoder& operator=(const OpenDecoder&) = delete;
    void* get() { return handle.data(); }
};

// External tools (cjpeg, djpeg, convert): empty when the tool is missing or fails.
bool HaveTool(const std::string& name);
Bytes RunTool(const std::string& command, const Bytes& input, const std::string& inputName);
Bytes Ppm(uint32_t width, uint32_t height, const std::function<void(uint32_t, uint32_t, uint8_t rgb[3])>& pixel);
// Pixels of a binary PPM/PGM, and its size.
Bytes PnmPixels(const Bytes& pnm, uint32_t* width, uint32_t* height, uint32_t* channels);

}  // namespace jpegtest

#endif
