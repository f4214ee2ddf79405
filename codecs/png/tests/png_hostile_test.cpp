// Hostile input: files cut at every length, every bit flipped, random mutants,
// zlib bombs and absurd chunk lengths. Each must end in a status, quickly, and
// damage the CRCs cover must never go unnoticed.
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <random>

#include "png_test_support.hpp"

using namespace pngtest;

namespace {

struct Sample {
    const char* name;
    Picture picture;
    Layout layout;
    Bytes file() const { return BuildPng(picture, layout); }
};

std::vector<Sample> Samples() {
    Layout mixed{{0, 1, 2, 3, 4}, false, 0, {}};
    Layout adam7{{0, 1, 2, 3, 4}, true, 0, {}};
    Layout split{{0, 1, 2, 3, 4}, false, 40, {{"gAMA", {0, 0, 0xB1, 0x8F}}}};
    return {{"truecolour", RandomPicture(17, 9, 8, 2, 1), mixed},
            {"interlaced palette", RandomPicture(9, 9, 8, 3, 2), adam7},
            {"grey 1-bit", RandomPicture(33, 5, 1, 0, 3), mixed},
            {"split rgba", RandomPicture(12, 7, 8, 6, 4), split}};
}

TEST(PngHostile, EveryTruncationFailsUntilTheImageDataIsComplete) {
    for (const Sample& s : Samples()) {
        Bytes file = s.file();
        size_t complete = EndOfImageData(file);
        for (size_t length = 0; length < file.size(); ++length) {
            for (bool byLine : {false, true}) {
                Decoded d = DecodePng(Bytes(file.begin(), file.begin() + static_cast<ptrdiff_t>(length)),
                                      byLine && !s.layout.interlace);
                // Before the last 8 bytes of image data rows are missing; from there on
                // (zlib trailer, CRC, IEND) every row may be in and the pixels must be right.
                if (length < complete - 8) {
                    ASSERT_NE(d.status, XR_OK) << s.name << " cut at " << length;
                } else if (length >= complete || d.status == XR_OK) {
                    ASSERT_EQ(d.status, XR_OK) << s.name << " cut at " << length;
                    ASSERT_EQ(d.pixels, ExpectedPixels(s.picture)) << s.name << " cut at " << length;
                }
            }
        }
    }
}

// From the signature to the last IDAT's CRC everything is checked: a flipped bit must
// fail, except the last IDAT's length grown past the end of the file, which reads as a
// file cut after its image data (accepted, pixels right). The IEND is never read.
TEST(PngHostile, EveryFlippedBitBeforeTheEndOfTheImageDataIsCaught) {
    for (const Sample& s : Samples()) {
        Bytes file = s.file();
        size_t covered = EndOfImageData(file) + 4, lastLength = 0;
        for (const ChunkInfo& c : Chunks(file))
            if (c.type == "IDAT") lastLength = c.offset;
        int silent = 0;
        for (size_t at = 0; at < file.size(); ++at) {
            for (int bit = 0; bit < 8; ++bit) {
                Bytes bad = file;
                bad[at] = static_cast<uint8_t>(bad[at] ^ (1 << bit));
                Decoded d = DecodePng(bad, !s.layout.interlace);
                bool grown = at >= lastLength && at < lastLength + 4 && bad[at] > file[at];
                if (grown && d.status == XR_OK) EXPECT_EQ(d.pixels, ExpectedPixels(s.picture)) << s.name << " " << at;
                else if (at < covered) EXPECT_NE(d.status, XR_OK) << s.name << " byte " << at << " bit " << bit;
                else silent += d.status == XR_OK;
            }
        }
        EXPECT_EQ(silent, 12 * 8) << "only the IEND may be damaged unnoticed";
    }
}

TEST(PngHostile, RandomMutantsEndInAStatus) {
    std::mt19937 rng(2024);
    for (const Sample& s : Samples()) {
        Bytes file = s.file();
        for (int round = 0; round < 1500; ++round) {
            Bytes bad = file;
            for (int e = 1 + static_cast<int>(rng() % 8); e > 0; --e) {
                auto at = static_cast<ptrdiff_t>(rng() % bad.size());
                switch (rng() % 4) {
                    case 0: bad[static_cast<size_t>(at)] = static_cast<uint8_t>(rng()); break;
                    case 1: bad.erase(bad.begin() + at); break;
                    case 2: bad.insert(bad.begin() + at, static_cast<uint8_t>(rng())); break;
                    default: bad[static_cast<size_t>(at)] = bad[static_cast<size_t>(at)] ? 0xFF : 0; break;
                }
            }
            DecodePng(bad, round % 2 == 0, round % 3 == 0 ? 5 : 0);  // any status; the sanitizers watch
        }
    }
}

TEST(PngHostile, ZlibBombsInflateNoMoreThanTheImageNeeds) {
    z_stream z{};  // 1 GiB of zero rows deflated to about 1 MiB
    deflateInit(&z, 9);
    Bytes zeros(1 << 20, 0), bomb, block(1 << 16);
    for (int i = 1024; i > 0; --i) {
        z.next_in = zeros.data();
        z.avail_in = static_cast<uInt>(zeros.size());
        do {
            z.next_out = block.data();
            z.avail_out = static_cast<uInt>(block.size());
            deflate(&z, i == 1 ? Z_FINISH : Z_NO_FLUSH);
            bomb.insert(bomb.end(), block.data(), block.data() + (block.size() - z.avail_out));
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    for (size_t step : {bomb.size(), size_t{4096}}) {
        Bytes file = Signature();
        AppendChunk(file, "IHDR", Ihdr(64, 64, 8, 0));
        for (size_t at = 0; at < bomb.size(); at += step)
            AppendChunk(file, "IDAT", Bytes(bomb.begin() + static_cast<ptrdiff_t>(at),
                                            bomb.begin() + static_cast<ptrdiff_t>(std::min(bomb.size(), at + step))));
        AppendChunk(file, "IEND", {});
        auto start = std::chrono::steady_clock::now();
        Decoded d = DecodePng(file, true);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(d.status, XR_OK) << "the rows are all there; the rest is surplus";
        EXPECT_EQ(d.pixels, Bytes(64 * 64, 0));
        EXPECT_LT(seconds, 0.5) << "inflating the surplus would take seconds";
    }
}

TEST(PngHostile, AbsurdChunkLengthsAndEndlessEmptyChunks) {
    Picture p = RandomPicture(4, 4, 8, 0, 1);
    Bytes z = Deflate(FilteredData(p, {0}, false));
    auto withIhdr = [](std::initializer_list<uint8_t> rest) {
        Bytes f = Signature();
        AppendChunk(f, "IHDR", Ihdr(4, 4, 8, 0));
        f.insert(f.end(), rest);
        return f;
    };
    EXPECT_EQ(DecodePng(withIhdr({0xFF, 0xFF, 0xFF, 0xFF, 't', 'E', 'X', 't', 0})).headerStatus, XR_ERR_FORMAT);
    Bytes file = Signature();
    AppendChunk(file, "IHDR", Ihdr(4, 4, 8, 0));
    AppendChunk(file, "IDAT", Bytes(z.begin(), z.begin() + 5));
    file.insert(file.end(), {0x80, 0, 0, 0, 'I', 'D', 'A', 'T', 0, 0});  // next IDAT over 2^31 - 1
    EXPECT_EQ(DecodePng(file).status, XR_ERR_INTERNAL);
    // A length past the end of the file: the zlib stream ends first, or the file does.
    file = withIhdr({0x7F, 0xFF, 0xFF, 0xFF, 'I', 'D', 'A', 'T'});
    file.insert(file.end(), z.begin(), z.end());
    EXPECT_EQ(DecodePng(file, false, 100).status, XR_OK);
    EXPECT_EQ(DecodePng(Bytes(file.begin(), file.end() - 8), false, 100).status, XR_ERR_STREAM_END);
    // Thousands of empty IDATs: around the data they are harmless; alone they end it early.
    file = Signature();
    AppendChunk(file, "IHDR", Ihdr(4, 4, 8, 0));
    for (int i = 0; i < 5000; ++i) AppendChunk(file, "IDAT", {});
    Bytes emptyOnly = file;
    AppendChunk(emptyOnly, "IEND", {});
    EXPECT_EQ(DecodePng(emptyOnly).status, XR_ERR_TRUNCATED);
    AppendChunk(file, "IDAT", z);
    AppendChunk(file, "IEND", {});
    EXPECT_EQ(DecodePng(file).pixels, ExpectedPixels(p));
}

}  // namespace
