// Feeds arbitrary bytes to the PNG decoder: whole and line by line (which must
// agree), a scaled decode of a window to a mode picked by the input's last byte,
// and for what decodes, a round trip through our encoder that must give the same
// pixels and palette back.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "lumapix/codec_stream.h"
#include "lumapix/png_codec.h"

namespace {

constexpr uint64_t kMaxPixelBytes = 16u << 20;  // the harness's own allocation limit
constexpr uint64_t kMaxRoundTripBytes = 1u << 20;

struct Result {
    CodecStatus status = XR_ERR_INTERNAL;
    XrImage header{};
    std::vector<uint8_t> pixels;
    std::vector<uint8_t> palette;
};

bool OpenDecoder(std::vector<uint8_t>& handle, CodecStream* stream, const uint8_t* data, size_t size,
                 XrImage* header, PngIhdr* ihdr) {
    handle.assign(static_cast<size_t>(PngDecGetHandleSize()), 0);
    PngDecInit(handle.data());
    StreamInitMemory(stream, const_cast<uint8_t*>(data), static_cast<int32_t>(size));
    PngDecSetStream(handle.data(), stream);
    if (PngDecReadHeader(handle.data(), header, nullptr, ihdr) != XR_OK) return false;
    return uint64_t{header->LINEINT} * header->HEIGHT <= kMaxPixelBytes;
}

Result Decode(const uint8_t* data, size_t size, bool byLine) {
    Result r;
    std::vector<uint8_t> handle;
    CodecStream stream;
    PngIhdr ihdr{};
    if (!OpenDecoder(handle, &stream, data, size, &r.header, &ihdr)) return r;
    r.pixels.assign(size_t{r.header.LINEINT} * r.header.HEIGHT, 0);
    r.palette.assign(1024, 0);
    XrImage record = r.header;
    record.PIXELS = r.pixels.data();
    record.PALBUT = r.header.MODE == XR_MODE_INDEX ? r.palette.data() : nullptr;
    r.status = PngDecStart(handle.data(), &record);
    if (r.status == XR_OK && byLine && !ihdr.interlace) {
        for (uint32_t y = 0; y < r.header.HEIGHT && r.status == XR_OK; ++y)
            r.status = PngDecDecodeLine(handle.data(), r.pixels.data() + size_t{y} * r.header.LINEINT);
    } else if (r.status == XR_OK) {
        r.status = PngDecDecodeImage(handle.data(), r.pixels.data());
    }
    PngDecEnd(handle.data());
    return r;
}

void DecodeScaled(const uint8_t* data, size_t size) {
    uint8_t choice = size ? data[size - 1] : 0;
    std::vector<uint8_t> handle;
    CodecStream stream;
    XrImage header{};
    PngIhdr ihdr{};
    if (!OpenDecoder(handle, &stream, data, size, &header, &ihdr)) return;
    XrImage target{};
    target.MODE = XR_MODE_RGB + choice % 5;
    target.PALFMT = choice >> 7;
    target.WIDTH = static_cast<uint16_t>(header.WIDTH / 2 + 3);
    target.HEIGHT = static_cast<uint16_t>(header.HEIGHT / 3 + 1);
    target.LINEINT = ImageLineBytes(target.MODE, target.WIDTH);
    std::vector<uint8_t> pixels(size_t{target.LINEINT} * target.HEIGHT);
    std::vector<uint8_t> palette(1024);
    std::vector<uint8_t> work(size_t{header.WIDTH} * 4);
    target.PIXELS = pixels.data();
    target.PALCOUNT = 256;
    target.PALBUT = palette.data();
    XrRect clip{static_cast<uint16_t>(header.WIDTH / 5), static_cast<uint16_t>(header.HEIGHT / 7), 0, 0};
    PngDecSetRegion(handle.data(), &clip);
    PngDecSetLineBuffer(handle.data(), work.data());
    if (PngDecSetScaledOutput(handle.data(), &target) == XR_OK) PngDecDecodeScaledImage(handle.data(), pixels.data());
    PngDecEnd(handle.data());
}

int32_t GrowingWrite(uint8_t* source, int32_t count, void* user) {
    auto* out = static_cast<std::vector<uint8_t>*>(user);
    out->insert(out->end(), source, source + count);
    return count;
}

void CheckRoundTrip(Result& decoded) {
    std::vector<uint8_t> file, handle(static_cast<size_t>(PngEncGetHandleSize())), buffer;
    uint8_t staging[XR_STREAM_BUFFER_SIZE];
    CodecStream stream;
    StreamInit(&stream, staging, sizeof staging, &file, GrowingWrite);
    PngEncInit(handle.data());
    PngEncSetStream(handle.data(), &stream);
    XrImage image = decoded.header;
    image.PIXELS = decoded.pixels.data();
    image.PALBUT = image.MODE == XR_MODE_INDEX ? decoded.palette.data() : nullptr;
    uint32_t size = 0;
    CodecStatus status = PngEncSetImage(handle.data(), &image, &size);
    buffer.resize(size);
    if (status == XR_OK) status = PngEncSetBuffer(handle.data(), buffer.data(), size);
    if (status == XR_OK) status = PngEncEncodeImage(handle.data(), image.PIXELS);
    CodecStatus end = PngEncEnd(handle.data());
    if (status != XR_OK || end != XR_OK) std::abort();  // every decoded record is encodable
    Result again = Decode(file.data(), file.size(), true);
    if (again.status != XR_OK || again.pixels != decoded.pixels || again.palette != decoded.palette) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 24)) return 0;
    Result whole = Decode(data, size, false);
    Result lines = Decode(data, size, true);
    // The two paths read the same bytes the same way: same status, same rows.
    if (whole.status != lines.status) std::abort();
    if (whole.status == XR_OK && whole.pixels != lines.pixels) std::abort();
    DecodeScaled(data, size);
    if (whole.status == XR_OK && whole.pixels.size() <= kMaxRoundTripBytes) CheckRoundTrip(whole);
    return 0;
}
