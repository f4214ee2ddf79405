// The program's console print: stderr unless a sink has been set.
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "lumapix/audio_driver.h"

namespace {

std::mutex consoleMutex;  // the window thread may swap the sink while the decoding thread prints
AudioConsoleSink consoleSink = nullptr;
void* consoleContext = nullptr;

}  // namespace

extern "C" void AudioSetConsoleSink(AudioConsoleSink sink, void* context) {
    std::lock_guard lock(consoleMutex);
    consoleSink = sink;
    consoleContext = context;
}

extern "C" void AudioConsolePrint(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::lock_guard lock(consoleMutex);
    if (consoleSink) {
        consoleSink(text, consoleContext);
    } else {
        std::fputs(text, stderr);
        std::fflush(stderr);
    }
}
