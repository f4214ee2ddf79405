/*
 * Volume and balance of the player panel. The volume runs 0..65535, the balance
 * 0..20 with 10 in the centre; the device takes one word with the left channel in
 * its low 16 bits and the right channel in its high 16 bits.
 */
#ifndef LUMAPIX_AUDIO_VOLUME_H
#define LUMAPIX_AUDIO_VOLUME_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum { AUDIO_BALANCE_LEFT = 0, AUDIO_BALANCE_CENTRE = 10, AUDIO_BALANCE_RIGHT = 20 };

/* right x 65536 + left for volume (0..65535) and balance (0..20). */
uint32_t AudioVolumeWord(uint32_t volume, int32_t balance);
/* (left + right) / 2 of a volume word. */
uint32_t AudioVolumeOfWord(uint32_t volumeWord);

/* The volume slider runs 0..100 with 0 at the top, loudest. */
int32_t AudioVolumeSliderPosition(uint32_t volume);
uint32_t AudioVolumeFromSlider(int32_t position);

/* Scales interleaved 16-bit little-endian PCM in place by the word's channel volumes. */
void AudioScalePcm16(uint8_t* pcm, uint32_t bytes, uint32_t channels, uint32_t volumeWord);

#ifdef __cplusplus
}
#endif

#endif
