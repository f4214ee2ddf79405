// GIF decoder: signature, logical screen, colour tables and blocks up to the first
// image; rows of that image into the record, plain or interlaced; scaled decode.
#include <cstring>

#include "gif_internal.hpp"
#include "lumapix/decode_line_convert.h"
#include "lumapix/stream_inline.hpp"

using namespace lumapix;
using namespace lumapix::gif;

namespace {

constexpr uint32_t kMaxLinesPerStep = 256;  // as the shared scaled decode reads at most
constexpr uint32_t kPassStart[4] = {0, 4, 2, 1};
constexpr uint32_t kPassStep[4] = {8, 8, 4, 2};

CodecStatus Fail(Decoder* d, CodecStatus status) {
    if (status != XR_OK && d->status == XR_OK) d->status = status;
    return status;
}

// Reads a colour table of 2^(n+1) entries and spreads it into blue, green, red, 0;
// the entries it does not fill are zero.
bool ReadColourTable(Decoder* d, uint8_t packed) {
    uint32_t entries = 2u << (packed & 7);
    uint32_t bytes = 3 * entries;
    std::memset(d->palette, 0, sizeof d->palette);
    d->tableBytes = 0;
    if (StreamRead(d->stream, d->palette, static_cast<int32_t>(bytes)) != 0) return false;
    for (uint32_t i = entries; i-- > 0;) {
        uint8_t red = d->palette[3 * i], green = d->palette[3 * i + 1], blue = d->palette[3 * i + 2];
        uint8_t* entry = d->palette + 4 * i;
        entry[0] = blue;
        entry[1] = green;
        entry[2] = red;
        entry[3] = 0;
    }
    d->tableBytes = static_cast<uint16_t>(bytes);
    return true;
}

// Skips data sub-blocks up to and including the zero-length one.
bool SkipSubBlocks(CodecStream* s) {
    for (;;) {
        int32_t size = NextByte(s);
        if (size < 0) return false;
        if (size == 0) return true;
        if (StreamSkip(s, size) != 0) return false;
    }
}

// Scans blocks up to the first image descriptor and reads it with its local table.
CodecStatus FindImage(Decoder* d) {
    CodecStream* s = d->stream;
    for (;;) {
        int32_t introducer = NextByte(s);
        if (introducer < 0) return XR_ERR_FORMAT;
        if (introducer == ';') {
            d->state = kTrailerMet;
            return XR_ERR_FORMAT;
        }
        if (introducer == '!') {
            if (NextByte(s) < 0 || !SkipSubBlocks(s)) return XR_ERR_FORMAT;
            continue;
        }
        if (introducer != ',') continue;  // stray bytes between blocks are passed over
        ReadLE16(s);  // left and top: the image always goes to the top-left corner
        ReadLE16(s);
        d->imageWidth = static_cast<uint16_t>(ReadLE16(s));
        d->imageHeight = static_cast<uint16_t>(ReadLE16(s));
        int32_t packed = NextByte(s);
        if (s->error) return XR_ERR_FORMAT;
        if ((packed & 0x80) && !ReadColourTable(d, static_cast<uint8_t>(packed))) return XR_ERR_FORMAT;
        d->interlaced = static_cast<uint8_t>(packed >> 6 & 1);
        d->state = kImageFound;
        return XR_OK;
    }
}

// Moves to the screen row of the next image row; false when the image is complete.
bool AdvanceRow(Decoder* d) {
    ++d->imageRows;
    if (!d->interlaced) {
        ++d->row;
        return d->row < d->imageHeight;
    }
    d->row += kPassStep[d->pass];
    while (d->row >= d->imageHeight) {
        if (d->pass == 3) return false;
        d->row = kPassStart[++d->pass];
    }
    return true;
}

// Whether an image row still to come can land on the screen.
bool RowsLeftOnScreen(const Decoder* d) {
    if (d->imageRows >= d->imageHeight) return false;
    if (d->row < d->visibleHeight) return true;
    if (!d->interlaced) return false;
    for (uint32_t p = d->pass + 1u; p < 4; ++p)
        if (kPassStart[p] < d->visibleHeight && kPassStart[p] < d->imageHeight) return true;
    return false;
}

// Decodes one image row: the pixels on the screen go into line (when given), the rest are dropped.
CodecStatus DecodeImageRow(Decoder* d, uint8_t* line) {
    CodecStatus status;
    uint32_t dropped = d->imageWidth;
    if (line) {
        status = LzwDecodeRun(d->work, d->stream, line, d->visibleWidth);
        if (status != XR_OK) return status;
        dropped -= d->visibleWidth;
    }
    return dropped ? LzwSkipRun(d->work, d->stream, dropped) : XR_OK;
}

CodecStatus StartDecoding(Decoder* d, XrImage* record) {
    if (d->state != kImageFound) return Fail(d, XR_GIF_STATE);
    const XrImage& file = d->fileHeader;
    if (record->MODE != file.MODE || record->WIDTH != file.WIDTH || record->HEIGHT != file.HEIGHT ||
        record->LINEINT < file.WIDTH)
        return Fail(d, XR_ERR_MISMATCH);
    if (!d->work) return Fail(d, XR_ERR_WORK_BUFFER);
    int32_t minCodeSize = NextByte(d->stream);
    if (minCodeSize < 0) return Fail(d, d->stream->error);
    // Pixel values are bytes, so no more than 8; and below 2 the second code of a
    // string could not name the entry it defines (GIF asks 2 for two-colour images).
    if (minCodeSize < 2 || minCodeSize > 8) return Fail(d, XR_ERR_FORMAT);
    LzwDecodeInit(d->work, static_cast<uint32_t>(minCodeSize));
    if (record->MODE == XR_MODE_INDEX && record->PALBUT) {
        uint32_t entries = record->PALCOUNT < kPaletteEntries ? record->PALCOUNT : kPaletteEntries;
        std::memcpy(record->PALBUT, d->palette, size_t{entries} * 4);
    }
    ImageCopyHeader(&d->recordHeader, record);
    d->state = kDecoding;
    d->row = 0;
    d->pass = 0;
    d->imageRows = 0;
    d->linesDelivered = 0;
    return XR_OK;
}

CodecStatus NextSourceLine(void* codec, uint8_t* line) { return GifDecDecodeLine(codec, line); }

// The shared scaled decode takes source line 1 + min(t x step, 256 t) (16.16, truncated)
// of the window for target line t, the window's last line once it runs out.
uint32_t SourceRowOf(const XrScaledDecode& sd, uint32_t t) {
    uint64_t stepped = (uint64_t{t} * sd.step) >> 16;
    uint64_t capped = uint64_t{t} * kMaxLinesPerStep;
    uint64_t read = 1 + (stepped < capped ? stepped : capped);
    if (read > sd.clipHeight) read = sd.clipHeight;
    return sd.clipY + static_cast<uint32_t>(read) - 1;
}

// First target line whose source row is at least row.
uint32_t FirstTargetAtOrAfter(const XrScaledDecode& sd, uint32_t row) {
    uint32_t lo = 0, hi = sd.targetHeight;
    while (lo < hi) {
        uint32_t mid = lo + (hi - lo) / 2;
        if (SourceRowOf(sd, mid) < row) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

// Converts a decoded screen row in the work line and stretches it into every
// target line that takes it.
CodecStatus PlaceScaledRow(Decoder* d, uint32_t row, uint8_t* pixels) {
    XrScaledDecode& sd = d->scaled;
    if (row < sd.clipY || row >= uint32_t{sd.clipY} + sd.clipHeight) return XR_OK;
    uint32_t first = FirstTargetAtOrAfter(sd, row);
    uint32_t end = FirstTargetAtOrAfter(sd, row + 1);
    if (first >= end) return XR_OK;
    if (sd.extract(sd.workLine, sd.clipX, sd.clipWidth) != 0) return XR_ERR_UNSUPPORTED;
    if (sd.convert(sd.workLine, sd.clipWidth, sd.sourceMode, sd.sourcePalette, sd.sourcePalfmt,
                   sd.targetPalfmt) != 0)
        return XR_ERR_UNSUPPORTED;
    for (uint32_t t = first; t < end; ++t) {
        if (sd.stretch(sd.workLine, sd.clipWidth, pixels + size_t{t} * d->target.LINEINT, sd.targetWidth) != 0)
            return XR_ERR_UNSUPPORTED;
    }
    return XR_OK;
}

bool WantsRow(const Decoder* d, uint32_t row) {
    const XrScaledDecode& sd = d->scaled;
    if (row < sd.clipY || row >= uint32_t{sd.clipY} + sd.clipHeight) return false;
    return FirstTargetAtOrAfter(sd, row) < FirstTargetAtOrAfter(sd, row + 1);
}

// Interlaced rows arrive out of order, so each one goes straight to the target
// lines that take it rather than through the line-by-line stepping.
CodecStatus ScaleInterlaced(Decoder* d, uint8_t* pixels) {
    uint32_t width = d->fileHeader.WIDTH;
    uint8_t* work = d->scaled.workLine;
    bool more = d->imageHeight > 0;
    while (more && RowsLeftOnScreen(d)) {
        uint32_t row = d->row;
        bool wanted = row < d->visibleHeight && WantsRow(d, row);
        CodecStatus status = DecodeImageRow(d, wanted ? work : nullptr);
        if (status != XR_OK) return status;
        if (wanted) {
            std::memset(work + d->visibleWidth, 0, width - d->visibleWidth);
            status = PlaceScaledRow(d, row, pixels);
            if (status != XR_OK) return status;
        }
        more = AdvanceRow(d);
    }
    for (uint32_t row = d->visibleHeight; row < d->fileHeader.HEIGHT; ++row) {
        if (!WantsRow(d, row)) continue;
        std::memset(work, 0, width);
        CodecStatus status = PlaceScaledRow(d, row, pixels);
        if (status != XR_OK) return status;
    }
    d->linesDelivered = d->fileHeader.HEIGHT;
    d->scaled.outputLines = d->scaled.targetHeight;
    return XR_OK;
}

}  // namespace

extern "C" {

int32_t GifDecGetHandleSize(void) { return static_cast<int32_t>(sizeof(Decoder)); }

CodecStatus GifDecInit(void* handle) {
    if (!handle) return XR_ERR_ARGUMENT;
    std::memset(handle, 0, sizeof(Decoder));  // clip 0, 0, 0, 0: the whole image
    return XR_OK;
}

CodecStatus GifDecSetStream(void* handle, CodecStream* stream) {
    if (!handle || !stream) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    if (d->status != XR_OK) return d->status;
    d->stream = stream;
    StreamReset(stream, XR_STREAM_READ);
    return XR_OK;
}

CodecStatus GifDecReadHeader(void* handle, XrImage* header, uint32_t* workSize, GifImageInfo* info) {
    if (!handle || !header || !workSize) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    if (d->status != XR_OK) return d->status;
    if (!d->stream) return XR_ERR_ARGUMENT;
    if (d->state != kNothingRead) return Fail(d, XR_GIF_STATE);
    *header = XrImage{};
    CodecStream* s = d->stream;

    uint8_t signature[6];
    if (StreamRead(s, signature, 6) != 0) return Fail(d, s->error);
    if (std::memcmp(signature, "GIF87a", 6) != 0 && std::memcmp(signature, "GIF89a", 6) != 0)
        return Fail(d, XR_ERR_FORMAT);
    uint32_t screenWidth = ReadLE16(s);
    uint32_t screenHeight = ReadLE16(s);
    int32_t packed = NextByte(s);
    int32_t background = NextByte(s);
    NextByte(s);  // pixel aspect ratio
    if (s->error) return Fail(d, s->error);
    d->background = static_cast<uint8_t>(background);
    if ((packed & 0x80) && !ReadColourTable(d, static_cast<uint8_t>(packed))) return Fail(d, XR_ERR_FORMAT);

    CodecStatus status = FindImage(d);
    if (status != XR_OK) return Fail(d, status);
    // A screen of size 0 takes the image's size, as viewers do.
    if (screenWidth == 0) screenWidth = d->imageWidth;
    if (screenHeight == 0) screenHeight = d->imageHeight;
    if (screenWidth == 0 || screenHeight == 0) return Fail(d, XR_ERR_FORMAT);
    // An image reaching past the screen is clipped to it.
    d->visibleWidth = static_cast<uint16_t>(d->imageWidth < screenWidth ? d->imageWidth : screenWidth);
    d->visibleHeight = static_cast<uint16_t>(d->imageHeight < screenHeight ? d->imageHeight : screenHeight);

    header->MODE = XR_MODE_INDEX;
    header->WIDTH = static_cast<uint16_t>(screenWidth);
    header->HEIGHT = static_cast<uint16_t>(screenHeight);
    header->LINEINT = screenWidth;
    header->PALCOUNT = kPaletteEntries;
    d->fileHeader = *header;
    *workSize = XR_GIF_DEC_WORK_SIZE;
    if (info) {
        *info = GifImageInfo{};
        info->width = d->imageWidth;
        info->height = d->imageHeight;
        info->background = d->background;
        info->interlaced = d->interlaced;
    }
    return XR_OK;
}

CodecStatus GifDecSetWork(void* handle, void* work) {
    if (!handle) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    if (d->status != XR_OK) return d->status;
    if (!work || reinterpret_cast<uintptr_t>(work) % alignof(LzwDecoder) != 0) return XR_ERR_ARGUMENT;
    d->work = static_cast<LzwDecoder*>(work);
    return XR_OK;
}

CodecStatus GifDecStart(void* handle, XrImage* record) {
    if (!handle || !record) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    if (d->status != XR_OK) return d->status;
    return StartDecoding(d, record);
}

CodecStatus GifDecDecodeLine(void* handle, uint8_t* line) {
    if (!handle || !line) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    if (d->status != XR_OK) return d->status;
    if (d->state != kDecoding || d->linesDelivered >= d->fileHeader.HEIGHT) return XR_ERR_FORMAT;
    if (d->interlaced) return XR_ERR_UNSUPPORTED;  // rows come in pass order
    uint32_t width = d->fileHeader.WIDTH;
    uint32_t y = d->linesDelivered++;
    if (y < d->visibleHeight) {
        CodecStatus status = DecodeImageRow(d, line);
        if (status != XR_OK) return Fail(d, status);
        AdvanceRow(d);
        std::memset(line + d->visibleWidth, 0, width - d->visibleWidth);
    } else {
        std::memset(line, 0, width);
    }
    return XR_OK;
}

CodecStatus GifDecDecodeImage(void* handle, void* pixels) {
    if (!handle || !pixels) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    if (d->status != XR_OK) return d->status;
    if (d->state != kDecoding || d->linesDelivered != 0) return XR_ERR_FORMAT;
    auto* base = static_cast<uint8_t*>(pixels);
    size_t lineBytes = d->recordHeader.LINEINT;
    uint32_t width = d->fileHeader.WIDTH;
    uint32_t height = d->fileHeader.HEIGHT;
    bool more = d->imageHeight > 0;
    while (more && RowsLeftOnScreen(d)) {
        uint32_t row = d->row;
        uint8_t* line = row < d->visibleHeight ? base + row * lineBytes : nullptr;
        CodecStatus status = DecodeImageRow(d, line);
        if (status != XR_OK) return Fail(d, status);
        if (line) std::memset(line + d->visibleWidth, 0, width - d->visibleWidth);
        more = AdvanceRow(d);
    }
    for (uint32_t y = d->visibleHeight; y < height; ++y) std::memset(base + y * lineBytes, 0, width);
    d->linesDelivered = height;
    return XR_OK;
}

CodecStatus GifDecEnd(void* handle) { return handle ? XR_OK : XR_ERR_ARGUMENT; }

CodecStatus GifDecSetRegion(void* handle, const XrRect* rect) {
    if (!handle) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    if (d->status != XR_OK) return d->status;
    ScaledDecodeSetRegion(&d->scaled, rect);
    return XR_OK;
}

CodecStatus GifDecSetLineBuffer(void* handle, uint8_t* buffer) {
    if (!handle || !buffer) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    if (d->status != XR_OK) return d->status;
    d->scaled.workLine = buffer;
    return XR_OK;
}

CodecStatus GifDecSetScaledOutput(void* handle, XrImage* target, int32_t* bottomUp) {
    if (!handle || !target) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    if (d->status != XR_OK) return d->status;
    if (target->MODE < XR_MODE_RGB || target->MODE > XR_MODE_MONO) return XR_ERR_UNSUPPORTED;
    if (!d->scaled.workLine) return XR_ERR_ARGUMENT;
    if (target->LINEINT < ImageLineBytes(target->MODE, target->WIDTH)) return XR_ERR_MISMATCH;
    XrImage source = d->fileHeader;
    CodecStatus status = StartDecoding(d, &source);
    if (status != XR_OK) return status;
    status = ScaledDecodeSetup(&d->scaled, &d->fileHeader, target, 0, d->palette, DecodeLineConvertTables());
    if (status != XR_OK) return Fail(d, status);
    ImageCopyHeader(&d->target, target);
    if (bottomUp) *bottomUp = 0;
    return XR_OK;
}

CodecStatus GifDecDecodeScaledLine(void* handle, uint8_t* line) {
    if (!handle || !line) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    if (d->status != XR_OK) return d->status;
    if (d->state != kDecoding || !d->scaled.stretch) return XR_ERR_FORMAT;
    if (d->interlaced) return XR_ERR_UNSUPPORTED;  // see GifDecDecodeScaledImage
    return ScaledDecodeLine(&d->scaled, NextSourceLine, handle, line);
}

CodecStatus GifDecDecodeScaledImage(void* handle, void* pixels) {
    if (!handle || !pixels) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    if (d->status != XR_OK) return d->status;
    if (d->state != kDecoding || !d->scaled.stretch || d->linesDelivered != 0 || d->scaled.outputLines != 0)
        return XR_ERR_FORMAT;
    if (d->interlaced) return Fail(d, ScaleInterlaced(d, static_cast<uint8_t*>(pixels)));
    XrImage target = d->target;
    target.PIXELS = pixels;
    return ScaledDecodeImage(&d->scaled, NextSourceLine, handle, &target, 0);
}

}  // extern "C"
