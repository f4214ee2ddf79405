/*
 * Codec streams: all bytes a codec reads or writes pass through one of these,
 * a staging area over a caller buffer refilled or drained by a callback.
 * Errors are sticky: once set, every later transfer fails without a callback.
 */
#ifndef LUMAPIX_CODEC_STREAM_H
#define LUMAPIX_CODEC_STREAM_H

#include <stdint.h>

#include "lumapix/codec_status.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Returns bytes placed/taken (1..count), 0 at end of data, -1 on error. */
typedef int32_t (*StreamTransferFn)(uint8_t* data, int32_t count, void* user);
/* whence 0: from the start; 1: from the underlying position. 0 on success. */
typedef int32_t (*StreamSeekFn)(void* user, int32_t offset, int32_t whence);

/* The first 8 bytes of the caller's buffer are kept free; staging starts after them. */
enum { XR_STREAM_RESERVED = 8, XR_STREAM_BUFFER_SIZE = 4096 };
enum { XR_STREAM_READ = 1, XR_STREAM_WRITE = 2 };

typedef struct CodecStream {
    uint8_t* base;      /* staging area start */
    uint8_t* cursor;    /* next byte to read, or next free byte when writing */
    uint8_t* limit;     /* end of staged data (read) or of the staging area (write) */
    void* user;         /* passed to the callbacks */
    int32_t capacity;
    int32_t count;      /* bytes transferred since StreamInit */
    StreamTransferFn transfer;
    StreamSeekFn seek;
    int32_t error;      /* 0 or an XR_ERR_STREAM_* code */
    int32_t position;   /* logical position of the cursor */
} CodecStream;

int32_t StreamGetObjectSize(void);
CodecStatus StreamInit(CodecStream* s, uint8_t* buffer, int32_t bufferSize, void* user,
                       StreamTransferFn callback);
CodecStatus StreamSetSeek(CodecStream* s, StreamSeekFn seek);
int32_t StreamReset(CodecStream* s, int32_t direction);
CodecStatus StreamInitMemory(CodecStream* s, uint8_t* block, int32_t size);

/* Reading. */
int32_t StreamFill(CodecStream* s);
int32_t StreamGetByte(CodecStream* s);
int32_t StreamReadU8(CodecStream* s, uint8_t* value);
int32_t StreamReadU16(CodecStream* s, uint16_t* value);
int32_t StreamReadU32(CodecStream* s, uint32_t* value);
int32_t StreamRead(CodecStream* s, void* destination, int32_t n);
int32_t StreamSkip(CodecStream* s, int32_t n);
int32_t StreamPeekU8(CodecStream* s);
int32_t StreamPeekU16(CodecStream* s);
int32_t StreamUnread(CodecStream* s, int32_t n);

/* Writing. */
int32_t StreamPutByte(CodecStream* s, uint8_t byte);
int32_t StreamWriteU8(CodecStream* s, uint8_t value);
int32_t StreamWriteU16(CodecStream* s, uint16_t value);
int32_t StreamWriteU32(CodecStream* s, uint32_t value);
int32_t StreamWrite(CodecStream* s, const void* source, int32_t n);
int32_t StreamFlush(CodecStream* s);

/* Memory streams. */
int32_t StreamMemSeek(CodecStream* s, int32_t offset, int32_t whence);
int32_t StreamMemRewind(CodecStream* s);

#ifdef __cplusplus
}
#endif

#endif
