// The type -> operations table, the decoders not built here, and status texts.
#include "audio_internal.hpp"

namespace lumapix::audio {

namespace {

// WMA and MP3 have no decoding core yet: their files open and fail at GetInfo
// with XR_AUDIO_UNSUPPORTED, after the driver has skipped any ID3v2 tag.
struct UnsupportedHandle {
    uint32_t unused;
};
int32_t UnsupportedHandleSize() { return static_cast<int32_t>(sizeof(UnsupportedHandle)); }
int32_t UnsupportedInit(void* handle) { return handle ? XR_AUDIO_OK : 1; }
int32_t UnsupportedGetInfo(void* handle, AudioFormatInfo*, const uint8_t*, uint32_t, uint32_t*, void*) {
    return handle ? XR_AUDIO_UNSUPPORTED : 1;
}
int32_t UnsupportedDecExec(void* handle, uint64_t, const uint8_t*, uint32_t, uint32_t*, uint8_t*, uint32_t,
                           uint32_t*) {
    return handle ? XR_AUDIO_UNSUPPORTED : 1;
}
int32_t UnsupportedEnd(void* handle) { return handle ? XR_AUDIO_OK : 1; }

}  // namespace

const AudioDecoderOps kWmaOps = {UnsupportedHandleSize, UnsupportedInit,   UnsupportedGetInfo,
                                 UnsupportedDecExec,    UnsupportedInit,   UnsupportedEnd};
const AudioDecoderOps kMp3Ops = {UnsupportedHandleSize, UnsupportedInit,   UnsupportedGetInfo,
                                 UnsupportedDecExec,    UnsupportedInit,   UnsupportedEnd};

}  // namespace lumapix::audio

extern "C" const AudioDecoderOps* AudioDecoderOpsFor(int32_t type) {
    using namespace lumapix::audio;
    switch (type) {
        case AUDIO_TYPE_WMA: return &kWmaOps;
        case AUDIO_TYPE_MP3: return &kMp3Ops;
        case AUDIO_TYPE_AAC: return &kAacOps;
        case AUDIO_TYPE_MP4: return &kMp4Ops;
        case AUDIO_TYPE_WAV: return &kWavOps;
        default: return nullptr;
    }
}

extern "C" const char* AudioStatusMessage(int32_t status) {
    switch (status) {
        case XR_AUDIO_OK: return "success";
        case 1: return "invalid argument";
        case XR_AUDIO_NOT_CONTAINER: return "not a WAV file, or its chunks lie beyond the first 8192 bytes";
        case XR_AUDIO_NOT_AAC_FRAMING: return "not an ADTS or ADIF stream";
        case XR_AUDIO_NEED_INPUT: return "more input needed";
        case XR_AUDIO_STREAM_END: return "end of stream";
        case XR_AUDIO_MALFORMED: return "malformed stream";
        case XR_AUDIO_UNSUPPORTED: return "unsupported stream or codec";
        case XR_AUDIO_NO_PCM_BUFFER: return "no PCM buffer";
        case XR_AUDIO_SHORT_FIRST_INPUT: return "AAC stream shorter than 1536 bytes";
        case XR_AUDIO_SAMPLE_READ: return "an MP4 sample could not be read";
        case XR_AUDIO_PCM_TOO_SMALL: return "PCM buffer too small for a frame";
        case XR_AUDIO_TOO_MANY_CHANNELS: return "more than two channels";
        case XR_AUDIO_DECODER_ERROR: return "decoder error";
        default: return "unknown status";
    }
}
