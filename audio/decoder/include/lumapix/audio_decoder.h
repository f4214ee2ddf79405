/*
 * The interface every audio decoder offers: six operations per AudioType,
 * the table that binds a type to them, the statuses they share and what
 * GetInfo reports. Decoders take their input in buffers the caller fills and
 * write 16-bit (WAV: the file's own) PCM into a buffer the caller gives.
 */
#ifndef LUMAPIX_AUDIO_DECODER_H
#define LUMAPIX_AUDIO_DECODER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* From the file's extension; any other value is refused. */
typedef enum AudioType {
    AUDIO_TYPE_WMA = 0,
    AUDIO_TYPE_MP3 = 1,
    AUDIO_TYPE_AAC = 2, /* ADTS or ADIF framing */
    AUDIO_TYPE_MP4 = 3, /* m4a, mp4 */
    AUDIO_TYPE_WAV = 4,
    AUDIO_TYPE_COUNT = 5
} AudioType;

/* Statuses shared by the decoders (0 success). */
enum {
    XR_AUDIO_OK = 0,
    XR_AUDIO_NOT_CONTAINER = 3,        /* not a RIFF/WAVE file, or its chunks do not fit the first buffer */
    XR_AUDIO_NOT_AAC_FRAMING = 9,      /* neither an ADTS syncword nor "ADIF" at the start */
    XR_AUDIO_NEED_INPUT = 0xC006,      /* too little input for the next step: refill and call again */
    XR_AUDIO_STREAM_END = 0xC007,      /* the stream has ended */
    XR_AUDIO_MALFORMED = 0xC003,       /* malformed stream */
    XR_AUDIO_UNSUPPORTED = 0xC004,     /* unsupported stream or codec */
    XR_AUDIO_NO_PCM_BUFFER = 0xC009,   /* no PCM buffer given */
    XR_AUDIO_SHORT_FIRST_INPUT = 0xC300, /* AAC: the first input buffer is shorter than 1536 bytes */
    XR_AUDIO_SAMPLE_READ = 0xC400,     /* MP4: a sample could not be read */
    XR_AUDIO_PCM_TOO_SMALL = 0xC401,   /* PCM buffer smaller than channels x 2048 bytes */
    XR_AUDIO_TOO_MANY_CHANNELS = 0xC402, /* more than two channels */
    XR_AUDIO_DECODER_ERROR = -1        /* the decoding core failed, or no memory */
};

/* One-line description of a status; never null. */
const char* AudioStatusMessage(int32_t status);

/* What GetInfo reports, in this order. */
typedef struct AudioFormatInfo {
    uint32_t bitRate;       /* bits per second */
    uint32_t sampleRate;    /* Hz */
    uint32_t channels;
    uint32_t bitsPerSample; /* of the PCM output; 16 for every compressed type */
} AudioFormatInfo;

typedef struct AudioDecoderOps {
    /* Bytes of the handle; the caller allocates it (aligned as malloc does). */
    int32_t (*getHandleSize)(void);
    /* Clears and prepares the handle; 1 for null. */
    int32_t (*init)(void* handle);
    /* Parses the stream start in the first input buffer, reports the format and
     * how many input bytes it used. extra: WavInfo, Mp4Info or null (AAC). */
    int32_t (*getInfo)(void* handle, AudioFormatInfo* format, const uint8_t* input, uint32_t inputSize,
                       uint32_t* consumed, void* extra);
    /* One step: position is the stream's byte offset of input (MP4: the sample index). */
    int32_t (*decExec)(void* handle, uint64_t position, const uint8_t* input, uint32_t inputSize,
                       uint32_t* consumed, uint8_t* pcm, uint32_t pcmCapacity, uint32_t* pcmBytes);
    /* Back to the state after init (releases what GetInfo took). */
    int32_t (*reset)(void* handle);
    /* Releases what the decoder holds. */
    int32_t (*end)(void* handle);
} AudioDecoderOps;

/* The operations of a type; null for values outside 0..4. */
const AudioDecoderOps* AudioDecoderOpsFor(int32_t type);

/* WAV GetInfo's extra block (20 bytes): the format words and the data chunk's length. */
typedef struct WavInfo {
    uint32_t bitRate, sampleRate, channels, bitsPerSample;
    uint32_t dataLength;
} WavInfo;

/* How the MP4 decoder reads its file. read returns the bytes read; seek goes to an
 * absolute offset and returns 0, or non-zero when it cannot. */
typedef struct Mp4FileCallbacks {
    void* file;
    uint32_t (*read)(void* file, void* destination, uint32_t count);
    int32_t (*seek)(void* file, uint64_t offset);
} Mp4FileCallbacks;

enum { MP4_TEXT_BYTES = 256 };

/* MP4 GetInfo's extra block: the caller fills io; GetInfo fills the rest.
 * Texts are UTF-8, NUL-terminated, cut at a character boundary, empty when absent. */
typedef struct Mp4Info {
    Mp4FileCallbacks io;
    uint32_t sampleCount;  /* AAC frames of the track */
    uint32_t durationMs;
    uint32_t frameLength;  /* PCM samples per channel and frame: 1024, 960, or twice that */
    char title[MP4_TEXT_BYTES];
    char artist[MP4_TEXT_BYTES];
    char writer[MP4_TEXT_BYTES];
    char album[MP4_TEXT_BYTES];
    char date[MP4_TEXT_BYTES];
    char tool[MP4_TEXT_BYTES];
} Mp4Info;

/*
 * MPEG audio frame search: the offset of the first byte 0xFF followed by a
 * frame-header byte (MPEG-1/2: top four bits set, MPEG-2.5: top three set and
 * version bits 00) with a nonzero layer and a third byte whose bit-rate index
 * is not 15 and whose sample-rate index is not 3; -1 when none starts in data.
 */
int32_t Mp3FindFrame(const uint8_t* data, uint32_t size);

/* Bytes of an ID3v2 tag at the start of data (10 + the synch-safe size, + 10
 * for a v2.4 footer); 0 when data does not start with "ID3" and a full header. */
uint32_t Id3v2TagLength(const uint8_t* data, uint32_t size);

#ifdef __cplusplus
}
#endif

#endif
