#include "ring_pull_device.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include "lumapix/audio_volume.h"

namespace lumapix {

RingPullDevice::RingPullDevice(WaveBufferDone done, void* ring, uint32_t channels, bool pcm16, QObject* parent)
    : QIODevice(parent), done_(done), ring_(ring), channels_(channels), pcm16_(pcm16) {}

void RingPullDevice::Enqueue(const uint8_t* data, uint32_t bytes, uint32_t index) {
    std::lock_guard lock(mutex_);
    queue_.push_back({data, bytes, index});
}

void RingPullDevice::Clear() {
    std::lock_guard lock(mutex_);
    queue_.clear();
    headOffset_ = 0;
}

void RingPullDevice::ReturnAll() {
    std::vector<uint32_t> indexes;
    {
        std::lock_guard lock(mutex_);
        for (const Queued& q : queue_) indexes.push_back(q.index);
        queue_.clear();
        headOffset_ = 0;
    }
    for (uint32_t index : indexes) done_(ring_, index);
}

qint64 RingPullDevice::bytesAvailable() const {
    std::lock_guard lock(mutex_);
    qint64 total = 0;
    for (const Queued& q : queue_) total += q.bytes;
    return total - headOffset_ + QIODevice::bytesAvailable();
}

qint64 RingPullDevice::readData(char* data, qint64 maxSize) {
    // Sample frames stay whole across reads so that the gains meet the right channel.
    const qint64 frame = pcm16_ ? 2 * qint64{channels_} : 1;
    maxSize -= maxSize % frame;
    qint64 copied = 0;
    std::vector<uint32_t> finished;
    {
        std::lock_guard lock(mutex_);
        while (copied < maxSize && !queue_.empty()) {
            const Queued& head = queue_.front();
            const auto part = static_cast<uint32_t>(std::min<qint64>(maxSize - copied, head.bytes - headOffset_));
            std::memcpy(data + copied, head.data + headOffset_, part);
            copied += part;
            headOffset_ += part;
            if (headOffset_ == head.bytes) {
                finished.push_back(head.index);
                queue_.pop_front();
                headOffset_ = 0;
            }
        }
    }
    if (pcm16_)
        AudioScalePcm16(reinterpret_cast<uint8_t*>(data), static_cast<uint32_t>(copied), channels_, volume_);
    pulled_ += copied;
    for (uint32_t index : finished) done_(ring_, index);
    return copied;
}

}  // namespace lumapix
