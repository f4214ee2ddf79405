// Hostile input: every truncation, random corruption, broken headers and codes,
// floods of clear codes and extensions, data past the image, huge screens. Each
// ends in a status, never a crash, a hang or a wrong success.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "gif_test_support.hpp"
#include "test_streams.hpp"

using namespace giftest;

namespace {

GifPlan Picture(uint16_t width, uint16_t height, uint32_t seed) {
    GifPlan plan;
    plan.width = width, plan.height = height;
    plan.globalTable = MakeTable(256);
    plan.pixels = RandomPixels(size_t{width} * height, 256, seed);
    return plan;
}

std::vector<Bytes> Samples() {
    std::vector<Bytes> files;
    files.push_back(BuildGif(Picture(9, 7, 1)));
    GifPlan interlaced = Picture(8, 9, 2);
    interlaced.interlaced = true, interlaced.blockSize = 7;
    files.push_back(BuildGif(interlaced));
    GifPlan local = Picture(5, 5, 3);
    local.signature = "GIF87a", local.globalTable = MakeTable(4), local.localTable = MakeTable(16, 5);
    local.beforeImage = Comment("made by hand");
    for (auto& p : local.pixels) p &= 15;
    local.minCodeSize = 4;
    files.push_back(BuildGif(local));
    GifPlan clipped = Picture(12, 6, 4);
    clipped.screenWidth = 5, clipped.screenHeight = 20, clipped.interlaced = true;
    files.push_back(BuildGif(clipped));
    GifPlan full = Picture(90, 80, 5);  // fills the table
    full.lzw.clearWhenFull = false;
    files.push_back(BuildGif(full));
    return files;
}

TEST(GifHostile, EveryTruncationGivesAStatusOrTheWholeImage) {
    for (const Bytes& file : Samples()) {
        Decoded complete = DecodeGif(file);
        ASSERT_EQ(complete.status, XR_OK);
        for (size_t length = 0; length < file.size(); ++length) {
            for (Calls calls : {Calls::kLines, Calls::kWhole}) {
                Decoded d = DecodeGif(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length)), calls);
                if (d.status != XR_OK) continue;
                // Only the trailer, the terminator or the bits after the last pixel may go.
                ASSERT_GT(length, file.size() - 8) << "success from " << length << " of " << file.size();
                ASSERT_EQ(d.pixels, complete.pixels);
            }
        }
    }
}

TEST(GifHostile, RandomCorruptionEndsInAStatus) {
    uint32_t state = 77;
    auto next = [&state] { return state ^= state << 13, state ^= state >> 17, state ^= state << 5; };
    size_t decoded = 0, refused = 0;
    for (const Bytes& original : Samples()) {
        for (int round = 0; round < 1500; ++round) {
            Bytes file = original;
            for (uint32_t i = 0, n = 1 + next() % 6; i < n; ++i) {
                auto at = file.begin() + static_cast<std::ptrdiff_t>(next() % file.size());
                switch (next() % 4) {
                    case 0: *at = static_cast<uint8_t>(next()); break;
                    case 1: *at ^= static_cast<uint8_t>(1u << next() % 8); break;
                    case 2: if (file.size() > 1) file.erase(at); break;
                    default: file.insert(at, static_cast<uint8_t>(next())); break;
                }
            }
            for (Calls calls : {Calls::kLines, Calls::kWhole}) ++(DecodeGif(file, calls).status == XR_OK ? decoded : refused);
        }
    }
    EXPECT_GT(decoded, 0u);
    EXPECT_GT(refused, 0u);
}

TEST(GifHostile, BrokenHeadersAndCodes) {
    Bytes file = BuildGif(Picture(4, 4, 1));
    auto header = [](Bytes bytes) { return OpenDecoder(std::move(bytes)).headerStatus; };
    auto prefix = [&file](size_t n) { return Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n)); };
    Bytes noImage = prefix(13 + 768), extension = Comment("no picture"), endless;
    noImage.push_back(';');
    endless = prefix(13 + 768);
    endless.insert(endless.end(), extension.begin(), extension.end() - 1);  // sub-blocks never end
    EXPECT_EQ(header(prefix(13 + 100)), XR_ERR_FORMAT) << "global table cut short";
    EXPECT_EQ(header(noImage), XR_ERR_FORMAT) << "trailer before any image";
    EXPECT_EQ(header(endless), XR_ERR_FORMAT);
    EXPECT_EQ(header(prefix(13 + 768 + 6)), XR_ERR_FORMAT) << "descriptor cut short";
    EXPECT_EQ(header({}), XR_ERR_STREAM_NO_CALLBACK);
    EXPECT_EQ(header({'G', 'I', 'F', '8', '9', 'a', 1, 0}), XR_ERR_STREAM_NO_CALLBACK);

    GifPlan plan = Picture(8, 2, 1);
    for (uint8_t size : {uint8_t{0}, uint8_t{1}, uint8_t{9}, uint8_t{12}, uint8_t{255}}) {
        plan.data = {size, 2, 0, 0, 0};
        EXPECT_EQ(DecodeGif(BuildGif(plan)).status, XR_ERR_FORMAT) << "minimum code size " << int{size};
    }
    for (const std::vector<uint32_t>& codes : {std::vector<uint32_t>{256, 1, 2, 260, 257},  // beyond the next free code
                                               std::vector<uint32_t>{256, 1, 256, 258, 257},  // undefined right after a clear
                                               std::vector<uint32_t>{258, 257}}) {
        plan.data = LzwData(WithWidths(codes, 8), 8);
        EXPECT_EQ(DecodeGif(BuildGif(plan), Calls::kLines).status, XR_ERR_FORMAT);
    }
}

TEST(GifHostile, DataEndingEarlyAndStreamFailuresAreKept) {
    GifPlan plan = Picture(8, 4, 1);
    LzwOptions noEnd;
    noEnd.endCode = false;
    plan.data = LzwData(LzwCodes(Bytes(plan.pixels.begin(), plan.pixels.begin() + 12), 8, noEnd), 8);
    Decoded whole = DecodeGif(BuildGif(plan));
    EXPECT_EQ(whole.status, XR_GIF_DATA_ENDED);
    EXPECT_TRUE(std::equal(plan.pixels.begin(), plan.pixels.begin() + 8, whole.pixels.begin())) << "row 0 stays";
    OpenDecoder open(BuildGif(plan));
    Bytes pixels(32), palette(1024);
    XrImage record = open.header;
    record.PIXELS = pixels.data(), record.PALBUT = palette.data();
    ASSERT_EQ(GifDecStart(open.get(), &record), XR_OK);
    EXPECT_EQ(GifDecDecodeLine(open.get(), pixels.data()), XR_OK);
    EXPECT_EQ(GifDecDecodeLine(open.get(), pixels.data() + 8), XR_GIF_DATA_ENDED);
    EXPECT_EQ(GifDecDecodeLine(open.get(), pixels.data() + 16), XR_GIF_DATA_ENDED) << "kept";

    plan.data.pop_back();  // no terminator: the trailer reads as a block size, then the data runs out
    EXPECT_EQ(DecodeGif(BuildGif(plan)).status, XR_ERR_STREAM_NO_CALLBACK);

    Bytes bytes = BuildGif(Picture(40, 40, 3));
    teststreams::PieceSource source{&bytes, 64, 900};  // a read error inside the image data
    std::vector<uint64_t> handle((static_cast<size_t>(GifDecGetHandleSize()) + 7) / 8), work(XR_GIF_DEC_WORK_SIZE / 8);
    uint8_t buffer[XR_STREAM_BUFFER_SIZE];
    CodecStream stream;
    StreamInit(&stream, buffer, sizeof buffer, &source, teststreams::PieceSource::Read);
    GifDecInit(handle.data());
    GifDecSetStream(handle.data(), &stream);
    uint32_t size;
    ASSERT_EQ(GifDecReadHeader(handle.data(), &record, &size, nullptr), XR_OK);
    GifDecSetWork(handle.data(), work.data());
    Bytes big(1600);
    record.PIXELS = big.data();
    ASSERT_EQ(GifDecStart(handle.data(), &record), XR_OK);
    EXPECT_EQ(GifDecDecodeImage(handle.data(), big.data()), XR_ERR_STREAM_CALLBACK);
    EXPECT_EQ(GifDecDecodeLine(handle.data(), big.data()), XR_ERR_STREAM_CALLBACK);
}

TEST(GifHostile, FloodsEndInTimeAndDataPastTheImageIsNotRead) {
    auto started = std::chrono::steady_clock::now();
    GifPlan clears = Picture(16, 16, 6), extensions = Picture(16, 16, 6);
    clears.lzw.leadingClears = 200000;
    for (int i = 0; i < 50000; ++i) {
        Bytes comment = Comment("x");
        extensions.beforeImage.insert(extensions.beforeImage.end(), comment.begin(), comment.end());
    }
    EXPECT_EQ(DecodeGif(BuildGif(clears)).pixels, clears.pixels);
    EXPECT_EQ(DecodeGif(BuildGif(extensions)).pixels, extensions.pixels);
    clears.data = LzwData(WithWidths(std::vector<uint32_t>(100000, 256), 8), 8);  // nothing but clears
    EXPECT_EQ(DecodeGif(BuildGif(clears)).status, XR_GIF_DATA_ENDED);

    GifPlan plan = Picture(10, 10, 8);
    LzwOptions noEnd;
    noEnd.endCode = false;
    std::vector<Code> codes = LzwCodes(plan.pixels, 8, noEnd);
    codes.insert(codes.end(), 700000, Code{1, 12});  // a megabyte of further codes, no end code
    plan.data = LzwData(codes, 8);
    OpenDecoder open(BuildGif(plan));
    Bytes pixels(100), palette(1024);
    XrImage record = open.header;
    record.PIXELS = pixels.data(), record.PALBUT = palette.data();
    ASSERT_EQ(GifDecStart(open.get(), &record), XR_OK);
    ASSERT_EQ(GifDecDecodeImage(open.get(), pixels.data()), XR_OK);
    EXPECT_EQ(pixels, plan.pixels);
    EXPECT_LT(open.stream.position, 13 + 768 + 10 + 1000) << "read far past the image";
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
}

TEST(GifHostile, HugeScreensWithLittleDataScaleQuickly) {
    auto started = std::chrono::steady_clock::now();
    GifPlan plan = Picture(1, 1, 1);
    plan.screenWidth = plan.screenHeight = plan.width = plan.height = 65535;
    for (bool endCode : {false, true}) {
        for (bool interlaced : {false, true}) {
            if (endCode && !interlaced) continue;  // the line-by-line stepping reads every row
            plan.data = LzwData(WithWidths(endCode ? std::vector<uint32_t>{256, 1, 2, 3, 257} : std::vector<uint32_t>{256, 1, 2, 3}, 8), 8);
            if (!endCode) plan.data.pop_back();  // and no terminator: the data runs out
            plan.interlaced = interlaced;
            OpenDecoder open(BuildGif(plan));
            ASSERT_EQ(open.header.WIDTH, 65535);
            Bytes line(65535 * 4), pixels(16), palette(1024);
            XrImage target{};
            target.MODE = XR_MODE_INDEX, target.WIDTH = 4, target.HEIGHT = 4, target.LINEINT = 4, target.PALCOUNT = 256;
            target.PIXELS = pixels.data(), target.PALBUT = palette.data();
            GifDecSetLineBuffer(open.get(), line.data());
            ASSERT_EQ(GifDecSetScaledOutput(open.get(), &target, nullptr), XR_OK);
            CodecStatus status = GifDecDecodeScaledImage(open.get(), pixels.data());
            if (!endCode) {
                EXPECT_EQ(status, XR_ERR_STREAM_NO_CALLBACK);
            } else {
                EXPECT_EQ(status, XR_OK);
                EXPECT_EQ(pixels, Bytes({1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
            }
        }
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
}

}  // namespace
