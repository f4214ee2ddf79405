// Where an MPEG audio stream starts: past an ID3v2 tag, at the first frame header.
#include "audio_internal.hpp"

namespace {

constexpr uint32_t kId3HeaderBytes = 10;

bool IsFrameHeader(const uint8_t* p) {
    if (p[0] != 0xFF) return false;
    bool mpeg12 = (p[1] & 0xF0) == 0xF0;
    bool mpeg25 = (p[1] & 0xF8) == 0xE0;  // version bits 00; 01 is reserved
    uint32_t layer = p[1] >> 1 & 3;
    uint32_t bitRateIndex = p[2] >> 4;
    uint32_t sampleRateIndex = p[2] >> 2 & 3;
    return (mpeg12 || mpeg25) && layer != 0 && bitRateIndex != 15 && sampleRateIndex != 3;
}

}  // namespace

extern "C" int32_t Mp3FindFrame(const uint8_t* data, uint32_t size) {
    if (!data || size < 3) return -1;
    for (uint32_t i = 0; i + 3 <= size && i <= INT32_MAX; ++i)
        if (IsFrameHeader(data + i)) return static_cast<int32_t>(i);
    return -1;
}

extern "C" uint32_t Id3v2TagLength(const uint8_t* data, uint32_t size) {
    if (!data || size < kId3HeaderBytes || data[0] != 'I' || data[1] != 'D' || data[2] != '3') return 0;
    uint32_t tagSize = 0;
    for (uint32_t i = 6; i < 10; ++i) tagSize = tagSize << 7 | (data[i] & 0x7Fu);
    bool footer = data[3] == 4 && (data[5] & 0x10) != 0;
    return kId3HeaderBytes + tagSize + (footer ? kId3HeaderBytes : 0);
}
