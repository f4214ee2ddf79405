#include "mp4_reader.hpp"

#include <algorithm>

#include "audio_internal.hpp"

namespace lumapix::audio::mp4 {

namespace {

constexpr uint64_t kMaxReadPiece = 1u << 30;
constexpr uint64_t kMaxStsdBytes = 1u << 16;  // sample descriptions are a few hundred bytes
constexpr uint64_t kMaxTextBytes = 4096;
constexpr uint32_t kAudioSampleEntryBytes = 28;  // after the entry's box header

// Object types of AAC in a DecoderConfigDescriptor: MPEG-4 audio, MPEG-2 AAC Main, LC, SSR.
bool IsAacObjectType(uint8_t type) { return type == 0x40 || type == 0x66 || type == 0x67 || type == 0x68; }

// A box inside bytes already read: header at offset, within [0, size).
bool SpanBox(const uint8_t* data, size_t size, size_t offset, uint32_t* type, size_t* body, size_t* end) {
    if (offset > size || size - offset < 8) return false;
    uint64_t length = ReadBE32(data + offset);
    size_t header = 8;
    if (length == 1) {
        if (size - offset < 16) return false;
        length = ReadBE64(data + offset + 8);
        header = 16;
    } else if (length == 0) {
        length = size - offset;
    }
    if (length < header || length > size - offset) return false;
    *type = ReadBE32(data + offset + 4);
    *body = offset + header;
    *end = offset + static_cast<size_t>(length);
    return true;
}

// Looks for esds among the boxes in [offset, size), also inside a QuickTime "wave" box.
bool FindEsds(const uint8_t* data, size_t size, size_t offset, size_t* body, size_t* end, int depth = 0) {
    uint32_t type = 0;
    size_t childBody = 0, childEnd = 0;
    while (SpanBox(data, size, offset, &type, &childBody, &childEnd)) {
        if (type == FourCc("esds")) {
            *body = childBody;
            *end = childEnd;
            return true;
        }
        if (type == FourCc("wave") && depth == 0 && FindEsds(data, childEnd, childBody, body, end, 1)) return true;
        offset = childEnd;
    }
    return false;
}

// A descriptor's tag and length (up to four 7-bit length bytes).
bool ReadDescriptor(const uint8_t* data, size_t size, size_t* offset, uint8_t* tag, size_t* length) {
    if (*offset >= size) return false;
    *tag = data[(*offset)++];
    size_t value = 0;
    for (int i = 0; i < 4; ++i) {
        if (*offset >= size) return false;
        uint8_t byte = data[(*offset)++];
        value = value << 7 | (byte & 0x7Fu);
        if (!(byte & 0x80)) {
            if (value > size - *offset) return false;
            *length = value;
            return true;
        }
    }
    return false;
}

}  // namespace

bool ParseEsds(const uint8_t* data, size_t size, std::vector<uint8_t>* config, uint32_t* averageBitRate) {
    size_t offset = 0, length = 0;
    uint8_t tag = 0;
    if (!ReadDescriptor(data, size, &offset, &tag, &length)) return false;
    if (tag == 0x03) {  // ES_Descriptor: ES_ID, flags and what they announce
        size_t esEnd = offset + length;
        if (length < 3) return false;
        uint8_t flags = data[offset + 2];
        offset += 3;
        if (flags & 0x80) offset += 2;
        if (flags & 0x40) {
            if (offset >= esEnd) return false;
            offset += 1u + data[offset];
        }
        if (flags & 0x20) offset += 2;
        if (offset > esEnd) return false;
        size = esEnd;
        if (!ReadDescriptor(data, size, &offset, &tag, &length)) return false;
    }
    if (tag != 0x04 || length < 13 || !IsAacObjectType(data[offset])) return false;
    *averageBitRate = ReadBE32(data + offset + 9);
    size_t decoderEnd = offset + length;
    offset += 13;
    while (offset < decoderEnd) {
        if (!ReadDescriptor(data, decoderEnd, &offset, &tag, &length)) return false;
        if (tag == 0x05) {
            if (length == 0) return false;
            config->assign(data + offset, data + offset + length);
            return true;
        }
        offset += length;
    }
    return false;
}

Reader::Reader(const Mp4FileCallbacks& io) : io_(io) {
    if (io_.read && io_.seek) ProbeFileSize();
}

// The callbacks tell no length: find the last readable byte by doubling, then bisecting.
void Reader::ProbeFileSize() {
    auto present = [this](uint64_t offset) {
        uint8_t byte = 0;
        return io_.seek(io_.file, offset) == 0 && io_.read(io_.file, &byte, 1) == 1;
    };
    fileSize_ = 0;
    if (!present(0)) return;
    uint64_t low = 0, high = 4096;
    while (present(high)) {
        low = high;
        if (high >= (uint64_t{1} << 62)) {
            fileSize_ = high + 1;
            return;
        }
        high *= 2;
    }
    while (high - low > 1) {
        uint64_t middle = low + (high - low) / 2;
        (present(middle) ? low : high) = middle;
    }
    fileSize_ = low + 1;
}

bool Reader::ReadAt(uint64_t offset, void* destination, uint64_t count) {
    if (offset > fileSize_ || count > fileSize_ - offset) return false;
    if (count == 0) return true;
    if (io_.seek(io_.file, offset) != 0) return false;
    auto* out = static_cast<uint8_t*>(destination);
    while (count > 0) {
        auto piece = static_cast<uint32_t>(std::min(count, kMaxReadPiece));
        if (io_.read(io_.file, out, piece) != piece) return false;
        out += piece;
        count -= piece;
    }
    return true;
}

bool Reader::ReadBox(uint64_t offset, uint64_t parentEnd, Box* box) {
    uint8_t header[16];
    if (offset > parentEnd || parentEnd - offset < 8 || !ReadAt(offset, header, 8)) return false;
    uint64_t length = ReadBE32(header);
    uint64_t headerBytes = 8;
    if (length == 1) {
        if (parentEnd - offset < 16 || !ReadAt(offset + 8, header + 8, 8)) return false;
        length = ReadBE64(header + 8);
        headerBytes = 16;
    } else if (length == 0) {
        length = parentEnd - offset;
    }
    if (length < headerBytes || length > parentEnd - offset) return false;
    box->type = ReadBE32(header + 4);
    box->start = offset;
    box->body = offset + headerBytes;
    box->end = offset + length;
    return true;
}

bool Reader::FindChild(const Box& parent, uint32_t type, Box* child, uint64_t from) {
    uint64_t offset = from ? from : parent.body;
    Box box;
    while (ReadBox(offset, parent.end, &box)) {
        if (box.type == type) {
            *child = box;
            return true;
        }
        offset = box.end;  // at least 8 bytes on: the walk ends
    }
    return false;
}

bool Reader::ReadBody(const Box& box, uint64_t limit, std::vector<uint8_t>* body) {
    uint64_t bytes = std::min(box.end - box.body, limit);
    body->resize(static_cast<size_t>(bytes));
    return ReadAt(box.body, body->data(), bytes);
}

bool Reader::ReadTrackConfig(const Box& stbl, AudioTrack* track) {
    Box stsd;
    std::vector<uint8_t> body;
    if (!FindChild(stbl, FourCc("stsd"), &stsd) || !ReadBody(stsd, kMaxStsdBytes, &body)) return false;
    // version and flags, entry count, then the first sample entry
    uint32_t type = 0;
    size_t entryBody = 0, entryEnd = 0;
    if (body.size() < 8 || ReadBE32(body.data() + 4) == 0) return false;
    if (!SpanBox(body.data(), body.size(), 8, &type, &entryBody, &entryEnd) || type != FourCc("mp4a")) return false;
    if (entryEnd - entryBody < kAudioSampleEntryBytes) return false;
    // QuickTime sound description versions 1 and 2 carry 16 and 36 more bytes.
    uint32_t version = ReadBE16(body.data() + entryBody + 8);
    size_t children = entryBody + kAudioSampleEntryBytes + (version == 1 ? 16 : version == 2 ? 36 : 0);
    size_t esdsBody = 0, esdsEnd = 0;
    if (!FindEsds(body.data(), entryEnd, children, &esdsBody, &esdsEnd) || esdsEnd - esdsBody < 4) return false;
    return ParseEsds(body.data() + esdsBody + 4, esdsEnd - esdsBody - 4, &track->decoderConfig,
                     &track->averageBitRate);
}

int32_t Reader::ReadSampleTable(const Box& stbl, AudioTrack* track) {
    std::vector<uint8_t> sizes, chunks, runs;
    Box box;
    // Sample sizes: stsz (one size for all, or 32 bits each) or stz2 (4, 8 or 16 bits each).
    uint64_t sampleCount = 0;
    std::vector<uint32_t>& sampleSizes = track->sampleSizes;
    if (FindChild(stbl, FourCc("stsz"), &box)) {
        uint8_t head[12];
        if (box.end - box.body < 12 || !ReadAt(box.body, head, 12)) return kBadTable;
        uint32_t common = ReadBE32(head + 4);
        sampleCount = ReadBE32(head + 8);
        if (common != 0) {
            if (sampleCount > fileSize_ / common) return kBadTable;  // the samples could not all be in the file
            sampleSizes.assign(static_cast<size_t>(sampleCount), common);
        } else {
            if (sampleCount * 4 > box.end - box.body - 12) return kBadTable;
            sizes.resize(static_cast<size_t>(sampleCount * 4));
            if (!ReadAt(box.body + 12, sizes.data(), sizes.size())) return kBadTable;
            sampleSizes.resize(static_cast<size_t>(sampleCount));
            for (size_t i = 0; i < sampleSizes.size(); ++i) sampleSizes[i] = ReadBE32(sizes.data() + 4 * i);
        }
    } else if (FindChild(stbl, FourCc("stz2"), &box)) {
        uint8_t head[12];
        if (box.end - box.body < 12 || !ReadAt(box.body, head, 12)) return kBadTable;
        uint32_t fieldBits = head[7];
        sampleCount = ReadBE32(head + 8);
        if (fieldBits != 4 && fieldBits != 8 && fieldBits != 16) return kBadTable;
        uint64_t tableBytes = (sampleCount * fieldBits + 7) / 8;
        if (tableBytes > box.end - box.body - 12) return kBadTable;
        sizes.resize(static_cast<size_t>(tableBytes));
        if (!ReadAt(box.body + 12, sizes.data(), sizes.size())) return kBadTable;
        sampleSizes.resize(static_cast<size_t>(sampleCount));
        for (size_t i = 0; i < sampleSizes.size(); ++i) {
            if (fieldBits == 16) sampleSizes[i] = ReadBE16(sizes.data() + 2 * i);
            else if (fieldBits == 8) sampleSizes[i] = sizes[i];
            else sampleSizes[i] = (i % 2 ? sizes[i / 2] : sizes[i / 2] >> 4) & 0xFu;
        }
    } else {
        return kBadTable;
    }

    // Chunk offsets: stco (32-bit) or co64.
    uint32_t offsetBytes = 4;
    if (!FindChild(stbl, FourCc("stco"), &box)) {
        if (!FindChild(stbl, FourCc("co64"), &box)) return kBadTable;
        offsetBytes = 8;
    }
    uint8_t head[8];
    if (box.end - box.body < 8 || !ReadAt(box.body, head, 8)) return kBadTable;
    uint64_t chunkCount = ReadBE32(head + 4);
    if (chunkCount * offsetBytes > box.end - box.body - 8) return kBadTable;
    chunks.resize(static_cast<size_t>(chunkCount * offsetBytes));
    if (!ReadAt(box.body + 8, chunks.data(), chunks.size())) return kBadTable;
    auto chunkOffset = [&](uint64_t index) {  // 1-based, as stsc counts
        const uint8_t* p = chunks.data() + (index - 1) * offsetBytes;
        return offsetBytes == 8 ? ReadBE64(p) : uint64_t{ReadBE32(p)};
    };

    // Sample-to-chunk runs: first chunk, samples per chunk, description index.
    if (!FindChild(stbl, FourCc("stsc"), &box)) return kBadTable;
    if (box.end - box.body < 8 || !ReadAt(box.body, head, 8)) return kBadTable;
    uint64_t runCount = ReadBE32(head + 4);
    if (runCount * 12 > box.end - box.body - 8) return kBadTable;
    runs.resize(static_cast<size_t>(runCount * 12));
    if (!ReadAt(box.body + 8, runs.data(), runs.size())) return kBadTable;

    std::vector<uint64_t>& offsets = track->sampleOffsets;
    offsets.assign(sampleSizes.size(), 0);
    size_t sample = 0;
    uint64_t previousFirst = 0;
    for (uint64_t run = 0; run < runCount && sample < offsets.size(); ++run) {
        uint64_t first = ReadBE32(runs.data() + run * 12);
        uint32_t perChunk = ReadBE32(runs.data() + run * 12 + 4);
        if (first <= previousFirst) return kBadTable;  // runs must go forward from chunk 1
        previousFirst = first;
        uint64_t last = run + 1 < runCount ? uint64_t{ReadBE32(runs.data() + (run + 1) * 12)} - 1 : chunkCount;
        last = std::min(last, chunkCount);
        for (uint64_t chunk = first; chunk <= last && sample < offsets.size(); ++chunk) {
            uint64_t offset = chunkOffset(chunk);
            for (uint32_t k = 0; k < perChunk && sample < offsets.size(); ++k, ++sample) {
                offsets[sample] = offset;
                offset += sampleSizes[sample];
            }
        }
    }
    offsets.resize(sample);  // samples no chunk holds are dropped
    sampleSizes.resize(sample);
    return XR_AUDIO_OK;
}

int32_t Reader::FindAudioTrack(const std::function<bool(const std::vector<uint8_t>&)>& accept,
                               AudioTrack* track) {
    Box file{0, 0, 0, fileSize_}, moov, trak, mdia, hdlr, minf, stbl, mdhd;
    if (!FindChild(file, FourCc("moov"), &moov)) return kNoTrack;
    for (uint64_t from = moov.body; FindChild(moov, FourCc("trak"), &trak, from); from = trak.end) {
        uint8_t handler[12];
        if (!FindChild(trak, FourCc("mdia"), &mdia) || !FindChild(mdia, FourCc("hdlr"), &hdlr)) continue;
        if (hdlr.end - hdlr.body < 12 || !ReadAt(hdlr.body, handler, 12)) continue;
        if (ReadBE32(handler + 8) != FourCc("soun")) continue;
        if (!FindChild(mdia, FourCc("minf"), &minf) || !FindChild(minf, FourCc("stbl"), &stbl)) continue;
        AudioTrack candidate;
        if (!ReadTrackConfig(stbl, &candidate) || !accept(candidate.decoderConfig)) continue;
        uint8_t times[32];
        if (FindChild(mdia, FourCc("mdhd"), &mdhd) && mdhd.end - mdhd.body >= 32 && ReadAt(mdhd.body, times, 32)) {
            bool wide = times[0] == 1;
            candidate.timescale = ReadBE32(times + (wide ? 20 : 12));
            candidate.duration = wide ? ReadBE64(times + 24) : ReadBE32(times + 16);
        }
        int32_t status = ReadSampleTable(stbl, &candidate);
        if (status == XR_AUDIO_OK) *track = std::move(candidate);
        return status;
    }
    return kNoTrack;
}

void Reader::ReadMetadata(Metadata* metadata) {
    Box file{0, 0, 0, fileSize_}, moov, udta, meta, ilst, item, data;
    if (!FindChild(file, FourCc("moov"), &moov) || !FindChild(moov, FourCc("udta"), &udta) ||
        !FindChild(udta, FourCc("meta"), &meta))
        return;
    // ISO "meta" is a full box (version and flags first); QuickTime's starts with its children.
    uint8_t first[4];
    if (meta.end - meta.body < 4 || !ReadAt(meta.body, first, 4)) return;
    uint64_t childrenFrom = ReadBE32(first) == 0 ? meta.body + 4 : meta.body;
    if (!FindChild(meta, FourCc("ilst"), &ilst, childrenFrom)) return;
    struct Field {
        uint32_t type;
        std::string* text;
    } fields[] = {{0xA96E616D /* ©nam */, &metadata->title},  {0xA9415254 /* ©ART */, &metadata->artist},
                  {0xA9777274 /* ©wrt */, &metadata->writer}, {0xA9616C62 /* ©alb */, &metadata->album},
                  {0xA9646179 /* ©day */, &metadata->date},   {0xA9746F6F /* ©too */, &metadata->tool}};
    for (uint64_t offset = ilst.body; ReadBox(offset, ilst.end, &item); offset = item.end) {
        auto field = std::find_if(std::begin(fields), std::end(fields), [&](const Field& f) { return f.type == item.type; });
        if (field == std::end(fields) || !field->text->empty() || !FindChild(item, FourCc("data"), &data)) continue;
        std::vector<uint8_t> body;
        if (!ReadBody(data, 8 + kMaxTextBytes, &body) || body.size() < 8) continue;
        field->text->assign(body.begin() + 8, body.end());  // after the type indicator and locale
    }
}

}  // namespace lumapix::audio::mp4
