/*
 * The player: one file at a time, decoded on a thread of its own into the sound
 * output ring. player_stat is shared by the window thread and the decoding thread:
 * 0 stopped, 1 playing, 2 paused. The window thread calls the functions below;
 * messages go to the audio console (AudioConsolePrint).
 */
#ifndef LUMAPIX_AUDIO_PLAYER_H
#define LUMAPIX_AUDIO_PLAYER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum { PLAYER_STOPPED = 0, PLAYER_PLAYING = 1, PLAYER_PAUSED = 2 };

/* The audio types of the open path: 0 wma, 1 mp3, 2 aac, 3 mp4, 4 wav; 5 and above are refused. */
enum { PLAYER_TYPE_UNSUPPORTED = 5 };

/* Remembers path (up to 255 bytes) and type, makes the output ring the driver's sound output
 * and clears the driver with it enabled; state 0. A file still playing is stopped first. */
void AudioPlayerSetFile(const char* path, int32_t type);
/* Paused: the device restarts. Stopped: opens the file and starts the decoding thread. */
void AudioPlayerPlay(void);
/* Ends playback, waits for the decoding thread and closes file and device at once. */
void AudioPlayerStop(void);
/* Only while playing: the device pauses, the decoding thread idles. */
void AudioPlayerPause(void);
/* player_stat. */
int32_t AudioPlayerState(void);

#ifdef __cplusplus
}
#endif

#endif
