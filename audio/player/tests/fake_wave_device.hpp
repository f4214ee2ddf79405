// A waveform device the test holds in its hand: it counts what the ring asks of
// it, keeps buffers queued while held or paused, and records every returned byte.
#ifndef LUMAPIX_FAKE_WAVE_DEVICE_HPP
#define LUMAPIX_FAKE_WAVE_DEVICE_HPP

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

#include "lumapix/wave_output.h"

class FakeWaveDevice {
public:
    FakeWaveDevice() {
        ops_ = {this,
                [](void* s, const WaveFormat* f, WaveBufferDone done, void* ring) {
                    return Self(s).Call([&](FakeWaveDevice& d) {
                        ++d.opens;
                        d.format = *f;
                        d.done_ = done;
                        d.ring_ = ring;
                        d.paused_ = false;
                    });
                },
                [](void* s, const uint8_t* data, uint32_t bytes, uint32_t index) {
                    return Self(s).Call([&](FakeWaveDevice& d) {
                        d.queue_.push_back({data, bytes, index});
                        d.submitted.push_back(index);
                        d.maxQueued = std::max(d.maxQueued, static_cast<int>(d.queue_.size()));
                    });
                },
                [](void* s) { Self(s).Call([](FakeWaveDevice& d) { ++d.pauses, d.paused_ = true; }); },
                [](void* s) { Self(s).Call([](FakeWaveDevice& d) { ++d.resumes, d.paused_ = false; }); },
                nullptr,
                [](void* s) {
                    // Once reset returns, nothing more comes back: wait out a return in progress.
                    FakeWaveDevice& d = Self(s);
                    std::unique_lock lock(d.mutex_);
                    ++d.resets;
                    d.queue_.clear();
                    d.changed_.wait(lock, [&] { return d.returning_ == 0; });
                },
                [](void* s) { Self(s).Call([](FakeWaveDevice& d) { ++d.closes; }); },
                [](void* s, uint16_t left, uint16_t right) {
                    Self(s).Call([&](FakeWaveDevice& d) { d.volume = static_cast<uint32_t>(right) << 16 | left; });
                }};
    }
    const WaveDevice* ops() const { return &ops_; }

    // Held: nothing comes back until Release.
    void Hold() {
        Call([](FakeWaveDevice& d) { d.held_ = true; });
    }
    void Release() {
        Call([](FakeWaveDevice& d) { d.held_ = false; });
    }
    void WaitUntilQueued(size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return queue_.size() == count; });
    }
    std::vector<uint8_t> TakePlayed() {
        std::lock_guard lock(mutex_);
        return std::exchange(played, {});
    }

    int opens = 0, pauses = 0, resumes = 0, resets = 0, closes = 0, maxQueued = 0;
    uint32_t volume = 0;
    WaveFormat format{};
    std::vector<uint8_t> played;
    std::vector<uint32_t> submitted;  // buffer indexes in submission order

private:
    static FakeWaveDevice& Self(void* s) { return *static_cast<FakeWaveDevice*>(s); }

    // Runs change under the lock, then returns whatever may play now, the lock let go around each return.
    template <typename Change>
    int32_t Call(Change change) {
        std::unique_lock lock(mutex_);
        change(*this);
        changed_.notify_all();
        while (!held_ && !paused_ && !queue_.empty()) {
            const Pending p = queue_.front();
            queue_.pop_front();
            played.insert(played.end(), p.data, p.data + p.bytes);
            ++returning_;  // the writer's thread and the test's may both be returning
            lock.unlock();
            done_(ring_, p.index);
            lock.lock();
            --returning_;
            changed_.notify_all();
        }
        return 0;
    }

    struct Pending {
        const uint8_t* data;
        uint32_t bytes;
        uint32_t index;
    };
    WaveDevice ops_{};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Pending> queue_;
    bool held_ = false, paused_ = false;
    int returning_ = 0;
    WaveBufferDone done_ = nullptr;
    void* ring_ = nullptr;
};

#endif
