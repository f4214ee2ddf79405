// Feeds arbitrary bytes to the GIF decoder: whole and line by line (the two must
// agree), a scaled decode to a size and mode picked by the input's last byte, and
// the adapter through a memory FILE. Whatever decodes must survive our encoder:
// encoding and decoding again gives the same pixels and palette.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "lumapix/format_adapters.h"
#include "lumapix/gif_codec.h"

namespace {

constexpr uint64_t kMaxPixelBytes = 1u << 20;  // the harness's own allocation limit: keeps runs fast

struct Decoder {
    std::vector<uint64_t> handle;
    std::vector<uint64_t> work;
    CodecStream stream{};
    XrImage header{};
    GifImageInfo info{};
    bool open = false;

    explicit Decoder(std::vector<uint8_t>& input)
        : handle((static_cast<size_t>(GifDecGetHandleSize()) + 7) / 8), work(XR_GIF_DEC_WORK_SIZE / 8) {
        GifDecInit(handle.data());
        StreamInitMemory(&stream, input.data(), static_cast<int32_t>(input.size()));
        GifDecSetStream(handle.data(), &stream);
        uint32_t workSize = 0;
        if (GifDecReadHeader(handle.data(), &header, &workSize, &info) != XR_OK) return;
        if (workSize != XR_GIF_DEC_WORK_SIZE) std::abort();
        if (uint64_t{header.WIDTH} * header.HEIGHT > kMaxPixelBytes) return;
        GifDecSetWork(handle.data(), work.data());
        open = true;
    }
    ~Decoder() { GifDecEnd(handle.data()); }
    void* get() { return handle.data(); }
};

struct Result {
    bool opened = false;  // the header was read and is within the harness's limit
    CodecStatus status = XR_ERR_FORMAT;
    std::vector<uint8_t> pixels;
    std::vector<uint8_t> palette;
};

Result DecodeFull(std::vector<uint8_t>& input, bool byLine) {
    Result r;
    Decoder d(input);
    if (!d.open) return r;
    r.opened = true;
    r.pixels.assign(size_t{d.header.LINEINT} * d.header.HEIGHT, 0xA5);
    r.palette.assign(1024, 0);
    XrImage record = d.header;
    record.PIXELS = r.pixels.data();
    record.PALBUT = r.palette.data();
    r.status = GifDecStart(d.get(), &record);
    if (r.status != XR_OK) return r;
    if (byLine) {
        for (uint32_t y = 0; y < d.header.HEIGHT && r.status == XR_OK; ++y)
            r.status = GifDecDecodeLine(d.get(), r.pixels.data() + size_t{y} * d.header.LINEINT);
    } else {
        r.status = GifDecDecodeImage(d.get(), r.pixels.data());
    }
    return r;
}

void DecodeScaled(std::vector<uint8_t>& input) {
    uint8_t choice = input.empty() ? 0 : input.back();
    Decoder d(input);
    if (!d.open) return;
    XrImage target{};
    target.MODE = XR_MODE_RGB + choice % 5;
    target.PALFMT = choice >> 7;
    target.WIDTH = static_cast<uint16_t>(d.header.WIDTH / 2 + 3);
    target.HEIGHT = static_cast<uint16_t>(d.header.HEIGHT / 3 + 1);
    target.LINEINT = ImageLineBytes(target.MODE, target.WIDTH);
    std::vector<uint8_t> pixels(size_t{target.LINEINT} * target.HEIGHT);
    std::vector<uint8_t> palette(1024);
    std::vector<uint8_t> line(size_t{d.header.WIDTH} * 4);
    target.PIXELS = pixels.data();
    target.PALCOUNT = 256;
    target.PALBUT = palette.data();
    XrRect clip{static_cast<uint16_t>(d.header.WIDTH / 5), static_cast<uint16_t>(d.header.HEIGHT / 7), 0, 0};
    GifDecSetRegion(d.get(), &clip);
    GifDecSetLineBuffer(d.get(), line.data());
    if (GifDecSetScaledOutput(d.get(), &target, nullptr) != XR_OK) return;
    if (choice & 0x40 && !d.info.interlaced) {
        CodecStatus status = XR_OK;
        for (uint32_t y = 0; y < target.HEIGHT && status == XR_OK; ++y)
            status = GifDecDecodeScaledLine(d.get(), pixels.data() + size_t{y} * target.LINEINT);
    } else {
        GifDecDecodeScaledImage(d.get(), pixels.data());
    }
}

// The adapter over the same bytes; then our encoder and decoder on what it gave.
void ThroughAdapters(std::vector<uint8_t>& input, const Result& whole) {
    FILE* in = fmemopen(input.data(), input.size(), "rb");
    if (!in) return;
    DecodeOptions decoding;
    DecodeOptionsDefaults(&decoding);
    XrImage image{};
    CodecStatus status = gif_decode(in, &image, &decoding);
    std::fclose(in);
    if (status == XR_OK) {
        if (whole.status != XR_OK || std::memcmp(image.PIXELS, whole.pixels.data(), image.SIZE) != 0) std::abort();
        char* bytes = nullptr;
        size_t size = 0;
        FILE* out = open_memstream(&bytes, &size);
        if (!out) std::abort();
        EncodeOptions encoding;
        EncodeOptionsDefaults(&encoding);
        CodecStatus written = gif_encode(out, &image, &encoding);
        std::fclose(out);
        if (written != XR_OK) std::abort();
        FILE* back = fmemopen(bytes, size, "rb");
        XrImage again{};
        if (!back || gif_decode(back, &again, &decoding) != XR_OK || again.SIZE != image.SIZE ||
            std::memcmp(again.PIXELS, image.PIXELS, image.SIZE) != 0 || std::memcmp(again.PALBUT, image.PALBUT, 1024) != 0)
            std::abort();
        std::fclose(back);
        std::free(bytes);
        ImageFree(&again);
    }
    ImageFree(&image);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 22)) return 0;
    std::vector<uint8_t> input(data, data + size);
    Result whole = DecodeFull(input, false);
    Result lines = DecodeFull(input, true);
    // Line by line and whole agree wherever both succeed.
    if (whole.status == XR_OK && lines.status == XR_OK && (whole.pixels != lines.pixels || whole.palette != lines.palette))
        std::abort();
    DecodeScaled(input);
    if (whole.opened) ThroughAdapters(input, whole);
    return 0;
}
