#include "bmp_test_support.hpp"

#include <cstring>
#include <utility>

#include "lumapix/bmp_codec.h"
#include "lumapix/codec_stream.h"
#include "test_streams.hpp"

namespace bmptest {

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

}  // namespace

std::vector<uint8_t> BuildBmp(const BmpSpec& layout) {
    std::vector<uint8_t> out = {'B', 'M'};
    uint32_t tableEnd = static_cast<uint32_t>(14 + layout.headerSize + layout.masks.size() * 4 + layout.palette.size());
    uint32_t offset = layout.pixelOffset >= 0 ? static_cast<uint32_t>(layout.pixelOffset)
                                            : tableEnd + static_cast<uint32_t>(layout.gap.size());
    Put32(out, static_cast<uint32_t>(tableEnd + layout.gap.size() + layout.pixels.size()));
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, layout.headerSize);
    if (layout.headerSize == 12) {
        Put16(out, static_cast<uint32_t>(layout.width));
        Put16(out, static_cast<uint32_t>(layout.height));
        Put16(out, layout.planes);
        Put16(out, layout.bitsPerPixel);
    } else {
        Put32(out, static_cast<uint32_t>(layout.width));
        Put32(out, static_cast<uint32_t>(layout.height));
        Put16(out, layout.planes);
        Put16(out, layout.bitsPerPixel);
        Put32(out, layout.compression);
        Put32(out, static_cast<uint32_t>(layout.pixels.size()));
        Put32(out, 2835);
        Put32(out, 2835);
        Put32(out, layout.colorsUsed);
        Put32(out, 0);
        out.resize(14 + layout.headerSize, 0);  // larger headers: zero tail
    }
    for (uint32_t m : layout.masks) Put32(out, m);
    out.insert(out.end(), layout.palette.begin(), layout.palette.end());
    out.insert(out.end(), layout.gap.begin(), layout.gap.end());
    out.insert(out.end(), layout.pixels.begin(), layout.pixels.end());
    return out;
}

Decoded DecodeBmp(std::vector<uint8_t> bytes, bool byLine) {
    CodecStream stream;
    StreamInitMemory(&stream, bytes.data(), static_cast<int32_t>(bytes.size()));
    return DecodeBmpStream(&stream, byLine);
}

OpenDecoder::OpenDecoder(std::vector<uint8_t> file)
    : bytes(std::move(file)), handle(static_cast<size_t>(BmpDecGetHandleSize())) {
    BmpDecInit(get());
    StreamInitMemory(&stream, bytes.data(), static_cast<int32_t>(bytes.size()));
    BmpDecSetStream(get(), &stream);
    headerStatus = BmpDecReadHeader(get(), &header, nullptr);
}

Decoded DecodeBmpStream(CodecStream* stream, bool byLine) {
    Decoded d;
    std::vector<uint8_t> handle(static_cast<size_t>(BmpDecGetHandleSize()));
    BmpDecInit(handle.data());
    BmpDecSetStream(handle.data(), stream);
    d.headerStatus = d.status = BmpDecReadHeader(handle.data(), &d.header, nullptr);
    if (d.status != XR_OK) return d;
    ImageCopyHeader(&d.image, &d.header);
    if (ImageAlloc(&d.image) != XR_OK) {
        d.status = XR_ERR_INTERNAL;
        return d;
    }
    d.status = BmpDecStart(handle.data(), &d.image, &d.bottomUp);
    if (d.status != XR_OK) return d;
    if (byLine) {
        for (uint32_t i = 0; i < d.image.HEIGHT && d.status == XR_OK; ++i) {
            uint32_t y = d.bottomUp ? d.image.HEIGHT - 1 - i : i;
            d.status = BmpDecDecodeLine(handle.data(), ImageLine(&d.image, y));
        }
    } else {
        d.status = BmpDecDecodeImage(handle.data(), d.image.PIXELS);
    }
    BmpDecEnd(handle.data());
    return d;
}

std::vector<uint8_t> EncodeBmp(const XrImage& image, CodecStatus* status, bool byLine) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> handle(static_cast<size_t>(BmpEncGetHandleSize()));
    uint8_t buffer[XR_STREAM_BUFFER_SIZE];
    CodecStream stream;
    StreamInit(&stream, buffer, sizeof buffer, &out, teststreams::AppendTo);
    BmpEncInit(handle.data());
    BmpEncSetStream(handle.data(), &stream);
    *status = BmpEncSetImage(handle.data(), &image, nullptr);
    if (*status == XR_OK) {
        if (byLine && image.MODE != XR_MODE_YUV_PLANAR) {
            for (uint32_t y = image.HEIGHT; y-- > 0 && *status == XR_OK;)
                *status = BmpEncEncodeLine(handle.data(), ImageLine(&image, y));
        } else {
            *status = BmpEncEncodeImage(handle.data(), image.PIXELS);
        }
    }
    CodecStatus end = BmpEncEnd(handle.data());
    if (*status == XR_OK) *status = end;
    return out;
}

}  // namespace bmptest
