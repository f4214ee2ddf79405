// RAW output: each line's pixel bytes, without the rest of the record's line interval.
#include <cstring>

#include "raw_internal.hpp"

using namespace lumapix::raw;

namespace {

CodecStatus EncoderStatus(const Encoder* e) { return e->stream->error ? e->stream->error : e->status; }

}  // namespace

extern "C" {

int32_t RawEncGetHandleSize(void) { return static_cast<int32_t>(sizeof(Encoder)); }

CodecStatus RawEncInit(void* handle) {
    if (!handle) return XR_ERR_ARGUMENT;
    std::memset(handle, 0, sizeof(Encoder));
    return XR_OK;
}

CodecStatus RawEncSetStream(void* handle, CodecStream* stream) {
    if (!handle || !stream) return XR_ERR_ARGUMENT;
    AsEncoder(handle)->stream = stream;
    StreamReset(stream, XR_STREAM_WRITE);
    return XR_OK;
}

CodecStatus RawEncSetImage(void* handle, const XrImage* record, void*) {
    if (!handle || !record) return XR_ERR_ARGUMENT;
    Encoder* e = AsEncoder(handle);
    if (!e->stream) return XR_ERR_ARGUMENT;
    ImageCopyHeader(&e->header, record);
    e->header.PALBUT = nullptr;
    e->header.OBJECT = nullptr;
    // Planar YUV has no packed line; its luma plane is what a RAW file can hold.
    e->lineBytes = record->MODE == XR_MODE_YUV_PLANAR ? record->WIDTH
                                                      : ImageLineBytes(record->MODE, record->WIDTH);
    if (e->lineBytes == 0 || record->HEIGHT == 0) return e->status = XR_ERR_UNSUPPORTED;
    if (record->LINEINT < e->lineBytes) return e->status = XR_ERR_MISMATCH;
    return e->status = XR_OK;
}

CodecStatus RawEncEncodeLine(void* handle, const uint8_t* line) {
    if (!handle || !line) return XR_ERR_ARGUMENT;
    Encoder* e = AsEncoder(handle);
    if (!e->stream || e->header.MODE == XR_MODE_UNK) return XR_ERR_ARGUMENT;
    CodecStatus status = EncoderStatus(e);
    if (status != XR_OK) return status;
    // lineBytes is at most 6 x 65535, well inside one transfer.
    StreamWrite(e->stream, line, static_cast<int32_t>(e->lineBytes));
    return EncoderStatus(e);
}

CodecStatus RawEncEnd(void* handle) {
    if (!handle) return XR_ERR_ARGUMENT;
    Encoder* e = AsEncoder(handle);
    if (!e->stream) return XR_ERR_ARGUMENT;
    if (e->status != XR_OK) return e->status;
    StreamFlush(e->stream);
    return EncoderStatus(e);
}

}  // extern "C"
