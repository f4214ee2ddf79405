// A waveform device without sound: buffers come back after the time they
// would take to play (timed), or at once (immediate). It lets the player run
// headless and gives the tests every byte the ring hands out.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "lumapix/wave_output.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Pending {
    const uint8_t* data;
    uint32_t bytes;
    uint32_t index;
};

class NullDevice {
public:
    ~NullDevice() { Close(); }

    void Configure(bool immediate, NullWavePlayed played, void* context) {
        std::lock_guard lock(mutex_);
        immediate_ = immediate;
        played_ = played;
        playedContext_ = context;
    }

    int32_t Open(const WaveFormat& format, WaveBufferDone done, void* ring) {
        Close();
        std::lock_guard lock(mutex_);
        if (format.byteRate == 0) return -1;
        byteRate_ = format.byteRate;
        done_ = done;
        ring_ = ring;
        paused_ = false;
        stopping_ = false;
        queue_.clear();
        if (!immediate_) worker_ = std::thread([this] { Play(); });
        return 0;
    }

    int32_t Submit(const uint8_t* data, uint32_t bytes, uint32_t index) {
        std::unique_lock lock(mutex_);
        queue_.push_back({data, bytes, index});
        if (immediate_) {
            if (!paused_) ReturnQueued(lock);
        } else {
            wake_.notify_all();
        }
        return 0;
    }

    void Pause() {
        std::lock_guard lock(mutex_);
        paused_ = true;
        wake_.notify_all();
    }

    void Resume() {
        std::unique_lock lock(mutex_);
        paused_ = false;
        if (immediate_) ReturnQueued(lock);
        wake_.notify_all();
    }

    void Reset() {
        std::unique_lock lock(mutex_);
        queue_.clear();
        // A buffer being returned right now finishes before reset does.
        idle_.wait(lock, [this] { return returning_ == 0; });
    }

    void Close() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            queue_.clear();
            wake_.notify_all();
        }
        if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id()) worker_.join();
    }

private:
    // Hands back everything queued; the lock is let go around each callback.
    void ReturnQueued(std::unique_lock<std::mutex>& lock) {
        while (!queue_.empty() && !paused_) {
            Pending p = queue_.front();
            queue_.pop_front();
            Return(lock, p);
        }
    }

    void Return(std::unique_lock<std::mutex>& lock, const Pending& p) {
        ++returning_;  // the writer's thread and a resuming one may both be here
        NullWavePlayed played = played_;
        void* context = playedContext_;
        WaveBufferDone done = done_;
        void* ring = ring_;
        lock.unlock();
        if (played) played(context, p.data, p.bytes);
        done(ring, p.index);
        lock.lock();
        --returning_;
        idle_.notify_all();
    }

    // Timed mode: the head of the queue plays for bytes / byte rate seconds; pausing stops the clock.
    void Play() {
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            wake_.wait(lock, [this] { return stopping_ || (!paused_ && !queue_.empty()); });
            if (stopping_) break;
            const Pending head = queue_.front();
            auto left = std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>(static_cast<double>(head.bytes) / byteRate_));
            while (left > Clock::duration::zero() && !stopping_) {
                if (paused_) {
                    wake_.wait(lock, [this] { return stopping_ || !paused_; });
                    continue;
                }
                const Clock::time_point start = Clock::now();
                wake_.wait_for(lock, left, [this] { return stopping_ || paused_ || queue_.empty(); });
                if (queue_.empty()) break;  // reset while playing
                left -= Clock::now() - start;
            }
            if (stopping_ || queue_.empty() || queue_.front().data != head.data) continue;
            queue_.pop_front();
            Return(lock, head);
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::deque<Pending> queue_;
    std::thread worker_;
    bool immediate_ = false, paused_ = false, stopping_ = false;
    int returning_ = 0;
    uint32_t byteRate_ = 1;
    WaveBufferDone done_ = nullptr;
    void* ring_ = nullptr;
    NullWavePlayed played_ = nullptr;
    void* playedContext_ = nullptr;
};

NullDevice& Instance() {
    static NullDevice device;
    return device;
}

NullDevice& Self(void* self) { return *static_cast<NullDevice*>(self); }

}  // namespace

extern "C" {

const WaveDevice* NullWaveDevice(void) {
    static const WaveDevice device = {
        &Instance(),
        [](void* self, const WaveFormat* format, WaveBufferDone done, void* ring) {
            return format && done ? Self(self).Open(*format, done, ring) : -1;
        },
        [](void* self, const uint8_t* data, uint32_t bytes, uint32_t index) {
            return Self(self).Submit(data, bytes, index);
        },
        [](void* self) { Self(self).Pause(); },
        [](void* self) { Self(self).Resume(); },
        nullptr,
        [](void* self) { Self(self).Reset(); },
        [](void* self) { Self(self).Close(); },
        [](void*, uint16_t, uint16_t) {},
    };
    return &device;
}

void NullWaveDeviceConfigure(int32_t immediate, NullWavePlayed played, void* context) {
    Instance().Configure(immediate != 0, played, context);
}

}  // extern "C"
