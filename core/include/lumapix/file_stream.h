/* Stream callbacks over stdio files; the user value is the FILE*. */
#ifndef LUMAPIX_FILE_STREAM_H
#define LUMAPIX_FILE_STREAM_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Bytes read (0 at end of file, -1 on a read error). */
int32_t FileGetStreamCallBack(uint8_t* destination, int32_t count, void* file);
/* Bytes written (-1 on a write error). */
int32_t FilePutStreamCallBack(uint8_t* source, int32_t count, void* file);
/* whence 0 or 1: 0 on success; any other whence: -1. */
int32_t FileSeekStreamCallBack(void* file, int32_t offset, int32_t whence);

#ifdef __cplusplus
}
#endif

#endif
