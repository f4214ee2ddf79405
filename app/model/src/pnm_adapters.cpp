// Netpbm P1-P6 read and written directly on the stdio file: the format is simple
// enough that a codec stream would only add a copy.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "lumapix/format_adapters.h"
#include "pnm_parser.hpp"

using namespace lumapix::pnm;

namespace {

// --- Decoding ----------------------------------------------------------------

// Where reading stopped: the end of the data is normal, anything else is not.
CodecStatus EndStatus(FILE* f) { return std::ferror(f) ? XR_ERR_STREAM_CALLBACK : XR_OK; }

// Samples above the maximum would overflow the scaled byte or word; they are clamped.
uint32_t Clamp(int32_t v, int32_t maxval) {
    return static_cast<uint32_t>(v < 0 ? 0 : v > maxval ? maxval : v);
}

void PutSample(uint8_t* at, uint32_t value, bool wide) {
    if (wide) {  // little-endian words, whatever the host
        at[0] = static_cast<uint8_t>(value);
        at[1] = static_cast<uint8_t>(value >> 8);
    } else {
        at[0] = static_cast<uint8_t>(value);
    }
}

// P1: one '0' or '1' character per pixel. Writers may leave out the spaces between
// them, so a pixel is a single digit, not a number.
CodecStatus DecodePlainBits(FILE* f, const XrImage& image) {
    for (uint32_t y = 0; y < image.HEIGHT; ++y) {
        uint8_t* line = ImageLine(&image, y);
        for (uint32_t x = 0; x < image.WIDTH; ++x) {
            int c = getc_unlocked(f);
            while (IsSpace(c)) c = getc_unlocked(f);
            if (c == EOF) return EndStatus(f);
            if (!IsDigit(c)) return XR_ERR_ARGUMENT;
            if (c != '0') line[x >> 3] = static_cast<uint8_t>(line[x >> 3] | 0x80u >> (x & 7));
        }
    }
    return XR_OK;
}

// P2, P3: channels numbers per pixel, red first; stored blue first.
CodecStatus DecodePlainSamples(FILE* f, const XrImage& image, int32_t maxval, uint32_t channels) {
    bool wide = image.FMT > 8;
    uint32_t shift = static_cast<uint32_t>((wide ? 16 : 8) - image.FMT);
    uint32_t bytes = wide ? 2 : 1;
    for (uint32_t y = 0; y < image.HEIGHT; ++y) {
        uint8_t* line = ImageLine(&image, y);
        for (uint32_t x = 0; x < image.WIDTH; ++x) {
            uint8_t* pixel = line + x * channels * bytes;
            for (uint32_t c = 0; c < channels; ++c) {
                int32_t v = 0;
                Scan scan = ReadNumber(f, &v);
                if (scan == Scan::kEnd) return EndStatus(f);
                if (scan == Scan::kBad) return XR_ERR_ARGUMENT;
                PutSample(pixel + (channels - 1 - c) * bytes, Clamp(v, maxval) << shift, wide);
            }
        }
    }
    return XR_OK;
}

// P4, P5, P6: bytes. Samples of fewer than 8 bits are scaled up as in the plain forms.
CodecStatus DecodeBinary(FILE* f, const XrImage& image, int32_t maxval, int kind) {
    uint32_t fileBytes = kind == 6 ? 3u * image.WIDTH : kind == 5 ? image.WIDTH : image.LINEINT;
    uint32_t shift = kind == 4 ? 0 : static_cast<uint32_t>(8 - image.FMT);
    for (uint32_t y = 0; y < image.HEIGHT; ++y) {
        uint8_t* line = ImageLine(&image, y);
        size_t got = std::fread(line, 1, fileBytes, f);
        if (shift != 0) {
            auto top = static_cast<uint32_t>(maxval);
            for (size_t i = 0; i < got; ++i) {
                uint32_t v = line[i] < top ? line[i] : top;
                line[i] = static_cast<uint8_t>(v << shift);
            }
        }
        if (kind == 6) {
            // A short last read leaves zeros behind it, so swapping whole pixels stays right.
            for (size_t i = 0; i < got; i += 3) std::swap(line[i], line[i + 2]);
        }
        if (got < fileBytes) return EndStatus(f);
    }
    return XR_OK;
}

// --- Encoding ----------------------------------------------------------------

// Buffered decimal text: one fwrite per few kilobytes instead of a printf per sample.
class TextOut {
public:
    explicit TextOut(FILE* f) : file_(f) {}
    ~TextOut() { Flush(); }
    TextOut(const TextOut&) = delete;
    TextOut& operator=(const TextOut&) = delete;

    void Number(uint32_t v, char after) {
        if (used_ > sizeof buffer_ - 16) Flush();
        char digits[10];
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v != 0);
        while (n > 0) buffer_[used_++] = digits[--n];
        buffer_[used_++] = after;
    }
    void Char(char c) {
        if (used_ == sizeof buffer_) Flush();
        buffer_[used_++] = c;
    }
    void Flush() {
        if (used_ > 0) std::fwrite(buffer_, 1, used_, file_);
        used_ = 0;
    }

private:
    FILE* file_;
    size_t used_ = 0;
    char buffer_[8192];
};

// How a record's samples become file samples: signed ones move to offset binary
// (the sign bit flips), then the top bits that the file keeps are taken. Samples of
// fewer bits than their byte or word sit in its top bits, as the decoder leaves them.
struct SampleMap {
    bool wide;          // 16-bit words
    uint32_t signFlip;  // sign bit of the byte or word for signed samples, else 0
    uint32_t shift;
    uint32_t operator()(const uint8_t* at) const {
        uint32_t raw = wide ? uint32_t{at[0]} | uint32_t{at[1]} << 8 : at[0];
        return (raw ^ signFlip) >> shift;
    }
};

SampleMap MapFor(bool wide, int32_t fmt, uint32_t fileBits) {
    uint32_t depth = wide ? 16 : 8;
    return {wide, fmt < 0 ? 1u << (depth - 1) : 0u, depth - fileBits};
}

// One line of bitmap bytes in PBM polarity (1 = black), padding bits cleared.
void BitmapLine(const uint8_t* line, uint32_t width, bool invert, uint8_t* out) {
    uint32_t bytes = (width + 7) / 8;
    for (uint32_t i = 0; i < bytes; ++i) out[i] = invert ? static_cast<uint8_t>(~line[i]) : line[i];
    if (width % 8) out[bytes - 1] = static_cast<uint8_t>(out[bytes - 1] & (0xFF00u >> (width % 8)));
}

CodecStatus WritePlain(FILE* f, const XrImage& image, int kind, uint32_t fileBits, bool invert) {
    TextOut out(f);
    bool wide = image.MODE == XR_MODE_RGBW || image.MODE == XR_MODE_GRAYW;
    SampleMap map = MapFor(wide, image.FMT, fileBits);
    uint32_t bytes = wide ? 2 : 1;
    uint32_t channels = kind == 3 ? 3 : 1;
    std::unique_ptr<uint8_t[]> bits(kind == 1 ? new (std::nothrow) uint8_t[(image.WIDTH + 7u) / 8] : nullptr);
    if (kind == 1 && !bits) return XR_ERR_INTERNAL;
    for (uint32_t y = 0; y < image.HEIGHT && !std::ferror(f); ++y) {
        const uint8_t* line = ImageLine(&image, y);
        if (kind == 1) {
            BitmapLine(line, image.WIDTH, invert, bits.get());
            for (uint32_t x = 0; x < image.WIDTH; ++x) out.Number(uint32_t{bits[x >> 3]} >> (7 - (x & 7)) & 1u, ' ');
            out.Char('\n');
            continue;
        }
        for (uint32_t x = 0; x < image.WIDTH; ++x) {
            const uint8_t* pixel = line + x * channels * bytes;
            for (uint32_t c = channels; c-- > 0;) out.Number(map(pixel + c * bytes), ' ');
            if (x % 8 == 7) out.Char('\n');
        }
        if (image.WIDTH % 8) out.Char('\n');  // every image line ends its text line
    }
    return XR_OK;
}

CodecStatus WriteBinary(FILE* f, const XrImage& image, int kind, bool invert) {
    bool wide = image.MODE == XR_MODE_RGBW || image.MODE == XR_MODE_GRAYW;
    SampleMap map = MapFor(wide, image.FMT, 8);
    uint32_t samples = kind == 6 ? 3u * image.WIDTH : image.WIDTH;
    uint32_t fileBytes = kind == 4 ? (image.WIDTH + 7u) / 8 : samples;
    bool asStored = kind == 5 && !wide && image.FMT > 0;  // unsigned GRAY: the bytes are the samples
    std::unique_ptr<uint8_t[]> out(new (std::nothrow) uint8_t[fileBytes]);
    if (!out) return XR_ERR_INTERNAL;
    for (uint32_t y = 0; y < image.HEIGHT && !std::ferror(f); ++y) {
        const uint8_t* line = ImageLine(&image, y);
        if (kind == 4) {
            BitmapLine(line, image.WIDTH, invert, out.get());
        } else if (asStored) {
            std::memcpy(out.get(), line, fileBytes);
        } else if (kind == 5) {
            for (uint32_t x = 0; x < samples; ++x) out[x] = static_cast<uint8_t>(map(line + x * (wide ? 2 : 1)));
        } else {
            uint32_t bytes = wide ? 2 : 1;
            for (uint32_t x = 0; x < image.WIDTH; ++x) {
                const uint8_t* pixel = line + 3 * x * bytes;
                out[3 * x] = static_cast<uint8_t>(map(pixel + 2 * bytes));
                out[3 * x + 1] = static_cast<uint8_t>(map(pixel + bytes));
                out[3 * x + 2] = static_cast<uint8_t>(map(pixel));
            }
        }
        std::fwrite(out.get(), 1, fileBytes, f);
    }
    return XR_OK;
}

}  // namespace

extern "C" CodecStatus pnm_decode(FILE* file, XrImage* record, const DecodeOptions*) {
    if (!file || !record) return XR_ERR_ARGUMENT;
    Header header;
    flockfile(file);
    CodecStatus status = ReadHeader(file, &header);
    funlockfile(file);
    if (status != XR_OK) return status;
    ImageCopyHeader(record, &header.image);
    record->PIXELS = nullptr;
    record->SIZE = 0;
    status = ImageAlloc(record);
    if (status != XR_OK) return status;
    flockfile(file);  // the character reads below skip the per-call lock
    switch (header.kind) {
        case 1: status = DecodePlainBits(file, *record); break;
        case 2: status = DecodePlainSamples(file, *record, header.maxval, 1); break;
        case 3: status = DecodePlainSamples(file, *record, header.maxval, 3); break;
        default: status = DecodeBinary(file, *record, header.maxval, header.kind); break;
    }
    funlockfile(file);
    return status;
}

extern "C" CodecStatus pnm_encode(FILE* file, XrImage* record, const EncodeOptions* options) {
    if (!file || !record || !record->PIXELS) return XR_ERR_ARGUMENT;
    if (record->FMT == 0) record->FMT = 8;
    bool binary = options && options->pnmBinary;
    uint32_t bits = static_cast<uint32_t>(std::abs(int32_t{record->FMT}));
    if (binary && bits > 8) return XR_ERR_INTERNAL;
    int kind;
    uint32_t depth = 8;
    switch (record->MODE) {
        case XR_MODE_RGBW: depth = 16; [[fallthrough]];
        case XR_MODE_RGB: kind = 3; break;
        case XR_MODE_GRAYW: depth = 16; [[fallthrough]];
        case XR_MODE_GRAY: kind = 2; break;
        case XR_MODE_MONO: kind = 1; bits = 1; break;
        default: return XR_ERR_INTERNAL;
    }
    if (bits > depth) return XR_ERR_INTERNAL;  // more bits than the record stores
    if (record->WIDTH == 0 || record->HEIGHT == 0) return XR_ERR_ARGUMENT;
    if (record->LINEINT < ImageLineBytes(record->MODE, record->WIDTH)) return XR_ERR_MISMATCH;
    if (binary) kind += 3;
    // Bitmaps store 1 for black: a record whose zero bits are black is inverted on the way out.
    bool invert = record->MODE == XR_MODE_MONO && record->PALFMT != XR_PALFMT_WHITEISZERO;

    std::fprintf(file, "P%d\n%d %d\n", kind, record->WIDTH, record->HEIGHT);
    if (kind == 2 || kind == 3) std::fprintf(file, "%u\n", (1u << bits) - 1);
    if (kind == 5 || kind == 6) std::fputs("255\n", file);
    CodecStatus status = binary ? WriteBinary(file, *record, kind, invert) : WritePlain(file, *record, kind, bits, invert);
    if (status != XR_OK) return status;
    // Buffered bytes can still fail on their way out; the caller should hear of it now.
    if (std::fflush(file) != 0 || std::ferror(file)) return XR_ERR_STREAM_CALLBACK;
    return XR_OK;
}
