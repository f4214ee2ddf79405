// 24-bit, 8-bit and 1-bit uncompressed bitmaps, bottom line first.
#include <cstring>

#include "bmp_internal.hpp"
#include "lumapix/stream_inline.hpp"

using namespace lumapix;
using namespace lumapix::bmp;

namespace {

constexpr uint32_t kHeadersBytes = 14 + 40;
constexpr uint32_t kChunkPixels = 1024;

// Full-range BT.601 chroma to RGB in 16.16: R = Y + 1.402 V', G = Y - 0.344 U' - 0.714 V',
// B = Y + 1.772 U' (U' and V' centred on 128).
constexpr int32_t kYuvToRgb601[4] = {91881, -22554, -46802, 116130};

uint8_t Clamp8(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

void WriteFileHeaders(Encoder* e, uint32_t bitsPerPixel, uint32_t entries) {
    CodecStream* s = e->stream;
    uint32_t imageBytes = e->paddedLineBytes * e->header.HEIGHT;
    uint32_t offset = kHeadersBytes + entries * 4;
    PutByte(s, 'B');
    PutByte(s, 'M');
    WriteLE32(s, offset + imageBytes);
    WriteLE32(s, 0);
    WriteLE32(s, offset);
    WriteLE32(s, 40);
    WriteLE32(s, e->header.WIDTH);
    WriteLE32(s, e->header.HEIGHT);
    WriteLE16(s, 1);
    WriteLE16(s, bitsPerPixel);
    WriteLE32(s, 0);  // no compression
    WriteLE32(s, imageBytes);
    WriteLE32(s, 0);
    WriteLE32(s, 0);
    WriteLE32(s, entries);
    WriteLE32(s, entries);
}

void WriteColourTable(Encoder* e) {
    CodecStream* s = e->stream;
    const XrImage& h = e->header;
    if (h.MODE == XR_MODE_INDEX) {
        uint8_t table[256 * 4] = {};
        uint32_t entries = h.PALCOUNT < 256 ? h.PALCOUNT : 256;
        if (h.PALBUT) std::memcpy(table, h.PALBUT, size_t{entries} * 4);
        for (uint32_t i = 0; i < 256; ++i) table[4 * i + 3] = 0;
        StreamWrite(s, table, sizeof table);
    } else if (h.MODE == XR_MODE_GRAY) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint8_t v = static_cast<uint8_t>(i);
            uint8_t entry[4] = {v, v, v, 0};
            StreamWrite(s, entry, 4);
        }
    } else if (h.MODE == XR_MODE_MONO) {
        static constexpr uint8_t kBlackWhite[8] = {0, 0, 0, 0, 255, 255, 255, 0};
        StreamWrite(s, kBlackWhite, sizeof kBlackWhite);
    }
}

void WriteHighLine(Encoder* e, const uint8_t* line) {
    uint8_t out[3 * kChunkPixels];
    uint32_t width = e->header.WIDTH;
    for (uint32_t x = 0; x < width; x += kChunkPixels) {
        uint32_t n = width - x < kChunkPixels ? width - x : kChunkPixels;
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t v = uint32_t{line[2 * (x + i)]} << 8 | line[2 * (x + i) + 1];
            out[3 * i] = static_cast<uint8_t>((v & 0x1F) << 3);
            out[3 * i + 1] = static_cast<uint8_t>((v >> 5 & 0x3F) << 2);
            out[3 * i + 2] = static_cast<uint8_t>((v >> 11) << 3);
        }
        StreamWrite(e->stream, out, static_cast<int32_t>(3 * n));
    }
}

void WritePlanarLine(Encoder* e, const uint8_t* luma, const uint8_t* chroma) {
    uint8_t out[3 * kChunkPixels];
    const int32_t* k = e->yuvToRgb;
    const uint8_t* u = chroma;
    const uint8_t* v = chroma + e->header.LINEINT / 2;
    uint32_t width = e->header.WIDTH;
    for (uint32_t x = 0; x < width; x += kChunkPixels) {
        uint32_t n = width - x < kChunkPixels ? width - x : kChunkPixels;
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t p = x + i;
            int32_t y = int32_t{luma[p]} << 16;
            int32_t cu = u[p / 2] - 128;
            int32_t cv = v[p / 2] - 128;
            constexpr int32_t kHalf = 1 << 15;
            out[3 * i] = Clamp8((y + k[3] * cu + kHalf) >> 16);
            out[3 * i + 1] = Clamp8((y + k[1] * cu + k[2] * cv + kHalf) >> 16);
            out[3 * i + 2] = Clamp8((y + k[0] * cv + kHalf) >> 16);
        }
        StreamWrite(e->stream, out, static_cast<int32_t>(3 * n));
    }
}

void WriteInvertedLine(Encoder* e, const uint8_t* line) {
    uint8_t out[kChunkPixels];
    for (uint32_t x = 0; x < e->lineBytes; x += kChunkPixels) {
        uint32_t n = e->lineBytes - x < kChunkPixels ? e->lineBytes - x : kChunkPixels;
        for (uint32_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(~line[x + i]);
        StreamWrite(e->stream, out, static_cast<int32_t>(n));
    }
}

CodecStatus EncoderStatus(const Encoder* e) { return e->stream->error ? e->stream->error : e->status; }

}  // namespace

extern "C" {

int32_t BmpEncGetHandleSize(void) { return static_cast<int32_t>(sizeof(Encoder)); }

CodecStatus BmpEncInit(void* handle) {
    if (!handle) return XR_ERR_ARGUMENT;
    std::memset(handle, 0, sizeof(Encoder));
    AsEncoder(handle)->yuvToRgb = kYuvToRgb601;
    return XR_OK;
}

CodecStatus BmpEncSetStream(void* handle, CodecStream* stream) {
    if (!handle || !stream) return XR_ERR_ARGUMENT;
    AsEncoder(handle)->stream = stream;
    StreamReset(stream, XR_STREAM_WRITE);
    return XR_OK;
}

CodecStatus BmpEncSetImage(void* handle, const XrImage* record, void*) {
    if (!handle || !record) return XR_ERR_ARGUMENT;
    Encoder* e = AsEncoder(handle);
    if (!e->stream) return XR_ERR_ARGUMENT;
    ImageCopyHeader(&e->header, record);
    uint32_t width = record->WIDTH;
    uint32_t bits, entries;
    switch (record->MODE) {
        case XR_MODE_RGB: case XR_MODE_HIGH: case XR_MODE_YUV_PLANAR:
            bits = 24; entries = 0; e->lineBytes = 3 * width; break;
        case XR_MODE_GRAY: case XR_MODE_INDEX:
            bits = 8; entries = 256; e->lineBytes = width; break;
        case XR_MODE_MONO:
            bits = 1; entries = 2; e->lineBytes = (width + 7) / 8; break;
        default:
            return e->status = XR_ERR_UNSUPPORTED;
    }
    if (width == 0 || record->HEIGHT == 0) return e->status = XR_ERR_UNSUPPORTED;
    if (record->MODE == XR_MODE_YUV_PLANAR && record->LINEINT < ((width + 1) & ~1u))
        return e->status = XR_ERR_MISMATCH;
    e->paddedLineBytes = (e->lineBytes + 3) & ~3u;
    e->padding = e->paddedLineBytes - e->lineBytes;
    WriteFileHeaders(e, bits, entries);
    WriteColourTable(e);
    return e->status = EncoderStatus(e);
}

CodecStatus BmpEncEncodeLine(void* handle, const uint8_t* line) {
    if (!handle || !line) return XR_ERR_ARGUMENT;
    Encoder* e = AsEncoder(handle);
    if (!e->stream || e->header.MODE == XR_MODE_UNK) return XR_ERR_ARGUMENT;
    CodecStatus status = EncoderStatus(e);
    if (status != XR_OK) return status;
    switch (e->header.MODE) {
        case XR_MODE_HIGH: WriteHighLine(e, line); break;
        case XR_MODE_YUV_PLANAR: {
            auto planes = reinterpret_cast<const uint8_t* const*>(line);
            WritePlanarLine(e, planes[0], planes[1]);
            break;
        }
        case XR_MODE_MONO:
            if (e->header.PALFMT == XR_PALFMT_WHITEISZERO) {
                WriteInvertedLine(e, line);
                break;
            }
            [[fallthrough]];
        default: StreamWrite(e->stream, line, static_cast<int32_t>(e->lineBytes)); break;
    }
    static constexpr uint8_t kZeros[4] = {};
    StreamWrite(e->stream, kZeros, static_cast<int32_t>(e->padding));
    return EncoderStatus(e);
}

CodecStatus BmpEncEncodeImage(void* handle, const void* pixels) {
    if (!handle || !pixels) return XR_ERR_ARGUMENT;
    Encoder* e = AsEncoder(handle);
    const XrImage& h = e->header;
    for (uint32_t y = h.HEIGHT; y-- > 0;) {
        size_t offset = size_t{y} * h.LINEINT;
        CodecStatus status;
        if (h.MODE == XR_MODE_YUV_PLANAR) {
            auto planes = static_cast<const uint8_t* const*>(pixels);
            const uint8_t* lines[2] = {planes[0] + offset, planes[1] + offset};
            status = BmpEncEncodeLine(handle, reinterpret_cast<const uint8_t*>(lines));
        } else {
            status = BmpEncEncodeLine(handle, static_cast<const uint8_t*>(pixels) + offset);
        }
        if (status != XR_OK) return status;
    }
    return XR_OK;
}

CodecStatus BmpEncEnd(void* handle) {
    if (!handle) return XR_ERR_ARGUMENT;
    Encoder* e = AsEncoder(handle);
    if (!e->stream) return XR_ERR_ARGUMENT;
    if (e->status != XR_OK) return e->status;
    StreamFlush(e->stream);
    return EncoderStatus(e);
}

}  // extern "C"
