#include "lumapix/file_stream.h"

#include <cstdio>

extern "C" int32_t FileGetStreamCallBack(uint8_t* destination, int32_t count, void* file) {
    auto* f = static_cast<FILE*>(file);
    if (!f || count < 0) return -1;
    size_t got = std::fread(destination, 1, static_cast<size_t>(count), f);
    if (got == 0 && std::ferror(f)) return -1;
    return static_cast<int32_t>(got);
}

extern "C" int32_t FilePutStreamCallBack(uint8_t* source, int32_t count, void* file) {
    auto* f = static_cast<FILE*>(file);
    if (!f || count < 0) return -1;
    size_t put = std::fwrite(source, 1, static_cast<size_t>(count), f);
    if (put == 0 && count > 0) return -1;
    return static_cast<int32_t>(put);
}

extern "C" int32_t FileSeekStreamCallBack(void* file, int32_t offset, int32_t whence) {
    auto* f = static_cast<FILE*>(file);
    if (!f) return -1;
    if (whence != 0 && whence != 1) return -1;
    return std::fseek(f, offset, whence == 0 ? SEEK_SET : SEEK_CUR) == 0 ? 0 : -1;
}
