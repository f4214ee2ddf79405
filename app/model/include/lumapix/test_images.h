/* Generated pictures for the demo, the tests and the benchmarks. */
#ifndef LUMAPIX_TEST_IMAGES_H
#define LUMAPIX_TEST_IMAGES_H

#include <stdint.h>

#include "lumapix/xr_image.h"

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Fills a record of the given mode (RGB, GRAY, INDEX, MONO or HIGH) and size with
 * a colour gradient crossed by an asymmetric "F", which shows flips, channel
 * swaps and stride errors at a glance. INDEX gets a 256-colour palette. 0 or -1.
 */
CodecStatus MakeTestImage(XrImage* image, int32_t mode, uint16_t width, uint16_t height);

#ifdef __cplusplus
}
#endif

#endif
