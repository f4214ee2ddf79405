// The audio driver: feeds the open file's decoder from a fixed input buffer and
// hands the PCM it produces to the sound output or a dump file.
#include "lumapix/audio_driver.h"

#include <sys/types.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio_internal.hpp"

namespace {

struct Driver {
    int32_t type = -1;
    FILE* file = nullptr;
    const AudioDecoderOps* ops = nullptr;
    void* handle = nullptr;
    bool open = false;

    uint8_t input[AUDIO_INPUT_BYTES];
    uint32_t validLength = 0;
    uint32_t consumedOffset = 0;
    uint32_t remaining = 0;
    const uint8_t* readPointer = nullptr;
    uint64_t position = 0;  // stream bytes consumed, or the MP4 sample index
    bool starved = false;   // the last refill found the file at its end
    int32_t lastStatus = 0;  // of the decoder call that last failed

    uint8_t pcm[AUDIO_PCM_BYTES];
    uint64_t totalPcm = 0;
    uint32_t elapsedSeconds = 0;
    AudioFormatInfo format{};
    WavInfo wavInfo{};
    Mp4Info mp4Info{};

    int32_t soundOutput = 0;
    bool outputOpen = false;
    const AudioOutputOps* output = nullptr;
    FILE* dump = nullptr;
};

Driver driver;

uint32_t FileRead(void* file, void* destination, uint32_t count) {
    return static_cast<uint32_t>(std::fread(destination, 1, count, static_cast<FILE*>(file)));
}

int32_t FileSeek(void* file, uint64_t offset) {
    if (offset > static_cast<uint64_t>(INT64_MAX)) return -1;
    return fseeko(static_cast<FILE*>(file), static_cast<off_t>(offset), SEEK_SET) == 0 ? 0 : -1;
}

void ClearCounters() {
    driver.validLength = AUDIO_INPUT_BYTES;
    driver.consumedOffset = AUDIO_INPUT_BYTES;
    driver.remaining = 0;
    driver.readPointer = driver.input;
    driver.position = 0;
    driver.starved = false;
    driver.lastStatus = 0;
    driver.totalPcm = 0;
    driver.elapsedSeconds = 0;
    driver.format = AudioFormatInfo{};
    driver.wavInfo = WavInfo{};
    driver.mp4Info = Mp4Info{};
}

// Releases whatever an open or a failed open left behind.
void Release(int32_t wait) {
    if (driver.outputOpen && driver.output) driver.output->close(wait);
    driver.outputOpen = false;
    if (driver.handle) {
        driver.ops->end(driver.handle);
        std::free(driver.handle);
        driver.handle = nullptr;
    }
    if (driver.file) std::fclose(driver.file);
    driver.file = nullptr;
    driver.open = false;
}

int32_t FailOpen() {
    Release(1);
    return 1;
}

int32_t EndOfStream() {
    if (driver.soundOutput && driver.outputOpen && driver.output) driver.output->flushLast();
    return AUDIO_STEP_ENDED;
}

void UpdateElapsed() {
    uint32_t bytesPerSample = driver.format.bitsPerSample / 8;
    if (driver.format.sampleRate == 0 || driver.format.channels == 0 || bytesPerSample == 0) return;
    driver.elapsedSeconds = static_cast<uint32_t>(driver.totalPcm / driver.format.sampleRate /
                                                  driver.format.channels / bytesPerSample);
}

}  // namespace

extern "C" void AudioDriverSetOutput(const AudioOutputOps* ops) { driver.output = ops; }

extern "C" int32_t ReadAudio(uint8_t* buffer, uint32_t* validLength, uint32_t* consumedOffset, FILE* file) {
    if (driver.open && driver.type == AUDIO_TYPE_MP4) return 0;  // the MP4 decoder reads the file itself
    if (!buffer || !validLength || !consumedOffset || !file || *consumedOffset > *validLength) return 1;
    uint32_t kept = *validLength - *consumedOffset;
    uint32_t room = *consumedOffset;
    std::memmove(buffer, buffer + *consumedOffset, kept);
    *consumedOffset = 0;
    *validLength = kept;
    if (room == 0) return 1;  // the decoder wants more than the buffer holds
    size_t got = std::fread(buffer + kept, 1, room, file);
    *validLength = kept + static_cast<uint32_t>(got);
    if (got > 0) return 0;
    if (std::ferror(file)) return 1;
    // At the end of the file the bytes still held are handed over once more
    // (a decoder may finish its last frame from them); the end is reported
    // when nothing is left.
    return kept > 0 ? 0 : 2;
}

extern "C" int32_t OpenAudioFile(const char* path, int32_t type) {
    if (driver.open || !path) return 1;
    if (type < 0 || type >= AUDIO_TYPE_COUNT) {
        AudioConsolePrint("Error...Ellegal src codec_type(%d)\n", type);
        return 1;
    }
    FILE* file = std::fopen(path, "rb");
    if (!file) return 1;
    return OpenAudioStream(file, type);
}

extern "C" int32_t OpenAudioStream(FILE* file, int32_t type) {
    if (!file) return 1;
    if (driver.open) {
        std::fclose(file);
        return 1;
    }
    driver.type = type;
    ClearCounters();
    driver.file = file;
    driver.open = true;
    driver.ops = AudioDecoderOpsFor(type);
    if (!driver.ops) {
        AudioConsolePrint("Error...Ellegal src codec_type(%d)\n", type);
        return FailOpen();
    }
    int32_t handleSize = driver.ops->getHandleSize();
    if (handleSize <= 0 || !(driver.handle = std::calloc(1, static_cast<size_t>(handleSize)))) return FailOpen();
    if (driver.ops->init(driver.handle) != XR_AUDIO_OK) return FailOpen();

    void* extra = nullptr;
    if (type == AUDIO_TYPE_MP4) {
        driver.validLength = driver.consumedOffset = 0;
        driver.mp4Info.io = Mp4FileCallbacks{file, FileRead, FileSeek};
        extra = &driver.mp4Info;
    } else {
        if (ReadAudio(driver.input, &driver.validLength, &driver.consumedOffset, file) == 1) return FailOpen();
        if (type == AUDIO_TYPE_WAV) extra = &driver.wavInfo;
    }
    if (type == AUDIO_TYPE_MP3) {
        uint32_t tagLength = Id3v2TagLength(driver.input, driver.validLength);
        if (tagLength > 0) {
            if (FileSeek(file, tagLength) != 0) return FailOpen();
            driver.validLength = driver.consumedOffset = AUDIO_INPUT_BYTES;
            if (ReadAudio(driver.input, &driver.validLength, &driver.consumedOffset, file) == 1) return FailOpen();
        }
    }

    uint32_t consumed = 0;
    int32_t status =
        driver.ops->getInfo(driver.handle, &driver.format, driver.input, driver.validLength, &consumed, extra);
    if (status != XR_AUDIO_OK) {
        driver.lastStatus = status;
        AudioConsolePrint("Error...GetInfo. error code=%d\n", status);
        driver.format = AudioFormatInfo{};
        return FailOpen();
    }
    if (consumed > driver.validLength) {
        AudioConsolePrint("Error...insize<=0\n");
        return FailOpen();
    }
    driver.consumedOffset = consumed;
    driver.readPointer = driver.input + consumed;
    driver.remaining = driver.validLength - consumed;
    driver.position = consumed;

    if (driver.soundOutput) {
        if (!driver.output || driver.output->open(driver.format.bitsPerSample, driver.format.sampleRate,
                                                  driver.format.channels) != 0) {
            AudioConsolePrint("Error...Can not open sound device.\n");
            return FailOpen();
        }
        driver.outputOpen = true;
    }
    if (type == AUDIO_TYPE_MP4) driver.position = 0;
    return 0;
}

extern "C" int32_t AudioStep(void) {
    static_assert(sizeof driver.pcm >= 16000, "a step may produce up to 16000 bytes");
    if (!driver.open) return AUDIO_STEP_ERROR;
    uint32_t consumed = 0, pcmBytes = 0;
    int32_t status = driver.ops->decExec(driver.handle, driver.position, driver.readPointer, driver.remaining,
                                         &consumed, driver.pcm, sizeof driver.pcm, &pcmBytes);
    if (status == XR_AUDIO_STREAM_END) return EndOfStream();
    if (status == XR_AUDIO_NEED_INPUT) {
        // Asked again right after a refill that brought nothing: the file has ended.
        if (driver.starved) return EndOfStream();
        uint32_t held = driver.validLength - driver.consumedOffset;
        int32_t read = ReadAudio(driver.input, &driver.validLength, &driver.consumedOffset, driver.file);
        if (read == 2) return EndOfStream();
        if (read != 0) {
            AudioConsolePrint("Error...ReadAudio()\n");
            return AUDIO_STEP_ERROR;
        }
        driver.starved = driver.validLength == held;
        pcmBytes = 0;
    } else if (status != XR_AUDIO_OK || pcmBytes > sizeof driver.pcm) {
        driver.lastStatus = status != XR_AUDIO_OK ? status : XR_AUDIO_DECODER_ERROR;
        AudioConsolePrint("Error...DecExec() error_code=%d\n", driver.lastStatus);
        return AUDIO_STEP_ERROR;
    } else {
        driver.starved = false;
        if (consumed > driver.remaining) {  // would leave a negative remainder
            AudioConsolePrint("Error...insize<=0\n");
            return AUDIO_STEP_ERROR;
        }
        driver.consumedOffset += consumed;
        driver.position += driver.type == AUDIO_TYPE_MP4 ? 1 : consumed;
    }
    driver.readPointer = driver.input + driver.consumedOffset;
    driver.remaining = driver.validLength - driver.consumedOffset;

    if (pcmBytes == 0) return AUDIO_STEP_CONTINUE;
    driver.totalPcm += pcmBytes;
    UpdateElapsed();
    if (driver.dump) {
        std::fwrite(driver.pcm, 1, pcmBytes, driver.dump);
        AudioConsolePrint("pcm  size = %llu\r", static_cast<unsigned long long>(driver.totalPcm));
    } else if (driver.soundOutput && driver.outputOpen && driver.output) {
        driver.output->write(driver.pcm, pcmBytes);
    }
    return AUDIO_STEP_CONTINUE;
}

extern "C" void CloseAudioFile(int32_t wait) { Release(wait); }

extern "C" void AudioDriverReset(int32_t soundOutput) {
    driver.soundOutput = soundOutput ? 1 : 0;
    if (driver.open) return;  // the stepping state belongs to the open file
    ClearCounters();
    std::memset(driver.input, 0, sizeof driver.input);
    std::memset(driver.pcm, 0, sizeof driver.pcm);
}

extern "C" void AudioDriverSetDumpFile(FILE* file) { driver.dump = file; }

extern "C" int32_t AudioDriverIsOpen(void) { return driver.open ? 1 : 0; }
extern "C" int32_t AudioDriverType(void) { return driver.type; }
extern "C" AudioFormatInfo AudioDriverFormat(void) { return driver.format; }
extern "C" uint64_t AudioDriverTotalPcmBytes(void) { return driver.totalPcm; }
extern "C" uint32_t AudioDriverElapsedSeconds(void) { return driver.elapsedSeconds; }
extern "C" int32_t AudioDriverLastStatus(void) { return driver.lastStatus; }

extern "C" const WavInfo* AudioDriverWavInfo(void) {
    return driver.type == AUDIO_TYPE_WAV ? &driver.wavInfo : nullptr;
}

extern "C" const Mp4Info* AudioDriverMp4Info(void) {
    return driver.type == AUDIO_TYPE_MP4 ? &driver.mp4Info : nullptr;
}
