#include "cpu_sampler.hpp"

#include <charconv>
#include <fstream>
#include <system_error>
#include <utility>

namespace lumapix {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Next whitespace-separated token of text from pos on; empty at the end.
std::string_view NextToken(std::string_view text, std::size_t* pos) {
    std::size_t begin = *pos;
    while (begin < text.size() && IsBlank(text[begin])) ++begin;
    std::size_t end = begin;
    while (end < text.size() && !IsBlank(text[end])) ++end;
    *pos = end;
    return text.substr(begin, end - begin);
}

}  // namespace

bool ParseCpuStatLine(std::string_view line, CpuTimes* times) {
    std::size_t pos = 0;
    if (NextToken(line, &pos) != "cpu") return false;

    // user nice system idle iowait irq softirq steal; guest and guest_nice
    // follow but are already part of user and nice, so they are not added.
    constexpr int kCounted = 8;
    constexpr int kIdle = 3;
    constexpr int kIowait = 4;
    uint64_t total = 0;
    uint64_t idle = 0;
    int fields = 0;
    for (std::string_view token = NextToken(line, &pos); !token.empty();
         token = NextToken(line, &pos), ++fields) {
        uint64_t value = 0;
        const char* last = token.data() + token.size();
        auto [end, error] = std::from_chars(token.data(), last, value);
        if (error != std::errc() || end != last) return false;
        if (fields >= kCounted) continue;
        if (__builtin_add_overflow(total, value, &total)) return false;
        if (fields == kIdle || fields == kIowait) idle += value;
    }
    if (fields < 4) return false;
    times->busy = total - idle;
    times->total = total;
    return true;
}

double CpuBusyPercent(const CpuTimes& before, const CpuTimes& after) {
    // Counters can step back when a processor goes offline; such an interval
    // counts as idle rather than as a wrapped, enormous difference.
    if (after.total <= before.total) return 0.0;
    if (after.busy <= before.busy) return 0.0;
    const double percent = 100.0 * static_cast<double>(after.busy - before.busy) /
                           static_cast<double>(after.total - before.total);
    return percent > 100.0 ? 100.0 : percent;
}

CpuSampler::CpuSampler(std::string statPath, std::chrono::milliseconds period)
    : statPath_(std::move(statPath)), period_(period) {}

CpuSampler::~CpuSampler() { Stop(); }

void CpuSampler::Start() {
    const std::lock_guard lock(mutex_);
    if (started_) return;
    started_ = true;
    thread_ = std::thread(&CpuSampler::Run, this);
}

void CpuSampler::Stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

CpuSampler::History CpuSampler::Snapshot() const {
    History copy{};
    for (std::size_t i = 0; i < kHistoryLength; ++i) copy[i] = history_[i].load();
    return copy;
}

bool CpuSampler::SampleNow() {
    std::ifstream file(statPath_);
    std::string line;
    CpuTimes now;
    if (!std::getline(file, line) || !ParseCpuStatLine(line, &now)) return false;

    const bool recorded = havePrevious_;
    if (recorded) Record(static_cast<int>(CpuBusyPercent(previous_, now)));
    previous_ = now;
    havePrevious_ = true;
    return recorded;
}

void CpuSampler::Run() {
    SampleNow();  // baseline, so the first period already yields a value
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, period_, [this] { return stopping_; })) {
        lock.unlock();
        SampleNow();
        lock.lock();
    }
}

void CpuSampler::Record(int percent) {
    // Element-wise shift: a concurrent reader may see one value twice for a
    // moment, which a graph redrawn every half second does not show.
    for (std::size_t i = kHistoryLength - 1; i > 0; --i) history_[i].store(history_[i - 1].load());
    history_[0].store(percent);
    samples_.fetch_add(1);
}

}  // namespace lumapix
