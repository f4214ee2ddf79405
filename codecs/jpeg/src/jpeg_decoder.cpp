// The decoder's C interface: set-up, header calls, line and whole-image
// decoding in bands of 16 lines, thumbnails and the scaled decode.
#include <cstring>

#include "jpeg_internal.hpp"
#include "lumapix/decode_line_convert.h"
#include "lumapix/stream_inline.hpp"

using namespace lumapix;
using namespace lumapix::jpeg;

static_assert(sizeof(Decoder) <= static_cast<size_t>(kHandleSize), "decoder state outgrew its handle");
static_assert(alignof(Decoder) <= alignof(std::max_align_t), "handles come from the system allocator");

namespace {

CodecStatus Fail(Decoder& d, CodecStatus status) {
    if (status != XR_OK && d.status == XR_OK) d.status = status;
    return status;
}

CodecStatus ReadHeaderCommon(void* handle, XrImage* header, uint32_t* workSize, uint32_t* appMode,
                             JpgAppInfo* appInfo, int thumbnail) {
    if (!handle || !header) return XR_ERR_ARGUMENT;
    Decoder& d = *AsDecoder(handle);
    if (d.status != XR_OK) return d.status;
    if (!d.stream || d.phase != kSeekSoi || d.frameSeen) return XR_ERR_ARGUMENT;
    CodecStatus status = ParseHeader(d, thumbnail);
    if (status != XR_OK && d.stream->error) status = d.stream->error;
    if (appMode) *appMode = d.appMode;
    if (appInfo) *appInfo = d.app;
    if (status != XR_OK) return Fail(d, status);
    header->MODE = d.header.MODE;
    header->WIDTH = d.header.WIDTH;
    header->HEIGHT = d.header.HEIGHT;
    header->LINEINT = d.header.LINEINT;
    header->FMT = d.header.FMT;
    header->PALFMT = 0;
    header->PALCOUNT = 0;
    header->PALBUT = nullptr;
    header->OBJECT = nullptr;
    if (workSize) *workSize = d.workSize;
    return XR_OK;
}

// The image decodes through the JPEG path (main image or an Exif JPEG thumbnail).
bool JpegPath(const Decoder& d) { return !d.thumbRequested || d.thumbKind == kThumbExifJpeg; }

CodecStatus StartOutput(Decoder& d, const XrImage& record) {
    if (d.phase != kInScan || !d.frameSeen) return XR_ERR_ARGUMENT;
    if (d.delivered != 0 || d.bandLines != 0) return XR_ERR_ARGUMENT;  // decoding has begun
    if (record.WIDTH != d.width) return XR_ERR_MISMATCH;
    CodecStatus status = SelectConverter(d, record.MODE);
    if (status != XR_OK) return status;
    if (record.LINEINT && record.LINEINT < d.outBytes * d.width) return XR_ERR_MISMATCH;
    d.recordLineInt = record.LINEINT ? record.LINEINT : d.outBytes * d.width;
    d.recordHeight = record.HEIGHT;
    d.workStride = (d.width + 32u) * d.outBytes;
    ResetEntropyDecoder(d);
    d.delivered = d.bandStart = d.bandLines = 0;
    d.pending = XR_OK;
    d.outputReady = 1;
    return XR_OK;
}

uint32_t KnownHeight(const Decoder& d) { return d.frameHeight ? d.frameHeight : d.dnlHeight; }

CodecStatus DecodeLine(Decoder& d, uint8_t* line) {
    if (d.status != XR_OK) return d.status;
    if (!JpegPath(d)) return XR_JPG_THUMB_MODE;
    if (!d.outputReady) return XR_ERR_ARGUMENT;
    if (!d.work) return XR_ERR_WORK_BUFFER;
    uint32_t height = KnownHeight(d);
    if (height && d.delivered >= height) return XR_JPG_END_OF_IMAGE;
    if (d.delivered == d.bandStart + d.bandLines) {
        if (d.pending != XR_OK) return Fail(d, d.pending);
        d.bandStart = d.delivered;
        DecodeBand(d, nullptr, 0);
        if (d.bandLines == 0) return Fail(d, d.pending != XR_OK ? d.pending : XR_JPG_END_OF_IMAGE);
    }
    const uint8_t* from = d.work + static_cast<size_t>(d.delivered - d.bandStart) * d.workStride;
    std::memcpy(line, from, size_t{d.width} * d.outBytes);
    ++d.delivered;
    return XR_OK;
}

// Whole bands go straight into the pixels when they fit below and beside the
// record; the rest, and partial MCUs at the right edge, pass through the work buffer.
CodecStatus DecodeImage(Decoder& d, uint8_t* pixels, uint32_t recordHeight, uint32_t lineInt) {
    size_t lineBytes = size_t{d.width} * d.outBytes;
    while (d.delivered < recordHeight) {
        bool bandDone = d.delivered == d.bandStart + d.bandLines;
        uint32_t height = KnownHeight(d);
        if (!bandDone || !d.outputReady || !d.work || d.status != XR_OK || !JpegPath(d) ||
            (height && d.delivered >= height) || d.pending != XR_OK) {
            CodecStatus status = DecodeLine(d, pixels + size_t{d.delivered} * lineInt);
            if (status != XR_OK) return status;
            continue;
        }
        d.bandStart = d.delivered;
        if (d.bandStart + BandSpan(d) > recordHeight) {
            DecodeBand(d, nullptr, 0);
        } else {
            uint8_t* dest = pixels + size_t{d.bandStart} * lineInt;
            DecodeBand(d, dest, lineInt);
            uint32_t mcuWidth = 8u * d.hmax;
            size_t done = size_t{d.width / mcuWidth} * mcuWidth * d.outBytes;
            for (uint32_t y = 0; y < d.bandLines && done < lineBytes; ++y)
                std::memcpy(dest + size_t{y} * lineInt + done, d.work + size_t{y} * d.workStride + done, lineBytes - done);
            d.delivered += d.bandLines;
            if (d.delivered > recordHeight) d.delivered = recordHeight;
        }
        if (d.bandLines == 0) return Fail(d, d.pending != XR_OK ? d.pending : XR_JPG_END_OF_IMAGE);
    }
    return XR_OK;
}

CodecStatus NextSourceLine(void* codec, uint8_t* line) { return JpgDecDecodeLine(codec, line, nullptr); }

void BgrFromRgb(uint8_t* p, uint32_t pixels) {
    for (uint32_t i = 0; i < pixels; ++i, p += 3) {
        uint8_t r = p[0];
        p[0] = p[2];
        p[2] = r;
    }
}

CodecStatus DecodeRgbThumb(Decoder& d, uint8_t* pixels) {
    uint32_t lineBytes = 3u * d.thumbWidth;
    for (uint32_t y = 0; y < d.thumbHeight; ++y) {
        uint8_t* line = pixels + size_t{y} * lineBytes;
        if (StreamRead(d.stream, line, static_cast<int32_t>(lineBytes)) != 0) return d.stream->error;
        BgrFromRgb(line, d.thumbWidth);
    }
    return XR_OK;
}

// TIFF YCbCr data units: sv rows of two luma samples, then Cb and Cr.
CodecStatus DecodeYccThumb(Decoder& d, uint8_t* pixels) {
    uint32_t w = d.thumbWidth, h = d.thumbHeight, sv = d.thumbSubV;
    uint32_t lineBytes = 3u * w;
    CodecStream* s = d.stream;
    for (uint32_t y0 = 0; y0 < h; y0 += sv) {
        for (uint32_t x0 = 0; x0 < w; x0 += 2) {
            int32_t unit[6];
            uint32_t n = 2 * sv + 2;
            for (uint32_t i = 0; i < n; ++i) unit[i] = NextByte(s);
            if (s->error) return s->error;
            int32_t cb = unit[n - 2], cr = unit[n - 1];
            for (uint32_t dy = 0; dy < sv; ++dy) {
                for (uint32_t dx = 0; dx < 2; ++dx) {
                    uint32_t x = x0 + dx, y = y0 + dy;
                    if (x < w && y < h) YccToBgr8(unit[2 * dy + dx], cb, cr, pixels + size_t{y} * lineBytes + 3 * x);
                }
            }
        }
    }
    return XR_OK;
}

}  // namespace

extern "C" {

int32_t JpgDecGetHandleSize(void) { return kHandleSize; }

CodecStatus JpgDecInit(void* handle) {
    if (!handle) return XR_ERR_ARGUMENT;
    std::memset(handle, 0, static_cast<size_t>(kHandleSize));
    Decoder& d = *AsDecoder(handle);
    d.app.g3faxResolution = 200;
    d.allowSimd = 1;
    ScaledDecodeInit(&d.scaled);
    return XR_OK;
}

CodecStatus JpgDecSetStream(void* handle, CodecStream* stream) {
    if (!handle || !stream) return XR_ERR_ARGUMENT;
    AsDecoder(handle)->stream = stream;
    StreamReset(stream, XR_STREAM_READ);
    return XR_OK;
}

CodecStatus JpgDecReadHeader(void* handle, XrImage* header, uint32_t* workSize, uint32_t* appMode,
                             JpgAppInfo* appInfo) {
    return ReadHeaderCommon(handle, header, workSize, appMode, appInfo, 0);
}

CodecStatus JpgDecReadThumbHeader(void* handle, XrImage* header, uint32_t* workSize, uint32_t* appMode,
                                  JpgAppInfo* appInfo) {
    return ReadHeaderCommon(handle, header, workSize, appMode, appInfo, 1);
}

CodecStatus JpgDecSetWorkBuffer(void* handle, void* buffer) {
    if (!handle || !buffer) return XR_ERR_ARGUMENT;
    AsDecoder(handle)->work = static_cast<uint8_t*>(buffer);
    return XR_OK;
}

CodecStatus JpgDecSetOutput(void* handle, const XrImage* header) {
    if (!handle || !header) return XR_ERR_ARGUMENT;
    Decoder& d = *AsDecoder(handle);
    if (d.status != XR_OK) return d.status;
    if (!JpegPath(d)) return XR_JPG_THUMB_MODE;
    return StartOutput(d, *header);
}

CodecStatus JpgDecDecodeLine(void* handle, uint8_t* line, uint32_t* newHeight) {
    if (!handle || !line) return XR_ERR_ARGUMENT;
    Decoder& d = *AsDecoder(handle);
    CodecStatus status = DecodeLine(d, line);
    if (newHeight) *newHeight = d.frameHeight ? 0 : d.dnlHeight;
    return status;
}

CodecStatus JpgDecDecodeImage(void* handle, void* pixels, uint32_t* lines) {
    if (lines) *lines = 0;
    if (!handle || !pixels) return XR_ERR_ARGUMENT;
    Decoder& d = *AsDecoder(handle);
    if (d.status != XR_OK) return d.status;
    if (!JpegPath(d)) return XR_JPG_THUMB_MODE;
    if (!d.outputReady) return XR_ERR_ARGUMENT;
    CodecStatus status = DecodeImage(d, static_cast<uint8_t*>(pixels), d.recordHeight, d.recordLineInt);
    if (lines) *lines = d.delivered;
    return status;
}

CodecStatus JpgDecSetThumbOutput(void* handle, XrImage* record) {
    if (!handle || !record) return XR_ERR_ARGUMENT;
    Decoder& d = *AsDecoder(handle);
    if (d.status != XR_OK) return d.status;
    if (!d.thumbRequested || !d.thumbPresent || d.phase != kInScan) return XR_ERR_ARGUMENT;
    if (record->MODE != XR_MODE_RGB || record->WIDTH != d.header.WIDTH || record->HEIGHT != d.header.HEIGHT)
        return XR_ERR_MISMATCH;
    record->LINEINT = 3u * record->WIDTH;
    if (d.thumbKind != kThumbExifJpeg) {
        d.outputReady = 1;
        return XR_OK;
    }
    return StartOutput(d, *record);
}

CodecStatus JpgDecDecodeThumb(void* handle, void* pixels) {
    if (!handle || !pixels) return XR_ERR_ARGUMENT;
    Decoder& d = *AsDecoder(handle);
    if (d.status != XR_OK) return d.status;
    if (!d.outputReady || !d.thumbRequested) return XR_ERR_ARGUMENT;
    auto* out = static_cast<uint8_t*>(pixels);
    CodecStatus status = XR_OK;
    switch (d.thumbKind) {
        case kThumbJfif:
        case kThumbExifRgb: status = DecodeRgbThumb(d, out); break;
        case kThumbExifYcc: status = DecodeYccThumb(d, out); break;
        case kThumbExifJpeg:
            for (uint32_t y = 0; y < d.recordHeight && status == XR_OK; ++y)
                status = DecodeLine(d, out + size_t{y} * d.recordLineInt);
            return status;
        default: return XR_ERR_ARGUMENT;
    }
    d.outputReady = 0;  // the pixels have been read
    return Fail(d, status);
}

CodecStatus JpgDecSetRegion(void* handle, const XrRect* region) {
    if (!handle) return XR_ERR_ARGUMENT;
    ScaledDecodeSetRegion(&AsDecoder(handle)->scaled, region);
    return XR_OK;
}

CodecStatus JpgDecSetLineBuffer(void* handle, uint8_t* buffer) {
    if (!handle || !buffer) return XR_ERR_ARGUMENT;
    AsDecoder(handle)->scaled.workLine = buffer;
    return XR_OK;
}

CodecStatus JpgDecSetScaledOutput(void* handle, XrImage* output, uint32_t verticalStep) {
    if (!handle || !output) return XR_ERR_ARGUMENT;
    Decoder& d = *AsDecoder(handle);
    if (d.status != XR_OK) return d.status;
    if (!JpegPath(d)) return XR_JPG_THUMB_MODE;
    XrImage source = d.header;
    if (output->MODE < XR_MODE_RGB || output->MODE > XR_MODE_MONO) return XR_ERR_UNSUPPORTED;
    if (source.MODE < XR_MODE_RGB || source.MODE > XR_MODE_MONO) return XR_ERR_UNSUPPORTED;
    if (!d.scaled.workLine) return XR_ERR_ARGUMENT;
    CodecStatus status = StartOutput(d, source);
    if (status != XR_OK) return status;
    if (source.HEIGHT == 0) source.HEIGHT = 0xFFFF;  // known only at the end
    status = ScaledDecodeSetup(&d.scaled, &source, output, 0, nullptr, DecodeLineConvertTables());
    if (status != XR_OK) return status;
    if (verticalStep) d.scaled.step = verticalStep;
    ImageCopyHeader(&d.scaledTarget, output);
    return XR_OK;
}

CodecStatus JpgDecDecodeScaledLine(void* handle, uint8_t* line) {
    if (!handle || !line) return XR_ERR_ARGUMENT;
    Decoder& d = *AsDecoder(handle);
    if (d.status != XR_OK) return d.status;
    if (!JpegPath(d)) return XR_JPG_THUMB_MODE;
    if (!d.scaled.stretch) return XR_ERR_ARGUMENT;
    return ScaledDecodeLine(&d.scaled, NextSourceLine, handle, line);
}

CodecStatus JpgDecDecodeScaledImage(void* handle, void* pixels, uint32_t* lines) {
    if (lines) *lines = 0;
    if (!handle || !pixels) return XR_ERR_ARGUMENT;
    Decoder& d = *AsDecoder(handle);
    if (!d.scaled.stretch) return d.status != XR_OK ? d.status : XR_ERR_ARGUMENT;
    const XrImage& target = d.scaledTarget;
    uint32_t lineInt = target.LINEINT ? target.LINEINT : ImageLineBytes(target.MODE, target.WIDTH);
    auto* base = static_cast<uint8_t*>(pixels);
    CodecStatus status = XR_OK;
    uint32_t count = 0;
    while (count < target.HEIGHT) {
        status = JpgDecDecodeScaledLine(handle, base + size_t{count} * lineInt);
        if (status != XR_OK) break;
        ++count;
    }
    if (lines) *lines = count;
    return status;
}

}  // extern "C"
