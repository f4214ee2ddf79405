// What QAudioSink pulls from: the ring's submitted buffers, in order, each
// reported done once the sink has taken its last byte.
#ifndef LUMAPIX_RING_PULL_DEVICE_HPP
#define LUMAPIX_RING_PULL_DEVICE_HPP

#include <QIODevice>
#include <atomic>
#include <deque>
#include <mutex>

#include "lumapix/wave_output.h"

namespace lumapix {

class RingPullDevice : public QIODevice {
    Q_OBJECT

public:
    // done(ring, index) runs on the thread that reads, after the buffer's bytes have been copied out.
    RingPullDevice(WaveBufferDone done, void* ring, uint32_t channels, bool pcm16, QObject* parent = nullptr);

    // Any thread: queues a buffer; its bytes must stay put until it is reported done.
    void Enqueue(const uint8_t* data, uint32_t bytes, uint32_t index);
    // Drops the queue without reporting anything.
    void Clear();
    // Reports every queued buffer done unplayed, for a sink that has stopped for good.
    void ReturnAll();
    // Left volume in the low 16 bits, right in the high 16 bits; applied to 16-bit PCM as it is read.
    void SetVolume(uint32_t volumeWord) { volume_ = volumeWord; }
    // Bytes handed to the sink since opening.
    qint64 bytesPulled() const { return pulled_; }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    struct Queued {
        const uint8_t* data;
        uint32_t bytes;
        uint32_t index;
    };

    WaveBufferDone done_;
    void* ring_;
    uint32_t channels_;
    bool pcm16_;
    std::atomic<uint32_t> volume_{0xFFFFFFFFu};
    std::atomic<qint64> pulled_{0};
    mutable std::mutex mutex_;
    std::deque<Queued> queue_;
    uint32_t headOffset_ = 0;  // bytes of the front buffer already read
};

}  // namespace lumapix

#endif
