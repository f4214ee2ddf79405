// Pieces the codec benchmarks share: repeatable noise, a self-freeing record,
// caller-provided handle blocks and a fixed-size output sink.
#ifndef LUMAPIX_BENCH_SUPPORT_HPP
#define LUMAPIX_BENCH_SUPPORT_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "lumapix/xr_image.h"

namespace lumapix::bench {

// Deterministic noise: every run benchmarks the same bytes.
class XorShift {
public:
    uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    uint32_t Below(uint32_t n) { return Next() % n; }

private:
    uint32_t state_ = 0x9E3779B9u;
};

// Owns a record for the life of a fixture or a benchmark.
struct Record {
    XrImage image{};
    Record() = default;
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;
    ~Record() { ImageFree(&image); }
};

// Handles and work areas are plain blocks the caller provides; max_align_t keeps their pointers aligned.
class Handle {
public:
    explicit Handle(int64_t bytes)
        : block_((static_cast<size_t>(bytes) + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t)) {}
    void* get() { return block_.data(); }

private:
    std::vector<std::max_align_t> block_;
};

// Fixed-size output so that encoding never measures vector growth.
struct Sink {
    std::vector<uint8_t> bytes;
    size_t used = 0;
};

inline int32_t SinkWrite(uint8_t* data, int32_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    auto n = static_cast<size_t>(count);
    if (n > sink->bytes.size() - sink->used) return -1;
    std::memcpy(sink->bytes.data() + sink->used, data, n);
    sink->used += n;
    return count;
}

}  // namespace lumapix::bench

#endif
