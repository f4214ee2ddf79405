// GIF decode, scaled decode and encode. Handles, the LZW work areas and the work
// line are owned here and released on every path; the record belongs to the caller.
#include <cstdint>
#include <memory>
#include <new>

#include "adapter_support.hpp"
#include "lumapix/gif_codec.h"

using namespace lumapix;

namespace {

// A GIF header is a dozen bytes that may announce a 65535 x 65535 screen (4 GiB as
// INDEX) before any image data shows whether the file means it. 2^28 pixels
// (16384 x 16384, 256 MiB) is far beyond any real GIF; larger records fail with -1.
constexpr uint64_t kMaxPixels = uint64_t{1} << 28;

// Work areas come in units of 8 bytes so that the codec's alignment always holds.
class WorkArea {
public:
    explicit WorkArea(uint32_t bytes) : bytes_(bytes), block_(new (std::nothrow) uint64_t[(bytes + 7) / 8]) {}
    void* get() const { return block_.get(); }
    uint32_t size() const { return bytes_; }
    explicit operator bool() const { return block_ != nullptr; }

private:
    uint32_t bytes_;
    std::unique_ptr<uint64_t[]> block_;
};

// Opens the decoder and reads the header; the handle is then ready for its work area.
CodecStatus OpenGifDecoder(const CodecHandle& handle, CodecStream* stream, FILE* file, XrImage* header,
                           uint32_t* workSize, GifImageInfo* info) {
    if (!handle) return XR_ERR_INTERNAL;
    GifDecInit(handle.get());
    OpenReadStream(stream, file);
    GifDecSetStream(handle.get(), stream);
    CodecStatus status = GifDecReadHeader(handle.get(), header, workSize, info);
    if (status != XR_OK) return status;
    if (uint64_t{header->WIDTH} * header->HEIGHT > kMaxPixels) return XR_ERR_INTERNAL;
    // The decoder asks for its fixed work area; any other request is not trusted.
    if (*workSize != XR_GIF_DEC_WORK_SIZE) return XR_ERR_INTERNAL;
    return XR_OK;
}

// A grey ramp, entry i = (i, i, i, 0), for GRAY records written as GIF.
uint8_t* GreyRamp() {
    static uint8_t table[256 * 4];
    static const bool filled = [] {
        for (uint32_t i = 0; i < 256; ++i) {
            auto v = static_cast<uint8_t>(i);
            table[4 * i] = table[4 * i + 1] = table[4 * i + 2] = v;
            table[4 * i + 3] = 0;
        }
        return true;
    }();
    (void)filled;
    return table;
}

}  // namespace

extern "C" CodecStatus gif_decode(FILE* file, XrImage* record, const DecodeOptions* options) {
    if (!record || !file) return XR_ERR_ARGUMENT;
    CodecHandle handle(GifDecGetHandleSize());
    CodecStream stream;
    XrImage header{};
    uint32_t workSize = 0;
    GifImageInfo info{};
    CodecStatus status = OpenGifDecoder(handle, &stream, file, &header, &workSize, &info);
    if (status != XR_OK) return status;
    WorkArea work(workSize);
    if (!work) return XR_ERR_INTERNAL;
    ImageCopyHeader(record, &header);
    record->PIXELS = nullptr;
    record->SIZE = 0;
    if (ImageAlloc(record) != XR_OK) return XR_ERR_INTERNAL;
    GifDecSetWork(handle.get(), work.get());
    status = GifDecStart(handle.get(), record);
    // Interlaced rows arrive in pass order: only the whole-image call places them.
    if (status == XR_OK && options && options->line && !info.interlaced) {
        for (uint32_t y = 0; y < record->HEIGHT && status == XR_OK; ++y)
            status = GifDecDecodeLine(handle.get(), ImageLine(record, y));
    } else if (status == XR_OK) {
        status = GifDecDecodeImage(handle.get(), record->PIXELS);
    }
    return FirstFailure(status, GifDecEnd(handle.get()));
}

extern "C" CodecStatus gif_decode_scaled(FILE* file, XrImage* record, const DecodeOptions* options) {
    if (!record || !file || !options) return XR_ERR_ARGUMENT;
    CodecHandle handle(GifDecGetHandleSize());
    CodecStream stream;
    XrImage header{};
    uint32_t workSize = 0;
    GifImageInfo info{};
    CodecStatus status = OpenGifDecoder(handle, &stream, file, &header, &workSize, &info);
    if (status != XR_OK) return status;

    *record = XrImage{};
    record->MODE = options->targetMode ? options->targetMode : header.MODE;
    record->WIDTH = options->targetWidth ? options->targetWidth : header.WIDTH;
    record->HEIGHT = options->targetHeight ? options->targetHeight : header.HEIGHT;
    record->LINEINT = ImageLineBytes(record->MODE, record->WIDTH);
    if (record->MODE == XR_MODE_MONO) record->PALFMT = options->monoPaletteFormat;
    if (record->MODE < XR_MODE_RGB || record->MODE > XR_MODE_MONO) return XR_ERR_UNSUPPORTED;
    if (ImageAlloc(record) != XR_OK) return XR_ERR_INTERNAL;

    XrRect clip{options->clipX, options->clipY, options->clipWidth, options->clipHeight};
    GifDecSetRegion(handle.get(), &clip);
    WorkArea work(workSize);
    std::unique_ptr<uint8_t[]> workLine(new (std::nothrow) uint8_t[size_t{header.WIDTH} * 4]);
    if (!work || !workLine) return XR_ERR_INTERNAL;
    GifDecSetWork(handle.get(), work.get());
    GifDecSetLineBuffer(handle.get(), workLine.get());
    status = GifDecSetScaledOutput(handle.get(), record, nullptr);
    // As for the plain decode, interlaced files are scaled in one call.
    if (status == XR_OK && options->line && !info.interlaced) {
        for (uint32_t y = 0; y < record->HEIGHT && status == XR_OK; ++y)
            status = GifDecDecodeScaledLine(handle.get(), ImageLine(record, y));
    } else if (status == XR_OK) {
        status = GifDecDecodeScaledImage(handle.get(), record->PIXELS);
    }
    return FirstFailure(status, GifDecEnd(handle.get()));
}

extern "C" CodecStatus gif_encode(FILE* file, XrImage* record, const EncodeOptions* options) {
    if (!record || !file || !record->PIXELS) return XR_ERR_ARGUMENT;
    CodecHandle handle(GifEncGetHandleSize());
    if (!handle) return XR_ERR_INTERNAL;
    // GRAY goes out unconverted: the same bytes as INDEX over a grey-ramp table.
    XrImage image{};
    ImageCopyHeader(&image, record);
    image.PIXELS = record->PIXELS;
    image.SIZE = record->SIZE;
    if (image.MODE == XR_MODE_GRAY) {
        image.MODE = XR_MODE_INDEX;
        image.PALCOUNT = 256;
        image.PALBUT = GreyRamp();  // read only by the encoder
    }
    CodecStream stream;
    GifEncInit(handle.get());
    OpenWriteStream(&stream, file);
    GifEncSetStream(handle.get(), &stream);
    uint32_t workSize = 0;
    CodecStatus status = GifEncSetImage(handle.get(), &image, &workSize);
    WorkArea work(status == XR_OK ? workSize : 0);
    if (status == XR_OK && !work) status = XR_ERR_INTERNAL;
    if (status == XR_OK) status = GifEncSetBuffer(handle.get(), work.get(), work.size());
    if (status == XR_OK && options && options->line) {
        for (uint32_t y = 0; y < image.HEIGHT && status == XR_OK; ++y)
            status = GifEncEncodeLine(handle.get(), ImageLine(&image, y));
    } else if (status == XR_OK) {
        status = GifEncEncodeImage(handle.get(), image.PIXELS);
    }
    return FirstFailure(status, GifEncEnd(handle.get()));
}
