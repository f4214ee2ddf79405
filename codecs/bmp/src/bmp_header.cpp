// File header, information header, bit-field masks and colour table.
#include <bit>
#include <cstring>

#include "bmp_internal.hpp"
#include "lumapix/stream_inline.hpp"

using namespace lumapix;
using namespace lumapix::bmp;

namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kCoreHeaderBytes = 12;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kMaxDimension = 65535;
constexpr uint32_t kPaletteEntries = 256;

struct RawHeader {
    uint32_t pixelOffset;
    uint32_t headerSize;
    int64_t width;
    int64_t height;
    uint32_t planes;
    uint32_t bitsPerPixel;
    uint32_t compression;
    uint32_t colorsUsed;
};

// Skips up to n bytes in int32-sized steps; the stream reports a short file.
int32_t SkipLong(CodecStream* s, uint64_t n) {
    while (n > 0) {
        int32_t step = n > 0x40000000 ? 0x40000000 : static_cast<int32_t>(n);
        if (StreamSkip(s, step) != 0) return -1;
        n -= static_cast<uint64_t>(step);
    }
    return 0;
}

ChannelMask DescribeMask(uint32_t mask) {
    ChannelMask c{mask, 0, 0};
    c.shift = static_cast<uint8_t>(std::countr_zero(mask));
    c.bits = static_cast<uint8_t>(32 - std::countl_zero(mask) - c.shift);
    return c;
}

CodecStatus ReadMasks(Decoder* d, CodecStream* s) {
    uint32_t red = ReadLE32(s), green = ReadLE32(s), blue = ReadLE32(s);
    if (s->error) return s->error;
    if (!red || !green || !blue) return XR_ERR_FORMAT;
    if ((red & green) || (red & blue) || (green & blue)) return XR_ERR_FORMAT;
    uint64_t pixelRange = d->bitsPerPixel == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    if ((uint64_t{red} | green | blue) > pixelRange) return XR_ERR_FORMAT;
    // The fast layouts need all three masks to match, not just green: swapped
    // red and blue would otherwise come out with their colours exchanged.
    if (red == 0x7C00 && green == 0x3E0 && blue == 0x1F) {
        d->layout = PixelLayout::k555;
    } else if (red == 0xF800 && green == 0x7E0 && blue == 0x1F) {
        d->layout = PixelLayout::k565;
    } else if (red == 0xFF0000 && green == 0xFF00 && blue == 0xFF && d->bitsPerPixel == 32) {
        d->layout = PixelLayout::k888;
        d->compression = kNone;
    } else {
        d->layout = PixelLayout::kMasks;
    }
    d->masks[0] = DescribeMask(red);
    d->masks[1] = DescribeMask(green);
    d->masks[2] = DescribeMask(blue);
    return XR_OK;
}

CodecStatus ReadRawHeader(CodecStream* s, RawHeader* h) {
    uint8_t magic[2];
    if (StreamRead(s, magic, 2) != 0) return s->error;
    if (magic[0] != 'B' || magic[1] != 'M') return XR_ERR_FORMAT;
    ReadLE32(s);  // file size: unreliable in the wild, never needed
    ReadLE32(s);  // reserved
    h->pixelOffset = ReadLE32(s);
    h->headerSize = ReadLE32(s);
    if (s->error) return s->error;
    if (h->headerSize == kCoreHeaderBytes) {
        h->width = ReadLE16(s);
        h->height = ReadLE16(s);
        h->planes = ReadLE16(s);
        h->bitsPerPixel = ReadLE16(s);
        h->compression = kNone;
        h->colorsUsed = 0;
    } else if (h->headerSize >= kInfoHeaderBytes) {
        h->width = static_cast<int32_t>(ReadLE32(s));
        h->height = static_cast<int32_t>(ReadLE32(s));
        h->planes = ReadLE16(s);
        h->bitsPerPixel = ReadLE16(s);
        h->compression = ReadLE32(s);
        ReadLE32(s);  // image size
        ReadLE32(s);  // horizontal resolution
        ReadLE32(s);  // vertical resolution
        h->colorsUsed = ReadLE32(s) & 0xFFFF;
        ReadLE32(s);  // important colours
    } else {
        return XR_ERR_FORMAT;
    }
    return s->error ? s->error : XR_OK;
}

// Mode, line size and palette size from the bit count; 3 for what bitmaps cannot hold.
CodecStatus ChooseLayout(Decoder* d, const RawHeader& h, XrImage* header, uint32_t* paletteEntries) {
    uint32_t width = static_cast<uint32_t>(h.width);
    uint32_t defaultEntries = 0;
    switch (h.bitsPerPixel) {
        case 1: defaultEntries = 2; break;
        case 4: defaultEntries = 16; if (h.compression != kNone && h.compression != kRle4) return XR_ERR_FORMAT; break;
        case 8: defaultEntries = 256; if (h.compression != kNone && h.compression != kRle8) return XR_ERR_FORMAT; break;
        case 16: if (h.compression != kNone && h.compression != kBitFields) return XR_ERR_FORMAT; break;
        case 24: if (h.compression != kNone) return XR_ERR_FORMAT; break;
        case 32: if (h.compression != kNone && h.compression != kBitFields) return XR_ERR_FORMAT; break;
        default: return XR_ERR_FORMAT;
    }
    if (h.bitsPerPixel == 1 && h.compression != kNone) return XR_ERR_FORMAT;
    if (defaultEntries) {
        header->MODE = XR_MODE_INDEX;
        header->LINEINT = width;
        *paletteEntries = h.headerSize == kCoreHeaderBytes || h.colorsUsed == 0 ? defaultEntries : h.colorsUsed;
    } else {
        header->MODE = XR_MODE_RGB;
        header->LINEINT = 3 * width;
        *paletteEntries = h.colorsUsed;  // an optional table some writers add; skipped
    }
    uint32_t bits = h.bitsPerPixel;
    d->lineBytes = h.compression == kRle4 || h.compression == kRle8
                       ? 0
                       : static_cast<uint32_t>((uint64_t{width} * bits + 7) / 8);
    d->padding = (4 - d->lineBytes % 4) % 4;
    d->layout = bits == 32 ? PixelLayout::k888 : PixelLayout::k555;
    return XR_OK;
}

}  // namespace

extern "C" CodecStatus BmpDecReadHeader(void* handle, XrImage* header, void*) {
    if (!handle || !header) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    CodecStream* s = d->stream;
    if (!s) return XR_ERR_ARGUMENT;
    *header = XrImage{};

    const int64_t start = s->position;  // offsets count from the "BM"
    RawHeader h{};
    CodecStatus status = ReadRawHeader(s, &h);
    if (status != XR_OK) return d->status = status;
    if (h.planes != 1 || h.compression > kBitFields) return d->status = XR_ERR_FORMAT;
    d->topDown = h.height < 0;
    int64_t height = h.height < 0 ? -h.height : h.height;
    if (h.width <= 0 || h.width > kMaxDimension || height == 0 || height > kMaxDimension)
        return d->status = XR_ERR_FORMAT;

    uint32_t paletteEntries = 0;
    status = ChooseLayout(d, h, header, &paletteEntries);
    if (status != XR_OK) return d->status = status;
    header->WIDTH = static_cast<uint16_t>(h.width);
    header->HEIGHT = static_cast<uint16_t>(height);
    if (uint64_t{header->LINEINT} * header->HEIGHT > UINT32_MAX) return d->status = XR_ERR_FORMAT;
    d->compression = static_cast<uint16_t>(h.compression);
    d->bitsPerPixel = static_cast<uint16_t>(h.bitsPerPixel);

    if (h.compression == kBitFields) {
        if ((status = ReadMasks(d, s)) != XR_OK) return d->status = status;
    }
    uint64_t headerEnd = kFileHeaderBytes + uint64_t{h.headerSize};
    auto consumedSoFar = [&] { return static_cast<uint64_t>(s->position - start); };
    if (consumedSoFar() < headerEnd && SkipLong(s, headerEnd - consumedSoFar()) != 0)
        return d->status = s->error;

    // Colour table: the first 256 entries are kept; a larger table is passed over.
    uint32_t entryBytes = h.headerSize == kCoreHeaderBytes ? 3 : 4;
    uint32_t kept = header->MODE == XR_MODE_INDEX
                        ? (paletteEntries < kPaletteEntries ? paletteEntries : kPaletteEntries)
                        : 0;
    std::memset(d->palette, 0, sizeof d->palette);
    for (uint32_t i = 0; i < kept; ++i) {
        uint8_t entry[4] = {0, 0, 0, 0};
        StreamRead(s, entry, static_cast<int32_t>(entryBytes));
        std::memcpy(d->palette + 4 * i, entry, 3);
    }
    if (s->error) return d->status = s->error;
    uint64_t passedOver = uint64_t{paletteEntries - kept} * entryBytes;
    uint64_t consumed = consumedSoFar();
    if (h.pixelOffset > consumed) {
        if (SkipLong(s, h.pixelOffset - consumed) != 0) return d->status = s->error;
    } else if (h.pixelOffset == 0 && passedOver && SkipLong(s, passedOver) != 0) {
        return d->status = s->error;
    }
    if (header->MODE == XR_MODE_INDEX) header->PALCOUNT = kPaletteEntries;

    d->fileHeader = *header;
    d->status = XR_OK;
    return XR_OK;
}
