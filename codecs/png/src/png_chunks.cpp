// Signature and IHDR, the chunk walk, and the IDAT bytes fed to inflate
// straight from the stream's staging area, with every chunk's CRC checked.
#include <cstring>

#include "lumapix/stream_inline.hpp"
#include "png_internal.hpp"

namespace lumapix::png {

namespace {

uint32_t Staged(const CodecStream* s) { return static_cast<uint32_t>(s->limit - s->cursor); }

// Same bookkeeping as the stream's own reads, without signed overflow on long files.
void Consume(CodecStream* s, uint32_t n) {
    s->cursor += n;
    s->count = static_cast<int32_t>(static_cast<uint32_t>(s->count) + n);
    s->position = static_cast<int32_t>(static_cast<uint32_t>(s->position) + n);
}

// At least one byte staged: 0, or -1 with the stream's error set.
int32_t Stage(CodecStream* s) { return s->cursor != s->limit || StreamFill(s) == 0 ? 0 : -1; }

uint32_t ReadBe32(CodecStream* s) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | static_cast<uint8_t>(NextByte(s));
    return v;
}

uint32_t Be32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

// Passes over *left bytes of chunk data into the running CRC, counting *left down.
CodecStatus SkipWithCrc(Decoder* d, uint32_t* left) {
    CodecStream* s = d->stream;
    while (*left > 0) {
        if (Stage(s) != 0) return s->error;
        uint32_t run = Staged(s) < *left ? Staged(s) : *left;
        d->crc = CrcUpdate(d->crc, s->cursor, run);
        Consume(s, run);
        *left -= run;
    }
    return XR_OK;
}

// The stored CRC of the current chunk: 0 when it matches, -1 when not, else the stream's error.
CodecStatus CheckCrc(Decoder* d) {
    uint32_t stored = ReadBe32(d->stream);
    if (d->stream->error) return d->stream->error;
    return stored == CrcFinal(d->crc) ? XR_OK : XR_ERR_INTERNAL;
}

// Length and type of the next chunk; starts its CRC. -1 for a length no chunk may have.
CodecStatus ReadChunkHead(Decoder* d, uint32_t* length, uint32_t* type) {
    CodecStream* s = d->stream;
    *length = ReadBe32(s);
    *type = ReadBe32(s);
    if (s->error) return s->error;
    if (*length > kMaxChunkLength) return XR_ERR_INTERNAL;
    d->crc = CrcOfType(*type);
    return XR_OK;
}

CodecStatus ReadPalette(Decoder* d, uint32_t length) {
    if (length == 0 || length > 256 * 3 || length % 3 != 0) return XR_ERR_FORMAT;
    uint8_t rgb[256 * 3];
    if (StreamRead(d->stream, rgb, static_cast<int32_t>(length)) != 0) return d->stream->error;
    d->crc = CrcUpdate(d->crc, rgb, length);
    std::memset(d->palette, 0, sizeof d->palette);
    for (uint32_t i = 0; i < length / 3; ++i) {
        d->palette[4 * i] = rgb[3 * i + 2];
        d->palette[4 * i + 1] = rgb[3 * i + 1];
        d->palette[4 * i + 2] = rgb[3 * i];
    }
    return XR_OK;
}

// After the current IDAT's data: its CRC, then on to the next IDAT, passing over
// (and checking) whatever lies between. IEND here means the image data ran out.
CodecStatus NextIdat(Decoder* d) {
    CodecStatus status = CheckCrc(d);
    if (status != XR_OK) return status;
    d->chunkState = kBetweenChunks;
    for (;;) {
        uint32_t length = 0, type = 0;
        if ((status = ReadChunkHead(d, &length, &type)) != XR_OK) return status;
        if (type == kIdat) {
            d->idatLeft = length;
            d->chunkState = kInIdat;
            return XR_OK;
        }
        if (type == kIend) {
            d->chunkState = kAfterIend;
            return XR_ERR_TRUNCATED;
        }
        if ((status = SkipWithCrc(d, &length)) != XR_OK) return status;
        if ((status = CheckCrc(d)) != XR_OK) return status;
    }
}

// Points inflate at the staged bytes of the current IDAT, reading chunks as needed.
CodecStatus FeedInput(Decoder* d) {
    while (d->idatLeft == 0) {
        CodecStatus status = NextIdat(d);
        if (status != XR_OK) return status;
    }
    CodecStream* s = d->stream;
    if (Stage(s) != 0) return s->error;
    d->z.next_in = s->cursor;
    d->z.avail_in = Staged(s) < d->idatLeft ? Staged(s) : d->idatLeft;
    return XR_OK;
}

// Moves the stream past what inflate took, folding it into the chunk's CRC.
void TakeInput(Decoder* d, uint32_t offered) {
    uint32_t used = offered - d->z.avail_in;
    d->crc = CrcUpdate(d->crc, d->stream->cursor, used);
    Consume(d->stream, used);
    d->idatLeft -= used;
}

// A read failure once every row is in does not spoil the image.
CodecStatus Forgive(CodecStream* s) {
    s->error = 0;
    return XR_OK;
}

}  // namespace

CodecStatus ReadSignatureAndIhdr(Decoder* d) {
    CodecStream* s = d->stream;
    uint8_t head[8 + 8];
    if (StreamRead(s, head, 8) != 0) return s->error;
    if (std::memcmp(head, kSignature, 8) != 0) return XR_ERR_FORMAT;
    if (StreamRead(s, head + 8, 8) != 0) return s->error;
    if (Be32(head + 8) != 13 || Be32(head + 12) != kIhdr) return XR_ERR_FORMAT;
    uint8_t body[4 + 13 + 4];  // type, data, CRC
    std::memcpy(body, head + 12, 4);
    if (StreamRead(s, body + 4, 17) != 0) return s->error;
    const uint8_t* data = body + 4;
    PngIhdr& h = d->ihdr;
    h.width = Be32(data);
    h.height = Be32(data + 4);
    h.bitDepth = data[8];
    h.colourType = data[9];
    h.interlace = data[12];
    if (CrcFinal(CrcUpdate(kCrcStart, body, 17)) != Be32(body + 17)) return XR_ERR_FORMAT;
    if (data[10] != 0 || data[11] != 0 || h.interlace > 1) return XR_ERR_FORMAT;
    if (h.width == 0 || h.height == 0 || h.width > 65535 || h.height > 65535) return XR_ERR_FORMAT;

    // Depths the PNG format allows for each colour type.
    uint32_t d8 = h.bitDepth;
    bool lowOrEight = d8 == 1 || d8 == 2 || d8 == 4 || d8 == 8;
    bool valid = false;
    switch (h.colourType) {
        case 0: valid = lowOrEight || d8 == 16; break;
        case 3: valid = lowOrEight; break;
        case 2: case 4: case 6: valid = d8 == 8 || d8 == 16; break;
        default: break;
    }
    if (!valid) return XR_ERR_FORMAT;
    if (h.interlace && d8 != 8) return XR_ERR_UNSUPPORTED;
    if (d8 == 16) return h.colourType == 2 || h.colourType == 6 ? XR_ERR_UNSUPPORTED : XR_ERR_FORMAT;
    return XR_OK;
}

CodecStatus WalkToFirstIdat(Decoder* d) {
    bool paletteSeen = false;
    d->chunkState = kBetweenChunks;
    for (;;) {
        uint32_t length = 0, type = 0;
        if (ReadChunkHead(d, &length, &type) != XR_OK) return XR_ERR_FORMAT;
        if (type == kIdat) {
            // A palette image needs its palette before the pixels.
            if (d->ihdr.colourType == 3 && !paletteSeen) return XR_ERR_FORMAT;
            d->idatLeft = length;
            d->chunkState = kInIdat;
            return XR_OK;
        }
        if (type == kIend) {
            d->chunkState = kAfterIend;
            return XR_ERR_FORMAT;
        }
        if (type == kPlte) {
            if (paletteSeen || ReadPalette(d, length) != XR_OK) return XR_ERR_FORMAT;
            paletteSeen = true;
        } else if (SkipWithCrc(d, &length) != XR_OK) {
            return XR_ERR_FORMAT;
        }
        if (CheckCrc(d) != XR_OK) return XR_ERR_FORMAT;
    }
}

CodecStatus InflateBytes(Decoder* d, uint8_t* out, uint32_t size) {
    z_stream& z = d->z;
    z.next_out = out;
    z.avail_out = size;
    while (z.avail_out > 0) {
        if (d->zlibEnded) return XR_ERR_TRUNCATED;  // the zlib stream ended before the image did
        CodecStatus status = FeedInput(d);
        if (status != XR_OK) return status;
        uint32_t offered = z.avail_in;
        int ret = inflate(&z, Z_NO_FLUSH);
        TakeInput(d, offered);
        d->zlibStatus = ret;
        // Given input and room, inflate either progresses (Z_OK) or has met bad data.
        if (ret == Z_STREAM_END) d->zlibEnded = 1;
        else if (ret != Z_OK) return XR_ERR_INTERNAL;
    }
    return XR_OK;
}

CodecStatus FinishImageData(Decoder* d) {
    CodecStream* s = d->stream;
    z_stream& z = d->z;
    uint8_t spare = 0;
    // Without room for output, inflate can only read the end-of-block code and the
    // Adler-32 check; surplus data stops it, and is then left unread.
    bool inflating = !d->zlibEnded;
    while (inflating) {
        if (d->idatLeft == 0) {
            if (d->chunkState == kInIdat) {
                CodecStatus status = CheckCrc(d);
                if (status == XR_ERR_INTERNAL) return status;
                if (status != XR_OK) return Forgive(s);
                d->chunkState = kBetweenChunks;
            }
            uint32_t length = 0, type = 0;
            CodecStatus status = ReadChunkHead(d, &length, &type);
            if (status == XR_ERR_INTERNAL) return status;
            if (status != XR_OK) return Forgive(s);
            if (type != kIdat) {  // the rows are complete; what follows is not image data
                d->chunkState = type == kIend ? kAfterIend : kBetweenChunks;
                return XR_OK;
            }
            d->idatLeft = length;
            d->chunkState = kInIdat;
            continue;
        }
        if (Stage(s) != 0) return Forgive(s);
        uint32_t offered = Staged(s) < d->idatLeft ? Staged(s) : d->idatLeft;
        z.next_in = s->cursor;
        z.avail_in = offered;
        z.next_out = &spare;
        z.avail_out = 0;
        int ret = inflate(&z, Z_NO_FLUSH);
        TakeInput(d, offered);
        d->zlibStatus = ret;
        if (ret == Z_STREAM_END) {
            d->zlibEnded = 1;
            inflating = false;
        } else if (ret == Z_BUF_ERROR) {
            inflating = false;
        } else if (ret != Z_OK) {
            return XR_ERR_INTERNAL;
        }
    }
    if (d->chunkState == kInIdat) {
        if (SkipWithCrc(d, &d->idatLeft) != XR_OK) return Forgive(s);
        CodecStatus status = CheckCrc(d);
        if (status == XR_ERR_INTERNAL) return status;
        if (status != XR_OK) return Forgive(s);
        d->chunkState = kBetweenChunks;
    }
    return XR_OK;
}

void CloseInflate(Decoder* d) {
    if (!d->inflateOpen) return;
    inflateEnd(&d->z);
    ArenaRelease(&d->arena);
    d->inflateOpen = 0;
}

}  // namespace lumapix::png
