// Decoder set-up, uncompressed and bit-field lines, whole-image and scaled decode.
#include <cstring>

#include "bmp_internal.hpp"
#include "lumapix/decode_line_convert.h"
#include "lumapix/stream_inline.hpp"

using namespace lumapix;
using namespace lumapix::bmp;

namespace {

constexpr uint32_t kChunkBytes = 3072;  // multiple of 2 and 4: whole pixels per read

void ExpandBits(uint8_t* line, uint32_t width) {
    for (uint32_t x = width; x-- > 0;) line[x] = line[x >> 3] >> (7 - (x & 7)) & 1;
}

void ExpandNibbles(uint8_t* line, uint32_t width) {
    for (uint32_t x = width; x-- > 0;) line[x] = x & 1 ? line[x >> 1] & 0x0F : line[x >> 1] >> 4;
}

template <PixelLayout Layout>
void Expand16(uint8_t* line, uint32_t width) {
    for (uint32_t x = width; x-- > 0;) {
        uint32_t v = uint32_t{line[2 * x]} | uint32_t{line[2 * x + 1]} << 8;
        uint8_t* out = line + 3 * x;
        if constexpr (Layout == PixelLayout::k555) {
            out[0] = static_cast<uint8_t>(v << 3);
            out[1] = static_cast<uint8_t>(v >> 2 & 0xF8);
            out[2] = static_cast<uint8_t>(v >> 7 & 0xF8);
        } else {
            out[0] = static_cast<uint8_t>(v << 3);
            out[1] = static_cast<uint8_t>(v >> 3 & 0xFC);
            out[2] = static_cast<uint8_t>(v >> 8 & 0xF8);
        }
    }
}

// One channel of an arbitrary mask scaled to 8 bits: wide fields keep their top
// bits, narrow ones are stretched so that their maximum becomes 255.
uint8_t MaskChannel(uint32_t pixel, const ChannelMask& m) {
    uint32_t v = (pixel & m.mask) >> m.shift;
    if (m.bits >= 8) return static_cast<uint8_t>(v >> (m.bits - 8));
    uint32_t max = (1u << m.bits) - 1;
    return static_cast<uint8_t>((v * 255 + max / 2) / max);
}

CodecStatus ReadWidePixels(Decoder* d, uint8_t* line) {
    uint32_t bytesPerPixel = d->bitsPerPixel / 8;
    uint32_t width = d->fileHeader.WIDTH;
    uint8_t chunk[kChunkBytes];
    uint32_t perChunk = kChunkBytes / bytesPerPixel;
    for (uint32_t x = 0; x < width; x += perChunk) {
        uint32_t n = width - x < perChunk ? width - x : perChunk;
        if (StreamRead(d->stream, chunk, static_cast<int32_t>(n * bytesPerPixel)) != 0) return d->stream->error;
        uint8_t* out = line + 3 * x;
        const uint8_t* in = chunk;
        if (d->layout == PixelLayout::k888) {
            for (uint32_t i = 0; i < n; ++i, in += 4, out += 3) {
                out[0] = in[0];
                out[1] = in[1];
                out[2] = in[2];
            }
        } else {
            for (uint32_t i = 0; i < n; ++i, in += bytesPerPixel, out += 3) {
                uint32_t pixel = uint32_t{in[0]} | uint32_t{in[1]} << 8;
                if (bytesPerPixel == 4) pixel |= uint32_t{in[2]} << 16 | uint32_t{in[3]} << 24;
                out[0] = MaskChannel(pixel, d->masks[2]);
                out[1] = MaskChannel(pixel, d->masks[1]);
                out[2] = MaskChannel(pixel, d->masks[0]);
            }
        }
    }
    return XR_OK;
}

CodecStatus DecodePlainLine(Decoder* d, uint8_t* line) {
    CodecStream* s = d->stream;
    uint32_t width = d->fileHeader.WIDTH;
    bool wide = d->bitsPerPixel == 32 || (d->bitsPerPixel == 16 && d->layout == PixelLayout::kMasks);
    if (wide) {
        if (ReadWidePixels(d, line) != XR_OK) return s->error;
    } else {
        if (StreamRead(s, line, static_cast<int32_t>(d->lineBytes)) != 0) return s->error;
        switch (d->bitsPerPixel) {
            case 1: ExpandBits(line, width); break;
            case 4: ExpandNibbles(line, width); break;
            case 16:
                if (d->layout == PixelLayout::k565) Expand16<PixelLayout::k565>(line, width);
                else Expand16<PixelLayout::k555>(line, width);
                break;
            default: break;  // 8 and 24 bits are stored as the record holds them
        }
    }
    StreamSkip(s, static_cast<int32_t>(d->padding));
    return s->error;
}

CodecStatus NextSourceLine(void* codec, uint8_t* line) { return BmpDecDecodeLine(codec, line); }

}  // namespace

extern "C" {

int32_t BmpDecGetHandleSize(void) { return static_cast<int32_t>(sizeof(Decoder)); }

CodecStatus BmpDecInit(void* handle) {
    if (!handle) return XR_ERR_ARGUMENT;
    std::memset(handle, 0, sizeof(Decoder));
    ScaledDecodeInit(&AsDecoder(handle)->scaled);
    return XR_OK;
}

CodecStatus BmpDecSetStream(void* handle, CodecStream* stream) {
    if (!handle || !stream) return XR_ERR_ARGUMENT;
    AsDecoder(handle)->stream = stream;
    StreamReset(stream, XR_STREAM_READ);
    return XR_OK;
}

CodecStatus BmpDecStart(void* handle, XrImage* record, int32_t* bottomUp) {
    if (!handle || !record) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    if (!d->stream || d->fileHeader.MODE == XR_MODE_UNK) return XR_ERR_ARGUMENT;
    const XrImage& file = d->fileHeader;
    if (record->MODE != file.MODE || record->WIDTH != file.WIDTH || record->HEIGHT != file.HEIGHT)
        return XR_ERR_MISMATCH;
    if (record->LINEINT < file.LINEINT) return XR_ERR_MISMATCH;
    ImageCopyHeader(&d->recordHeader, record);
    if (bottomUp) *bottomUp = d->topDown ? 0 : 1;
    if (record->PALBUT && (record->MODE == XR_MODE_INDEX || record->MODE == XR_MODE_MONO)) {
        uint32_t entries = record->PALCOUNT < 256 ? record->PALCOUNT : 256;
        std::memcpy(record->PALBUT, d->palette, size_t{entries} * 4);
    }
    d->rle = RleState{};
    d->linesDecoded = 0;
    return XR_OK;
}

CodecStatus BmpDecDecodeLine(void* handle, uint8_t* line) {
    if (!handle || !line) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    if (!d->stream) return XR_ERR_ARGUMENT;
    if (d->recordHeader.MODE == XR_MODE_UNK) return XR_ERR_MISMATCH;  // not started
    CodecStatus status = LineStatus(d);
    if (status != XR_OK) return status;
    if (d->linesDecoded >= d->fileHeader.HEIGHT) return XR_ERR_ARGUMENT;  // the picture is complete
    if (d->compression == kRle4 || d->compression == kRle8) {
        status = DecodeRleLine(d, line);
    } else {
        status = DecodePlainLine(d, line);
    }
    ++d->linesDecoded;
    if (status != XR_OK && d->status == XR_OK) d->status = status;
    return LineStatus(d);
}

CodecStatus BmpDecDecodeImage(void* handle, void* pixels) {
    if (!handle || !pixels) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    const XrImage& record = d->recordHeader;
    if (record.MODE == XR_MODE_UNK) return XR_ERR_MISMATCH;  // not started
    auto* base = static_cast<uint8_t*>(pixels);
    for (uint32_t i = 0; i < record.HEIGHT; ++i) {
        uint32_t y = d->topDown ? i : record.HEIGHT - 1 - i;
        CodecStatus status = BmpDecDecodeLine(handle, base + size_t{y} * record.LINEINT);
        if (status != XR_OK) return status;
    }
    return XR_OK;
}

CodecStatus BmpDecEnd(void* handle) { return handle ? XR_OK : XR_ERR_ARGUMENT; }

CodecStatus BmpDecSetRegion(void* handle, const XrRect* rect) {
    if (!handle) return XR_ERR_ARGUMENT;
    ScaledDecodeSetRegion(&AsDecoder(handle)->scaled, rect);
    return XR_OK;
}

CodecStatus BmpDecSetLineBuffer(void* handle, uint8_t* buffer) {
    if (!handle || !buffer) return XR_ERR_ARGUMENT;
    AsDecoder(handle)->scaled.workLine = buffer;
    return XR_OK;
}

CodecStatus BmpDecSetScaledOutput(void* handle, XrImage* target, int32_t* bottomUp) {
    if (!handle || !target) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    if (target->MODE < XR_MODE_RGB || target->MODE > XR_MODE_MONO) return XR_ERR_UNSUPPORTED;
    XrImage source = d->fileHeader;
    int32_t fileBottomUp = 0;
    CodecStatus status = BmpDecStart(handle, &source, &fileBottomUp);
    if (status != XR_OK) return status;
    status = ScaledDecodeSetup(&d->scaled, &d->fileHeader, target, fileBottomUp, d->palette,
                               DecodeLineConvertTables());
    if (status != XR_OK) return status;
    ImageCopyHeader(&d->target, target);
    if (bottomUp) *bottomUp = fileBottomUp;
    return XR_OK;
}

CodecStatus BmpDecDecodeScaledLine(void* handle, uint8_t* line) {
    if (!handle || !line) return XR_ERR_ARGUMENT;
    return ScaledDecodeLine(&AsDecoder(handle)->scaled, NextSourceLine, handle, line);
}

CodecStatus BmpDecDecodeScaledImage(void* handle, void* pixels) {
    if (!handle || !pixels) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    XrImage target = d->target;
    target.PIXELS = pixels;
    return ScaledDecodeImage(&d->scaled, NextSourceLine, handle, &target, !d->topDown);
}

}  // extern "C"
