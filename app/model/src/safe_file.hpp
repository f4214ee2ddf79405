// Writing a file so that a failure never damages what was there: the data goes
// to a temporary file in the same directory, which replaces the target only
// once everything has been written and synced.
#ifndef LUMAPIX_SAFE_FILE_HPP
#define LUMAPIX_SAFE_FILE_HPP

#include <cstdint>
#include <cstdio>
#include <string>

#include "lumapix/codec_status.h"

namespace lumapix {

class SafeFile {
public:
    explicit SafeFile(const std::string& target);
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;
    // Without a Commit the temporary file is removed and the target left alone.
    ~SafeFile();

    FILE* file() const { return file_; }
    // Flushes, syncs and moves the data over the target; a stream status on failure.
    CodecStatus Commit();

private:
    std::string target_;
    std::string temporary_;
    FILE* file_ = nullptr;
};

// Size of an open file in bytes, or 0 when it cannot be told.
uint64_t FileSize(FILE* file);

}  // namespace lumapix

#endif
