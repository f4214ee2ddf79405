// PackBits-coded GRAY lines. Every line starts a fresh run sequence: a run that
// would spill past the line end is cut there and its surplus bytes consumed.
#include <cstring>

#include "lumapix/stream_inline.hpp"
#include "raw_internal.hpp"

using namespace lumapix;
using namespace lumapix::raw;

namespace {

CodecStatus DecodeRuns(CodecStream* s, uint8_t* line, uint32_t length) {
    uint32_t filled = 0;
    while (filled < length) {
        int32_t control = NextByte(s);
        if (control < 0) return s->error;
        uint32_t room = length - filled;
        if (control < 128) {  // literal of control + 1 bytes
            auto count = static_cast<uint32_t>(control) + 1;
            uint32_t take = count < room ? count : room;
            if (StreamRead(s, line + filled, static_cast<int32_t>(take)) != 0 ||
                StreamSkip(s, static_cast<int32_t>(count - take)) != 0)
                return s->error;
            filled += take;
        } else if (control > 128) {  // -127..-1: the next byte 1 - k times, i.e. 257 - control
            int32_t value = NextByte(s);
            if (value < 0) return s->error;
            auto count = static_cast<uint32_t>(257 - control);
            uint32_t take = count < room ? count : room;
            std::memset(line + filled, value, take);
            filled += take;
        }
        // -128 is a no-op; it still consumed a byte, so the loop always advances.
    }
    return XR_OK;
}

}  // namespace

extern "C" {

int32_t RleDecGetHandleSize(void) { return static_cast<int32_t>(sizeof(RleDecoder)); }

CodecStatus RleDecInit(void* handle) {
    if (!handle) return XR_ERR_ARGUMENT;
    std::memset(handle, 0, sizeof(RleDecoder));
    ScaledDecodeInit(&AsRleDecoder(handle)->raw.scaled);
    return XR_OK;
}

CodecStatus RleDecSetHeader(void* handle, XrImage* header) {
    if (!handle || !header || header->MODE != XR_MODE_GRAY || header->WIDTH == 0) return XR_ERR_ARGUMENT;
    RleDecoder* r = AsRleDecoder(handle);
    ImageCopyHeader(&r->raw.fileHeader, header);
    r->raw.fileHeader.PALBUT = nullptr;
    r->raw.fileHeader.OBJECT = nullptr;
    r->lineLength = header->WIDTH;
    return XR_OK;
}

CodecStatus RleDecStart(void* handle, XrImage* record) {
    if (!handle || !record) return XR_ERR_ARGUMENT;
    RleDecoder* r = AsRleDecoder(handle);
    if (!r->raw.stream || r->raw.fileHeader.MODE == XR_MODE_UNK) return XR_ERR_ARGUMENT;
    if (!SameGeometry(*record, r->raw.fileHeader) || record->LINEINT < r->lineLength) return XR_ERR_MISMATCH;
    r->palfmt = record->PALFMT;
    std::memset(r->palette, 0, sizeof r->palette);
    if (record->PALBUT) {
        uint32_t entries = record->PALCOUNT < 256 ? record->PALCOUNT : 256;
        std::memcpy(r->palette, record->PALBUT, size_t{entries} * 4);
    }
    ImageCopyHeader(&r->raw.recordHeader, record);
    r->raw.status = XR_OK;
    r->raw.linesDecoded = 0;
    return XR_OK;
}

CodecStatus RleDecDecodeLine(void* handle, uint8_t* line) {
    if (!handle || !line) return XR_ERR_ARGUMENT;
    RleDecoder* r = AsRleDecoder(handle);
    Decoder& d = r->raw;
    if (!d.stream) return XR_ERR_ARGUMENT;
    if (d.recordHeader.MODE == XR_MODE_UNK) return XR_ERR_MISMATCH;  // not started
    if (d.status != XR_OK) return d.status;
    if (d.linesDecoded >= d.fileHeader.HEIGHT) return XR_ERR_ARGUMENT;  // the picture is complete
    ++d.linesDecoded;
    return d.status = DecodeRuns(d.stream, line, r->lineLength);
}

CodecStatus RleDecEnd(void* handle) { return handle ? XR_OK : XR_ERR_ARGUMENT; }

}  // extern "C"
