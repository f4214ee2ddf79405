// GIF87a encoder for 256-colour INDEX records: one global colour table, one
// image, 8-bit LZW with a clear code whenever the 12-bit table fills.
#include <cstring>

#include "gif_internal.hpp"
#include "lumapix/stream_inline.hpp"

using namespace lumapix;
using namespace lumapix::gif;

namespace {

constexpr uint32_t kCodeSize = 8;
constexpr uint32_t kClearCode = 1u << kCodeSize;
constexpr uint32_t kEndCode = kClearCode + 1;
constexpr uint32_t kFirstFree = kClearCode + 2;
constexpr uint32_t kFreeSlot = 0xFFFF;

CodecStatus Fail(Encoder* e, CodecStatus status) {
    if (status != XR_OK && e->status == XR_OK) e->status = status;
    return status;
}

CodecStatus StreamStatus(Encoder* e) { return Fail(e, e->stream->error); }

// The bit writer and the table, kept in locals while a row is compressed.
class Compressor {
public:
    Compressor(LzwEncoder* z, CodecStream* s)
        : z_(z), s_(s), bits_(z->bits), count_(z->bitCount), next_(z->nextFree), width_(z->width),
          prefix_(z->prefix), fill_(z->blockFill) {}

    ~Compressor() {
        z_->bits = bits_;
        z_->bitCount = count_;
        z_->nextFree = static_cast<uint16_t>(next_);
        z_->width = static_cast<uint16_t>(width_);
        z_->prefix = static_cast<uint16_t>(prefix_);
        z_->blockFill = static_cast<uint16_t>(fill_);
    }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;

    void Begin(uint32_t pixel) {
        ResetTable();
        Put(kClearCode);
        prefix_ = pixel;
        z_->started = 1;
    }

    void Compress(const uint8_t* pixels, uint32_t n) {
        uint8_t* const slots = z_->slots;
        uint32_t prefix = prefix_;
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t pixel = pixels[i];
            uint32_t slot = pixel << 4 ^ prefix;
            uint32_t step = slot == 0 ? 1 : kHashSlots - slot;
            uint8_t* entry = slots + slot * kSlotBytes;
            uint32_t head;
            std::memcpy(&head, entry, 4);  // code, then prefix, little-endian
            while ((head & 0xFFFF) != kFreeSlot && ((head >> 16) != prefix || entry[4] != pixel)) {
                slot = slot >= step ? slot - step : slot + kHashSlots - step;
                entry = slots + slot * kSlotBytes;
                std::memcpy(&head, entry, 4);
            }
            if ((head & 0xFFFF) != kFreeSlot) {
                prefix = head & 0xFFFF;
                continue;
            }
            // A new string: the table learns it, the matched prefix goes out.
            if (next_ < kMaxCodes) {
                head = next_ | prefix << 16;
                std::memcpy(entry, &head, 4);
                entry[4] = static_cast<uint8_t>(pixel);
            }
            Put(prefix);
            prefix = pixel;
            if (++next_ > 1u << width_) {
                if (width_ == kMaxCodeWidth) {
                    Put(kClearCode);
                    ResetTable();
                } else {
                    ++width_;
                }
            }
        }
        prefix_ = prefix;
    }

    // The last string, then the end code in the width the decoder will be reading:
    // the decoder defines one more code on reading the last string and may widen.
    void Finish() {
        if (!z_->started) {
            ResetTable();
            Put(kClearCode);
        } else {
            Put(prefix_);
            if (next_ >= 1u << width_ && width_ < kMaxCodeWidth) ++width_;
        }
        Put(kEndCode);
        if (count_ > 0) Emit(static_cast<uint8_t>(bits_));
        bits_ = 0;
        count_ = 0;
        if (fill_ > 0) {
            PutByte(s_, static_cast<uint8_t>(fill_));
            StreamWrite(s_, z_->block, static_cast<int32_t>(fill_));
            fill_ = 0;
        }
    }

private:
    void ResetTable() {
        std::memset(z_->slots, 0xFF, sizeof z_->slots);
        next_ = kFirstFree;
        width_ = kCodeSize + 1;
    }

    void Put(uint32_t code) {
        bits_ |= code << count_;
        count_ += width_;
        while (count_ >= 8) {
            Emit(static_cast<uint8_t>(bits_));
            bits_ >>= 8;
            count_ -= 8;
        }
    }

    void Emit(uint8_t byte) {
        z_->block[fill_++] = byte;
        if (fill_ == kMaxSubBlock) {
            PutByte(s_, static_cast<uint8_t>(kMaxSubBlock));
            StreamWrite(s_, z_->block, static_cast<int32_t>(kMaxSubBlock));
            fill_ = 0;
        }
    }

    LzwEncoder* z_;
    CodecStream* s_;
    uint32_t bits_;
    uint32_t count_;
    uint32_t next_;
    uint32_t width_;
    uint32_t prefix_;
    uint32_t fill_;
};

void WriteHeader(Encoder* e) {
    CodecStream* s = e->stream;
    const XrImage& h = e->header;
    StreamWrite(s, "GIF87a", 6);
    WriteLE16(s, h.WIDTH);
    WriteLE16(s, h.HEIGHT);
    PutByte(s, 0xF7);  // global table of 256 entries, 8-bit colour resolution, not sorted
    PutByte(s, e->background);
    PutByte(s, e->aspect);
    uint8_t table[kPaletteEntries * 3];
    for (uint32_t i = 0; i < kPaletteEntries; ++i) {
        table[3 * i] = h.PALBUT[4 * i + 2];
        table[3 * i + 1] = h.PALBUT[4 * i + 1];
        table[3 * i + 2] = h.PALBUT[4 * i];
    }
    StreamWrite(s, table, sizeof table);
    PutByte(s, ',');
    WriteLE16(s, 0);
    WriteLE16(s, 0);
    WriteLE16(s, h.WIDTH);
    WriteLE16(s, h.HEIGHT);
    PutByte(s, 0);  // no local table, not interlaced
    PutByte(s, e->codeSize);
}

void EncodeRow(Encoder* e, const uint8_t* row) {
    uint32_t width = e->header.WIDTH;
    Compressor lzw(e->work, e->stream);
    uint32_t i = 0;
    if (!e->work->started) {
        lzw.Begin(row[0]);
        i = 1;
    }
    lzw.Compress(row + i, width - i);
}

}  // namespace

extern "C" {

int32_t GifEncGetHandleSize(void) { return static_cast<int32_t>(sizeof(Encoder)); }

CodecStatus GifEncInit(void* handle) {
    if (!handle) return XR_ERR_ARGUMENT;
    std::memset(handle, 0, sizeof(Encoder));
    AsEncoder(handle)->codeSize = kCodeSize;
    return XR_OK;
}

CodecStatus GifEncSetStream(void* handle, CodecStream* stream) {
    if (!handle || !stream) return XR_ERR_ARGUMENT;
    Encoder* e = AsEncoder(handle);
    if (e->status != XR_OK) return e->status;
    e->stream = stream;
    StreamReset(stream, XR_STREAM_WRITE);
    return XR_OK;
}

CodecStatus GifEncSetImage(void* handle, const XrImage* image, uint32_t* workSize) {
    if (!handle || !image || !workSize) return XR_ERR_ARGUMENT;
    Encoder* e = AsEncoder(handle);
    if (e->status != XR_OK) return e->status;
    if (e->headerWritten) return XR_ERR_FORMAT;
    ImageCopyHeader(&e->header, image);
    *workSize = XR_GIF_ENC_WORK_SIZE;
    if (image->MODE != XR_MODE_INDEX) return Fail(e, XR_ERR_UNSUPPORTED);
    if (image->WIDTH == 0 || image->HEIGHT == 0) return Fail(e, XR_ERR_UNSUPPORTED);
    if (image->LINEINT < image->WIDTH) return Fail(e, XR_ERR_MISMATCH);
    return XR_OK;
}

CodecStatus GifEncSetBuffer(void* handle, void* work, uint32_t size) {
    if (!handle) return XR_ERR_ARGUMENT;
    Encoder* e = AsEncoder(handle);
    if (e->status != XR_OK) return e->status;
    if (!work || size != XR_GIF_ENC_WORK_SIZE || !e->stream) return XR_ERR_ARGUMENT;
    if (reinterpret_cast<uintptr_t>(work) % alignof(LzwEncoder) != 0) return XR_ERR_ARGUMENT;
    if (e->headerWritten) return XR_ERR_FORMAT;
    const XrImage& h = e->header;
    if (h.MODE != XR_MODE_INDEX) return Fail(e, XR_ERR_MISMATCH);
    if (h.PALCOUNT > kPaletteEntries) return Fail(e, XR_GIF_PALETTE_COUNT);
    if (h.PALCOUNT != kPaletteEntries || !h.PALBUT) return Fail(e, XR_ERR_MISMATCH);
    e->work = static_cast<LzwEncoder*>(work);
    std::memset(e->work, 0, sizeof(LzwEncoder));
    WriteHeader(e);
    e->headerWritten = 1;
    e->rows = 0;
    return StreamStatus(e);
}

CodecStatus GifEncEncodeLine(void* handle, const uint8_t* line) {
    if (!handle || !line) return XR_ERR_ARGUMENT;
    Encoder* e = AsEncoder(handle);
    if (e->status != XR_OK) return e->status;
    if (!e->headerWritten || e->rows >= e->header.HEIGHT) return XR_ERR_FORMAT;
    EncodeRow(e, line);
    ++e->rows;
    return StreamStatus(e);
}

CodecStatus GifEncEncodeImage(void* handle, const void* pixels) {
    if (!handle || !pixels) return XR_ERR_ARGUMENT;
    Encoder* e = AsEncoder(handle);
    if (e->status != XR_OK) return e->status;
    if (!e->headerWritten || e->rows != 0) return XR_ERR_FORMAT;
    const auto* base = static_cast<const uint8_t*>(pixels);
    for (uint32_t y = 0; y < e->header.HEIGHT; ++y) {
        EncodeRow(e, base + size_t{y} * e->header.LINEINT);
        ++e->rows;
        if (e->stream->error) return StreamStatus(e);
    }
    return XR_OK;
}

CodecStatus GifEncEnd(void* handle) {
    if (!handle) return XR_ERR_ARGUMENT;
    Encoder* e = AsEncoder(handle);
    if (e->status != XR_OK) return e->status;
    if (!e->headerWritten) return XR_ERR_FORMAT;
    {
        Compressor lzw(e->work, e->stream);
        lzw.Finish();
    }
    PutByte(e->stream, 0);  // block terminator
    PutByte(e->stream, ';');
    StreamFlush(e->stream);
    e->headerWritten = 0;  // the file is complete
    return StreamStatus(e);
}

}  // extern "C"
