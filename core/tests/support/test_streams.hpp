// Codec stream callbacks for the tests: a sink that grows a byte vector, and a
// source that hands out its bytes a few at a time, as a pipe or a slow file
// would, and may fail from a chosen offset on.
#ifndef LUMAPIX_TEST_STREAMS_HPP
#define LUMAPIX_TEST_STREAMS_HPP

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace teststreams {

// Write callback; user is a std::vector<uint8_t>.
inline int32_t AppendTo(uint8_t* source, int32_t count, void* user) {
    auto* out = static_cast<std::vector<uint8_t>*>(user);
    out->insert(out->end(), source, source + count);
    return count;
}

struct PieceSource {
    const std::vector<uint8_t>* bytes;
    size_t piece = 1;           // at most this many bytes a call
    size_t failFrom = SIZE_MAX;  // reads from here on return -1
    size_t at = 0;

    // Read callback; user is the PieceSource.
    static int32_t Read(uint8_t* out, int32_t count, void* user) {
        auto* s = static_cast<PieceSource*>(user);
        if (s->at >= s->failFrom) return -1;
        size_t n = std::min({static_cast<size_t>(count < 0 ? 0 : count), s->piece, s->bytes->size() - s->at,
                             s->failFrom - s->at});
        if (n) std::memcpy(out, s->bytes->data() + s->at, n);
        s->at += n;
        return static_cast<int32_t>(n);
    }
    // Seek callback from the start (whence 0) or the current place; -1 outside the bytes.
    static int32_t Seek(void* user, int32_t offset, int32_t whence) {
        auto* s = static_cast<PieceSource*>(user);
        int64_t to = (whence == 0 ? 0 : static_cast<int64_t>(s->at)) + offset;
        if (to < 0 || to > static_cast<int64_t>(s->bytes->size())) return -1;
        s->at = static_cast<size_t>(to);
        return 0;
    }
};

}  // namespace teststreams

#endif
