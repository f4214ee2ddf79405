#include <memory>
#include <new>

#include "adapter_support.hpp"
#include "lumapix/bmp_codec.h"

using namespace lumapix;

namespace {

// Opens the decoder and reads the header; the handle is then ready for Start.
CodecStatus OpenBmpDecoder(const CodecHandle& handle, CodecStream* stream, FILE* file, XrImage* header) {
    if (!handle) return XR_ERR_INTERNAL;
    BmpDecInit(handle.get());
    OpenReadStream(stream, file);
    BmpDecSetStream(handle.get(), stream);
    return BmpDecReadHeader(handle.get(), header, nullptr);
}

CodecStatus DecodeLines(void* handle, XrImage* record, int32_t bottomUp) {
    for (uint32_t i = 0; i < record->HEIGHT; ++i) {
        uint32_t y = bottomUp ? record->HEIGHT - 1 - i : i;
        CodecStatus status = BmpDecDecodeLine(handle, ImageLine(record, y));
        if (status != XR_OK) return status;
    }
    return XR_OK;
}

}  // namespace

extern "C" CodecStatus bmp_decode(FILE* file, XrImage* record, const DecodeOptions* options) {
    if (!record || !file) return XR_ERR_ARGUMENT;
    CodecHandle handle(BmpDecGetHandleSize());
    CodecStream stream;
    XrImage header{};
    CodecStatus status = OpenBmpDecoder(handle, &stream, file, &header);
    if (status != XR_OK) return status;
    ImageCopyHeader(record, &header);
    record->PIXELS = nullptr;
    record->SIZE = 0;
    if (ImageAlloc(record) != XR_OK) return XR_ERR_INTERNAL;
    int32_t bottomUp = 0;
    status = BmpDecStart(handle.get(), record, &bottomUp);
    if (status == XR_OK) {
        status = options && options->line ? DecodeLines(handle.get(), record, bottomUp)
                                          : BmpDecDecodeImage(handle.get(), record->PIXELS);
    }
    return FirstFailure(status, BmpDecEnd(handle.get()));
}

extern "C" CodecStatus bmp_decode_scaled(FILE* file, XrImage* record, const DecodeOptions* options) {
    if (!record || !file || !options) return XR_ERR_ARGUMENT;
    CodecHandle handle(BmpDecGetHandleSize());
    CodecStream stream;
    XrImage header{};
    CodecStatus status = OpenBmpDecoder(handle, &stream, file, &header);
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
    BmpDecSetRegion(handle.get(), &clip);
    std::unique_ptr<uint8_t[]> workLine(new (std::nothrow) uint8_t[size_t{header.WIDTH} * 4]);
    if (!workLine) return XR_ERR_INTERNAL;
    BmpDecSetLineBuffer(handle.get(), workLine.get());
    int32_t bottomUp = 0;
    status = BmpDecSetScaledOutput(handle.get(), record, &bottomUp);
    if (status == XR_OK && options->line) {
        for (uint32_t i = 0; i < record->HEIGHT && status == XR_OK; ++i) {
            uint32_t y = bottomUp ? record->HEIGHT - 1 - i : i;
            status = BmpDecDecodeScaledLine(handle.get(), ImageLine(record, y));
        }
    } else if (status == XR_OK) {
        status = BmpDecDecodeScaledImage(handle.get(), record->PIXELS);
    }
    return FirstFailure(status, BmpDecEnd(handle.get()));
}

extern "C" CodecStatus bmp_encode(FILE* file, XrImage* record, const EncodeOptions* options) {
    if (!record || !file || !record->PIXELS) return XR_ERR_ARGUMENT;
    CodecHandle handle(BmpEncGetHandleSize());
    if (!handle) return XR_ERR_INTERNAL;
    CodecStream stream;
    BmpEncInit(handle.get());
    OpenWriteStream(&stream, file);
    BmpEncSetStream(handle.get(), &stream);
    CodecStatus status = BmpEncSetImage(handle.get(), record, nullptr);
    if (status == XR_OK && options && options->line) {
        for (uint32_t y = record->HEIGHT; y-- > 0 && status == XR_OK;) {
            if (record->MODE == XR_MODE_YUV_PLANAR) {
                size_t offset = size_t{y} * record->LINEINT;
                const uint8_t* lines[2] = {ImagePlane(record, 0) + offset, ImagePlane(record, 1) + offset};
                status = BmpEncEncodeLine(handle.get(), reinterpret_cast<const uint8_t*>(lines));
            } else {
                status = BmpEncEncodeLine(handle.get(), ImageLine(record, y));
            }
        }
    } else if (status == XR_OK) {
        status = BmpEncEncodeImage(handle.get(), record->PIXELS);
    }
    return FirstFailure(status, BmpEncEnd(handle.get()));
}
