// The output ring. Three threads meet here: the window thread opens, pauses,
// restarts and closes; the decoding thread writes (and closes at the end of a
// stream); the device's thread returns buffers. The semaphore is the only place
// the decoding thread blocks; the in-flight count is only polled.
#include "lumapix/wave_output.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <semaphore>
#include <thread>

namespace {

struct BufferHeader {
    uint8_t* data;
    uint32_t length;
};

struct WaveOutput {
    const WaveDevice* device = nullptr;
    BufferHeader headers[WAVE_BUFFER_COUNT]{};
    std::unique_ptr<uint8_t[]> pcm;
    std::counting_semaphore<WAVE_QUEUE_LIMIT> semaphore{WAVE_QUEUE_LIMIT};
    uint32_t submitIndex = 0;
    uint32_t fillIndex = 0;
    uint32_t fillOffset = 0;
    std::atomic<int32_t> inFlight{0};
    WaveFormat format{};
};

std::mutex controlLock;  // open, close, pause, restart and volume against each other
std::atomic<WaveOutput*> current{nullptr};
std::atomic<const WaveDevice*> selected{nullptr};
std::atomic<uint32_t> volume{0xFFFFFFFFu};
std::atomic<uint32_t> peakLeft{0}, peakRight{0};
std::atomic<uint64_t> playedBytes{0};
std::atomic<uint32_t> playedByteRate{1};

const WaveDevice& Device() {
    const WaveDevice* device = selected.load();
    return device ? *device : *NullWaveDevice();
}

void SetDeviceVolume(const WaveOutput& out, uint32_t word) {
    if (out.device->setVolume)
        out.device->setVolume(out.device->self, static_cast<uint16_t>(word & 0xFFFFu), static_cast<uint16_t>(word >> 16));
}

// Largest magnitude per channel of a buffer of 16-bit PCM, for the level meters.
void MeasurePeaks(const WaveOutput& out, const BufferHeader& header) {
    if (out.format.bitsPerSample != 16) return;
    uint32_t peaks[2] = {0, 0};
    const uint32_t channels = out.format.channels;
    for (uint32_t i = 0; i + 1 < header.length; i += 2) {
        const auto sample = static_cast<int16_t>(static_cast<uint16_t>(header.data[i] | header.data[i + 1] << 8));
        const uint32_t magnitude = sample < 0 ? static_cast<uint32_t>(-int32_t{sample}) : static_cast<uint32_t>(sample);
        const uint32_t channel = channels == 2 ? (i / 2) % 2 : 0;
        peaks[channel] = std::max(peaks[channel], magnitude);
    }
    peakLeft = peaks[0];
    peakRight = channels == 2 ? peaks[1] : peaks[0];
}

// The device's completion: measure, then give the slot back to the writer.
void BufferDone(void* ring, uint32_t index) {
    auto* out = static_cast<WaveOutput*>(ring);
    if (!out || index >= WAVE_BUFFER_COUNT) return;
    MeasurePeaks(*out, out->headers[index]);
    playedBytes += out->headers[index].length;
    // A buffer reported twice must not raise the semaphore past its maximum.
    int32_t flying = out->inFlight.load();
    while (flying > 0 && !out->inFlight.compare_exchange_weak(flying, flying - 1)) {
    }
    if (flying > 0) out->semaphore.release();
}

void SubmitOne(WaveOutput& out) {
    out.semaphore.acquire();
    const uint32_t index = out.submitIndex;
    out.submitIndex = (out.submitIndex + 1) % WAVE_BUFFER_COUNT;
    out.inFlight.fetch_add(1);
    const BufferHeader& header = out.headers[index];
    if (out.device->submit(out.device->self, header.data, header.length, index) != 0) BufferDone(&out, index);
}

void Append(WaveOutput& out, const uint8_t* pcm, uint32_t n) {
    const uint32_t room = WAVE_BUFFER_BYTES - out.fillOffset;
    uint8_t* fill = out.headers[out.fillIndex].data;
    if (room > n) {
        std::memcpy(fill + out.fillOffset, pcm, n);
        out.fillOffset += n;
        return;
    }
    std::memcpy(fill + out.fillOffset, pcm, room);
    out.fillIndex = (out.fillIndex + 1) % WAVE_BUFFER_COUNT;
    // At most 8 buffers are queued and one is filling, so the next one is never on the device.
    std::memcpy(out.headers[out.fillIndex].data, pcm + room, n - room);
    out.fillOffset = n - room;
    SubmitOne(out);
}

void Free(WaveOutput* out) { delete out; }

bool ValidFormat(uint32_t bits, uint32_t rate, uint32_t channels) {
    return bits >= 8 && bits <= 32 && bits % 8 == 0 && channels >= 1 && channels <= 8 && rate >= 1 &&
           rate <= 768000;
}

}  // namespace

extern "C" {

void WaveOutputSelectDevice(const WaveDevice* device) { selected = device; }

int32_t WaveOutputOpen(uint32_t bitsPerSample, uint32_t sampleRate, uint32_t channels) {
    WaveOutputClose(1);
    if (!ValidFormat(bitsPerSample, sampleRate, channels)) return -1;
    std::lock_guard lock(controlLock);
    auto* out = new (std::nothrow) WaveOutput;
    if (!out) return -1;
    out->pcm.reset(new (std::nothrow) uint8_t[WAVE_BLOCK_BYTES]);
    if (!out->pcm) {
        Free(out);
        return -1;
    }
    out->device = &Device();
    out->format.bitsPerSample = bitsPerSample;
    out->format.sampleRate = sampleRate;
    out->format.channels = channels;
    out->format.blockAlign = bitsPerSample * channels / 8;
    out->format.byteRate = out->format.blockAlign * sampleRate;
    for (uint32_t i = 0; i < WAVE_BUFFER_COUNT; ++i) out->headers[i] = {out->pcm.get() + i * WAVE_BUFFER_BYTES, WAVE_BUFFER_BYTES};
    if (out->device->open(out->device->self, &out->format, BufferDone, out) != 0) {
        Free(out);
        return -1;
    }
    SetDeviceVolume(*out, volume);
    playedBytes = 0;
    playedByteRate = out->format.byteRate;
    peakLeft = 0;
    peakRight = 0;
    current = out;
    return 0;
}

void WaveOutputWrite(const uint8_t* pcm, uint32_t n) {
    WaveOutput* out = current.load();
    if (!out || !pcm) return;
    // A caller's block larger than a buffer is taken a buffer at a time.
    while (n > 0) {
        const uint32_t part = std::min<uint32_t>(n, WAVE_BUFFER_BYTES - 1);
        Append(*out, pcm, part);
        pcm += part;
        n -= part;
    }
}

void WaveOutputFlushLast(void) {
    WaveOutput* out = current.load();
    if (!out || out->fillOffset == 0) return;
    std::memset(out->headers[out->fillIndex].data + out->fillOffset, 0, WAVE_BUFFER_BYTES - out->fillOffset);
    // The filled buffer goes out; the next one starts empty.
    out->fillIndex = (out->fillIndex + 1) % WAVE_BUFFER_COUNT;
    out->fillOffset = 0;
    SubmitOne(*out);
}

void WaveOutputPause(void) {
    std::lock_guard lock(controlLock);
    if (WaveOutput* out = current.load()) out->device->pause(out->device->self);
}

void WaveOutputRestart(void) {
    std::lock_guard lock(controlLock);
    if (WaveOutput* out = current.load()) out->device->resume(out->device->self);
}

void WaveOutputClose(int32_t wait) {
    WaveOutput* out = current.load();
    if (!out) return;
    const WaveDevice& device = *out->device;
    if (wait == 0) {
        while (out->inFlight.load() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        // Outside the lock: a pause from the window thread need not wait for the last sound.
        if (device.drain) device.drain(device.self);
    }
    std::lock_guard lock(controlLock);
    if (current.load() != out) return;
    device.reset(device.self);
    device.close(device.self);
    current = nullptr;
    peakLeft = 0;
    peakRight = 0;
    Free(out);
}

int32_t WaveOutputIsOpen(void) { return current.load() ? 1 : 0; }

int32_t WaveOutputInFlight(void) {
    std::lock_guard lock(controlLock);
    WaveOutput* out = current.load();
    return out ? out->inFlight.load() : 0;
}

void WaveOutputSetVolume(uint32_t volumeWord) {
    std::lock_guard lock(controlLock);
    volume = volumeWord;
    if (WaveOutput* out = current.load()) SetDeviceVolume(*out, volumeWord);
}

uint32_t WaveOutputGetVolume(void) { return volume; }

uint64_t WaveOutputPlayedMilliseconds(void) { return playedBytes * 1000 / playedByteRate; }

void WaveOutputLevels(uint32_t* left, uint32_t* right) {
    if (left) *left = peakLeft;
    if (right) *right = peakRight;
}

const AudioOutputOps* WaveOutputOps(void) {
    static const AudioOutputOps ops = {
        WaveOutputOpen, WaveOutputWrite, WaveOutputFlushLast, WaveOutputPause, WaveOutputRestart, WaveOutputClose,
    };
    return &ops;
}

}  // extern "C"
