/*
 * The one list that decides which adapters open and save a file: a row per
 * image format, the choice of a row from a file name, and which modes each
 * format can save as they are.
 */
#ifndef LUMAPIX_FORMAT_REGISTRY_H
#define LUMAPIX_FORMAT_REGISTRY_H

#include <stdint.h>

#include "lumapix/format_adapters.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Format indexes: image rows 0..13, "unk" 14; audio types 14..18 (type = index - 14); 19 none. */
enum {
    XR_FORMAT_BMP = 0,
    XR_FORMAT_JPG = 1,
    XR_FORMAT_LJP = 2,
    XR_FORMAT_JP2 = 3,
    XR_FORMAT_PNG = 4,
    XR_FORMAT_GIF = 5,
    XR_FORMAT_JBG = 6,
    XR_FORMAT_MH = 7,
    XR_FORMAT_MR = 8,
    XR_FORMAT_MMR = 9,
    XR_FORMAT_PNM = 10,
    XR_FORMAT_RAW = 11,
    XR_FORMAT_RLE = 12,
    XR_FORMAT_DCM = 13,
    XR_FORMAT_UNK = 14,
    XR_FORMAT_ROWS = 15,
    XR_FORMAT_WMA = 14,
    XR_FORMAT_MP3 = 15,
    XR_FORMAT_AAC = 16,
    XR_FORMAT_MP4 = 17,
    XR_FORMAT_WAV = 18,
    XR_FORMAT_NONE = 19,
    XR_FORMAT_SAVE_ROWS = 12 /* bmp .. raw can be written */
};

/* An empty slot (null) means the operation is not offered. */
typedef struct FormatRow {
    const char* extension;
    DecodeAdapter decode;
    DecodeAdapter decodeScaled;
    void* reserved;
    EncodeAdapter encode;
} FormatRow;

extern const FormatRow FormatRegistry[XR_FORMAT_ROWS];

/*
 * Asked for a file name without an extension or with one starting "bin":
 * writes up to three characters of the chosen extension (from the format
 * selection list) into choice and returns 1, or returns 0 for no choice.
 */
typedef int32_t (*FormatChoiceFn)(void* context, const char* path, char choice[4]);

/* The format index of a file name; ask may be null (no question). */
int32_t DetectFormat(const char* path, FormatChoiceFn ask, void* context);

/* The extensions the format-selection question offers, null-terminated. */
extern const char* const FormatChoices[];

/*
 * For each save row and mode 0..10: -1 the format cannot hold the mode,
 * 0 save as it is, n > 0 convert a copy to mode n first.
 */
extern const int8_t SaveConversionTable[XR_FORMAT_SAVE_ROWS][11];

/* SaveConversionTable with range checks: -1 outside the table. */
int32_t SaveConversionFor(int32_t format, int32_t mode);
/*
 * The mode to convert to before saving, following the table until the format
 * takes the result as it is (GIF: LAB -> RGB -> INDEX); 0 none, -1 refused.
 */
int32_t SaveTargetMode(int32_t format, int32_t mode);

#ifdef __cplusplus
}
#endif

#endif
