// RAW and RLE files carry no header: the geometry comes from the decode options,
// and a height of 0 means "as many lines as the data holds".
#include <sys/types.h>

#include <cstdio>

#include "adapter_support.hpp"
#include "lumapix/raw_codec.h"

using namespace lumapix;

namespace {

constexpr uint32_t kMaxOpenEndedLines = 32768;
constexpr int64_t kUnknownSize = -1;
constexpr int64_t kSeekFailed = -2;

// Upper bound on the lines left in the file when each takes at least minBytes;
// kUnknownSize for files that cannot tell (pipes).
int64_t LinesLeft(FILE* f, uint32_t minBytes) {
    off_t here = ftello(f);
    if (here < 0 || fseeko(f, 0, SEEK_END) != 0) return kUnknownSize;
    off_t end = ftello(f);
    if (fseeko(f, here, SEEK_SET) != 0) return kSeekFailed;
    return end > here ? (int64_t{end} - here) / minBytes : 0;
}

// The height to allocate: the declared one (0: 32768), cut to what the file can hold.
// Data that ends early shortens the image to its complete lines anyway, so a large
// declared height over a small file need not cost its full allocation.
CodecStatus ResolveHeight(FILE* f, uint16_t declared, uint32_t minLineBytes, XrImage* header) {
    int64_t lines = declared ? declared : kMaxOpenEndedLines;
    int64_t available = LinesLeft(f, minLineBytes);
    if (available == kSeekFailed) return XR_ERR_STREAM_SEEK;
    if (available != kUnknownSize && available < lines) lines = available;
    if (lines == 0) return XR_ERR_TRUNCATED;
    header->HEIGHT = static_cast<uint16_t>(lines);
    return XR_OK;
}

void AllocateLike(XrImage* record, const XrImage& header) {
    ImageCopyHeader(record, &header);
    record->PALBUT = nullptr;
    record->PIXELS = nullptr;
    record->SIZE = 0;
}

bool IsEndOfData(CodecStatus status) { return status == XR_ERR_TRUNCATED || status == XR_ERR_STREAM_END; }

// Decodes top line first. Data that ends early leaves an image of the complete lines;
// with none complete there is no image to open.
CodecStatus DecodeAvailableLines(void* handle, XrImage* record, CodecStatus (*decodeLine)(void*, uint8_t*)) {
    uint32_t lines = 0;
    CodecStatus status = XR_OK;
    while (lines < record->HEIGHT && (status = decodeLine(handle, ImageLine(record, lines))) == XR_OK) ++lines;
    if (status == XR_OK) return XR_OK;
    if (!IsEndOfData(status)) return status;
    if (lines == 0) return XR_ERR_TRUNCATED;
    record->HEIGHT = static_cast<uint16_t>(lines);
    record->SIZE = record->LINEINT * lines;
    return XR_OK;
}

}  // namespace

extern "C" CodecStatus raw_decode(FILE* file, XrImage* record, const DecodeOptions* options) {
    if (!file || !record || !options) return XR_ERR_ARGUMENT;
    XrImage header{};
    header.MODE = options->rawMode;
    header.WIDTH = options->rawWidth;
    uint32_t minimum = ImageLineBytes(header.MODE, header.WIDTH);
    header.LINEINT = options->rawLineBytes ? options->rawLineBytes : minimum;
    header.FMT = options->rawFormat;
    header.PALFMT = options->rawPaletteFormat;
    if (header.MODE < XR_MODE_RGB || header.MODE > XR_MODE_HIGH || header.WIDTH == 0 || header.LINEINT < minimum)
        return XR_ERR_ARGUMENT;
    CodecStatus status = ResolveHeight(file, options->rawHeight, header.LINEINT, &header);
    if (status != XR_OK) return status;

    CodecHandle handle(RawDecGetHandleSize());
    if (!handle) return XR_ERR_INTERNAL;
    CodecStream stream;
    RawDecInit(handle.get());
    OpenReadStream(&stream, file);
    RawDecSetStream(handle.get(), &stream);
    if ((status = RawDecSetHeader(handle.get(), &header)) != XR_OK) return status;
    AllocateLike(record, header);
    if ((status = ImageAlloc(record)) != XR_OK) return status;
    status = RawDecStart(handle.get(), record);
    if (status == XR_OK) status = DecodeAvailableLines(handle.get(), record, RawDecDecodeLine);
    return FirstFailure(status, RawDecEnd(handle.get()));
}

extern "C" CodecStatus raw_encode(FILE* file, XrImage* record, const EncodeOptions* options) {
    if (!file || !record || !options || !record->PIXELS) return XR_ERR_ARGUMENT;
    CodecHandle handle(RawEncGetHandleSize());
    if (!handle) return XR_ERR_INTERNAL;
    CodecStream stream;
    RawEncInit(handle.get());
    OpenWriteStream(&stream, file);
    RawEncSetStream(handle.get(), &stream);
    CodecStatus status = RawEncSetImage(handle.get(), record, nullptr);
    for (uint32_t y = 0; y < record->HEIGHT && status == XR_OK; ++y)
        status = RawEncEncodeLine(handle.get(), ImageLine(record, y));
    return FirstFailure(status, RawEncEnd(handle.get()));
}

extern "C" CodecStatus rle_decode(FILE* file, XrImage* record, const DecodeOptions* options) {
    if (!file || !record || !options || options->rawWidth == 0) return XR_ERR_ARGUMENT;
    XrImage header{};
    header.MODE = XR_MODE_GRAY;
    header.WIDTH = options->rawWidth;
    header.LINEINT = header.WIDTH;
    header.FMT = 8;
    // A run gives at most 128 bytes for two, so a line takes two bytes per 128 pixels or more.
    CodecStatus status = ResolveHeight(file, options->rawHeight, 2 * ((header.WIDTH + 127u) / 128), &header);
    if (status != XR_OK) return status;

    CodecHandle handle(RleDecGetHandleSize());
    if (!handle) return XR_ERR_INTERNAL;
    CodecStream stream;
    RleDecInit(handle.get());
    OpenReadStream(&stream, file);
    RawDecSetStream(handle.get(), &stream);
    if ((status = RleDecSetHeader(handle.get(), &header)) != XR_OK) return status;
    AllocateLike(record, header);
    if ((status = ImageAlloc(record)) != XR_OK) return status;
    status = RleDecStart(handle.get(), record);
    if (status == XR_OK) status = DecodeAvailableLines(handle.get(), record, RleDecDecodeLine);
    return FirstFailure(status, RleDecEnd(handle.get()));
}
