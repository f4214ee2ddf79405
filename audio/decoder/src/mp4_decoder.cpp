// MP4/M4A: the first AAC track, one sample (AAC frame) per step, decoded by FAAD2.
#include <algorithm>
#include <cstring>
#include <new>

#include "audio_internal.hpp"
#include "faad_support.hpp"
#include "mp4_reader.hpp"

namespace lumapix::audio {

namespace {

// The largest AAC frame two channels can take is 2 x 6144 bits; more than this is no frame.
constexpr uint32_t kMaxSampleBytes = 16384;

struct Mp4State {
    explicit Mp4State(const Mp4FileCallbacks& io) : reader(io) {}
    ~Mp4State() {
        if (decoder) NeAACDecClose(decoder);
    }
    Mp4State(const Mp4State&) = delete;
    Mp4State& operator=(const Mp4State&) = delete;

    mp4::Reader reader;
    mp4::AudioTrack track;
    NeAACDecHandle decoder = nullptr;
    std::vector<uint8_t> sample;
    uint32_t channels = 0;
    uint32_t sampleRate = 0;
};

struct Mp4Handle {
    Mp4State* state;  // from GetInfo to reset or end
};

// Up to MP4_TEXT_BYTES - 1 bytes, stopping at a NUL and never inside a UTF-8 sequence.
void CopyText(const std::string& text, char* out) {
    size_t length = std::min(text.find('\0'), text.size());
    if (length > MP4_TEXT_BYTES - 1) {
        length = MP4_TEXT_BYTES - 1;
        while (length > 0 && (static_cast<uint8_t>(text[length]) & 0xC0) == 0x80) --length;
    }
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
}

int32_t Mp4HandleSize() { return static_cast<int32_t>(sizeof(Mp4Handle)); }

int32_t Mp4Init(void* handle) {
    if (!handle) return 1;
    static_cast<Mp4Handle*>(handle)->state = nullptr;
    return XR_AUDIO_OK;
}

int32_t Mp4Reset(void* handle) {
    if (!handle) return 1;
    auto* h = static_cast<Mp4Handle*>(handle);
    delete h->state;
    h->state = nullptr;
    return XR_AUDIO_OK;
}

bool AcceptedByFaad(const std::vector<uint8_t>& config) {
    mp4AudioSpecificConfig asc{};
    return NeAACDecAudioSpecificConfig(const_cast<uint8_t*>(config.data()), config.size(), &asc) == 0;
}

int32_t Fail(Mp4Handle* h, int32_t status) {
    Mp4Reset(h);
    return status;
}

int32_t Mp4GetInfo(void* handle, AudioFormatInfo* format, const uint8_t*, uint32_t, uint32_t* consumed,
                   void* extra) {
    auto* h = static_cast<Mp4Handle*>(handle);
    auto* info = static_cast<Mp4Info*>(extra);
    if (!h || !format || !consumed || !info || !info->io.read || !info->io.seek) return 1;
    if (h->state) return XR_AUDIO_MALFORMED;
    h->state = new (std::nothrow) Mp4State(info->io);
    if (!h->state) return XR_AUDIO_DECODER_ERROR;
    Mp4State& s = *h->state;

    int32_t status = s.reader.FindAudioTrack(AcceptedByFaad, &s.track);
    if (status != XR_AUDIO_OK) return Fail(h, status);
    std::vector<uint8_t>& config = s.track.decoderConfig;
    mp4AudioSpecificConfig asc{};
    unsigned long sampleRate = 0;
    unsigned char channels = 0;
    if (NeAACDecAudioSpecificConfig(config.data(), config.size(), &asc) != 0) return Fail(h, XR_AUDIO_UNSUPPORTED);
    s.decoder = OpenFaad();
    if (!s.decoder) return Fail(h, XR_AUDIO_DECODER_ERROR);
    if (NeAACDecInit2(s.decoder, config.data(), static_cast<unsigned long>(config.size()), &sampleRate, &channels) != 0 ||
        sampleRate == 0 || channels == 0)
        return Fail(h, XR_AUDIO_UNSUPPORTED);
    if (channels > 2) return Fail(h, XR_AUDIO_TOO_MANY_CHANNELS);
    uint64_t sampleCount = s.track.sampleSizes.size();
    if (sampleCount == 0) return Fail(h, XR_AUDIO_MALFORMED);

    bool doubled = asc.sbr_present_flag == 1 || asc.forceUpSampling;
    uint32_t frameLength = (asc.frameLengthFlag ? 960u : 1024u) * (doubled ? 2u : 1u);
    uint32_t largest = *std::max_element(s.track.sampleSizes.begin(), s.track.sampleSizes.end());
    s.sample.resize(std::min(largest, kMaxSampleBytes));
    s.channels = channels;
    s.sampleRate = static_cast<uint32_t>(sampleRate);

    uint64_t totalBytes = 0;
    for (uint32_t size : s.track.sampleSizes) totalBytes += size;
    uint32_t bitRate = s.track.averageBitRate;
    if (bitRate == 0) bitRate = Saturate32(totalBytes * 8 * s.sampleRate / (sampleCount * frameLength));
    *format = AudioFormatInfo{bitRate, s.sampleRate, s.channels, 16};

    double durationMs = (doubled ? 2047.0 : 1023.0) * static_cast<double>(sampleCount) / s.sampleRate * 1000.0;
    info->sampleCount = static_cast<uint32_t>(sampleCount);
    info->durationMs = durationMs >= UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(durationMs);
    info->frameLength = frameLength;
    mp4::Metadata metadata;
    s.reader.ReadMetadata(&metadata);
    CopyText(metadata.title, info->title);
    CopyText(metadata.artist, info->artist);
    CopyText(metadata.writer, info->writer);
    CopyText(metadata.album, info->album);
    CopyText(metadata.date, info->date);
    CopyText(metadata.tool, info->tool);
    *consumed = 0;
    return XR_AUDIO_OK;
}

// Decodes sample number position; the input buffer plays no part.
int32_t Mp4DecExec(void* handle, uint64_t position, const uint8_t*, uint32_t, uint32_t* consumed, uint8_t* pcm,
                   uint32_t pcmCapacity, uint32_t* pcmBytes) {
    auto* h = static_cast<Mp4Handle*>(handle);
    if (!h || !consumed || !pcmBytes) return 1;
    *consumed = 0;
    *pcmBytes = 0;
    if (!h->state) return XR_AUDIO_MALFORMED;
    Mp4State& s = *h->state;
    if (!pcm) return XR_AUDIO_NO_PCM_BUFFER;
    if (pcmCapacity < MinPcmCapacity(s.channels)) return XR_AUDIO_PCM_TOO_SMALL;
    if (position >= s.track.sampleSizes.size()) return XR_AUDIO_STREAM_END;
    uint32_t size = s.track.sampleSizes[static_cast<size_t>(position)];
    if (size > s.sample.size() || !s.reader.ReadAt(s.track.sampleOffsets[static_cast<size_t>(position)],
                                                   s.sample.data(), size))
        return XR_AUDIO_SAMPLE_READ;
    NeAACDecFrameInfo frame{};
    void* samples = NeAACDecDecode(s.decoder, &frame, s.sample.data(), size);
    return TakeFrame(frame, samples, s.channels, s.sampleRate, pcm, pcmCapacity, pcmBytes);
}

int32_t Mp4End(void* handle) { return Mp4Reset(handle); }

}  // namespace

const AudioDecoderOps kMp4Ops = {Mp4HandleSize, Mp4Init, Mp4GetInfo, Mp4DecExec, Mp4Reset, Mp4End};

}  // namespace lumapix::audio
