// Decoder set-up, rows and Adam7 passes, whole-image and scaled decode.
#include <cstddef>
#include <cstring>

#include "lumapix/decode_line_convert.h"
#include "png_internal.hpp"

using namespace lumapix::png;

namespace {

// Adam7: the pixels of pass p start at (kStartX, kStartY) and step by (kStepX, kStepY).
constexpr uint8_t kStartX[7] = {0, 4, 0, 2, 0, 1, 0};
constexpr uint8_t kStartY[7] = {0, 0, 4, 0, 2, 0, 1};
constexpr uint8_t kStepX[7] = {8, 8, 4, 4, 2, 2, 1};
constexpr uint8_t kStepY[7] = {8, 8, 8, 4, 4, 2, 2};

uint32_t PassExtent(uint32_t size, uint32_t start, uint32_t step) {
    return size > start ? (size - start + step - 1) / step : 0;
}

// The record header and the row geometry for the IHDR just read.
CodecStatus DescribeImage(Decoder* d) {
    const PngIhdr& h = d->ihdr;
    XrImage& f = d->fileHeader;
    f = XrImage{};
    f.WIDTH = static_cast<uint16_t>(h.width);
    f.HEIGHT = static_cast<uint16_t>(h.height);
    uint32_t channels = 1;
    switch (h.colourType) {
        case 2: channels = 3; f.MODE = XR_MODE_RGB; break;
        case 6: channels = 4; f.MODE = XR_MODE_RGB; break;
        case 4: channels = 2; f.MODE = XR_MODE_GRAY; break;
        case 3: f.MODE = XR_MODE_INDEX; f.PALCOUNT = 256; break;
        default: f.MODE = XR_MODE_GRAY; break;
    }
    f.LINEINT = ImageLineBytes(f.MODE, f.WIDTH);
    if (uint64_t{f.LINEINT} * f.HEIGHT > UINT32_MAX) return XR_ERR_FORMAT;  // SIZE could not hold it
    d->skipBytes = h.colourType == 4 || h.colourType == 6 ? 1 : 0;
    d->rawPixelBytes = channels;
    d->colourBytes = channels - d->skipBytes;
    d->filterBpp = d->colourBytes;
    d->rowBytes = h.bitDepth == 8 ? h.width * d->colourBytes : (h.width * h.bitDepth + 7) / 8;
    d->output = ChooseRowOutput(h.colourType, h.bitDepth);
    return XR_OK;
}

CodecStatus OpenInflate(Decoder* d) {
    ArenaBind(&d->z, &d->arena, d->zlibMemory, sizeof d->zlibMemory);
    d->z.next_in = Z_NULL;
    d->z.avail_in = 0;
    if (inflateInit(&d->z) != Z_OK) return XR_ERR_INTERNAL;
    d->inflateOpen = 1;
    return XR_OK;
}

// Inflated bytes of one row of pixels (or of one pass's row), filter byte excluded.
uint32_t RawBytes(const Decoder* d, uint32_t pixels) {
    return d->ihdr.bitDepth == 8 ? pixels * d->rawPixelBytes : d->rowBytes;
}

// Inflates one filtered row and undoes its filter in the previous-row buffer,
// which then holds the row. Wide rows come in steps of whole pixels.
CodecStatus DecodeRow(Decoder* d, uint32_t rawBytes) {
    uint32_t unit = d->ihdr.bitDepth == 8 ? d->rawPixelBytes : 1;
    uint32_t bpp = d->filterBpp;
    uint8_t* src = d->step + 1;
    uint8_t carry[3] = {0, 0, 0};
    uint32_t filterType = 0;
    uint32_t pos = 0;
    bool first = true;
    for (uint32_t left = rawBytes; first || left > 0;) {
        uint32_t n = left < kStepBytes ? left : kStepBytes;
        CodecStatus status = first ? InflateBytes(d, d->step, n + 1) : InflateBytes(d, src, n);
        if (status != XR_OK) return status;
        if (first) {
            filterType = d->step[0];
            if (filterType > 4) return XR_ERR_FORMAT;
            first = false;
        }
        uint32_t kept = n;
        if (d->skipBytes) {
            DropAlpha(src, n / unit, unit);
            kept = n / unit * d->colourBytes;
        }
        left -= n;
        uint8_t nextCarry[3] = {0, 0, 0};
        if (left > 0) std::memcpy(nextCarry, d->previous + pos + kept - bpp, bpp);  // before it is overwritten
        Unfilter(filterType, bpp, d->previous, src, pos, kept, carry);
        std::memcpy(carry, nextCarry, sizeof carry);
        pos += kept;
    }
    return XR_OK;
}

// The next row of a non-interlaced file into out; after the last row, the tail
// of the image data is checked.
CodecStatus DecodeNextRow(Decoder* d, uint8_t* out) {
    CodecStatus status = DecodeRow(d, RawBytes(d, d->ihdr.width));
    if (status != XR_OK) return status;
    d->output(d->previous, out, d->ihdr.width);
    if (++d->row == d->ihdr.height) {
        d->finished = 1;
        return FinishImageData(d);
    }
    return XR_OK;
}

// The seven passes of an 8-bit palette image, each pixel put in its place.
CodecStatus DecodeInterlaced(Decoder* d, uint8_t* pixels, uint32_t lineBytes) {
    for (uint32_t pass = 0; pass < 7; ++pass) {
        uint32_t width = PassExtent(d->ihdr.width, kStartX[pass], kStepX[pass]);
        uint32_t height = PassExtent(d->ihdr.height, kStartY[pass], kStepY[pass]);
        if (width == 0 || height == 0) continue;  // an empty pass has no rows at all
        std::memset(d->previous, 0, width);
        for (uint32_t r = 0; r < height; ++r) {
            CodecStatus status = DecodeRow(d, RawBytes(d, width));
            if (status != XR_OK) return status;
            uint32_t y = kStartY[pass] + r * kStepY[pass];
            uint8_t* out = pixels + size_t{y} * lineBytes + kStartX[pass];
            const uint32_t step = kStepX[pass];
            for (uint32_t i = 0; i < width; ++i) out[size_t{i} * step] = d->previous[i];
        }
    }
    d->finished = 1;
    return FinishImageData(d);
}

CodecStatus NextSourceLine(void* codec, uint8_t* line) { return PngDecDecodeLine(codec, line); }

// The size PngDecGetHandleSize reports on 64-bit targets: about 1.7 KiB of state
// (z_stream 112 bytes of it), the 196 KiB previous row, the 32 KiB inflate step and
// the 48 KiB zlib arena.
static_assert(sizeof(void*) != 8 || sizeof(Decoder) == 280016, "the decoder handle changed size");

}  // namespace

extern "C" {

int32_t PngDecGetHandleSize(void) { return static_cast<int32_t>(sizeof(Decoder)); }

CodecStatus PngDecInit(void* handle) {
    if (!handle) return XR_ERR_ARGUMENT;
    // The work areas at the end are scratch; clearing them would only cost time.
    std::memset(handle, 0, offsetof(Decoder, previous));
    ScaledDecodeInit(&AsDecoder(handle)->scaled);
    return XR_OK;
}

CodecStatus PngDecSetStream(void* handle, CodecStream* stream) {
    if (!handle || !stream) return XR_ERR_ARGUMENT;
    AsDecoder(handle)->stream = stream;
    StreamReset(stream, XR_STREAM_READ);
    return XR_OK;
}

CodecStatus PngDecReadHeader(void* handle, XrImage* header, void*, PngIhdr* ihdr) {
    if (!handle || !header) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    if (!d->stream) return XR_ERR_ARGUMENT;
    if (d->status != XR_OK) return d->status;
    if (d->headerRead) return d->status = XR_PNG_ERR_SEQUENCE;
    d->headerRead = 1;
    *header = XrImage{};
    CodecStatus status = ReadSignatureAndIhdr(d);
    if (ihdr) *ihdr = d->ihdr;
    if (status == XR_OK) status = DescribeImage(d);
    if (status == XR_OK) status = WalkToFirstIdat(d);
    if (status == XR_OK) status = OpenInflate(d);
    if (status != XR_OK) {
        d->fileHeader = XrImage{};
        return d->status = status;
    }
    *header = d->fileHeader;
    return XR_OK;
}

CodecStatus PngDecStart(void* handle, XrImage* image) {
    if (!handle || !image) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    if (d->status != XR_OK) return d->status;
    const XrImage& file = d->fileHeader;
    if (!d->headerRead || file.MODE == XR_MODE_UNK) return XR_PNG_ERR_SEQUENCE;
    if (d->row > 0 || d->finished) return XR_PNG_ERR_SEQUENCE;  // rows already taken
    if (image->MODE != file.MODE || image->WIDTH != file.WIDTH || image->HEIGHT != file.HEIGHT)
        return XR_ERR_MISMATCH;
    if (image->LINEINT < file.LINEINT) return XR_ERR_MISMATCH;
    if (image->MODE == XR_MODE_INDEX && image->PALBUT) {
        uint32_t entries = image->PALCOUNT < 256 ? image->PALCOUNT : 256;
        std::memcpy(image->PALBUT, d->palette, size_t{entries} * 4);
    }
    ImageCopyHeader(&d->recordHeader, image);
    std::memset(d->previous, 0, d->rowBytes);
    d->started = 1;
    return XR_OK;
}

CodecStatus PngDecDecodeLine(void* handle, uint8_t* row) {
    if (!handle || !row) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    if (d->status != XR_OK) return d->status;
    if (!d->headerRead) return XR_PNG_ERR_SEQUENCE;
    if (!d->started) return XR_ERR_MISMATCH;
    if (d->ihdr.interlace) return XR_ERR_UNSUPPORTED;  // rows of a pass are not image rows
    if (d->row >= d->ihdr.height) return XR_ERR_ARGUMENT;  // the image is complete
    CodecStatus status = DecodeNextRow(d, row);
    if (status != XR_OK) d->status = status;
    return status;
}

CodecStatus PngDecDecodeImage(void* handle, void* pixels) {
    if (!handle || !pixels) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    if (d->status != XR_OK) return d->status;
    if (!d->headerRead) return XR_PNG_ERR_SEQUENCE;
    if (!d->started) return XR_ERR_MISMATCH;
    const XrImage& record = d->recordHeader;
    auto* base = static_cast<uint8_t*>(pixels);
    CodecStatus status = XR_OK;
    if (d->ihdr.interlace) {
        if (record.MODE != XR_MODE_INDEX || record.PALCOUNT != 256) return XR_ERR_UNSUPPORTED;
        if (d->finished) return XR_ERR_ARGUMENT;
        status = DecodeInterlaced(d, base, record.LINEINT);
    } else {
        for (uint32_t y = d->row; y < d->ihdr.height && status == XR_OK; ++y)
            status = DecodeNextRow(d, base + size_t{y} * record.LINEINT);
    }
    if (status != XR_OK) d->status = status;
    CloseInflate(d);
    return status;
}

CodecStatus PngDecEnd(void* handle) {
    if (!handle) return XR_ERR_ARGUMENT;
    CloseInflate(AsDecoder(handle));
    return XR_OK;
}

CodecStatus PngDecSetRegion(void* handle, const XrRect* rect) {
    if (!handle) return XR_ERR_ARGUMENT;
    ScaledDecodeSetRegion(&AsDecoder(handle)->scaled, rect);
    return XR_OK;
}

CodecStatus PngDecSetLineBuffer(void* handle, uint8_t* buffer) {
    if (!handle || !buffer) return XR_ERR_ARGUMENT;
    AsDecoder(handle)->scaled.workLine = buffer;
    return XR_OK;
}

CodecStatus PngDecSetScaledOutput(void* handle, XrImage* target) {
    if (!handle || !target) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    if (d->status != XR_OK) return d->status;
    if (target->MODE < XR_MODE_RGB || target->MODE > XR_MODE_MONO) return XR_ERR_UNSUPPORTED;
    if (!d->headerRead || d->fileHeader.MODE == XR_MODE_UNK) return XR_PNG_ERR_SEQUENCE;
    if (d->ihdr.interlace) return XR_ERR_UNSUPPORTED;
    XrImage source = d->fileHeader;
    CodecStatus status = PngDecStart(handle, &source);
    if (status != XR_OK) return status;
    status = ScaledDecodeSetup(&d->scaled, &d->fileHeader, target, 0, d->palette, DecodeLineConvertTables());
    if (status != XR_OK) return status;
    ImageCopyHeader(&d->target, target);
    return XR_OK;
}

CodecStatus PngDecDecodeScaledLine(void* handle, uint8_t* line) {
    if (!handle || !line) return XR_ERR_ARGUMENT;
    return ScaledDecodeLine(&AsDecoder(handle)->scaled, NextSourceLine, handle, line);
}

CodecStatus PngDecDecodeScaledImage(void* handle, void* pixels) {
    if (!handle || !pixels) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    XrImage target = d->target;
    target.PIXELS = pixels;
    return ScaledDecodeImage(&d->scaled, NextSourceLine, handle, &target, 0);
}

}  // extern "C"
