// JPEG decoding: the main image, the embedded thumbnail, and the cropped, resized,
// mode-converting decode. JPEG streams get the seek callback as well as the read
// one, because the Exif directories are reached by offsets within the APP1 segment.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "adapter_support.hpp"
#include "lumapix/jpeg_decoder.h"

using namespace lumapix;

namespace {

// A frame height of 0 is given later by a DNL marker; the record then gets the most
// lines any JPEG we decode may have, and so does a stated height of 16384 or more.
constexpr uint32_t kTallestStatedHeight = 16383;
// Headers are hostile: a 65535 x 65535 frame would ask for gigabytes before a single
// byte of entropy data shows whether the file can fill them. 2^28 pixels (16384 x 16384,
// 768 MiB as RGB) is far beyond any photograph we open; a record above it fails with -1.
constexpr uint64_t kMaxPixels = uint64_t{1} << 28;
// The decoder asks for one band of 16 lines of up to 6 bytes a pixel plus margin,
// (65535 + 32) x 96 bytes at most; anything larger is not a request we trust.
constexpr uint32_t kMaxWorkBytes = 8u << 20;

using HeaderCall = CodecStatus (*)(void*, XrImage*, uint32_t*, uint32_t*, JpgAppInfo*);

// The application-data trace (JFIF and Exif fields) after each header call. It is a
// developer's aid: it reaches stderr only while LUMAPIX_JPEG_TRACE is set to a
// non-empty value, and costs nothing otherwise.
void TraceAppData(uint32_t appMode, const JpgAppInfo& info) {
    const char* wanted = std::getenv("LUMAPIX_JPEG_TRACE");
    if (!wanted || !*wanted) return;
    char text[8192];
    uint32_t length = JpgFormatAppTrace(appMode, &info, text, sizeof text);
    std::fwrite(text, 1, std::min<size_t>(length, sizeof text - 1), stderr);
}

CodecStatus OpenDecoder(const CodecHandle& handle, CodecStream* stream, FILE* file) {
    if (!handle) return XR_ERR_INTERNAL;
    JpgDecInit(handle.get());
    OpenReadStream(stream, file);
    StreamSetSeek(stream, FileSeekStreamCallBack);
    return JpgDecSetStream(handle.get(), stream);
}

CodecStatus ReadHeader(void* handle, HeaderCall call, XrImage* header, uint32_t* workSize) {
    std::unique_ptr<JpgAppInfo> info(new (std::nothrow) JpgAppInfo());  // two Exif directories: kilobytes
    if (!info) return XR_ERR_INTERNAL;
    uint32_t appMode = XR_JPG_APP_NONE;
    *workSize = 0;
    CodecStatus status = call(handle, header, workSize, &appMode, info.get());
    TraceAppData(appMode, *info);
    return status;
}

// Pixels for the record's header, refused above the pixel limit.
CodecStatus AllocatePixels(XrImage* record) {
    if (uint64_t{record->WIDTH} * record->HEIGHT > kMaxPixels) return XR_ERR_INTERNAL;
    record->PIXELS = nullptr;
    record->SIZE = 0;
    return ImageAlloc(record);
}

// The record as the header describes it, with room for kTallestStatedHeight lines
// when the header's height is unknown or larger.
CodecStatus AllocateFromHeader(XrImage* record, const XrImage& header) {
    *record = XrImage{};
    ImageCopyHeader(record, &header);
    record->PALBUT = nullptr;
    record->OBJECT = nullptr;
    if (record->HEIGHT == 0 || record->HEIGHT > kTallestStatedHeight) record->HEIGHT = kTallestStatedHeight;
    return AllocatePixels(record);
}

CodecStatus SetWorkBuffer(void* handle, uint32_t bytes, std::unique_ptr<uint8_t[]>* work) {
    if (bytes == 0) return XR_OK;
    if (bytes > kMaxWorkBytes) return XR_ERR_INTERNAL;
    work->reset(new (std::nothrow) uint8_t[bytes]());
    if (!*work) return XR_ERR_INTERNAL;
    return JpgDecSetWorkBuffer(handle, work->get());
}

// Line by line into successive lines of the record. A DNL marker may state the
// height on the way; it ends the loop there but never moves it past the allocation.
CodecStatus DecodeLines(void* handle, const XrImage* record, uint32_t* lines) {
    uint32_t last = record->HEIGHT;
    while (*lines < last) {
        uint32_t newHeight = 0;
        CodecStatus status = JpgDecDecodeLine(handle, ImageLine(record, *lines), &newHeight);
        if (status != XR_OK) return status;
        ++*lines;
        if (newHeight != 0) last = std::min<uint32_t>(newHeight, record->HEIGHT);
    }
    return XR_OK;
}

// The record keeps the lines delivered, on failure too. The end of the image before
// the stated height (EOI, or DNL height reached) is success once a line has come.
CodecStatus FinishRecord(XrImage* record, uint32_t lines, CodecStatus status) {
    lines = std::min<uint32_t>(lines, record->HEIGHT);
    if (lines == 0) {
        ImageFree(record);
        return status != XR_OK ? status : XR_ERR_TRUNCATED;
    }
    record->HEIGHT = static_cast<uint16_t>(lines);
    record->SIZE = record->LINEINT * lines;
    return status == XR_JPG_END_OF_IMAGE ? XR_OK : status;
}

// The steps main image and thumbnail share: stream, header, record, work buffer.
// On failure the record holds nothing.
CodecStatus StartDecode(const CodecHandle& handle, CodecStream* stream, FILE* file, HeaderCall read, XrImage* record,
                        std::unique_ptr<uint8_t[]>* work) {
    CodecStatus status = OpenDecoder(handle, stream, file);
    XrImage header{};
    uint32_t workSize = 0;
    if (status == XR_OK) status = ReadHeader(handle.get(), read, &header, &workSize);
    if (status != XR_OK) return status;
    if ((status = AllocateFromHeader(record, header)) == XR_OK) status = SetWorkBuffer(handle.get(), workSize, work);
    if (status != XR_OK) ImageFree(record);
    return status;
}

}  // namespace

extern "C" CodecStatus jpg_decode_main(FILE* file, XrImage* record, const DecodeOptions* options) {
    if (!file || !record) return XR_ERR_ARGUMENT;
    CodecHandle handle(JpgDecGetHandleSize());
    CodecStream stream;
    std::unique_ptr<uint8_t[]> work;
    CodecStatus status = StartDecode(handle, &stream, file, JpgDecReadHeader, record, &work);
    if (status != XR_OK) return status;
    status = JpgDecSetOutput(handle.get(), record);
    uint32_t lines = 0;
    if (status == XR_OK) {
        status = options && options->line ? DecodeLines(handle.get(), record, &lines)
                                          : JpgDecDecodeImage(handle.get(), record->PIXELS, &lines);
    }
    return FinishRecord(record, lines, status);
}

extern "C" CodecStatus jpg_decode_thumb(FILE* file, XrImage* record, const DecodeOptions*) {
    if (!file || !record) return XR_ERR_ARGUMENT;
    CodecHandle handle(JpgDecGetHandleSize());
    CodecStream stream;
    std::unique_ptr<uint8_t[]> work;
    CodecStatus status = StartDecode(handle, &stream, file, JpgDecReadThumbHeader, record, &work);
    if (status == XR_OK) status = JpgDecSetThumbOutput(handle.get(), record);
    if (status == XR_OK) status = JpgDecDecodeThumb(handle.get(), record->PIXELS);
    // A thumbnail has no line count to keep: whatever was decoded stays in the record.
    return status;
}

extern "C" CodecStatus jpg_decode(FILE* file, XrImage* record, const DecodeOptions* options) {
    return options && options->jpegThumbnail ? jpg_decode_thumb(file, record, options)
                                             : jpg_decode_main(file, record, options);
}

extern "C" CodecStatus jpg_decode_scaled(FILE* file, XrImage* record, const DecodeOptions* options) {
    if (!file || !record || !options) return XR_ERR_ARGUMENT;
    CodecHandle handle(JpgDecGetHandleSize());
    CodecStream stream;
    CodecStatus status = OpenDecoder(handle, &stream, file);
    XrImage header{};
    uint32_t workSize = 0;
    if (status == XR_OK) status = ReadHeader(handle.get(), JpgDecReadHeader, &header, &workSize);
    if (status != XR_OK) return status;

    *record = XrImage{};
    record->MODE = options->targetMode ? options->targetMode : header.MODE;
    record->WIDTH = options->targetWidth ? options->targetWidth : header.WIDTH;
    record->HEIGHT = options->targetHeight ? options->targetHeight : header.HEIGHT;
    if (record->HEIGHT == 0) record->HEIGHT = kTallestStatedHeight;  // DNL gives it later
    record->LINEINT = ImageLineBytes(record->MODE, record->WIDTH);
    if (record->MODE == XR_MODE_MONO) record->PALFMT = options->monoPaletteFormat;
    if (record->MODE < XR_MODE_RGB || record->MODE > XR_MODE_MONO) return XR_ERR_UNSUPPORTED;
    if ((status = AllocatePixels(record)) != XR_OK) {
        ImageFree(record);
        return status;
    }

    std::unique_ptr<uint8_t[]> work;
    status = SetWorkBuffer(handle.get(), workSize, &work);
    XrRect clip{options->clipX, options->clipY, options->clipWidth, options->clipHeight};
    if (status == XR_OK) status = JpgDecSetRegion(handle.get(), &clip);
    // One decoded source line, 4 bytes a pixel.
    std::unique_ptr<uint8_t[]> sourceLine(new (std::nothrow) uint8_t[size_t{header.WIDTH} * 4 + 4]());
    if (status == XR_OK && !sourceLine) status = XR_ERR_INTERNAL;
    if (status == XR_OK) status = JpgDecSetLineBuffer(handle.get(), sourceLine.get());
    if (status == XR_OK) status = JpgDecSetScaledOutput(handle.get(), record, 0);
    uint32_t lines = 0;
    if (status == XR_OK && options->line) {
        while (lines < record->HEIGHT && (status = JpgDecDecodeScaledLine(handle.get(), ImageLine(record, lines))) == XR_OK)
            ++lines;
    } else if (status == XR_OK) {
        status = JpgDecDecodeScaledImage(handle.get(), record->PIXELS, &lines);
    }
    return FinishRecord(record, lines, status);
}
