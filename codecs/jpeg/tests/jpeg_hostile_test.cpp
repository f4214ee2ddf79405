// Damaged and malicious streams: every outcome is a status, and any lines
// delivered before it equal the intact file's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "jpeg_test_support.hpp"

namespace {

using namespace jpegtest;

int32_t Texture(size_t c, uint32_t x, uint32_t y) {
    return static_cast<int32_t>((x * x * 3 + y * 11 + c * 70 + (x ^ y) * 5) % 256);
}

std::vector<std::pair<std::string, Bytes>> Samples() {
    std::vector<std::pair<std::string, Bytes>> files;
    std::vector<Comp> ycc = {{1, 2, 2}, {2, 1, 1, 1, 1, 1}, {3, 1, 1, 1, 1, 1}};
    files.emplace_back("420", Encode(MakePicture(40, 35, 8, ycc, Texture, 4)));
    files.emplace_back("420 restart", Encode(MakePicture(40, 35, 8, ycc, Texture, 4), {.restart = 2}));
    files.emplace_back("grey dnl", Encode(MakePicture(30, 21, 8, {{1, 1, 1}}, Texture, 2), {.heightInDnl = true}));
    files.emplace_back("12-bit", Encode(MakePicture(17, 9, 12, {{1, 1, 1}}, Texture, 8), {.sof = 0xC1, .wideQuant = true}));
    TiffBuilder t;
    Bytes thumb = Encode(MakePicture(8, 8, 8, {{1, 1, 1}}, Texture, 4));
    Bytes tiff = t.Build({t.Ascii(271, "Maker name"), t.Rational(282, 72, 1)}, {t.Short(40961, {1})},
                         {t.Short(259, {6}), t.Long(513, 0), t.Long(514, static_cast<uint32_t>(thumb.size()))}, thumb);
    files.emplace_back("exif", Encode(MakePicture(16, 16, 8, ycc, Texture, 4), {.segments = {Jfif(1, 2, 3), ExifSegment(tiff)}}));
    return files;
}

void Check(const Decoded& d, const Decoded& intact, const std::string& what) {
    // Without its DNL a stream's height is unknown, and whole MCU rows may come out.
    uint32_t height = intact.header.HEIGHT ? intact.header.HEIGHT : (intact.lines + 15) / 16 * 16;
    ASSERT_LE(d.lines, height) << what;
    if (d.status == XR_OK) {
        ASSERT_EQ(d.lines, intact.lines) << what;
    }
    uint32_t common = std::min(d.lines, intact.lines);
    if (common && d.header.MODE == intact.header.MODE) {
        ASSERT_EQ(0, std::memcmp(d.pixels.data(), intact.pixels.data(), size_t{common} * d.lineBytes)) << what;
    }
}

TEST(JpegHostile, TruncatedAtEveryLength) {
    for (const auto& [name, file] : Samples()) {
        Decoded intact = Decode(file);
        ASSERT_TRUE(intact.status == XR_OK || intact.status == XR_JPG_END_OF_IMAGE) << name;
        for (size_t n = 0; n < file.size(); ++n) {
            Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n));
            std::string what = name + " cut at " + std::to_string(n);
            Decoded d = Decode(cut);
            Check(d, intact, what);
            Decoded lines = Decode(cut, {.byLine = true, .chunk = 13});
            Check(lines, intact, what + " by line");
            if (n + 2 < file.size() && name != "grey dnl") {
                EXPECT_NE(d.status, XR_OK) << what;
                EXPECT_NE(lines.status, XR_OK) << what;
            }
            Decoded thumb = Decode(cut, {.thumbnail = true});
            EXPECT_LE(thumb.lines, 16u);
        }
    }
}

// Deterministic byte changes in every part of the files.
TEST(JpegHostile, CorruptedBytesGiveStatuses) {
    uint32_t state = 12345;
    auto next = [&] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    for (const auto& [name, file] : Samples()) {
        for (int round = 0; round < 400; ++round) {
            Bytes bad = file;
            uint32_t changes = 1 + next() % 4;
            for (uint32_t i = 0; i < changes; ++i) {
                size_t at = next() % bad.size();
                uint32_t kind = next() % 4;
                if (kind == 0) bad[at] = 0xFF;
                else if (kind == 1) bad[at] = static_cast<uint8_t>(next());
                else if (kind == 2) bad[at] ^= static_cast<uint8_t>(1u << (next() % 8));
                else bad.insert(bad.begin() + static_cast<std::ptrdiff_t>(at), 0xFF);
            }
            for (bool thumbnail : {false, true}) {
                Decoded d = Decode(bad, {.thumbnail = thumbnail, .chunk = round % 2 ? 0 : 11});
                if (d.headerStatus == XR_OK && !thumbnail) {
                    ASSERT_LE(d.lines, d.header.HEIGHT ? d.header.HEIGHT : 16383u) << name << " " << round;
                }
            }
        }
    }
}

TEST(JpegHostile, ExtremeFrames) {
    // 65535 x 65535 with no data at all: header fine, no lines.
    Bytes file = {0xFF, 0xD8};
    Bytes q(65, 1);
    q[0] = 0;
    for (const Bytes& s : {Segment(0xDB, q), Segment(0xC0, {8, 0xFF, 0xFE, 0xFF, 0xFF, 1, 1, 0x11, 0}),
                           Segment(0xDA, {1, 1, 0, 0, 63, 0})})
        file.insert(file.end(), s.begin(), s.end());
    file.insert(file.end(), {0xFF, 0xD9});
    OpenDecoder d(file);
    ASSERT_EQ(d.headerStatus, XR_OK);
    EXPECT_EQ(d.header.WIDTH, 65535);
    EXPECT_EQ(d.header.HEIGHT, 65534);
    EXPECT_EQ(d.workSize, (65535u + 32u) * 48u);
    ASSERT_EQ(JpgDecSetOutput(d.get(), &d.header), XR_OK);
    Bytes line(65535);
    EXPECT_EQ(JpgDecDecodeLine(d.get(), line.data(), nullptr), XR_JPG_END_OF_IMAGE);
    // Frame height 65535 counts as "given by DNL".
    file[2 + 69 + 6] = 0xFF;
    OpenDecoder unknown(file);
    EXPECT_EQ(unknown.headerStatus, XR_OK);
    EXPECT_EQ(unknown.header.HEIGHT, 0);
    // SOS without a frame, and a zero-width frame.
    Bytes noFrame = {0xFF, 0xD8};
    Bytes sos = Segment(0xDA, {1, 1, 0, 0, 63, 0});
    noFrame.insert(noFrame.end(), sos.begin(), sos.end());
    EXPECT_EQ(Decode(noFrame).headerStatus, XR_ERR_FORMAT);
    file[2 + 69 + 7] = 0;
    file[2 + 69 + 8] = 0;
    EXPECT_EQ(Decode(file).headerStatus, XR_ERR_FORMAT);
}

TEST(JpegHostile, SegmentLengthsAndMarkersInsideTheData) {
    Bytes file = Encode(MakePicture(16, 16, 8, {{1, 1, 1}}, Texture, 4));
    Decoded intact = Decode(file);
    // Segments in the middle of the scan are passed over and the data goes on behind them.
    size_t sos = 0;
    while (!(file[sos] == 0xFF && file[sos + 1] == 0xDA)) ++sos;
    size_t data = sos + 2 + 8;
    ASSERT_NE(file[data + 4], 0xFF);
    Bytes com = file;
    for (const Bytes& seg : {Segment(0xFE, {'x', 'y'}), Bytes{0xFF, 0xFF, 0xD8}, Segment(0xDC, {0, 99})})
        com.insert(com.begin() + static_cast<std::ptrdiff_t>(data + 5), seg.begin(), seg.end());
    Decoded passed = Decode(com);
    EXPECT_EQ(passed.status, XR_OK);
    EXPECT_EQ(passed.pixels, intact.pixels);
    // Segment length below 2.
    Bytes tiny = file;
    tiny.insert(tiny.begin() + 2, {0xFF, 0xFE, 0x00, 0x01});
    EXPECT_EQ(Decode(tiny).headerStatus, XR_JPG_MARKER);
    // A DQT whose table runs past its segment.
    Bytes dqt = file;
    dqt[5] = 40;
    EXPECT_NE(Decode(dqt).headerStatus, XR_OK);
    // Data that ends in a stream failure right after the SOS.
    Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(data));
    EXPECT_EQ(Decode(cut).status, XR_ERR_STREAM_NO_CALLBACK);
}

}  // namespace
