// Feeds arbitrary bytes to the PNM decoder through a memory FILE, then checks that
// what it decoded survives our own writer: encoding, decoding and encoding again
// must give the same file, plain and binary.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// The adapter's own header parser sizes the allocation before the decode does.
#include "../app/model/src/pnm_parser.hpp"
#include "lumapix/format_adapters.h"

namespace {

constexpr uint64_t kMaxPixelBytes = 16u << 20;  // the harness's own allocation limit
constexpr uint32_t kMaxRoundTripBytes = 64u << 10;  // plain text is slow to write; keep runs fast

bool Encode(XrImage* image, bool binary, std::string* out) {
    char* text = nullptr;
    size_t size = 0;
    FILE* f = open_memstream(&text, &size);
    if (!f) return false;
    EncodeOptions options;
    EncodeOptionsDefaults(&options);
    options.pnmBinary = binary;
    CodecStatus status = pnm_encode(f, image, &options);
    std::fclose(f);
    out->assign(text, size);
    std::free(text);
    return status == XR_OK;
}

CodecStatus Decode(std::string& bytes, XrImage* image) {
    FILE* f = fmemopen(bytes.data(), bytes.size(), "rb");
    if (!f) return XR_ERR_INTERNAL;
    CodecStatus status = pnm_decode(f, image, nullptr);
    std::fclose(f);
    return status;
}

void CheckRoundTrip(XrImage* decoded, bool binary) {
    std::string first, second;
    if (!Encode(decoded, binary, &first)) return;  // binary refuses samples over 8 bits
    XrImage again{};
    if (Decode(first, &again) != XR_OK || !Encode(&again, binary, &second) || first != second) std::abort();
    ImageFree(&again);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 24)) return 0;
    std::string input(reinterpret_cast<const char*>(data), size);
    FILE* f = fmemopen(input.data(), input.size(), "rb");
    if (!f) return 0;
    lumapix::pnm::Header header;
    bool small = lumapix::pnm::ReadHeader(f, &header) != XR_OK ||
                 uint64_t{header.image.LINEINT} * header.image.HEIGHT <= kMaxPixelBytes;
    std::fclose(f);
    if (!small) return 0;
    XrImage image{};
    if (Decode(input, &image) == XR_OK && image.SIZE <= kMaxRoundTripBytes) {
        CheckRoundTrip(&image, false);
        CheckRoundTrip(&image, true);
    }
    ImageFree(&image);
    return 0;
}
