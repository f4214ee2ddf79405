// Feeds arbitrary bytes to the BMP decoder: full decode line by line and whole,
// then a scaled decode of a window to a different size and a mode picked by the
// input's last byte.
#include <cstdint>
#include <cstring>
#include <vector>

#include "lumapix/bmp_codec.h"
#include "lumapix/codec_stream.h"

namespace {

constexpr uint64_t kMaxPixelBytes = 16u << 20;  // the harness's own allocation limit

bool OpenDecoder(std::vector<uint8_t>& handle, CodecStream* stream, std::vector<uint8_t>& input,
                 XrImage* header) {
    handle.assign(static_cast<size_t>(BmpDecGetHandleSize()), 0);
    BmpDecInit(handle.data());
    StreamInitMemory(stream, input.data(), static_cast<int32_t>(input.size()));
    BmpDecSetStream(handle.data(), stream);
    if (BmpDecReadHeader(handle.data(), header, nullptr) != XR_OK) return false;
    return uint64_t{header->LINEINT} * header->HEIGHT <= kMaxPixelBytes &&
           uint64_t{header->WIDTH} * 4 <= kMaxPixelBytes;
}

void DecodeFull(std::vector<uint8_t>& input, bool byLine) {
    std::vector<uint8_t> handle;
    CodecStream stream;
    XrImage header{};
    if (!OpenDecoder(handle, &stream, input, &header)) return;
    std::vector<uint8_t> pixels(size_t{header.LINEINT} * header.HEIGHT);
    std::vector<uint8_t> palette(1024);
    XrImage record = header;
    record.PIXELS = pixels.data();
    record.PALBUT = header.MODE == XR_MODE_INDEX ? palette.data() : nullptr;
    int32_t bottomUp = 0;
    if (BmpDecStart(handle.data(), &record, &bottomUp) != XR_OK) return;
    if (byLine) {
        for (uint32_t y = 0; y < header.HEIGHT; ++y)
            if (BmpDecDecodeLine(handle.data(), pixels.data() + size_t{y} * header.LINEINT) != XR_OK) break;
    } else {
        BmpDecDecodeImage(handle.data(), pixels.data());
    }
    BmpDecEnd(handle.data());
}

void DecodeScaled(std::vector<uint8_t>& input) {
    uint8_t choice = input.empty() ? 0 : input.back();
    std::vector<uint8_t> handle;
    CodecStream stream;
    XrImage header{};
    if (!OpenDecoder(handle, &stream, input, &header)) return;
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
    BmpDecSetRegion(handle.data(), &clip);
    BmpDecSetLineBuffer(handle.data(), work.data());
    int32_t bottomUp = 0;
    if (BmpDecSetScaledOutput(handle.data(), &target, &bottomUp) == XR_OK) BmpDecDecodeScaledImage(handle.data(), pixels.data());
    BmpDecEnd(handle.data());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 24)) return 0;
    std::vector<uint8_t> input(data, data + size);
    DecodeFull(input, true);
    DecodeFull(input, false);
    DecodeScaled(input);
    return 0;
}
