#include "lumapix/format_registry.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace {

constexpr size_t kCompared = 7;  // characters of an extension that take part

struct Word {
    const char* prefix;
    int32_t index;
};

// Checked in order; an extension matches a word it begins with.
constexpr Word kWords[] = {
    {"bmp", XR_FORMAT_BMP}, {"jpg", XR_FORMAT_JPG},  {"ljp", XR_FORMAT_LJP},   {"jp2", XR_FORMAT_JP2},
    {"jpc", XR_FORMAT_JP2}, {"j2k", XR_FORMAT_JP2},  {"png", XR_FORMAT_PNG},   {"gif", XR_FORMAT_GIF},
    {"jbg", XR_FORMAT_JBG}, {"mh", XR_FORMAT_MH},    {"mr", XR_FORMAT_MR},     {"mmr", XR_FORMAT_MMR},
    {"pnm", XR_FORMAT_PNM}, {"ppm", XR_FORMAT_PNM},  {"pgm", XR_FORMAT_PNM},   {"pbm", XR_FORMAT_PNM},
    {"raw", XR_FORMAT_RAW}, {"rle", XR_FORMAT_RLE},  {"dcm", XR_FORMAT_DCM},   {"wma", XR_FORMAT_WMA},
    {"mp3", XR_FORMAT_MP3}, {"aac", XR_FORMAT_AAC},  {"adts", XR_FORMAT_AAC},  {"adif", XR_FORMAT_AAC},
    {"m4a", XR_FORMAT_MP4}, {"mp4", XR_FORMAT_MP4},  {"wav", XR_FORMAT_WAV},
};

bool BeginsWith(const char* text, const char* prefix) {
    size_t n = std::strlen(prefix);
    return std::strlen(text) >= n && strncasecmp(text, prefix, n) == 0;
}

}  // namespace

extern "C" {

// Codecs not built yet leave their slots empty; opening such a file reports -1.
const FormatRow FormatRegistry[XR_FORMAT_ROWS] = {
    {"bmp", bmp_decode, bmp_decode_scaled, nullptr, bmp_encode},
    {"jpg", jpg_decode, jpg_decode_scaled, nullptr, jpg_encode},
    {"ljp", nullptr, nullptr, nullptr, nullptr},
    {"jp2", nullptr, nullptr, nullptr, nullptr},
    {"png", png_decode, png_decode_scaled, nullptr, png_encode},
    {"gif", gif_decode, gif_decode_scaled, nullptr, gif_encode},
    {"jbg", nullptr, nullptr, nullptr, nullptr},
    {"mh", nullptr, nullptr, nullptr, nullptr},
    {"mr", nullptr, nullptr, nullptr, nullptr},
    {"mmr", nullptr, nullptr, nullptr, nullptr},
    {"pnm", pnm_decode, nullptr, nullptr, pnm_encode},
    {"raw", raw_decode, nullptr, nullptr, raw_encode},
    {"rle", rle_decode, nullptr, nullptr, nullptr},
    {"dcm", nullptr, nullptr, nullptr, nullptr},
    {"unk", nullptr, nullptr, nullptr, nullptr},
};

const char* const FormatChoices[] = {"bmp", "jpg", "ljp", "jp2", "jpc", "j2k", "png", "gif", "jbg", "mh",
                                     "mr",  "mmr", "pnm", "ppm", "pgm", "pbm", "rle", "dcm", nullptr};

int32_t DetectFormat(const char* path, FormatChoiceFn ask, void* context) {
    if (!path) return XR_FORMAT_NONE;
    // Only the file name counts: "/photos.2024/scan" has no extension.
    const char* slash = std::strrchr(path, '/');
    const char* dot = std::strrchr(slash ? slash + 1 : path, '.');
    char extension[kCompared + 1] = {};
    if (dot) std::memcpy(extension, dot + 1, std::min(std::strlen(dot + 1), kCompared));
    if (ask && (!dot || BeginsWith(extension, "bin"))) {
        char choice[4] = {};
        if (ask(context, path, choice)) {
            std::memset(extension, 0, sizeof extension);
            std::memcpy(extension, choice, 3);  // the first three characters replace the extension
        }
    }
    if (!extension[0]) return XR_FORMAT_NONE;
    for (const Word& w : kWords)
        if (BeginsWith(extension, w.prefix)) return w.index;
    return XR_FORMAT_NONE;
}

const int8_t SaveConversionTable[XR_FORMAT_SAVE_ROWS][11] = {
    //  UNK RGB YUV GRAY IDX MONO RGBW YUVW GRAYW LAB HIGH
    {-1, 0, 1, 0, 0, 0, 1, 1, 3, 1, 1},  // bmp
    {-1, 0, 0, 0, 0, 3, 0, 6, 0, 1, 1},  // jpg
    {-1, 0, 0, 0, 1, 3, 0, 6, 0, 1, 1},  // ljp
    {-1, 0, 1, 0, 1, 1, 0, 6, 0, 1, 1},  // jp2
    {-1, 0, 1, 0, 0, 0, 1, 1, 3, 1, 1},  // png
    {-1, 4, 4, 0, 0, 4, 1, 1, 3, 1, 1},  // gif
    {-1, 5, 5, 5, 5, 0, 5, 5, 5, 5, 5},  // jbg
    {-1, 5, 5, 5, 5, 0, 5, 5, 5, 5, 5},  // mh
    {-1, 5, 5, 5, 5, 0, 5, 5, 5, 5, 5},  // mr
    {-1, 5, 5, 5, 5, 0, 5, 5, 5, 5, 5},  // mmr
    {-1, 0, 1, 0, 1, 0, 0, 1, 0, 1, 1},  // pnm
    {-1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // raw
};

int32_t SaveConversionFor(int32_t format, int32_t mode) {
    if (format < 0 || format >= XR_FORMAT_SAVE_ROWS || mode < 0 || mode > XR_MODE_HIGH) return -1;
    return SaveConversionTable[format][mode];
}

int32_t SaveTargetMode(int32_t format, int32_t mode) {
    int32_t target = SaveConversionFor(format, mode);
    for (int step = 0; target > 0 && step < 4; ++step) {
        int32_t next = SaveConversionFor(format, target);
        if (next == 0) return target;
        if (next < 0) return -1;
        target = next;
    }
    return target > 0 ? -1 : target;
}

}  // extern "C"
