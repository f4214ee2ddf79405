#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "lumapix/format_registry.h"

namespace {

TEST(DetectFormat, ExtensionsMatchByPrefixIgnoringCase) {
    const std::pair<const char*, int32_t> cases[] = {
        {"photo.JPG", XR_FORMAT_JPG},   {"photo.jpgx", XR_FORMAT_JPG},   {"photo.jpeg", XR_FORMAT_NONE},
        {"scan.mhr", XR_FORMAT_MH},     {"a.mmr", XR_FORMAT_MMR},        {"a.mr", XR_FORMAT_MR},
        {"x.j2k", XR_FORMAT_JP2},       {"x.jpc", XR_FORMAT_JP2},        {"x.PGM", XR_FORMAT_PNM},
        {"x.pbm", XR_FORMAT_PNM},       {"x.raw", XR_FORMAT_RAW},        {"x.rle", XR_FORMAT_RLE},
        {"x.dcm", XR_FORMAT_DCM},       {"song.mp3", XR_FORMAT_MP3},     {"a.adts", XR_FORMAT_AAC},
        {"a.m4a", XR_FORMAT_MP4},       {"a.wav", XR_FORMAT_WAV},        {"a.wma", XR_FORMAT_WMA},
        {"a.tar.bmp", XR_FORMAT_BMP},   {"trailing.", XR_FORMAT_NONE},   {"a.bmpxxxxxx", XR_FORMAT_BMP},
        {"/pics.jpg/scan", XR_FORMAT_NONE},  // a directory's dot is not an extension
    };
    for (auto [path, index] : cases) EXPECT_EQ(DetectFormat(path, nullptr, nullptr), index) << path;
}

struct Chooser {
    explicit Chooser(const char* a) : answer(a) {}
    const char* answer;
    int asked = 0;
    std::string path;
};

int32_t Choose(void* context, const char* path, char choice[4]) {
    auto* c = static_cast<Chooser*>(context);
    ++c->asked;
    c->path = path;
    if (!c->answer) return 0;
    std::strncpy(choice, c->answer, 3);
    return 1;
}

TEST(DetectFormat, NamesWithoutAUsableExtensionAsk) {
    Chooser pbm("pbm");
    EXPECT_EQ(DetectFormat("data.bin", Choose, &pbm), XR_FORMAT_PNM);
    EXPECT_EQ(DetectFormat("data", Choose, &pbm), XR_FORMAT_PNM);
    EXPECT_EQ(DetectFormat("DATA.BINARY", Choose, &pbm), XR_FORMAT_PNM);
    EXPECT_EQ(pbm.asked, 3);
    EXPECT_EQ(pbm.path, "DATA.BINARY");

    Chooser jpeg("jpeg");  // only three characters of the choice count: "jpe"
    EXPECT_EQ(DetectFormat("data", Choose, &jpeg), XR_FORMAT_NONE);
    Chooser none(nullptr);
    EXPECT_EQ(DetectFormat("data.bin", Choose, &none), XR_FORMAT_NONE);
    EXPECT_EQ(DetectFormat("data.png", Choose, &none), XR_FORMAT_PNG);
    EXPECT_EQ(none.asked, 1) << "a usable extension is never questioned";
    EXPECT_EQ(DetectFormat("data", nullptr, nullptr), XR_FORMAT_NONE);
    EXPECT_EQ(DetectFormat(nullptr, nullptr, nullptr), XR_FORMAT_NONE);

    // Every offered choice leads to an image row.
    for (const char* const* c = FormatChoices; *c; ++c) {
        Chooser each(*c);
        int32_t index = DetectFormat("x", Choose, &each);
        EXPECT_TRUE(index >= XR_FORMAT_BMP && index <= XR_FORMAT_DCM) << *c;
    }
}

TEST(FormatRegistry, RowsAndSaveConversions) {
    EXPECT_STREQ(FormatRegistry[XR_FORMAT_MMR].extension, "mmr");
    EXPECT_STREQ(FormatRegistry[XR_FORMAT_UNK].extension, "unk");
    for (const FormatRow& row : FormatRegistry) EXPECT_EQ(row.reserved, nullptr) << row.extension;
    EXPECT_NE(FormatRegistry[XR_FORMAT_BMP].decodeScaled, nullptr);
    EXPECT_EQ(FormatRegistry[XR_FORMAT_RLE].encode, nullptr);

    EXPECT_EQ(SaveConversionFor(XR_FORMAT_PNG, XR_MODE_RGBW), XR_MODE_RGB);
    EXPECT_EQ(SaveConversionFor(XR_FORMAT_GIF, XR_MODE_LAB), XR_MODE_RGB);
    EXPECT_EQ(SaveConversionFor(XR_FORMAT_JBG, XR_MODE_MONO), 0);
    EXPECT_EQ(SaveConversionFor(XR_FORMAT_JPG, XR_MODE_MONO), XR_MODE_GRAY);
    EXPECT_EQ(SaveConversionFor(XR_FORMAT_BMP, XR_MODE_UNK), -1);
    EXPECT_EQ(SaveConversionFor(XR_FORMAT_RLE, XR_MODE_RGB), -1) << "not a save row";
    EXPECT_EQ(SaveConversionFor(XR_FORMAT_BMP, 11), -1);
    // Saving converts straight to a mode the format takes as it is.
    EXPECT_EQ(SaveTargetMode(XR_FORMAT_GIF, XR_MODE_LAB), XR_MODE_INDEX);
    EXPECT_EQ(SaveTargetMode(XR_FORMAT_GIF, XR_MODE_GRAYW), XR_MODE_GRAY);
    EXPECT_EQ(SaveTargetMode(XR_FORMAT_JPG, XR_MODE_YUVW), XR_MODE_RGBW);
    EXPECT_EQ(SaveTargetMode(XR_FORMAT_BMP, XR_MODE_RGB), 0);
    EXPECT_EQ(SaveTargetMode(XR_FORMAT_BMP, XR_MODE_UNK), -1);
    for (int32_t f = 0; f < XR_FORMAT_SAVE_ROWS; ++f) {
        for (int32_t m = 1; m <= XR_MODE_HIGH; ++m) {
            int32_t to = SaveTargetMode(f, m);
            ASSERT_GE(to, 0) << f << "," << m;
            EXPECT_EQ(SaveConversionFor(f, to > 0 ? to : m), 0) << f << "," << m;
        }
    }
}

}  // namespace
