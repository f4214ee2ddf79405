// The sink's side of the ring: buffers come out whole and in order however the
// sink slices its reads, each is reported done after its last byte, dropped or
// given back as asked, and the channel volumes reach 16-bit PCM.
#include <gtest/gtest.h>

#include <vector>

#include "ring_pull_device.hpp"

namespace {

struct Returns {
    std::vector<uint32_t> indexes;
    static void Done(void* self, uint32_t index) { static_cast<Returns*>(self)->indexes.push_back(index); }
};

std::vector<uint8_t> Pattern(uint32_t bytes, uint8_t seed) {
    std::vector<uint8_t> b(bytes);
    for (uint32_t i = 0; i < bytes; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
    return b;
}

}  // namespace

TEST(RingPullDevice, HandsOutBuffersInOrderAndReturnsEachAfterItsLastByte) {
    Returns returns;
    lumapix::RingPullDevice pull(Returns::Done, &returns, 2, false);
    ASSERT_TRUE(pull.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    const std::vector<uint8_t> a = Pattern(1000, 1), b = Pattern(600, 50), c = Pattern(10, 99);
    pull.Enqueue(a.data(), 1000, 3);
    pull.Enqueue(b.data(), 600, 4);
    EXPECT_EQ(pull.bytesAvailable(), 1600);

    std::vector<uint8_t> out(2000);
    EXPECT_EQ(pull.read(reinterpret_cast<char*>(out.data()), 999), 999);
    EXPECT_TRUE(returns.indexes.empty());  // one byte of the first buffer is still to go
    EXPECT_EQ(pull.read(reinterpret_cast<char*>(out.data()) + 999, 300), 300);
    EXPECT_EQ(returns.indexes, std::vector<uint32_t>{3});
    pull.Enqueue(c.data(), 10, 5);
    EXPECT_EQ(pull.read(reinterpret_cast<char*>(out.data()) + 1299, 701), 311);
    EXPECT_EQ(returns.indexes, (std::vector<uint32_t>{3, 4, 5}));
    EXPECT_EQ(pull.read(reinterpret_cast<char*>(out.data()), 100), 0);  // empty: the sink goes idle
    EXPECT_EQ(pull.bytesPulled(), 1610);

    std::vector<uint8_t> expected = a;
    expected.insert(expected.end(), b.begin(), b.end());
    expected.insert(expected.end(), c.begin(), c.end());
    out.resize(1610);
    EXPECT_EQ(out, expected);

    // Clear drops silently (a reset); ReturnAll gives everything back (a sink that died).
    pull.Enqueue(a.data(), 64, 6);
    pull.Clear();
    EXPECT_EQ(pull.bytesAvailable(), 0);
    pull.Enqueue(a.data(), 64, 7);
    pull.Enqueue(a.data(), 64, 8);
    pull.ReturnAll();
    EXPECT_EQ(returns.indexes, (std::vector<uint32_t>{3, 4, 5, 7, 8}));
}

TEST(RingPullDevice, ChannelVolumesScaleSixteenBitFramesAcrossOddReads) {
    Returns returns;
    lumapix::RingPullDevice pull(Returns::Done, &returns, 2, true);
    ASSERT_TRUE(pull.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    pull.SetVolume(0x00008000u);  // left about half, right silent
    // Frames of left 20000, right -20000.
    std::vector<uint8_t> pcm;
    for (int i = 0; i < 8; ++i)
        for (int16_t s : {int16_t{20000}, int16_t{-20000}}) {
            pcm.push_back(static_cast<uint8_t>(s & 0xFF));
            pcm.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
        }
    pull.Enqueue(pcm.data(), static_cast<uint32_t>(pcm.size()), 0);
    std::vector<int16_t> out(16);
    // A read of 7 bytes takes one whole frame only, so the next read still starts on a left sample.
    EXPECT_EQ(pull.read(reinterpret_cast<char*>(out.data()), 7), 4);
    EXPECT_EQ(pull.read(reinterpret_cast<char*>(out.data()) + 4, 60), 28);
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(out[2 * i], 10000);
        EXPECT_EQ(out[2 * i + 1], 0);
    }
}
