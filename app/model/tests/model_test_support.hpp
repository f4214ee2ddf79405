// Records, option blocks and adapter runs over temporary files for the model's tests.
#ifndef LUMAPIX_MODEL_TEST_SUPPORT_HPP
#define LUMAPIX_MODEL_TEST_SUPPORT_HPP

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <tuple>
#include <vector>

#include "lumapix/format_adapters.h"
#include "lumapix/test_images.h"
#include "lumapix/xr_image.h"

namespace modeltest {

using Bytes = std::vector<uint8_t>;

inline Bytes BytesAt(const void* p, size_t n) {
    auto* b = static_cast<const uint8_t*>(p);
    return b ? Bytes(b, b + n) : Bytes();
}

// An image record that frees itself.
struct Record {
    XrImage image{};
    Record() = default;
    // Zeroed pixels; lineInterval 0 is the mode's own (an even one for planar YUV).
    Record(int32_t mode, uint16_t width, uint16_t height, uint32_t lineInterval = 0, int8_t fmt = 0) {
        image.MODE = mode, image.WIDTH = width, image.HEIGHT = height, image.FMT = fmt;
        image.LINEINT = lineInterval ? lineInterval
                        : mode == XR_MODE_YUV_PLANAR ? (width + 1u) & ~1u : ImageLineBytes(mode, width);
        EXPECT_EQ(ImageAlloc(&image), XR_OK);
    }
    Record(const Record& other) { EXPECT_EQ(ImageCopy(&image, &other.image), XR_OK); }
    Record(Record&& other) noexcept : image(other.image) { other.image = XrImage{}; }
    Record& operator=(const Record&) = delete;
    ~Record() { ImageFree(&image); }
    uint8_t* Line(uint32_t y) const { return ImageLine(&image, y); }
    Bytes Pixels() const { return BytesAt(image.PIXELS, image.SIZE); }
    Bytes Palette() const { return BytesAt(image.PALBUT, image.PALBUT ? 1024 : 0); }
};

// The library's test picture of a mode.
inline Record TestImage(int32_t mode, uint16_t width, uint16_t height) {
    Record r;
    EXPECT_EQ(MakeTestImage(&r.image, mode, width, height), XR_OK);
    return r;
}

inline DecodeOptions Decoding(bool byLine = true) {
    DecodeOptions options;
    DecodeOptionsDefaults(&options);
    options.line = byLine;
    return options;
}

inline EncodeOptions Encoding(bool byLine = true) {
    EncodeOptions options;
    EncodeOptionsDefaults(&options);
    options.line = byLine;
    return options;
}

// Runs an adapter over a seekable temporary file holding bytes; what the file
// holds afterwards goes to *written.
inline CodecStatus OverFile(const Bytes& bytes, const std::function<CodecStatus(FILE*)>& adapter,
                            Bytes* written = nullptr) {
    FILE* file = std::tmpfile();
    if (!file) return XR_ERR_INTERNAL;
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    CodecStatus status = adapter(file);
    if (written) {
        std::rewind(file);
        written->clear();
        for (int c; (c = std::fgetc(file)) != EOF;) written->push_back(static_cast<uint8_t>(c));
    }
    std::fclose(file);
    return status;
}

inline CodecStatus DecodeWith(DecodeAdapter adapter, const Bytes& file, const DecodeOptions& options, Record* out) {
    return OverFile(file, [&](FILE* f) { return adapter(f, &out->image, &options); });
}

inline Bytes EncodeWith(EncodeAdapter adapter, XrImage* image, const EncodeOptions& options, CodecStatus* status) {
    Bytes out;
    *status = OverFile({}, [&](FILE* f) { return adapter(f, image, &options); }, &out);
    return out;
}

// Everything an operation that fails must leave as it was: header, pointers, pixels, palette.
struct Snapshot {
    explicit Snapshot(const XrImage& r)
        : header(r.MODE, r.WIDTH, r.HEIGHT, r.LINEINT, r.FMT, r.PALFMT, r.PALCOUNT, r.PALBUT, r.OBJECT, r.PIXELS, r.SIZE),
          pixels(BytesAt(r.PIXELS, r.SIZE)), palette(BytesAt(r.PALBUT, size_t{r.PALCOUNT} * 4)) {}
    bool operator==(const Snapshot&) const = default;
    std::tuple<int32_t, uint16_t, uint16_t, uint32_t, int8_t, uint8_t, uint16_t, uint8_t*, void*, void*, uint32_t> header;
    Bytes pixels, palette;
};

// Lines [0, lines) of a and b hold the same pixel bytes.
inline bool SameLines(const XrImage& a, const XrImage& b, uint32_t lines) {
    if (a.MODE != b.MODE || a.WIDTH != b.WIDTH || a.HEIGHT < lines || b.HEIGHT < lines) return false;
    for (uint32_t y = 0; y < lines; ++y)
        if (std::memcmp(ImageLine(&a, y), ImageLine(&b, y), ImageLineBytes(a.MODE, a.WIDTH)) != 0) return false;
    return true;
}

inline bool SamePixels(const XrImage& a, const XrImage& b) { return a.HEIGHT == b.HEIGHT && SameLines(a, b, a.HEIGHT); }

}  // namespace modeltest

#endif
