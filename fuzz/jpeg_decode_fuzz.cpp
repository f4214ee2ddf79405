// Feeds arbitrary bytes to the JPEG decoder. A header pass runs the codec over an
// in-memory stream with a seek callback (Exif is parsed only when the stream can
// seek) and formats the application-data trace; when the header's pixels stay under
// the harness's limit, the adapters decode the same bytes from a seekable memory
// FILE: the main image line by line and whole (the two must agree), the thumbnail,
// and a scaled decode whose window, size and mode come from the input's last bytes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "lumapix/codec_stream.h"
#include "lumapix/format_adapters.h"
#include "lumapix/jpeg_decoder.h"

namespace {

// The harness's own allocation limit, counted as the adapters allocate: a height that
// is unknown or above 16383 takes 16383 lines. At 6 bytes a pixel this is 6 MiB.
constexpr uint64_t kMaxPixels = 1u << 20;
constexpr uint32_t kOpenEndedLines = 16383;

struct MemorySource {
    const uint8_t* data;
    size_t size;
    size_t at;
};

int32_t ReadMemory(uint8_t* destination, int32_t count, void* user) {
    auto* m = static_cast<MemorySource*>(user);
    if (count < 0) return -1;
    size_t n = std::min(static_cast<size_t>(count), m->size - m->at);
    if (n) std::memcpy(destination, m->data + m->at, n);
    m->at += n;
    return static_cast<int32_t>(n);
}

int32_t SeekMemory(void* user, int32_t offset, int32_t whence) {
    auto* m = static_cast<MemorySource*>(user);
    if (whence != 0 && whence != 1) return -1;
    int64_t target = (whence == 0 ? 0 : static_cast<int64_t>(m->at)) + offset;
    if (target < 0 || target > static_cast<int64_t>(m->size)) return -1;
    m->at = static_cast<size_t>(target);
    return 0;
}

uint64_t AllocatedPixels(const XrImage& header) {
    uint32_t lines = header.HEIGHT == 0 || header.HEIGHT > kOpenEndedLines ? kOpenEndedLines : header.HEIGHT;
    return uint64_t{header.WIDTH} * lines;
}

using HeaderCall = CodecStatus (*)(void*, XrImage*, uint32_t*, uint32_t*, JpgAppInfo*);

// Reads one header from the bytes; false when its record would exceed the limit.
bool HeaderFits(const std::vector<uint8_t>& input, HeaderCall call, XrImage* header) {
    std::vector<uint8_t> handle(static_cast<size_t>(JpgDecGetHandleSize()));
    std::vector<uint8_t> staging(XR_STREAM_BUFFER_SIZE);
    MemorySource source{input.data(), input.size(), 0};
    CodecStream stream;
    StreamInit(&stream, staging.data(), XR_STREAM_BUFFER_SIZE, &source, ReadMemory);
    StreamSetSeek(&stream, SeekMemory);
    JpgDecInit(handle.data());
    JpgDecSetStream(handle.data(), &stream);
    auto info = std::make_unique<JpgAppInfo>();
    uint32_t workSize = 0, appMode = 0;
    CodecStatus status = call(handle.data(), header, &workSize, &appMode, info.get());
    char text[8192];
    uint32_t length = JpgFormatAppTrace(appMode, info.get(), text, sizeof text);
    if (length >= sizeof text || std::strlen(text) != length) std::abort();
    return status != XR_OK || AllocatedPixels(*header) <= kMaxPixels;
}

CodecStatus Decode(std::vector<uint8_t>& input, DecodeAdapter adapter, const DecodeOptions& options, XrImage* out) {
    FILE* f = fmemopen(input.data(), input.size(), "rb");
    if (!f) return XR_ERR_INTERNAL;
    CodecStatus status = adapter(f, out, &options);
    std::fclose(f);
    return status;
}

bool SamePixels(const XrImage& a, const XrImage& b) {
    if (a.MODE != b.MODE || a.WIDTH != b.WIDTH || a.HEIGHT != b.HEIGHT || a.LINEINT != b.LINEINT) return false;
    for (uint32_t y = 0; y < a.HEIGHT; ++y)
        if (std::memcmp(ImageLine(&a, y), ImageLine(&b, y), ImageLineBytes(a.MODE, a.WIDTH)) != 0) return false;
    return true;
}

// A record the adapter says it decoded must be whole: lines, size and pixels agree.
void CheckRecord(const XrImage& image, CodecStatus status) {
    if (status != XR_OK) return;
    if (!image.PIXELS || image.WIDTH == 0 || image.HEIGHT == 0 || image.SIZE != image.LINEINT * image.HEIGHT ||
        image.LINEINT < ImageLineBytes(image.MODE, image.WIDTH))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > (1u << 20)) return 0;
    std::vector<uint8_t> input(data, data + size);
    XrImage header{}, thumbHeader{};
    if (!HeaderFits(input, JpgDecReadHeader, &header) || !HeaderFits(input, JpgDecReadThumbHeader, &thumbHeader))
        return 0;

    DecodeOptions options;
    DecodeOptionsDefaults(&options);
    XrImage byLine{}, whole{};
    options.line = 1;
    CodecStatus lineStatus = Decode(input, jpg_decode, options, &byLine);
    options.line = 0;
    CodecStatus wholeStatus = Decode(input, jpg_decode, options, &whole);
    CheckRecord(byLine, lineStatus);
    CheckRecord(whole, wholeStatus);
    if (lineStatus == XR_OK && wholeStatus == XR_OK && !SamePixels(byLine, whole)) std::abort();
    ImageFree(&byLine);
    ImageFree(&whole);

    XrImage thumb{};
    options.jpegThumbnail = 1;
    CodecStatus thumbStatus = Decode(input, jpg_decode, options, &thumb);
    if (thumbStatus == XR_OK && (thumb.MODE != XR_MODE_RGB || !thumb.PIXELS)) std::abort();
    ImageFree(&thumb);

    // The window, target size and mode from the last four bytes (zeros before a short input).
    uint8_t tail[4] = {};
    for (size_t i = 0; i < 4 && i < size; ++i) tail[3 - i] = data[size - 1 - i];
    options.jpegThumbnail = 0;
    options.stretch = 1;
    options.line = tail[0] & 1;
    options.targetMode = XR_MODE_RGB + (tail[0] >> 1) % 5;
    options.monoPaletteFormat = tail[0] >> 7;
    options.targetWidth = static_cast<uint16_t>(1 + tail[1] % 96);
    options.targetHeight = static_cast<uint16_t>(1 + tail[2] % 96);
    options.clipX = static_cast<uint16_t>(header.WIDTH * (tail[3] & 15) / 16);
    options.clipY = static_cast<uint16_t>(header.HEIGHT * (tail[3] >> 4) / 16);
    options.clipWidth = static_cast<uint16_t>(header.WIDTH / (1 + (tail[1] & 3)));
    options.clipHeight = static_cast<uint16_t>(header.HEIGHT / (1 + (tail[2] & 3)));
    XrImage scaled{};
    CodecStatus scaledStatus = Decode(input, jpg_decode_scaled, options, &scaled);
    CheckRecord(scaled, scaledStatus);
    if (scaledStatus == XR_OK && (scaled.MODE != options.targetMode || scaled.WIDTH != options.targetWidth))
        std::abort();
    ImageFree(&scaled);
    return 0;
}
