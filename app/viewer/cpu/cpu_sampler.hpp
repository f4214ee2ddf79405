// System-wide processor usage sampled from /proc/stat on a thread of its own.
// Qt-free: the panel only reads the history this keeps.
#ifndef LUMAPIX_CPU_SAMPLER_HPP
#define LUMAPIX_CPU_SAMPLER_HPP

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace lumapix {

// Processor time since boot, in the kernel's clock ticks.
struct CpuTimes {
    uint64_t busy = 0;   // everything except idle and iowait
    uint64_t total = 0;
};

// Parses the aggregate "cpu" line of /proc/stat ("cpu  user nice system idle
// [iowait irq softirq steal guest guest_nice]"). Per-processor lines ("cpu0")
// and anything short of the four first counters are rejected.
bool ParseCpuStatLine(std::string_view line, CpuTimes* times);

// Busy share of the time between two readings, 0..100; 0 when no time passed.
double CpuBusyPercent(const CpuTimes& before, const CpuTimes& after);

class CpuSampler {
public:
    static constexpr std::size_t kHistoryLength = 256;
    using History = std::array<int, kHistoryLength>;

    explicit CpuSampler(std::string statPath = "/proc/stat",
                        std::chrono::milliseconds period = std::chrono::milliseconds(500));
    CpuSampler(const CpuSampler&) = delete;
    CpuSampler& operator=(const CpuSampler&) = delete;
    ~CpuSampler();

    // Starts the sampling thread; later calls do nothing, also after Stop().
    void Start();
    // Wakes and joins the thread. Safe to call more than once.
    void Stop();

    // Whole percentages, newest at index 0; 0 before the first sample.
    // Safe from any thread while the sampler runs.
    int Newest() const { return history_[0].load(); }
    int At(std::size_t index) const { return index < kHistoryLength ? history_[index].load() : 0; }
    History Snapshot() const;
    // Samples recorded so far.
    uint64_t SampleCount() const { return samples_.load(); }

    // One step of the thread: reads the stat file and records the usage since
    // the previous good reading. The first good reading only sets the baseline;
    // an unreadable file records nothing. False when nothing was recorded.
    // Only for use while the thread is not running.
    bool SampleNow();

private:
    void Run();
    void Record(int percent);

    const std::string statPath_;
    const std::chrono::milliseconds period_;

    std::array<std::atomic<int>, kHistoryLength> history_{};
    std::atomic<uint64_t> samples_{0};

    // Sampling thread only.
    CpuTimes previous_{};
    bool havePrevious_ = false;

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    bool started_ = false;
    std::thread thread_;
};

}  // namespace lumapix

#endif  // LUMAPIX_CPU_SAMPLER_HPP
