/* The sound output as the audio driver sees it.
 * The driver never talks to a device itself: whoever plays (the player, `lumapix play`) registers
 * these operations with AudioDriverSetOutput. Without a registration PCM only goes to a dump file. */
#ifndef LUMAPIX_AUDIO_OUTPUT_H
#define LUMAPIX_AUDIO_OUTPUT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct AudioOutputOps {
    /* Open the device for linear PCM; closes an open one first. 0 or -1. */
    int32_t (*open)(uint32_t bitsPerSample, uint32_t sampleRate, uint32_t channels);
    /* Append n bytes of PCM (n below one ring buffer). May block while the device is full. */
    void (*write)(const uint8_t* pcm, uint32_t n);
    /* Pad the buffer being filled with silence and hand it to the device. */
    void (*flushLast)(void);
    void (*pause)(void);
    void (*restart)(void);
    /* wait 0: let queued buffers finish first; otherwise stop at once. */
    void (*close)(int32_t wait);
} AudioOutputOps;

/* Registers the output the driver feeds when sound output is enabled; null removes it. */
void AudioDriverSetOutput(const AudioOutputOps* ops);

#ifdef __cplusplus
}
#endif

#endif
