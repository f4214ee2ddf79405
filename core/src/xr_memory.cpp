#include "lumapix/xr_memory.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {

void* XrMemAlloc(size_t bytes) { return bytes ? std::malloc(bytes) : nullptr; }
void XrMemFree(void* block) { std::free(block); }
void XrMemCopy(void* destination, const void* source, size_t bytes) {
    if (bytes) std::memcpy(destination, source, bytes);
}
void XrMemMove(void* destination, const void* source, size_t bytes) {
    if (bytes) std::memmove(destination, source, bytes);
}
void XrMemFill(void* destination, int value, size_t bytes) {
    if (bytes) std::memset(destination, value, bytes);
}
int XrMemCompare(const void* a, const void* b, size_t bytes) {
    return bytes ? std::memcmp(a, b, bytes) : 0;
}

char* XrStrDup(const char* text) {
    if (!text) return nullptr;
    size_t length = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(XrMemAlloc(length));
    if (copy) std::memcpy(copy, text, length);
    return copy;
}

int XrStrCmp(const char* a, const char* b) { return std::strcmp(a, b); }

int XrFormat(char* destination, size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int written = std::vsnprintf(destination, size, format, args);
    va_end(args);
    return written;
}

// The library's diagnostic log is silent in this program.
void XrLogOpen(const char*) {}
void XrLogPrint(const char*, ...) {}
void XrLogClose(void) {}

}  // extern "C"
