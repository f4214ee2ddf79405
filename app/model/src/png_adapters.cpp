// PNG through the registry: whole or line-by-line decode, the scaled decode, and
// the encoder writing IDAT chunks from an 8192-byte buffer.
#include <memory>
#include <new>

#include "adapter_support.hpp"
#include "lumapix/png_codec.h"

using namespace lumapix;

namespace {

// A PNG header may claim 65535 x 65535 pixels in a file of a few dozen bytes.
// Records above 2^28 pixels (16384 x 16384; 768 MiB as RGB) are refused with -1
// before anything is allocated; no picture we open comes near it.
constexpr uint64_t kMaxPixels = uint64_t{1} << 28;

bool TooLarge(uint32_t width, uint32_t height) { return uint64_t{width} * height > kMaxPixels; }

// Opens the decoder and reads the header; the handle is then ready for Start.
CodecStatus OpenPngDecoder(const CodecHandle& handle, CodecStream* stream, FILE* file, XrImage* header,
                           PngIhdr* ihdr) {
    if (!handle) return XR_ERR_INTERNAL;
    PngDecInit(handle.get());
    OpenReadStream(stream, file);
    PngDecSetStream(handle.get(), stream);
    return PngDecReadHeader(handle.get(), header, nullptr, ihdr);
}

CodecStatus DecodeLines(void* handle, const XrImage* record) {
    for (uint32_t y = 0; y < record->HEIGHT; ++y) {
        CodecStatus status = PngDecDecodeLine(handle, ImageLine(record, y));
        if (status != XR_OK) return status;
    }
    return XR_OK;
}

}  // namespace

extern "C" CodecStatus png_decode(FILE* file, XrImage* record, const DecodeOptions* options) {
    if (!record || !file) return XR_ERR_ARGUMENT;
    CodecHandle handle(PngDecGetHandleSize());
    CodecStream stream;
    XrImage header{};
    PngIhdr ihdr{};
    CodecStatus status = OpenPngDecoder(handle, &stream, file, &header, &ihdr);
    if (status == XR_OK && TooLarge(header.WIDTH, header.HEIGHT)) status = XR_ERR_INTERNAL;
    if (status == XR_OK) {
        ImageCopyHeader(record, &header);
        record->PIXELS = nullptr;
        record->SIZE = 0;
        if (ImageAlloc(record) != XR_OK) {
            ImageFree(record);
            status = XR_ERR_INTERNAL;
        }
    }
    if (status == XR_OK) status = PngDecStart(handle.get(), record);
    if (status == XR_OK) {
        // Interlaced rows arrive pass by pass, so only the whole-image call can place them.
        bool byLine = options && options->line && !ihdr.interlace;
        status = byLine ? DecodeLines(handle.get(), record) : PngDecDecodeImage(handle.get(), record->PIXELS);
    }
    return handle ? FirstFailure(status, PngDecEnd(handle.get())) : status;
}

extern "C" CodecStatus png_decode_scaled(FILE* file, XrImage* record, const DecodeOptions* options) {
    if (!record || !file || !options) return XR_ERR_ARGUMENT;
    CodecHandle handle(PngDecGetHandleSize());
    CodecStream stream;
    XrImage header{};
    PngIhdr ihdr{};
    CodecStatus status = OpenPngDecoder(handle, &stream, file, &header, &ihdr);
    if (status == XR_OK && ihdr.interlace) status = XR_ERR_INTERNAL;  // no line order to scale
    if (status != XR_OK) return handle ? FirstFailure(status, PngDecEnd(handle.get())) : status;

    *record = XrImage{};
    record->MODE = options->targetMode ? options->targetMode : header.MODE;
    record->WIDTH = options->targetWidth ? options->targetWidth : header.WIDTH;
    record->HEIGHT = options->targetHeight ? options->targetHeight : header.HEIGHT;
    record->LINEINT = ImageLineBytes(record->MODE, record->WIDTH);
    if (record->MODE == XR_MODE_MONO) record->PALFMT = options->monoPaletteFormat;
    if (record->MODE < XR_MODE_RGB || record->MODE > XR_MODE_MONO) status = XR_ERR_UNSUPPORTED;
    else if (TooLarge(record->WIDTH, record->HEIGHT)) status = XR_ERR_INTERNAL;
    else if (ImageAlloc(record) != XR_OK) status = XR_ERR_INTERNAL;
    if (status != XR_OK) {
        ImageFree(record);
        return FirstFailure(status, PngDecEnd(handle.get()));
    }

    XrRect clip{options->clipX, options->clipY, options->clipWidth, options->clipHeight};
    PngDecSetRegion(handle.get(), &clip);
    std::unique_ptr<uint8_t[]> workLine(new (std::nothrow) uint8_t[size_t{header.WIDTH} * 4]);
    status = workLine ? PngDecSetLineBuffer(handle.get(), workLine.get()) : XR_ERR_INTERNAL;
    if (status == XR_OK) status = PngDecSetScaledOutput(handle.get(), record);
    if (status == XR_OK && options->line) {
        for (uint32_t y = 0; y < record->HEIGHT && status == XR_OK; ++y)
            status = PngDecDecodeScaledLine(handle.get(), ImageLine(record, y));
    } else if (status == XR_OK) {
        status = PngDecDecodeScaledImage(handle.get(), record->PIXELS);
    }
    return FirstFailure(status, PngDecEnd(handle.get()));
}

extern "C" CodecStatus png_encode(FILE* file, XrImage* record, const EncodeOptions* options) {
    if (!record || !file || !record->PIXELS) return XR_ERR_ARGUMENT;
    CodecHandle handle(PngEncGetHandleSize());
    if (!handle) return XR_ERR_INTERNAL;
    CodecStream stream;
    PngEncInit(handle.get());
    OpenWriteStream(&stream, file);
    PngEncSetStream(handle.get(), &stream);
    uint32_t bufferSize = 0;
    CodecStatus status = PngEncSetImage(handle.get(), record, &bufferSize);
    std::unique_ptr<uint8_t[]> buffer;
    if (status == XR_OK) {
        buffer.reset(new (std::nothrow) uint8_t[bufferSize]);
        status = buffer ? PngEncSetBuffer(handle.get(), buffer.get(), bufferSize) : XR_ERR_INTERNAL;
    }
    if (status == XR_OK && options && options->line) {
        for (uint32_t y = 0; y < record->HEIGHT && status == XR_OK; ++y)
            status = PngEncEncodeLine(handle.get(), ImageLine(record, y));
    } else if (status == XR_OK) {
        status = PngEncEncodeImage(handle.get(), record->PIXELS);
    }
    return FirstFailure(status, PngEncEnd(handle.get()));
}
