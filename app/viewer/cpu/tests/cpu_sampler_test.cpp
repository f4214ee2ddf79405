// /proc/stat parsing, the usage figure and the sampler's history and thread.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

#include "cpu_sampler.hpp"

namespace {

using namespace lumapix;
using namespace std::chrono_literals;

TEST(CpuStat, ParsesAggregateLineAndComputesShare) {
    CpuTimes t;
    // guest and guest_nice (last two) are already inside user and nice.
    ASSERT_TRUE(ParseCpuStatLine("cpu  100 20 30 800 50 5 5 10 99 99\n", &t));
    EXPECT_EQ(t.total, 1020u);
    EXPECT_EQ(t.busy, 170u);
    ASSERT_TRUE(ParseCpuStatLine("cpu 1 2 3 4", &t));  // oldest kernels: four counters
    EXPECT_EQ(t.busy, 6u);
    for (const char* line : {"", "cpu 1 2 3", "cpu0 1 2 3 4", "intr 1 2 3 4", "cpu 1 2 x 4", "cpu 1 2 3 4q",
                             "cpu 1 -2 3 4", "cpu 1 2 3 99999999999999999999", "cpu 18446744073709551615 1 1 1"})
        EXPECT_FALSE(ParseCpuStatLine(line, &t)) << '"' << line << '"';

    EXPECT_DOUBLE_EQ(CpuBusyPercent({100, 1000}, {150, 1200}), 25.0);
    EXPECT_DOUBLE_EQ(CpuBusyPercent({100, 1000}, {120, 1000}), 0.0);    // no time passed
    EXPECT_DOUBLE_EQ(CpuBusyPercent({100, 1000}, {90, 900}), 0.0);      // counters stepped back
    EXPECT_DOUBLE_EQ(CpuBusyPercent({100, 1000}, {300, 1100}), 100.0);  // idle dropped
}

std::string StatPath() {
    const char* base = std::getenv("LUMAPIX_TEST_TMP");
    return std::string(base ? base : "/tmp") + "/cpu_stat_" + std::to_string(getpid());
}

// Replaced whole, so a running sampler never reads half a file.
void WriteStat(uint64_t busy, uint64_t idle) {
    std::ofstream(StatPath() + ".new") << "cpu  " << busy << " 0 0 " << idle << " 0 0 0 0 0 0\ncpu0 1 2 3 4\n";
    std::rename((StatPath() + ".new").c_str(), StatPath().c_str());
}

TEST(CpuSampler, KeepsNewest256TruncatedPercents) {
    CpuSampler sampler(StatPath());
    EXPECT_FALSE(sampler.SampleNow());  // no file
    WriteStat(0, 0);
    EXPECT_FALSE(sampler.SampleNow());  // baseline only
    WriteStat(2, 1);                    // 66.7 %
    EXPECT_TRUE(sampler.SampleNow());
    EXPECT_EQ(sampler.Newest(), 66);
    EXPECT_EQ(sampler.At(1), 0);

    uint64_t busy = 2, idle = 1;
    for (int n = 1; n <= 300; ++n) {  // sample n is n % 100 percent busy
        busy += static_cast<uint64_t>(n % 100);
        idle += static_cast<uint64_t>(100 - n % 100);
        WriteStat(busy, idle);
        ASSERT_TRUE(sampler.SampleNow());
    }
    std::remove(StatPath().c_str());
    EXPECT_FALSE(sampler.SampleNow());  // unreadable: nothing shifts
    EXPECT_EQ(sampler.SampleCount(), 301u);
    const CpuSampler::History h = sampler.Snapshot();
    for (std::size_t i = 0; i < CpuSampler::kHistoryLength; ++i)
        ASSERT_EQ(h[i], static_cast<int>((300 - i) % 100)) << i;
}

TEST(CpuSampler, ThreadSamplesAndStopsPromptly) {
    WriteStat(0, 0);
    {
        CpuSampler sampler(StatPath(), 1ms);
        sampler.Start();
        sampler.Start();  // ignored
        WriteStat(50, 50);
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (sampler.SampleCount() < 3 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        EXPECT_GE(sampler.SampleCount(), 3u);
    }  // the destructor joins

    CpuSampler idle(StatPath(), std::chrono::hours(1));
    idle.Start();
    const auto before = std::chrono::steady_clock::now();
    idle.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    std::remove(StatPath().c_str());
}

}  // namespace
