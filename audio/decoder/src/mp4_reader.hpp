// A small ISO base media file reader: the first AAC audio track's decoder
// configuration and sample table, and the iTunes-style metadata texts.
// Everything is read through the caller's read and seek callbacks; every size
// and count is checked against the file's real length before it is used.
#ifndef LUMAPIX_MP4_READER_HPP
#define LUMAPIX_MP4_READER_HPP

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "lumapix/audio_decoder.h"

namespace lumapix::audio::mp4 {

constexpr uint32_t FourCc(const char (&text)[5]) {
    return uint32_t{static_cast<uint8_t>(text[0])} << 24 | uint32_t{static_cast<uint8_t>(text[1])} << 16 |
           uint32_t{static_cast<uint8_t>(text[2])} << 8 | uint32_t{static_cast<uint8_t>(text[3])};
}

struct Box {
    uint32_t type = 0;
    uint64_t start = 0;  // the header's first byte
    uint64_t body = 0;   // the first byte after the header
    uint64_t end = 0;    // one past the last byte
};

struct AudioTrack {
    std::vector<uint8_t> decoderConfig;  // AudioSpecificConfig from the esds DecoderSpecificInfo
    uint32_t averageBitRate = 0;         // from the DecoderConfigDescriptor; 0 when not given
    std::vector<uint64_t> sampleOffsets;
    std::vector<uint32_t> sampleSizes;
    uint32_t timescale = 0;  // mdhd
    uint64_t duration = 0;   // mdhd, in timescale units
};

struct Metadata {
    std::string title, artist, writer, album, date, tool;
};

// Reader statuses besides XR_AUDIO_OK.
enum : int32_t { kNoTrack = XR_AUDIO_UNSUPPORTED, kBadTable = XR_AUDIO_MALFORMED };

class Reader {
public:
    explicit Reader(const Mp4FileCallbacks& io);

    uint64_t FileSize() const { return fileSize_; }

    // The first "soun" track whose stsd entry is "mp4a" with an AAC
    // configuration that accept() takes: kNoTrack when there is none; kBadTable
    // when its sample tables do not hold together.
    int32_t FindAudioTrack(const std::function<bool(const std::vector<uint8_t>&)>& accept, AudioTrack* track);

    // moov/udta/meta/ilst texts; absent ones stay empty.
    void ReadMetadata(Metadata* metadata);

    bool ReadAt(uint64_t offset, void* destination, uint64_t count);

private:
    bool ReadBox(uint64_t offset, uint64_t parentEnd, Box* box);
    bool FindChild(const Box& parent, uint32_t type, Box* child, uint64_t from = 0);
    bool ReadBody(const Box& box, uint64_t limit, std::vector<uint8_t>* body);
    bool ReadTrackConfig(const Box& stbl, AudioTrack* track);
    int32_t ReadSampleTable(const Box& stbl, AudioTrack* track);
    void ProbeFileSize();

    Mp4FileCallbacks io_;
    uint64_t fileSize_ = 0;
};

// Parses the esds body (after version and flags): the DecoderSpecificInfo and
// the average bit rate, for an MPEG-4 or MPEG-2 AAC object type only.
bool ParseEsds(const uint8_t* data, size_t size, std::vector<uint8_t>* config, uint32_t* averageBitRate);

}  // namespace lumapix::audio::mp4

#endif
