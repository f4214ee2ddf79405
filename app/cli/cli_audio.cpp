// lumapix audio-decode: an audio file through the driver into a PCM WAV file.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "cli_commands.hpp"
#include "lumapix/audio_driver.h"
#include "lumapix/format_registry.h"

namespace lumapix::cli {

namespace {

constexpr const char* kAudioDecodeUsage =
    "usage: lumapix audio-decode IN OUT.wav\n"
    "\n"
    "Decodes IN (aac, adts, adif, m4a, mp4, wav; the type comes from the extension)\n"
    "and writes its PCM to OUT.wav: 16-bit for compressed input, a WAV input's own\n"
    "sample size otherwise. A failure prints \"error 0x<status>\" and exits with 1.\n";

constexpr uint32_t kWavHeaderBytes = 44;

void PutLE(uint8_t* out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

// A canonical header: RIFF, a 16-byte PCM "fmt " chunk, "data".
void MakeWavHeader(const AudioFormatInfo& format, uint32_t dataBytes, uint8_t* header) {
    uint32_t blockAlign = format.channels * ((format.bitsPerSample + 7) / 8);
    std::memcpy(header, "RIFF", 4);
    PutLE(header + 4, kWavHeaderBytes - 8 + dataBytes, 4);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    PutLE(header + 16, 16, 4);
    PutLE(header + 20, 1, 2);
    PutLE(header + 22, format.channels, 2);
    PutLE(header + 24, format.sampleRate, 4);
    PutLE(header + 28, blockAlign * format.sampleRate, 4);
    PutLE(header + 32, blockAlign, 2);
    PutLE(header + 34, format.bitsPerSample, 2);
    std::memcpy(header + 36, "data", 4);
    PutLE(header + 40, dataBytes, 4);
}

// The driver's progress lines only make sense on a terminal.
void ConsoleToStderr(const char* text, void* terminal) {
    if (!terminal && std::strncmp(text, "pcm  size", 9) == 0) return;
    std::fputs(text, stderr);
}

int DecodeFailed(const std::string& path, int32_t type, int32_t status) {
    if (status == XR_AUDIO_UNSUPPORTED && (type == AUDIO_TYPE_WMA || type == AUDIO_TYPE_MP3)) {
        std::fprintf(stderr, "lumapix: %s: error 0x%X: %s decoding is not supported\n", path.c_str(),
                     static_cast<unsigned>(status), type == AUDIO_TYPE_WMA ? "WMA" : "MP3");
    } else if (status < 0) {
        std::fprintf(stderr, "lumapix: %s: error %d: %s\n", path.c_str(), status, AudioStatusMessage(status));
    } else {
        std::fprintf(stderr, "lumapix: %s: error 0x%X: %s\n", path.c_str(), static_cast<unsigned>(status),
                     AudioStatusMessage(status));
    }
    return kExitCodecError;
}

void PrintSummary(const std::string& in, const std::string& out, const AudioFormatInfo& format) {
    std::printf("%s: %u Hz, %u channel%s, %u bits, %u bit/s\n", in.c_str(), format.sampleRate, format.channels,
                format.channels == 1 ? "" : "s", format.bitsPerSample, format.bitRate);
    if (const Mp4Info* mp4 = AudioDriverMp4Info()) {
        const std::pair<const char*, const char*> texts[] = {{"title", mp4->title}, {"artist", mp4->artist},
                                                             {"writer", mp4->writer}, {"album", mp4->album},
                                                             {"date", mp4->date},     {"tool", mp4->tool}};
        std::printf("  %u frames, %u ms\n", mp4->sampleCount, mp4->durationMs);
        for (const auto& [name, text] : texts)
            if (*text) std::printf("  %-7s %s\n", name, text);
    }
    std::printf("%s: %llu PCM bytes, %u s\n", out.c_str(),
                static_cast<unsigned long long>(AudioDriverTotalPcmBytes()), AudioDriverElapsedSeconds());
}

// Runs the driver over in with the PCM going to out after a header; the status
// of what failed, 0 on success.
int32_t DecodeInto(const std::string& in, int32_t type, FILE* out) {
    uint8_t header[kWavHeaderBytes] = {};
    if (std::fwrite(header, 1, sizeof header, out) != sizeof header) return XR_AUDIO_DECODER_ERROR;
    AudioDriverReset(0);
    AudioDriverSetDumpFile(out);
    int32_t status = XR_AUDIO_OK;
    if (OpenAudioFile(in.c_str(), type) != 0) {
        status = AudioDriverLastStatus() ? AudioDriverLastStatus() : XR_AUDIO_DECODER_ERROR;
    } else {
        int32_t step = AUDIO_STEP_CONTINUE;
        while ((step = AudioStep()) == AUDIO_STEP_CONTINUE) {
        }
        if (step == AUDIO_STEP_ERROR) status = AudioDriverLastStatus() ? AudioDriverLastStatus() : XR_AUDIO_DECODER_ERROR;
        CloseAudioFile(1);
    }
    AudioDriverSetDumpFile(nullptr);
    if (status != XR_AUDIO_OK) return status;
    uint64_t total = AudioDriverTotalPcmBytes();
    if (total > UINT32_MAX - kWavHeaderBytes) return XR_AUDIO_UNSUPPORTED;  // beyond what a WAV can say
    MakeWavHeader(AudioDriverFormat(), static_cast<uint32_t>(total), header);
    if (std::fseek(out, 0, SEEK_SET) != 0 || std::fwrite(header, 1, sizeof header, out) != sizeof header)
        return XR_AUDIO_DECODER_ERROR;
    return XR_AUDIO_OK;
}

}  // namespace

int AudioDecode(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(kAudioDecodeUsage, stdout);
            return kExitOk;
        }
    }
    if (args.size() != 2) {
        std::fputs(kAudioDecodeUsage, stderr);
        return kExitUsage;
    }
    const std::string& in = args[0];
    const std::string& out = args[1];
    int32_t format = DetectFormat(in.c_str(), nullptr, nullptr);
    if (format < XR_FORMAT_WMA || format > XR_FORMAT_WAV) {
        std::fprintf(stderr, "lumapix: %s: not an audio file name (wma, mp3, aac, adts, adif, m4a, mp4, wav)\n",
                     in.c_str());
        return kExitUsage;
    }
    if (FILE* probe = std::fopen(in.c_str(), "rb")) {
        std::fclose(probe);
    } else {
        std::fprintf(stderr, "lumapix: %s: %s\n", in.c_str(), std::strerror(errno));
        return kExitCodecError;
    }
    FILE* file = std::fopen(out.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "lumapix: %s: %s\n", out.c_str(), std::strerror(errno));
        return kExitCodecError;
    }

    static int terminal;
    AudioSetConsoleSink(ConsoleToStderr, isatty(STDERR_FILENO) ? &terminal : nullptr);
    int32_t type = format - XR_FORMAT_WMA;
    int32_t status = DecodeInto(in, type, file);
    AudioSetConsoleSink(nullptr, nullptr);
    bool written = std::fflush(file) == 0 && !std::ferror(file);
    std::fclose(file);
    if (status == XR_AUDIO_OK && !written) {
        std::fprintf(stderr, "lumapix: %s: %s\n", out.c_str(), std::strerror(errno));
        status = XR_AUDIO_DECODER_ERROR;
    }
    if (status != XR_AUDIO_OK) {
        std::error_code ignored;
        std::filesystem::remove(out, ignored);  // no half-written output
        return DecodeFailed(in, type, status);
    }
    PrintSummary(in, out, AudioDriverFormat());
    return kExitOk;
}

}  // namespace lumapix::cli
