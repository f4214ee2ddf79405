// Non-interlaced 8-bit files: signature, IHDR, PLTE for palette images, IDAT
// chunks of the caller's buffer size, IEND. Every row gets filter type 0 and
// the data is deflated at level 1, which keeps encoding cheap.
#include <cstddef>
#include <cstring>

#include "png_internal.hpp"

using namespace lumapix::png;

namespace {

constexpr uint32_t kRgbPiecePixels = 4096;   // 12288 bytes of reordered pixels
constexpr uint32_t kMonoPiecePixels = 12288;

CodecStatus EncoderStatus(const Encoder* e) { return e->stream->error ? e->stream->error : e->status; }

void PutBe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

// length, type, data, CRC over type and data.
void WriteChunk(Encoder* e, uint32_t type, const uint8_t* data, uint32_t size) {
    uint8_t head[8];
    PutBe32(head, size);
    PutBe32(head + 4, type);
    uint32_t crc = CrcUpdate(kCrcStart, head + 4, 4);
    if (size) crc = CrcUpdate(crc, data, size);
    e->crc = CrcFinal(crc);
    uint8_t tail[4];
    PutBe32(tail, e->crc);
    StreamWrite(e->stream, head, 8);
    if (size) StreamWrite(e->stream, data, static_cast<int32_t>(size));
    StreamWrite(e->stream, tail, 4);
}

void WriteHeaderChunks(Encoder* e) {
    const XrImage& h = e->header;
    StreamWrite(e->stream, kSignature, 8);
    uint8_t ihdr[13];
    PutBe32(ihdr, h.WIDTH);
    PutBe32(ihdr + 4, h.HEIGHT);
    ihdr[8] = e->bitDepth;
    ihdr[9] = e->colourType;
    ihdr[10] = 0;  // deflate
    ihdr[11] = 0;  // adaptive filtering (of which we use None)
    ihdr[12] = e->interlace;
    WriteChunk(e, kIhdr, ihdr, sizeof ihdr);
    if (h.MODE == XR_MODE_INDEX) {
        uint8_t rgb[256 * 3];
        for (uint32_t i = 0; i < h.PALCOUNT; ++i) {
            rgb[3 * i] = h.PALBUT[4 * i + 2];
            rgb[3 * i + 1] = h.PALBUT[4 * i + 1];
            rgb[3 * i + 2] = h.PALBUT[4 * i];
        }
        WriteChunk(e, kPlte, rgb, 3u * h.PALCOUNT);
    }
}

// A full output buffer becomes one IDAT chunk.
void FlushBuffer(Encoder* e, uint32_t size) {
    WriteChunk(e, kIdat, e->buffer, size);
    e->z.next_out = e->buffer;
    e->z.avail_out = e->bufferSize;
}

CodecStatus Compress(Encoder* e, const uint8_t* data, uint32_t size) {
    z_stream& z = e->z;
    z.next_in = const_cast<Bytef*>(data);  // zlib's interface is not const-correct
    z.avail_in = size;
    while (z.avail_in > 0) {
        int ret = deflate(&z, Z_NO_FLUSH);
        if (ret != Z_OK && ret != Z_BUF_ERROR) return XR_PNG_ERR_DEFLATE;
        if (z.avail_out == 0) FlushBuffer(e, e->bufferSize);
        else if (ret == Z_BUF_ERROR) return XR_PNG_ERR_DEFLATE;  // neither input taken nor output made
    }
    return XR_OK;
}

CodecStatus CompressRgbRow(Encoder* e, const uint8_t* row, uint32_t width) {
    for (uint32_t x = 0; x < width; x += kRgbPiecePixels) {
        uint32_t n = width - x < kRgbPiecePixels ? width - x : kRgbPiecePixels;
        const uint8_t* in = row + size_t{x} * 3;
        uint8_t* out = e->line;
        for (uint32_t i = 0; i < n; ++i, in += 3, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
        CodecStatus status = Compress(e, e->line, 3 * n);
        if (status != XR_OK) return status;
    }
    return XR_OK;
}

// The size PngEncGetHandleSize reports on 64-bit targets: a few hundred bytes of
// state (z_stream 112 of them), 12 KiB of row staging and the 280 KiB zlib arena.
static_assert(sizeof(void*) != 8 || sizeof(Encoder) == 299248, "the encoder handle changed size");

// Bi-level pixels become grey 0 (black) or 255 (white), by the record's polarity.
CodecStatus CompressMonoRow(Encoder* e, const uint8_t* row, uint32_t width) {
    uint8_t set = e->header.PALFMT == XR_PALFMT_WHITEISZERO ? 0 : 255;
    uint8_t clear = static_cast<uint8_t>(255 - set);
    for (uint32_t x = 0; x < width; x += kMonoPiecePixels) {
        uint32_t n = width - x < kMonoPiecePixels ? width - x : kMonoPiecePixels;
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t p = x + i;
            e->line[i] = row[p >> 3] >> (7 - (p & 7)) & 1 ? set : clear;
        }
        CodecStatus status = Compress(e, e->line, n);
        if (status != XR_OK) return status;
    }
    return XR_OK;
}

}  // namespace

extern "C" {

int32_t PngEncGetHandleSize(void) { return static_cast<int32_t>(sizeof(Encoder)); }

CodecStatus PngEncInit(void* handle) {
    if (!handle) return XR_ERR_ARGUMENT;
    std::memset(handle, 0, offsetof(Encoder, line));  // the work areas after it are scratch
    Encoder* e = AsEncoder(handle);
    e->bitDepth = 8;
    return XR_OK;
}

CodecStatus PngEncSetStream(void* handle, CodecStream* stream) {
    if (!handle || !stream) return XR_ERR_ARGUMENT;
    AsEncoder(handle)->stream = stream;
    StreamReset(stream, XR_STREAM_WRITE);
    return XR_OK;
}

CodecStatus PngEncSetImage(void* handle, const XrImage* image, uint32_t* bufferSize) {
    if (!handle || !image) return XR_ERR_ARGUMENT;
    Encoder* e = AsEncoder(handle);
    if (!e->stream) return XR_ERR_ARGUMENT;
    if (e->status != XR_OK) return e->status;
    if (e->deflateOpen) return XR_PNG_ERR_SEQUENCE;
    switch (image->MODE) {
        case XR_MODE_RGB: e->colourType = 2; break;
        case XR_MODE_GRAY: case XR_MODE_MONO: e->colourType = 0; break;
        case XR_MODE_INDEX: e->colourType = 3; break;
        default: return e->status = XR_ERR_UNSUPPORTED;
    }
    if (image->WIDTH == 0 || image->HEIGHT == 0) return e->status = XR_ERR_UNSUPPORTED;
    if (image->LINEINT < ImageLineBytes(image->MODE, image->WIDTH)) return e->status = XR_ERR_MISMATCH;
    if (image->MODE == XR_MODE_INDEX) {
        if (image->PALCOUNT > 256) return e->status = XR_ERR_FORMAT;
        if (image->PALCOUNT == 0 || !image->PALBUT) return e->status = XR_ERR_MISMATCH;
    }
    ImageCopyHeader(&e->header, image);
    e->interlace = 0;
    e->row = 0;
    if (bufferSize) *bufferSize = XR_PNG_IDAT_BYTES;
    WriteHeaderChunks(e);

    ArenaBind(&e->z, &e->arena, e->zlibMemory, sizeof e->zlibMemory);
    if (deflateInit2(&e->z, 1, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        ArenaRelease(&e->arena);
        return e->status = XR_PNG_ERR_DEFLATE;
    }
    e->deflateOpen = 1;
    e->z.next_out = e->buffer;
    e->z.avail_out = e->bufferSize;
    return e->status = EncoderStatus(e);
}

CodecStatus PngEncSetBuffer(void* handle, uint8_t* buffer, uint32_t size) {
    if (!handle || !buffer || size == 0 || size > kMaxChunkLength) return XR_ERR_ARGUMENT;
    Encoder* e = AsEncoder(handle);
    if (e->row > 0) return XR_PNG_ERR_SEQUENCE;  // data is already waiting in the old one
    e->buffer = buffer;
    e->bufferSize = size;
    e->z.next_out = buffer;
    e->z.avail_out = size;
    return XR_OK;
}

CodecStatus PngEncEncodeLine(void* handle, const uint8_t* row) {
    if (!handle || !row) return XR_ERR_ARGUMENT;
    Encoder* e = AsEncoder(handle);
    if (!e->stream) return XR_ERR_ARGUMENT;
    CodecStatus status = EncoderStatus(e);
    if (status != XR_OK) return status;
    if (!e->deflateOpen || !e->buffer) return XR_ERR_ARGUMENT;  // no SetImage or no output buffer
    if (e->row >= e->header.HEIGHT) return XR_ERR_ARGUMENT;    // the image is complete
    static constexpr uint8_t kFilterNone = 0;
    status = Compress(e, &kFilterNone, 1);
    if (status == XR_OK) {
        uint32_t width = e->header.WIDTH;
        switch (e->header.MODE) {
            case XR_MODE_RGB: status = CompressRgbRow(e, row, width); break;
            case XR_MODE_MONO: status = CompressMonoRow(e, row, width); break;
            default: status = Compress(e, row, width); break;
        }
    }
    ++e->row;
    if (status != XR_OK) e->status = status;
    return EncoderStatus(e);
}

CodecStatus PngEncEncodeImage(void* handle, const void* pixels) {
    if (!handle || !pixels) return XR_ERR_ARGUMENT;
    Encoder* e = AsEncoder(handle);
    if (e->status != XR_OK) return e->status;
    const auto* base = static_cast<const uint8_t*>(pixels);
    for (uint32_t y = e->row; y < e->header.HEIGHT; ++y) {
        CodecStatus status = PngEncEncodeLine(handle, base + size_t{y} * e->header.LINEINT);
        if (status != XR_OK) return status;
    }
    return e->deflateOpen ? XR_OK : XR_ERR_ARGUMENT;
}

CodecStatus PngEncEnd(void* handle) {
    if (!handle) return XR_ERR_ARGUMENT;
    Encoder* e = AsEncoder(handle);
    if (!e->stream || !e->deflateOpen) return e->status != XR_OK ? e->status : XR_ERR_ARGUMENT;
    CodecStatus status = EncoderStatus(e);
    if (status == XR_OK && e->row < e->header.HEIGHT) status = XR_ERR_TRUNCATED;  // rows never given
    if (status == XR_OK && !e->buffer) status = XR_ERR_ARGUMENT;
    if (status == XR_OK) {
        z_stream& z = e->z;
        z.next_in = Z_NULL;
        z.avail_in = 0;
        for (int ret = Z_OK; ret != Z_STREAM_END;) {
            ret = deflate(&z, Z_FINISH);
            if (ret != Z_OK && ret != Z_STREAM_END) {
                status = XR_PNG_ERR_DEFLATE;
                break;
            }
            if (z.avail_out == 0) FlushBuffer(e, e->bufferSize);
        }
        if (status == XR_OK) {
            uint32_t pending = e->bufferSize - z.avail_out;
            if (pending) WriteChunk(e, kIdat, e->buffer, pending);
            WriteChunk(e, kIend, nullptr, 0);
        }
    }
    deflateEnd(&e->z);
    ArenaRelease(&e->arena);
    e->deflateOpen = 0;
    if (status != XR_OK) {
        StreamFlush(e->stream);  // what was written reaches the file
        return e->status = status;
    }
    StreamFlush(e->stream);
    return e->status = EncoderStatus(e);
}

}  // extern "C"
