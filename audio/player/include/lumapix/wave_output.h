/*
 * The sound output ring: 16 buffers of 40960 bytes in one PCM block, at most 8 of
 * them queued on the device. The audio driver appends PCM from its decoding thread;
 * the device hands buffers back through a completion callback on its own thread.
 *
 * The device itself sits behind WaveDevice so that the ring runs the same over a
 * sound card (the Qt sink), over no device at all (the null device) and in tests.
 * There is one ring per process, like the one file the player plays.
 */
#ifndef LUMAPIX_WAVE_OUTPUT_H
#define LUMAPIX_WAVE_OUTPUT_H

#include <stdint.h>

#include "lumapix/audio_output.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
    WAVE_BUFFER_COUNT = 16,
    WAVE_BUFFER_BYTES = 40960,
    WAVE_QUEUE_LIMIT = 8,
    WAVE_BLOCK_BYTES = WAVE_BUFFER_COUNT * WAVE_BUFFER_BYTES
};

typedef struct WaveFormat {
    uint32_t bitsPerSample;
    uint32_t sampleRate;
    uint32_t channels;
    uint32_t blockAlign; /* bits x channels / 8 */
    uint32_t byteRate;   /* blockAlign x sampleRate */
} WaveFormat;

/* Called by the device, from any thread, once for every submitted buffer it has played. */
typedef void (*WaveBufferDone)(void* ring, uint32_t index);

/*
 * A waveform output device. Every operation gets `self` back. submit only queues:
 * the bytes stay valid and untouched until the device reports the buffer done.
 * reset drops whatever is queued; once it returns the device reports nothing more.
 * drain (may be null) waits until the sound the device already took has been heard.
 */
typedef struct WaveDevice {
    void* self;
    int32_t (*open)(void* self, const WaveFormat* format, WaveBufferDone done, void* ring); /* 0 or -1 */
    int32_t (*submit)(void* self, const uint8_t* data, uint32_t bytes, uint32_t index);    /* 0 or -1 */
    void (*pause)(void* self);
    void (*resume)(void* self);
    void (*drain)(void* self);
    void (*reset)(void* self);
    void (*close)(void* self);
    /* 0 silent to 65535 full, per channel; mono uses left. */
    void (*setVolume)(void* self, uint16_t left, uint16_t right);
} WaveDevice;

/* The device the next open uses; null selects the null device. The device must outlive its use. */
void WaveOutputSelectDevice(const WaveDevice* device);

/* Opens the device for linear PCM, closing an open one first; 0 or -1. */
int32_t WaveOutputOpen(uint32_t bitsPerSample, uint32_t sampleRate, uint32_t channels);
/* Appends n bytes; hands a buffer to the device each time one fills, waiting while 8 are queued. */
void WaveOutputWrite(const uint8_t* pcm, uint32_t n);
/* Pads the buffer being filled with silence and hands it to the device (an empty one is not sent). */
void WaveOutputFlushLast(void);
void WaveOutputPause(void);
void WaveOutputRestart(void);
/* wait 0: first let every queued buffer play; then stop the device and free the ring. */
void WaveOutputClose(int32_t wait);

int32_t WaveOutputIsOpen(void);
/* Buffers handed to the device and not yet back; 0 when closed. */
int32_t WaveOutputInFlight(void);

/* Device volume word: left channel in the low 16 bits, right in the high 16 bits. Kept across opens. */
void WaveOutputSetVolume(uint32_t volumeWord);
uint32_t WaveOutputGetVolume(void);

/* Milliseconds of sound the device has returned since the last open (kept after closing). */
uint64_t WaveOutputPlayedMilliseconds(void);

/* Peak magnitude (0..32768) per channel of the 16-bit buffer the device returned last; 0 when closed. */
void WaveOutputLevels(uint32_t* left, uint32_t* right);

/* The ring as the audio driver's output (AudioDriverSetOutput). */
const AudioOutputOps* WaveOutputOps(void);

/*
 * The null device: no sound card. In timed mode (the default) it returns each buffer
 * after the time its samples take to play, on a thread of its own; in immediate mode it
 * returns each buffer inside submit (or, while paused, on resume). played, when set,
 * sees every buffer as it is returned (not the dropped ones).
 */
typedef void (*NullWavePlayed)(void* context, const uint8_t* data, uint32_t bytes);
const WaveDevice* NullWaveDevice(void);
void NullWaveDeviceConfigure(int32_t immediate, NullWavePlayed played, void* context);

#ifdef __cplusplus
}
#endif

#endif
