// Encoder handle layout and the pieces shared by the JPEG encoder's files.
#ifndef LUMAPIX_JPEG_ENC_INTERNAL_HPP
#define LUMAPIX_JPEG_ENC_INTERNAL_HPP

#include <cstddef>
#include <cstdint>

#include "lumapix/jpeg_encoder.h"

namespace lumapix::jpeg {

constexpr int32_t kEncHandleSize = 12360;  // what JpgEncGetHandleSize reports
constexpr int kEncMaxBlocks = 10;
constexpr uint32_t kEncWorkLines = 16;

// BITS (codes of each length 1..16) and HUFFVAL of one table.
struct HuffSpec {
    uint8_t bits[16];
    const uint8_t* values;
    uint16_t count;
};

// Code and length per symbol, derived once from a HuffSpec.
struct HuffCodes {
    uint16_t code[256];
    uint8_t size[256];
};

struct EncComponent {
    uint8_t h, v, tq, td, ta;
};

struct Encoder;
// Fills the MCU's level-shifted blocks from rows[i], the MCU's first entry on its i-th source line.
using BlockFiller = void (*)(const Encoder& e, const uint8_t* const* rows, int32_t (*blocks)[64]);

struct Encoder {
    CodecStatus status;  // sticky
    CodecStream* out;
    CodecStream* in;
    // options
    uint16_t quality;
    uint8_t colourSpace;
    uint8_t appMode;
    uint32_t subsampling;
    uint8_t customTables;
    uint8_t hasThumb;
    JpgThumbnail thumb;
    JpgAppInfo app;
    // image
    int32_t mode;
    uint32_t width, height;        // of the record, in entries and lines
    uint32_t lineInterval;
    uint8_t precision;             // 8 or 12
    uint32_t codedWidth, codedHeight;  // of the picture
    uint32_t lineBytes;
    // frame
    uint8_t nf;
    EncComponent comp[4];
    uint8_t nq;
    uint16_t qt[2][64];            // natural order
    uint32_t reciprocal[2][64];    // quantiser multipliers (see jpeg_enc_block.cpp)
    const HuffSpec* dcSpec[2];
    const HuffSpec* acSpec[2];
    HuffCodes dc[2], ac[2];
    // MCU
    uint8_t mcuPixels[16 * 16 * 6];  // edge MCUs, repeated out to the full width
    int32_t blocks[kEncMaxBlocks][64];
    int32_t dcPred[4];
    uint8_t blocksPerMcu;
    uint8_t blockComponent[kEncMaxBlocks];
    uint32_t mcuEntries;           // record entries across one MCU
    uint32_t mcuLines;             // record lines down one MCU
    uint32_t entryBytes;
    BlockFiller convert;
    // line gathering
    uint8_t* work;
    uint32_t workNeeded;
    uint32_t linesGathered;
    uint32_t linesTaken;
    uint8_t imageSet;
    // bit writer
    uint64_t bitBuffer;
    int32_t bitCount;
};
static_assert(sizeof(Encoder) <= static_cast<size_t>(kEncHandleSize), "encoder state outgrew its handle");

// Tables (jpeg_enc_tables.cpp).
extern const uint8_t kAnnexLuminance[64];
extern const uint8_t kAnnexChrominance[64];
extern const HuffSpec kDcLuminance8, kDcChrominance8, kAcLuminance8, kAcChrominance8, kDc12, kAc12;
void ScaleQuantTable(const uint8_t base[64], uint32_t quality, uint16_t out[64]);
void BuildHuffCodes(const HuffSpec& huff, HuffCodes& codes);

// Headers (jpeg_enc_headers.cpp).
void ApplyExifDefaults(ExifIfdRecord& ifd);
void DefaultAppInfo(JpgAppInfo& app);
CodecStatus WriteHeaders(Encoder& e);
uint32_t ExifSegmentLength(const Encoder& e);
void WriteMarker(CodecStream* s, uint8_t marker);

// MCU converters (jpeg_enc_mcu.cpp): null when the combination has none.
BlockFiller ChooseConverter(int32_t mode, uint8_t colourSpace, uint32_t subsampling, uint8_t precision);

// Blocks (jpeg_enc_block.cpp).
void ForwardDct(int32_t block[64], uint8_t precision);  // samples in, coefficients out, natural order
void PrepareQuantiser(const uint16_t table[64], uint8_t precision, uint32_t reciprocal[64]);
void EncodeBlock(Encoder& e, int32_t block[64], int component);
void FlushBits(Encoder& e);

}  // namespace lumapix::jpeg

#endif
