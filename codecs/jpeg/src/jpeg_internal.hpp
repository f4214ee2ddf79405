// Decoder handle layout and the pieces shared by the JPEG decoder's files.
#ifndef LUMAPIX_JPEG_INTERNAL_HPP
#define LUMAPIX_JPEG_INTERNAL_HPP

#include <cstddef>
#include <cstdint>

#include "lumapix/jpeg_decoder.h"

namespace lumapix::jpeg {

constexpr int32_t kHandleSize = 22608;  // what JpgDecGetHandleSize reports
constexpr int kLookBits = 10;          // Huffman codes up to this length take one look-up
constexpr uint32_t kLookSize = 1u << kLookBits;
constexpr uint32_t kHuffmanPool = 4096;  // bytes of code storage all DHT segments may claim
constexpr int kMaxBlocks = 10;           // blocks per MCU
constexpr uint32_t kBandLines = 16;

// Natural (row-major) index of zig-zag position k.
extern const uint8_t kZigZag[64];

enum Marker : uint8_t {
    kSof0 = 0xC0, kSof1 = 0xC1, kDht = 0xC4, kDac = 0xCC, kRst0 = 0xD0, kRst7 = 0xD7,
    kSoi = 0xD8, kEoi = 0xD9, kSos = 0xDA, kDqt = 0xDB, kDnl = 0xDC, kDri = 0xDD,
    kDhp = 0xDE, kExp = 0xDF, kApp0 = 0xE0, kApp1 = 0xE1, kApp14 = 0xEE, kCom = 0xFE
};

enum ColourClass : uint8_t { kYcc = 0, kGrey = 1, kLab = 2, kCmyk = 3, kYcck = 4 };

enum Phase : uint8_t { kSeekSoi = 0, kInHeader = 1, kInScan = 2 };

// Where an embedded thumbnail comes from.
enum ThumbKind : uint8_t { kThumbNone = 0, kThumbJfif, kThumbExifRgb, kThumbExifYcc, kThumbExifJpeg };

struct HuffTable {
    uint16_t look[kLookSize];   // length << 8 | value; length 0: longer code or none
    uint32_t limit[17];         // per length l: codes of length <= l are below this, left-aligned to 16 bits
    int32_t offset[17];         // value index of a length-l code: (code >> (16 - l)) + offset[l]
    uint8_t values[256];
    uint16_t count;             // 0: never defined
};

// AC tables also resolve short codes with their extra bits to the coefficient.
struct AcTable : HuffTable {
    int32_t fastAc[kLookSize];  // coefficient << 16 | run << 8 | code + extra bits; 0: no shortcut
};

struct Component {
    uint8_t id;
    uint8_t h, v;    // sampling factors
    uint8_t tq;      // quantisation table
    uint8_t td, ta;  // Huffman table selectors from the scan
    uint16_t plane;  // first sample of this component's plane in Decoder::samples
};

// 64-bit left-aligned bit buffer; the next bit is bit 63.
struct BitReader {
    uint64_t buffer;
    int32_t bits;
    uint8_t ended;    // a marker (or the end of the stream) stopped the refills
    uint8_t marker;   // RST or EOI; 0 when the stream failed
    int64_t padding;  // one bits appended since then; bits below this count are not data
};

struct Decoder;
// Turns the MCU's sample planes into pixels at out (work-buffer stride apart).
using McuConverter = void (*)(const Decoder& d, uint8_t* out, size_t stride);

struct Decoder {
    CodecStatus status;      // sticky
    CodecStatus pending;     // becomes sticky once the lines already decoded are delivered
    CodecStream* stream;
    XrImage header;          // as returned by the header call
    uint32_t workSize;
    uint8_t* work;           // caller's band buffer
    uint8_t phase;
    uint8_t thumbRequested;
    uint8_t thumbPresent;
    uint8_t thumbKind;
    uint8_t inThumbStream;   // parsing the JPEG stream embedded in an Exif segment
    uint8_t appMode;
    uint8_t colourClass;
    uint8_t g3fax;           // a G3FAX segment was seen
    uint8_t adobe;           // an Adobe segment was seen
    uint8_t adobeTransform;
    uint8_t frameSeen;

    // Frame and scan.
    uint8_t precision;
    uint16_t frameHeight;    // 0: given by DNL
    uint16_t width;
    uint16_t dnlHeight;
    uint8_t nf;
    uint8_t ns;
    uint8_t hmax, vmax;
    uint8_t ss, se, ah, al;
    uint8_t scanOrder[4];    // frame component of each scan component
    Component comp[4];
    uint16_t restartInterval;
    uint16_t restartsLeft;
    uint32_t huffmanPoolUsed;
    uint16_t quant[4][64];   // natural order
    HuffTable dc[2];
    AcTable ac[2];
    const HuffTable* dcOf[4];  // per frame component, from the scan; selector 2 gets an empty table
    const AcTable* acOf[4];

    // Entropy decoding.
    BitReader reader;
    int32_t predictor[4];
    uint32_t mcusPerRow;
    uint32_t blocksPerMcu;
    alignas(16) int16_t coef[64];
    alignas(16) int16_t samples[kMaxBlocks * 64];  // per-component planes of one MCU
    uint8_t xmap[4][32];     // MCU column -> column in the component plane (generic converters)
    uint16_t ymap[4][16];    // MCU row -> offset of that row in the component plane

    // Output.
    int32_t outMode;
    uint32_t outBytes;       // bytes per output pixel
    uint32_t workStride;
    uint32_t recordLineInt;
    uint32_t recordHeight;
    McuConverter convert;
    McuConverter scalarConvert;  // what a vector converter falls back on
    uint8_t allowSimd;       // vector code may be used (tests clear it to compare with the scalar code)
    uint8_t outputReady;
    uint32_t delivered;      // lines handed to the caller
    uint32_t bandStart;
    uint32_t bandLines;      // valid lines in the current band

    // Thumbnail outside the JPEG path.
    uint16_t thumbWidth, thumbHeight;
    uint16_t thumbSubH, thumbSubV;

    JpgAppInfo app;
    XrScaledDecode scaled;
    XrImage scaledTarget;
};

inline Decoder* AsDecoder(void* handle) { return static_cast<Decoder*>(handle); }

// Header parsing (jpeg_markers.cpp).
CodecStatus ParseHeader(Decoder& d, int thumbnail);
// Next marker code, or a negative status; skips up to 4095 stray bytes.
int32_t NextMarker(CodecStream* s, CodecStatus* status);
// Advances n bytes, using the staged bytes directly where it can.
int32_t SkipBytes(CodecStream* s, uint32_t n);

// Application segments (jpeg_app.cpp). length is the segment length without its two length bytes.
CodecStatus ParseApp0(Decoder& d, uint32_t length, bool* stop);
CodecStatus ParseApp1(Decoder& d, uint32_t length, bool* stop);
CodecStatus ParseApp14(Decoder& d, uint32_t length);

// Huffman tables (jpeg_huffman.cpp): builds from BITS (16 counts) and HUFFVAL.
bool BuildHuffTable(HuffTable& t, const uint8_t counts[16], const uint8_t* values);
bool BuildAcTable(AcTable& t, const uint8_t counts[16], const uint8_t* values);
// Slow path for codes longer than kLookBits: the value of the code at the top of
// the 16 bits given and its length, or -1 for an invalid code.
int32_t DecodeLongCode(const HuffTable& t, uint32_t code, uint32_t* length);

// Inverse DCT (jpeg_idct.cpp): natural-order coefficients to samples with level shift,
// unclamped, leaving the coefficient block zeroed; lastZigZag is the zig-zag index
// of the last non-zero coefficient; simd allows the vector form.
void InverseDct(int16_t* coef, int16_t* out, size_t stride, int precision, int lastZigZag, bool simd);
// The same formulas evaluated without any shortcut; the reference for tests.
void InverseDctFull(const int16_t* coef, int16_t* out, size_t stride, int precision);

// Colour conversion (jpeg_color.cpp): 0, XR_ERR_MISMATCH or XR_ERR_UNSUPPORTED.
CodecStatus SelectConverter(Decoder& d, int32_t mode);
void SetupSampleMaps(Decoder& d);
// The integer YCbCr formula on one pixel (samples unclamped, chroma centred on 128).
void YccToBgr8(int32_t y, int32_t cb, int32_t cr, uint8_t out[3]);
// CMYK as Adobe stores it (inverted) or plain, to blue, green, red.
void CmykToBgr(int32_t c, int32_t m, int32_t y, int32_t k, bool inverted, uint8_t out[3]);

// Band decoding (jpeg_scan.cpp): the next band into the work buffer, or with
// dest, the MCUs that fit the line width straight into lines destStride apart
// (the rest still into the work buffer). BandSpan: lines the band's MCU rows cover.
void ResetEntropyDecoder(Decoder& d);
uint32_t BandSpan(const Decoder& d);
void DecodeBand(Decoder& d, uint8_t* dest, size_t destStride);

}  // namespace lumapix::jpeg

#endif
