// lumapix play: one audio file through the player, as the viewer plays it.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "cli_commands.hpp"
#include "lumapix/audio_driver.h"
#include "lumapix/audio_player.h"
#include "lumapix/format_registry.h"
#include "lumapix/wave_output.h"

#ifdef LUMAPIX_PLAY_QT
#include <QCoreApplication>

#include "lumapix/qt_wave_device.hpp"
#endif

namespace lumapix::cli {

namespace {

constexpr const char* kPlayUsage =
    "usage: lumapix play [--null] FILE\n"
    "\n"
    "Plays FILE (wma, mp3, aac, adts, adif, m4a, mp4, wav) through the default sound\n"
    "output and prints the seconds played; Ctrl-C stops. Without a sound output, or with\n"
    "--null, the sound goes nowhere at the pace it would play.\n";

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int) { interrupted = true; }

// Console messages without a line end (the player's own) get one on a terminal.
void ConsoleToStderr(const char* text, void*) {
    std::fputs(text, stderr);
    const size_t length = std::char_traits<char>::length(text);
    if (length > 0 && text[length - 1] != '\n' && text[length - 1] != '\r') std::fputc('\n', stderr);
}

// Rewrites the line with the seconds the device has played, when they have changed.
void ShowPlayed(uint64_t& shown) {
    const uint64_t tenths = WaveOutputPlayedMilliseconds() / 100;
    if (tenths == shown) return;
    std::printf("\r%llu.%llu s", static_cast<unsigned long long>(tenths / 10), static_cast<unsigned long long>(tenths % 10));
    std::fflush(stdout);
    shown = tenths;
}

// Plays until the stream ends or Ctrl-C.
void PlayToTheEnd() {
    uint64_t shown = UINT64_MAX;
    while (AudioPlayerState() != PLAYER_STOPPED && !interrupted) {
        ShowPlayed(shown);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    AudioPlayerStop();  // also joins a decoding thread that ended by itself
    ShowPlayed(shown);
}

}  // namespace

int Play(const std::vector<std::string>& args) {
    bool quiet = false;
    std::string path;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(kPlayUsage, stdout);
            return kExitOk;
        }
        if (arg == "--null") {
            quiet = true;
        } else if (arg.rfind("--", 0) == 0 || !path.empty()) {
            std::fprintf(stderr, "lumapix play: unexpected argument '%s'\n%s", arg.c_str(), kPlayUsage);
            return kExitUsage;
        } else {
            path = arg;
        }
    }
    if (path.empty()) {
        std::fputs(kPlayUsage, stderr);
        return kExitUsage;
    }
    const int32_t format = DetectFormat(path.c_str(), nullptr, nullptr);
    if (format < XR_FORMAT_WMA || format > XR_FORMAT_WAV) {
        std::fprintf(stderr, "lumapix play: %s: not an audio file name (wma, mp3, aac, m4a, mp4, wav)\n", path.c_str());
        return kExitUsage;
    }

#ifdef LUMAPIX_PLAY_QT
    int qtArgc = 1;
    char program[] = "lumapix";
    char* qtArgv[] = {program, nullptr};
    QCoreApplication application(qtArgc, qtArgv);
    const bool card = !quiet && SelectQtWaveDevice();
#else
    static_cast<void>(quiet);  // without Qt there is no sound card to keep quiet
    const bool card = false;
#endif
    if (!card) WaveOutputSelectDevice(nullptr);
    AudioSetConsoleSink(ConsoleToStderr, nullptr);
    AudioPlayerSetFile(path.c_str(), format - XR_FORMAT_WMA);
    AudioPlayerPlay();
    if (AudioPlayerState() == PLAYER_STOPPED) return kExitCodecError;
    const AudioFormatInfo info = AudioDriverFormat();
    std::printf("%s: %u Hz, %u channel(s), %u bit, %u bit/s, to %s\n", path.c_str(), info.sampleRate, info.channels,
                info.bitsPerSample, info.bitRate, card ? "the default sound output" : "the null device");
    interrupted = false;
    void (*previous)(int) = std::signal(SIGINT, OnInterrupt);
    PlayToTheEnd();
    std::signal(SIGINT, previous);
    std::printf("\nelapsed %u s%s\n", AudioDriverElapsedSeconds(), interrupted ? " (stopped)" : "");
    AudioSetConsoleSink(nullptr, nullptr);
    return kExitOk;
}

}  // namespace lumapix::cli
