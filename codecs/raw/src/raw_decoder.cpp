// RAW lines: LINEINT bytes each, top line first, nothing before or between them.
#include <cstring>

#include "raw_internal.hpp"

using namespace lumapix::raw;

namespace {

// Running out of data is truncation; a failing read callback is the file's fault and
// keeps its own code, so a caller that accepts short data does not swallow I/O errors.
CodecStatus ReadFailure(const CodecStream* s) {
    return s->error == XR_ERR_STREAM_CALLBACK ? XR_ERR_STREAM_CALLBACK : XR_ERR_TRUNCATED;
}

CodecStatus ReadBytes(CodecStream* s, uint8_t* out, uint32_t n) {
    while (n > 0) {
        uint32_t chunk = n < kMaxTransfer ? n : kMaxTransfer;
        if (StreamRead(s, out, static_cast<int32_t>(chunk)) != 0) return ReadFailure(s);
        out += chunk;
        n -= chunk;
    }
    return XR_OK;
}

}  // namespace

extern "C" {

int32_t RawDecGetHandleSize(void) { return static_cast<int32_t>(sizeof(Decoder)); }

CodecStatus RawDecInit(void* handle) {
    if (!handle) return XR_ERR_ARGUMENT;
    std::memset(handle, 0, sizeof(Decoder));
    ScaledDecodeInit(&AsDecoder(handle)->scaled);
    return XR_OK;
}

CodecStatus RawDecSetStream(void* handle, CodecStream* stream) {
    if (!handle || !stream) return XR_ERR_ARGUMENT;
    AsDecoder(handle)->stream = stream;
    StreamReset(stream, XR_STREAM_READ);
    return XR_OK;
}

CodecStatus RawDecSetHeader(void* handle, XrImage* header) {
    if (!handle || !header) return XR_ERR_ARGUMENT;
    if (header->MODE == XR_MODE_INDEX) header->PALCOUNT = 256;
    uint32_t minimum = ImageLineBytes(header->MODE, header->WIDTH);
    if (minimum == 0 || header->HEIGHT == 0 || header->LINEINT < minimum) return XR_ERR_UNSUPPORTED;
    Decoder* d = AsDecoder(handle);
    ImageCopyHeader(&d->fileHeader, header);
    d->fileHeader.PALBUT = nullptr;  // the caller's, not ours to keep
    d->fileHeader.OBJECT = nullptr;
    return XR_OK;
}

CodecStatus RawDecStart(void* handle, XrImage* record) {
    if (!handle || !record) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    if (!d->stream || d->fileHeader.MODE == XR_MODE_UNK) return XR_ERR_ARGUMENT;
    // Lines are read whole into the record, so its interval must hold the file's.
    if (!SameGeometry(*record, d->fileHeader) || record->LINEINT < d->fileHeader.LINEINT)
        return XR_ERR_MISMATCH;
    if (record->MODE == XR_MODE_INDEX) {
        if (!record->PALBUT || record->PALCOUNT < 256) return XR_ERR_MISMATCH;
        for (uint32_t i = 0; i < 256; ++i) {
            auto v = static_cast<uint8_t>(i);
            uint8_t* entry = record->PALBUT + 4 * i;
            entry[0] = entry[1] = entry[2] = v;
            entry[3] = 0;
        }
    }
    ImageCopyHeader(&d->recordHeader, record);
    d->status = XR_OK;
    d->linesDecoded = 0;
    return XR_OK;
}

CodecStatus RawDecDecodeLine(void* handle, uint8_t* line) {
    if (!handle || !line) return XR_ERR_ARGUMENT;
    Decoder* d = AsDecoder(handle);
    if (!d->stream) return XR_ERR_ARGUMENT;
    if (d->recordHeader.MODE == XR_MODE_UNK) return XR_ERR_MISMATCH;  // not started
    if (d->status != XR_OK) return d->status;
    if (d->linesDecoded >= d->fileHeader.HEIGHT) return XR_ERR_ARGUMENT;  // the picture is complete
    ++d->linesDecoded;
    return d->status = ReadBytes(d->stream, line, d->fileHeader.LINEINT);
}

CodecStatus RawDecEnd(void* handle) { return handle ? XR_OK : XR_ERR_ARGUMENT; }

}  // extern "C"
