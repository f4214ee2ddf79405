// Handle layouts shared by the RAW and RLE decoders and the RAW encoder.
#ifndef LUMAPIX_RAW_INTERNAL_HPP
#define LUMAPIX_RAW_INTERNAL_HPP

#include <cstdint>

#include "lumapix/raw_codec.h"

namespace lumapix::raw {

struct Decoder {
    CodecStatus status;
    XrImage fileHeader;    // the geometry the caller declared
    XrImage recordHeader;  // set by Start
    CodecStream* stream;
    XrScaledDecode scaled;
    uint32_t linesDecoded;
};

// The RLE handle starts with a RAW decoder, so RawDecSetStream serves both.
struct RleDecoder {
    Decoder raw;
    uint32_t lineLength;
    uint8_t palfmt;
    uint8_t palette[256 * 4];
};

struct Encoder {
    CodecStatus status;
    CodecStream* stream;
    XrImage header;
    uint32_t lineBytes;
};

inline Decoder* AsDecoder(void* handle) { return static_cast<Decoder*>(handle); }
inline RleDecoder* AsRleDecoder(void* handle) { return static_cast<RleDecoder*>(handle); }
inline Encoder* AsEncoder(void* handle) { return static_cast<Encoder*>(handle); }

// Bytes per StreamRead/StreamWrite call; the stream counts in int32_t.
constexpr uint32_t kMaxTransfer = 1u << 30;

// Shared checks of a Start call against the declared header.
inline bool SameGeometry(const XrImage& record, const XrImage& file) {
    return record.MODE == file.MODE && record.WIDTH == file.WIDTH && record.HEIGHT == file.HEIGHT;
}

}  // namespace lumapix::raw

#endif
