/*
 * The audio driver: one file at a time, read into a fixed 8192-byte input
 * buffer, decoded step by step into a fixed 16000-byte PCM buffer, the PCM
 * handed to the sound output (audio_output.h) or written to a dump file.
 *
 * The state is global and used by one thread at a time: the window thread
 * opens, the decoding thread steps, and the window thread touches it again
 * only after that thread has been joined.
 */
#ifndef LUMAPIX_AUDIO_DRIVER_H
#define LUMAPIX_AUDIO_DRIVER_H

#include <stdint.h>
#include <stdio.h>

#include "lumapix/audio_decoder.h"
#include "lumapix/audio_output.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
    AUDIO_INPUT_BYTES = 8192,
    AUDIO_PCM_BYTES = 16000
};

/* AudioStep results. */
enum { AUDIO_STEP_CONTINUE = 0, AUDIO_STEP_ERROR = 1, AUDIO_STEP_ENDED = 2 };

/* Opens path as type (AudioType) and its decoder, reads the format; with sound
 * output enabled also opens the output. 0, or 1 after a console message.
 * Refused (1) while a file is open. */
int32_t OpenAudioFile(const char* path, int32_t type);

/* OpenAudioFile over a stream the caller opened for reading; the driver closes it. */
int32_t OpenAudioStream(FILE* file, int32_t type);

/* Keeps the bytes from consumedOffset on at the buffer's start and reads up to
 * validLength minus those behind them. 0 refilled (at the end of the file: bytes
 * are still held), 2 end of file with nothing held, 1 read error or no room.
 * Does nothing (0) while an MP4 file is open. */
int32_t ReadAudio(uint8_t* buffer, uint32_t* validLength, uint32_t* consumedOffset, FILE* file);

/* One decode step: AUDIO_STEP_CONTINUE, AUDIO_STEP_ENDED or AUDIO_STEP_ERROR. */
int32_t AudioStep(void);

/* Closes the sound output (wait 0: after the queued buffers have played), the
 * decoder and the file. Harmless when nothing is open. */
void CloseAudioFile(int32_t wait);

/* Clears counters, format and buffers; soundOutput 1 sends PCM to the output. */
void AudioDriverReset(int32_t soundOutput);

/* PCM goes to this file instead of the output while set; null stops it. */
void AudioDriverSetDumpFile(FILE* file);

int32_t AudioDriverIsOpen(void);
int32_t AudioDriverType(void);
/* The format words GetInfo reported (zero before). */
AudioFormatInfo AudioDriverFormat(void);
uint64_t AudioDriverTotalPcmBytes(void);
/* The status of the decoder call that last failed (GetInfo or DecExec) since
 * the last open; 0 when none did. */
int32_t AudioDriverLastStatus(void);
/* total / sample rate / channels / (bits / 8), whole seconds. */
uint32_t AudioDriverElapsedSeconds(void);
/* The open file's extra block: WavInfo for WAV, Mp4Info for MP4, else null. */
const WavInfo* AudioDriverWavInfo(void);
const Mp4Info* AudioDriverMp4Info(void);

/* The program's console: every driver and player message goes through here.
 * By default it writes to stderr; a sink takes the formatted text instead. */
typedef void (*AudioConsoleSink)(const char* text, void* context);
void AudioSetConsoleSink(AudioConsoleSink sink, void* context);
void AudioConsolePrint(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

#ifdef __cplusplus
}
#endif

#endif
