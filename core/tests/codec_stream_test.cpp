#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

#include "lumapix/codec_stream.h"

namespace {

// A scripted source/sink: serves `data` at most `chunk` bytes per call and logs calls.
struct FakeFile {
    std::vector<uint8_t> data;
    size_t offset = 0;
    int32_t chunk = 1 << 30;
    int32_t failWith = 1;  // 1: never; otherwise returned once data runs out
    std::vector<int32_t> requests;
    std::vector<std::pair<int32_t, int32_t>> seeks;
};

int32_t FakeRead(uint8_t* destination, int32_t count, void* user) {
    auto* f = static_cast<FakeFile*>(user);
    f->requests.push_back(count);
    size_t left = f->data.size() - f->offset;
    if (left == 0) return f->failWith == 1 ? 0 : f->failWith;
    size_t n = std::min<size_t>({left, static_cast<size_t>(count), static_cast<size_t>(f->chunk)});
    std::memcpy(destination, f->data.data() + f->offset, n);
    f->offset += n;
    return static_cast<int32_t>(n);
}

int32_t FakeWrite(uint8_t* source, int32_t count, void* user) {
    auto* f = static_cast<FakeFile*>(user);
    f->requests.push_back(count);
    if (f->failWith != 1) return f->failWith;
    int32_t n = std::min(count, f->chunk);
    f->data.insert(f->data.end(), source, source + n);
    return n;
}

int32_t FakeSeek(void* user, int32_t offset, int32_t whence) {
    auto* f = static_cast<FakeFile*>(user);
    f->seeks.emplace_back(offset, whence);
    if (whence != 1) return -1;
    f->offset = static_cast<size_t>(static_cast<int64_t>(f->offset) + offset);
    return 0;
}

std::vector<uint8_t> Counting(size_t n) {
    std::vector<uint8_t> v(n);
    std::iota(v.begin(), v.end(), uint8_t{0});
    return v;
}

struct StreamFixture : ::testing::Test {
    uint8_t buffer[XR_STREAM_BUFFER_SIZE];
    CodecStream s;
    FakeFile file;
    void OpenRead() { ASSERT_EQ(StreamInit(&s, buffer, sizeof buffer, &file, FakeRead), XR_OK); }
    void OpenWrite() {
        ASSERT_EQ(StreamInit(&s, buffer, sizeof buffer, &file, FakeWrite), XR_OK);
        StreamReset(&s, XR_STREAM_WRITE);
    }
};

TEST_F(StreamFixture, EmptyFileFailsStickilyWithEndOfData) {
    OpenRead();
    EXPECT_EQ(s.capacity, 4088);
    EXPECT_EQ(StreamGetByte(&s), -1);
    EXPECT_EQ(s.error, XR_ERR_STREAM_END);
    size_t calls = file.requests.size();
    file.data = {1, 2, 3};  // data appearing later must not clear the error
    EXPECT_EQ(StreamGetByte(&s), -1);
    uint8_t b;
    EXPECT_EQ(StreamReadU8(&s, &b), -1);
    EXPECT_EQ(file.requests.size(), calls);
}

TEST_F(StreamFixture, ShortReadsStillYieldEveryByteInOrder) {
    file.data = Counting(300);
    file.chunk = 1;
    OpenRead();
    for (int i = 0; i < 300; ++i) ASSERT_EQ(StreamGetByte(&s), i % 256) << i;
    EXPECT_EQ(s.count, 300);
    EXPECT_EQ(s.position, 300);
}

TEST_F(StreamFixture, LongReadRefillsTheStagingArea) {
    file.data = Counting(5000);
    OpenRead();
    std::vector<uint8_t> out(5000);
    ASSERT_EQ(StreamRead(&s, out.data(), 5000), 0);
    EXPECT_EQ(out, file.data);
    ASSERT_EQ(file.requests.size(), 2u);
    EXPECT_EQ(file.requests[0], 4088);
    EXPECT_EQ(file.requests[1], 4088);
}

TEST_F(StreamFixture, MultiByteReadsAreBigEndianAndReportFailure) {
    file.data = {0x12, 0x34, 0xDE, 0xAD, 0xBE, 0xEF, 0x01};
    OpenRead();
    uint16_t u16;
    uint32_t u32;
    ASSERT_EQ(StreamReadU16(&s, &u16), 0);
    EXPECT_EQ(u16, 0x1234);
    ASSERT_EQ(StreamReadU32(&s, &u32), 0);
    EXPECT_EQ(u32, 0xDEADBEEFu);
    EXPECT_EQ(StreamReadU16(&s, &u16), -1);  // one byte left
}

TEST_F(StreamFixture, ReadCallbackErrorAndOverlongAnswersSetDistinctCodes) {
    file.failWith = -1;
    OpenRead();
    EXPECT_EQ(StreamGetByte(&s), -1);
    EXPECT_EQ(s.error, XR_ERR_STREAM_CALLBACK);

    StreamInit(&s, buffer, sizeof buffer, &file,
               [](uint8_t*, int32_t count, void*) -> int32_t { return count + 1; });
    EXPECT_EQ(StreamGetByte(&s), -1);
    EXPECT_EQ(s.error, XR_ERR_STREAM_END);
}

TEST_F(StreamFixture, PeekU16WithOneByteStagedRefillsWithoutConsuming) {
    file.data = Counting(4090);
    OpenRead();
    ASSERT_EQ(StreamSkip(&s, 4087), 0);  // one byte of the first fill is left
    EXPECT_EQ(s.limit - s.cursor, 1);
    EXPECT_EQ(StreamPeekU16(&s), (4087 % 256) << 8 | (4088 % 256));
    EXPECT_EQ(s.cursor, s.base);
    EXPECT_EQ(StreamGetByte(&s), 4087 % 256);
    EXPECT_EQ(StreamPeekU8(&s), 4088 % 256);
    EXPECT_EQ(s.position, 4088);
}

TEST_F(StreamFixture, UnreadWithinStagedBytesThenThroughSeek) {
    file.data = Counting(5000);
    OpenRead();
    StreamSetSeek(&s, FakeSeek);
    StreamGetByte(&s);
    StreamGetByte(&s);
    ASSERT_EQ(StreamUnread(&s, 2), 0);  // still in the staging area: no seek
    EXPECT_TRUE(file.seeks.empty());
    EXPECT_EQ(StreamGetByte(&s), 0);

    ASSERT_EQ(StreamSkip(&s, 4087), 0);  // cursor at the staging end
    EXPECT_EQ(StreamGetByte(&s), 4088 % 256);  // refill, one byte consumed
    int32_t staged = static_cast<int32_t>(s.limit - s.cursor);
    ASSERT_EQ(StreamUnread(&s, 2), 0);
    ASSERT_EQ(file.seeks.size(), 1u);
    EXPECT_EQ(file.seeks[0], std::make_pair(-(2 + staged), 1));
    EXPECT_EQ(s.position, 4087);
    EXPECT_EQ(StreamGetByte(&s), 4087 % 256);
    EXPECT_EQ(StreamGetByte(&s), 4088 % 256);
}

TEST_F(StreamFixture, UnreadWithoutSeekOrWithFailingSeek) {
    file.data = Counting(5000);
    OpenRead();
    StreamSkip(&s, 4088);
    StreamGetByte(&s);
    EXPECT_EQ(StreamUnread(&s, 2), -1);
    EXPECT_EQ(s.error, XR_ERR_STREAM_NO_CALLBACK);

    file.offset = 0;
    OpenRead();
    StreamSetSeek(&s, [](void*, int32_t, int32_t) -> int32_t { return 5; });
    StreamGetByte(&s);
    EXPECT_EQ(StreamUnread(&s, 3), -1);
    EXPECT_EQ(s.error, XR_ERR_STREAM_SEEK);
}

TEST_F(StreamFixture, ResetRejectsUnknownDirections) {
    OpenRead();
    CodecStream before = s;
    EXPECT_EQ(StreamReset(&s, 3), -1);
    EXPECT_EQ(std::memcmp(&before, &s, sizeof s), 0);
    EXPECT_EQ(StreamInit(nullptr, buffer, sizeof buffer, nullptr, nullptr), XR_ERR_ARGUMENT);
    EXPECT_EQ(StreamInit(&s, buffer, 9, nullptr, nullptr), XR_ERR_ARGUMENT);
}

TEST_F(StreamFixture, WritesStageUntilFullAndFlushEverything) {
    OpenWrite();
    std::vector<uint8_t> payload = Counting(10000);
    ASSERT_EQ(StreamWriteU16(&s, 0xABCD), 0);
    ASSERT_EQ(StreamWriteU32(&s, 0x01020304), 0);
    ASSERT_EQ(StreamWrite(&s, payload.data(), 10000), 0);
    EXPECT_EQ(file.requests.size(), 2u);  // two full staging areas so far
    ASSERT_EQ(StreamFlush(&s), 0);
    ASSERT_EQ(file.data.size(), 10006u);
    EXPECT_EQ(file.data[0], 0xAB);
    EXPECT_EQ(file.data[5], 0x04);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), file.data.begin() + 6));
    EXPECT_EQ(StreamFlush(&s), 0);  // nothing staged: no call
    EXPECT_EQ(file.requests.size(), 3u);
}

TEST_F(StreamFixture, ShortWritesLoseNoBytes) {
    file.chunk = 7;
    OpenWrite();
    std::vector<uint8_t> payload = Counting(5000);
    ASSERT_EQ(StreamWrite(&s, payload.data(), 5000), 0);
    ASSERT_EQ(StreamFlush(&s), 0);
    EXPECT_EQ(file.data, payload);
}

TEST_F(StreamFixture, FailedWriteIsSticky) {
    file.failWith = 0;
    OpenWrite();
    StreamPutByte(&s, 1);
    EXPECT_EQ(StreamFlush(&s), -1);
    EXPECT_EQ(s.error, XR_ERR_STREAM_END);
    EXPECT_EQ(StreamWriteU8(&s, 2), -1);
    EXPECT_EQ(StreamFlush(&s), -1);
}

TEST(MemoryStream, ReadsItsBlockAndFailsPastTheEndWithNoCallback) {
    uint8_t block[4] = {9, 8, 7, 6};
    CodecStream s;
    ASSERT_EQ(StreamInitMemory(&s, block, 4), XR_OK);
    uint32_t v;
    ASSERT_EQ(StreamReadU32(&s, &v), 0);
    EXPECT_EQ(v, 0x09080706u);
    EXPECT_EQ(StreamGetByte(&s), -1);
    EXPECT_EQ(s.error, XR_ERR_STREAM_NO_CALLBACK);
    EXPECT_EQ(block[0], 9);  // the block is never shifted
}

TEST(MemoryStream, SeekClampsTheCursorAndResetRewinds) {
    uint8_t block[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    CodecStream s;
    StreamInitMemory(&s, block, 10);
    EXPECT_EQ(StreamMemSeek(&s, 25, 0), 0);
    EXPECT_EQ(s.cursor, s.limit);
    EXPECT_EQ(StreamMemSeek(&s, -3, 2), 0);
    EXPECT_EQ(StreamGetByte(&s), 7);
    EXPECT_EQ(StreamMemSeek(&s, -100, 1), 0);
    EXPECT_EQ(s.cursor, s.base);
    EXPECT_EQ(StreamMemSeek(&s, 0, 3), -1);
    StreamSkip(&s, 6);
    EXPECT_EQ(StreamMemRewind(&s), 0);
    EXPECT_EQ(StreamGetByte(&s), 0);
    StreamSkip(&s, 4);
    // Binding to a codec resets the stream; a memory stream keeps its bytes.
    EXPECT_EQ(StreamReset(&s, XR_STREAM_READ), 0);
    EXPECT_EQ(StreamGetByte(&s), 0);
}

TEST(MemoryStream, WritesUpToItsSize) {
    uint8_t block[3] = {};
    CodecStream s;
    StreamInitMemory(&s, block, 3);
    StreamReset(&s, XR_STREAM_WRITE);
    EXPECT_EQ(StreamWriteU16(&s, 0x0102), 0);
    EXPECT_EQ(StreamWriteU16(&s, 0x0304), -1);
    EXPECT_EQ(s.error, XR_ERR_STREAM_NO_CALLBACK);
    EXPECT_EQ(block[0], 1);
    EXPECT_EQ(block[2], 3);
}

}  // namespace
