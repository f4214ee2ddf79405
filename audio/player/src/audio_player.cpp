// The player's state machine. player_stat is the only thing the window thread
// and the decoding thread share besides the driver, which they use in turn:
// the window thread touches the driver again only after joining the thread.
#include "lumapix/audio_player.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "lumapix/audio_driver.h"
#include "lumapix/wave_output.h"

namespace {

std::atomic<int32_t> player_stat{PLAYER_STOPPED};

struct PlayerSettings {
    char path[256] = {};
    int32_t type = PLAYER_TYPE_UNSUPPORTED;
    std::thread decoder;
};

// Lives until the process ends, like a decoding thread left running at exit.
PlayerSettings& Settings() {
    static auto* settings = new PlayerSettings;
    return *settings;
}

bool OnDecoderThread() { return Settings().decoder.get_id() == std::this_thread::get_id(); }

// Window thread only: a decoding thread that has left (or is leaving) is joined here.
void JoinDecoder() {
    if (Settings().decoder.joinable() && !OnDecoderThread()) Settings().decoder.join();
}

// Whoever moves player_stat away from 0 first closes the driver; the other only waits.
void StopPlayback(bool decoderThread) {
    if (player_stat.load() == PLAYER_PAUSED) WaveOutputRestart();
    if (player_stat.exchange(PLAYER_STOPPED) == PLAYER_STOPPED) {
        if (!decoderThread) JoinDecoder();
        return;
    }
    if (!decoderThread) JoinDecoder();
    CloseAudioFile(1);
}

void DecoderThread() {
    for (bool running = true; running;) {
        const int32_t stat = player_stat.load();
        switch (stat) {
            case PLAYER_STOPPED:
                running = false;
                break;
            case PLAYER_PLAYING: {
                const int32_t step = AudioStep();
                if (step == AUDIO_STEP_CONTINUE) break;
                // At the end the queued sound plays out before the device closes.
                if (step == AUDIO_STEP_ENDED) CloseAudioFile(0);
                running = false;
                break;
            }
            case PLAYER_PAUSED:
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                break;
            default:
                AudioConsolePrint("Error...illegal player_stat value(%d).\n", stat);
                running = false;
                break;
        }
    }
    StopPlayback(true);
    AudioConsolePrint("Close...DecoderThread.\n\n");
}

}  // namespace

extern "C" {

void AudioPlayerSetFile(const char* path, int32_t type) {
    if (player_stat.load() != PLAYER_STOPPED) StopPlayback(false);
    JoinDecoder();
    AudioConsolePrint("----- console player -----\n\n");
    PlayerSettings& settings = Settings();
    std::memset(settings.path, 0, sizeof settings.path);
    if (path) std::strncpy(settings.path, path, sizeof settings.path - 1);
    settings.type = type;
    AudioDriverSetOutput(WaveOutputOps());
    AudioDriverReset(1);
    player_stat = PLAYER_STOPPED;
}

void AudioPlayerPlay(void) {
    int32_t paused = PLAYER_PAUSED;
    if (player_stat.compare_exchange_strong(paused, PLAYER_PLAYING)) {
        WaveOutputRestart();
        return;
    }
    if (player_stat.load() != PLAYER_STOPPED) return;
    JoinDecoder();
    PlayerSettings& settings = Settings();
    if (settings.type < 0 || settings.type >= PLAYER_TYPE_UNSUPPORTED) {
        AudioConsolePrint("Error...Unsupported extention type. : %s", settings.path);
        return;
    }
    if (OpenAudioFile(settings.path, settings.type) != 0) {
        AudioConsolePrint("Error...OpenAudioFile.");
        return;
    }
    player_stat = PLAYER_PLAYING;
    settings.decoder = std::thread(DecoderThread);
}

void AudioPlayerStop(void) { StopPlayback(OnDecoderThread()); }

void AudioPlayerPause(void) {
    int32_t playing = PLAYER_PLAYING;
    if (player_stat.compare_exchange_strong(playing, PLAYER_PAUSED)) WaveOutputPause();
}

int32_t AudioPlayerState(void) { return player_stat.load(); }

}  // extern "C"
