// RAW and RLE decoding of arbitrary pixel data under a geometry taken from the
// input's first 9 bytes: mode, width, height, line bytes (16-bit little-endian),
// format and palette format. RAW lines must come back out of the encoder as they
// went in; the RLE adapter must agree with the codec run over memory.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "lumapix/format_adapters.h"
#include "lumapix/raw_codec.h"

namespace {

constexpr uint64_t kMaxPixelBytes = 16u << 20;  // the harness's own allocation limit
constexpr size_t kGeometryBytes = 9;

uint16_t LE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

using Adapter = CodecStatus (*)(FILE*, XrImage*, const DecodeOptions*);

CodecStatus Run(Adapter adapter, std::vector<uint8_t>& pixels, const DecodeOptions& options, XrImage* image) {
    uint8_t empty = 0;
    FILE* f = fmemopen(pixels.empty() ? &empty : pixels.data(), pixels.size(), "rb");
    if (!f) return XR_ERR_INTERNAL;
    CodecStatus status = adapter(f, image, &options);
    std::fclose(f);
    return status;
}

void CheckRaw(std::vector<uint8_t>& pixels, const DecodeOptions& options) {
    XrImage image{};
    if (Run(raw_decode, pixels, options, &image) == XR_OK) {
        uint32_t lineBytes = ImageLineBytes(image.MODE, image.WIDTH);
        if (image.HEIGHT == 0 || uint64_t{image.HEIGHT} * image.LINEINT > pixels.size()) std::abort();
        if (options.rawHeight != 0 && image.HEIGHT > options.rawHeight) std::abort();
        char* text = nullptr;
        size_t size = 0;
        FILE* out = open_memstream(&text, &size);
        EncodeOptions encoding;
        EncodeOptionsDefaults(&encoding);
        if (out && raw_encode(out, &image, &encoding) == XR_OK) {
            std::fflush(out);
            if (size != size_t{lineBytes} * image.HEIGHT) std::abort();
            for (uint32_t y = 0; y < image.HEIGHT; ++y)
                if (std::memcmp(text + size_t{y} * lineBytes, pixels.data() + size_t{y} * image.LINEINT, lineBytes) != 0)
                    std::abort();
        }
        if (out) std::fclose(out);
        std::free(text);
    }
    ImageFree(&image);
}

void CheckRle(std::vector<uint8_t>& pixels, const DecodeOptions& options) {
    XrImage image{};
    if (Run(rle_decode, pixels, options, &image) == XR_OK) {
        std::vector<uint8_t> handle(static_cast<size_t>(RleDecGetHandleSize()));
        CodecStream stream;
        StreamInitMemory(&stream, pixels.data(), static_cast<int32_t>(pixels.size()));
        RleDecInit(handle.data());
        RawDecSetStream(handle.data(), &stream);
        XrImage header = image;
        if (RleDecSetHeader(handle.data(), &header) != XR_OK || RleDecStart(handle.data(), &header) != XR_OK)
            std::abort();
        std::vector<uint8_t> line(image.WIDTH);
        for (uint32_t y = 0; y < image.HEIGHT; ++y)
            if (RleDecDecodeLine(handle.data(), line.data()) != XR_OK ||
                std::memcmp(line.data(), ImageLine(&image, y), line.size()) != 0)
                std::abort();
    }
    ImageFree(&image);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kGeometryBytes || size > (1u << 18)) return 0;
    DecodeOptions options;
    DecodeOptionsDefaults(&options);
    options.rawMode = data[0] % 16;  // the invalid ones too
    options.rawWidth = LE16(data + 1);
    options.rawHeight = LE16(data + 3);
    options.rawLineBytes = LE16(data + 5);
    options.rawFormat = static_cast<int8_t>(data[7]);
    options.rawPaletteFormat = data[8];
    std::vector<uint8_t> pixels(data + kGeometryBytes, data + size);

    uint64_t lineBytes = options.rawLineBytes ? options.rawLineBytes : ImageLineBytes(options.rawMode, options.rawWidth);
    // An open height is bounded by the data, so only a declared one needs the limit.
    if (uint64_t{options.rawHeight} * lineBytes <= kMaxPixelBytes) CheckRaw(pixels, options);
    if (uint64_t{options.rawHeight} * options.rawWidth <= kMaxPixelBytes) CheckRle(pixels, options);
    return 0;
}
