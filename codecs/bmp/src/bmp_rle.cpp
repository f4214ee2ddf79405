// RLE8 and RLE4 lines. End-of-line, delta and end-of-image fill with the value of
// the last run; a delta may reach into later lines. Runs never wrap: encoders that
// pad lines to whole words write runs past the line's end before its end-of-line.
#include <algorithm>
#include <cstring>

#include "bmp_internal.hpp"
#include "lumapix/stream_inline.hpp"

using namespace lumapix;
using namespace lumapix::bmp;

namespace {

struct LineCursor {
    uint8_t* line;
    uint32_t x;
    uint32_t width;
    uint32_t room() const { return width - x; }
};

void Fill(LineCursor& c, uint8_t value, uint32_t n) {
    std::memset(c.line + c.x, value, n);
    c.x += n;
}

// Emits as much of the pending run as fits in the line.
void DrainRun(Decoder* d, LineCursor& c) {
    RleState& r = d->rle;
    CodecStream* s = d->stream;
    bool rle4 = d->compression == kRle4;
    uint32_t n = std::min(r.remaining, c.room());
    switch (r.kind) {
        case RunKind::kRepeat:
            if (!rle4) {
                Fill(c, r.value, n);
            } else {
                for (uint32_t i = 0; i < n; ++i, r.phase ^= 1)
                    c.line[c.x++] = r.phase ? r.value & 0x0F : r.value >> 4;
            }
            break;
        case RunKind::kLiteral:
            if (!rle4) {
                if (StreamRead(s, c.line + c.x, static_cast<int32_t>(n)) != 0) return;
                c.x += n;
            } else {
                for (uint32_t i = 0; i < n; ++i, r.phase ^= 1) {
                    if (!r.phase) r.literalByte = static_cast<uint8_t>(NextByte(s));
                    c.line[c.x++] = r.phase ? r.literalByte & 0x0F : r.literalByte >> 4;
                }
            }
            break;
        case RunKind::kFill:
            Fill(c, r.lastValue, n);
            break;
        default:
            return;
    }
    r.remaining -= n;
    if (r.remaining == 0) {
        if (r.kind == RunKind::kLiteral && r.padByte) NextByte(s);
        r.kind = RunKind::kNone;
    }
}

void StartLiteral(Decoder* d, uint32_t pixels) {
    RleState& r = d->rle;
    uint32_t bytes = d->compression == kRle4 ? (pixels + 1) / 2 : pixels;
    r.kind = RunKind::kLiteral;
    r.remaining = pixels;
    r.phase = 0;
    r.padByte = bytes & 1;
}

// Drops what is left of a run or literal that ran past the end of its line.
void DiscardOverflow(Decoder* d, bool lastLine) {
    RleState& r = d->rle;
    if (r.kind == RunKind::kLiteral && !lastLine) {
        uint32_t unread = r.remaining;
        if (d->compression == kRle4) unread = (r.remaining - r.phase + 1) / 2;  // a started byte is read
        StreamSkip(d->stream, static_cast<int32_t>(unread + r.padByte));
    }
    r.kind = RunKind::kNone;
    r.remaining = 0;
}

}  // namespace

namespace lumapix::bmp {

// A line stays open until its end-of-line, a delta that moves down, or the end of
// the image; pixels placed beyond its width are dropped. Nothing is read once the
// last line is full, so trailing codes may be missing.
CodecStatus DecodeRleLine(Decoder* d, uint8_t* line) {
    CodecStream* s = d->stream;
    RleState& r = d->rle;
    LineCursor c{line, 0, d->fileHeader.WIDTH};
    const bool rle4 = d->compression == kRle4;
    const bool lastLine = d->linesDecoded + 1 >= d->fileHeader.HEIGHT;
    for (;;) {
        if (r.kind == RunKind::kEndless) {
            Fill(c, r.lastValue, c.room());
            return XR_OK;
        }
        if (r.remaining > 0) {
            DrainRun(d, c);
            if (s->error) return s->error;
            if (r.remaining > 0) {
                if (r.kind == RunKind::kFill) return XR_OK;  // a delta carries on below
                DiscardOverflow(d, lastLine);
                if (s->error) return s->error;
            }
            continue;
        }
        if (c.x == c.width && lastLine) return XR_OK;
        int32_t count = NextByte(s);
        int32_t code = NextByte(s);
        if (s->error) return s->error;
        if (count > 0) {
            r.kind = RunKind::kRepeat;
            r.remaining = static_cast<uint32_t>(count);
            r.value = static_cast<uint8_t>(code);
            r.lastValue = rle4 ? static_cast<uint8_t>(code >> 4) : static_cast<uint8_t>(code);
            r.phase = 0;
        } else if (code == 0) {  // end of line
            Fill(c, r.lastValue, c.room());
            return XR_OK;
        } else if (code == 1) {  // end of image
            r.kind = RunKind::kEndless;
        } else if (code == 2) {  // delta: move right and down
            uint32_t dx = static_cast<uint8_t>(NextByte(s));
            uint32_t dy = static_cast<uint8_t>(NextByte(s));
            if (s->error) return s->error;
            uint32_t column = std::min(c.x + dx, c.width);
            r.kind = RunKind::kFill;
            r.remaining = dy * c.width + (column - c.x);
        } else {
            StartLiteral(d, static_cast<uint32_t>(code));
        }
    }
}

}  // namespace lumapix::bmp
