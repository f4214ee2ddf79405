// Pieces every adapter repeats: a caller-allocated codec handle and a stream over
// the open file with the right staging buffer.
#ifndef LUMAPIX_ADAPTER_SUPPORT_HPP
#define LUMAPIX_ADAPTER_SUPPORT_HPP

#include <cstddef>
#include <cstdio>
#include <memory>
#include <new>

#include "lumapix/codec_stream.h"
#include "lumapix/file_stream.h"
#include "lumapix/format_adapters.h"

namespace lumapix {

class CodecHandle {
public:
    explicit CodecHandle(int32_t bytes)
        : block_(new (std::nothrow) std::max_align_t[Units(bytes)]) {}
    void* get() const { return block_.get(); }
    explicit operator bool() const { return block_ != nullptr; }

private:
    static size_t Units(int32_t bytes) {
        size_t n = bytes > 0 ? static_cast<size_t>(bytes) : 1;
        return (n + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t);
    }
    std::unique_ptr<std::max_align_t[]> block_;
};

inline void OpenReadStream(CodecStream* stream, FILE* file) {
    StreamInit(stream, ReadStagingBuffer(), XR_STREAM_BUFFER_SIZE, file, FileGetStreamCallBack);
}

inline void OpenWriteStream(CodecStream* stream, FILE* file) {
    StreamInit(stream, WriteStagingBuffer(), XR_STREAM_BUFFER_SIZE, file, FilePutStreamCallBack);
}

// First non-zero of two statuses: the decode's failure outranks the end step's.
inline CodecStatus FirstFailure(CodecStatus first, CodecStatus second) {
    return first != XR_OK ? first : second;
}

}  // namespace lumapix

#endif
