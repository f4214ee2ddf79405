#include "lumapix/codec_status.h"

namespace {

struct StatusText {
    CodecStatus status;
    const char* name;
    const char* message;
};

constexpr StatusText kStatusTexts[] = {
    {XR_OK, "ok", "success"},
    {XR_ERR_ARGUMENT, "argument", "invalid argument"},
    {XR_ERR_FORMAT, "format", "not this format, or a header the codec does not support"},
    {XR_ERR_MISMATCH, "mismatch", "the record does not match the header"},
    {XR_ERR_WORK_BUFFER, "work-buffer", "a required work buffer is missing"},
    {XR_ERR_UNSUPPORTED, "unsupported", "image mode or parameter not supported"},
    {XR_ERR_TRUNCATED, "truncated", "the data ended before the image was complete"},
    {XR_ERR_STREAM_CALLBACK, "stream-io", "reading or writing the file failed"},
    {XR_ERR_STREAM_END, "stream-end", "the file ended early"},
    {XR_ERR_STREAM_NO_CALLBACK, "stream-no-callback", "the stream cannot read, write or seek further"},
    {XR_ERR_STREAM_SEEK, "stream-seek", "seeking in the file failed"},
    {XR_ERR_DITHER_MODE, "dither-mode", "unknown dither mode"},
    {XR_ERR_PALETTE_MODE, "palette-mode", "unknown palette mode"},
    {XR_ERR_RESAMPLE_METHOD, "resample-method", "unknown resampling method"},
    {XR_ERR_RESAMPLE_SCALE, "resample-scale", "enlargement or reduction by more than 256 times"},
    {XR_ERR_ROTATE_LINE, "rotate-line", "line number outside the image being rotated"},
    {XR_ERR_ROTATE_ANGLE, "rotate-angle", "the rotator was not started with a valid angle"},
    {XR_ERR_INTERNAL, "internal", "out of memory or internal failure"},
};

const StatusText* Find(CodecStatus status) {
    for (const auto& entry : kStatusTexts)
        if (entry.status == status) return &entry;
    return nullptr;
}

}  // namespace

extern "C" const char* CodecStatusName(CodecStatus status) {
    const StatusText* entry = Find(status);
    return entry ? entry->name : "codec";
}

extern "C" const char* CodecStatusMessage(CodecStatus status) {
    const StatusText* entry = Find(status);
    return entry ? entry->message : "codec-specific failure";
}
