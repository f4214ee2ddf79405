// Filter plug-ins loaded from a scratch folder: which modules load, in what
// order, when a command is enabled, and what Undo holds after a run. The two
// real filters are checked against hand-computed pixels.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "lumapix/plugin_host.h"
#include "model_test_support.hpp"
#include "test_files.hpp"

namespace {

namespace fs = std::filesystem;
using lumapix::PluginHost;
using modeltest::Record;

void ExpectSameImage(const XrImage& actual, const XrImage& expected) {
    EXPECT_EQ(actual.MODE, expected.MODE);
    EXPECT_EQ(actual.WIDTH, expected.WIDTH);
    EXPECT_EQ(actual.HEIGHT, expected.HEIGHT);
    EXPECT_EQ(actual.LINEINT, expected.LINEINT);
    EXPECT_EQ(actual.FMT, expected.FMT);
    ASSERT_EQ(actual.SIZE, expected.SIZE);
    EXPECT_EQ(std::memcmp(actual.PIXELS, expected.PIXELS, actual.SIZE), 0);
    ASSERT_EQ(actual.PALCOUNT, expected.PALCOUNT);
    if (expected.PALBUT) {
        EXPECT_EQ(std::memcmp(actual.PALBUT, expected.PALBUT, size_t{actual.PALCOUNT} * 4), 0);
    }
}

std::vector<int> Samples(const Record& image, uint32_t y, bool wide = false) {
    std::vector<int> samples;
    const uint8_t* line = image.Line(y);
    const uint32_t bytes = ImageLineBytes(image.image.MODE, image.image.WIDTH);
    for (uint32_t i = 0; i < bytes; i += wide ? 2 : 1) samples.push_back(wide ? line[i] | line[i + 1] << 8 : line[i]);
    return samples;
}

void SetWord(Record& image, uint32_t x, uint32_t y, unsigned channel, int value) {
    uint8_t* p = image.Line(y) + (size_t{x} * 3 + channel) * 2;
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

class PluginHostTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(scratch_.ok()); }
    void Install(const char* module, const std::string& name) { fs::copy_file(module, fs::path(folder_) / name); }
    void Link(const char* module, const std::string& name) { fs::create_symlink(module, fs::path(folder_) / name); }

    testfiles::ScratchDir scratch_{"lumapix-plugins"};
    const std::string& folder_ = scratch_.path();
};

TEST_F(PluginHostTest, NoFolderOrNoModulesLoadsNothing) {
    PluginHost host;
    EXPECT_EQ(host.LoadAll(folder_ + "/absent"), 0);
    std::ofstream(fs::path(folder_) / "readme.txt") << "no plug-ins here";
    EXPECT_EQ(host.LoadAll(folder_), 0);
    EXPECT_EQ(host.ListText(), "");
    EXPECT_STREQ(host.Name(0), "");

    Record image(XR_MODE_GRAY, 2, 2);
    Record undo;
    EXPECT_FALSE(host.Enabled(0, &image.image));
    EXPECT_EQ(host.Execute(0, image.image, undo.image, nullptr, {}), XR_ERR_ARGUMENT);
    EXPECT_EQ(undo.image.PIXELS, nullptr);
}

TEST_F(PluginHostTest, DefaultFolderIsBesideTheProgram) {
    ASSERT_FALSE(lumapix::ProgramFolder().empty());
    EXPECT_TRUE(fs::exists(fs::path(lumapix::ProgramFolder()) / "model_tests"));
    EXPECT_EQ(lumapix::DefaultPluginFolder(), lumapix::ProgramFolder() + "/plg_filter");
}

TEST_F(PluginHostTest, LoadsCompleteModulesInFileNameOrder) {
    // Created out of order, so the directory's own order is unlikely to match.
    Install(XR_TEST_FAIL_PATH, "d_fail.so");
    Install(XR_TEST_REFUSE_PATH, "c_refuse.so");
    Install(XR_TEST_WIDEN_PATH, "b_widen.so");
    Install(XR_TEST_NO_EXEC_PATH, "b_no_exec.so");
    Install(XR_TEST_WIDEN_PATH, "a_widen.so");
    Install(XR_SEPIA_PATH, "sepia.so.off");
    std::ofstream(fs::path(folder_) / "e_broken.so") << "not a shared object";
    fs::create_directory(fs::path(folder_) / "f_folder.so");

    PluginHost host;
    ASSERT_EQ(host.LoadAll(folder_), 4);
    EXPECT_STREQ(host.Name(0), "Widen x2");
    EXPECT_STREQ(host.Name(1), "Widen x2");
    EXPECT_STREQ(host.Name(2), "Refuse");
    EXPECT_EQ(host.Name(3), std::string(XR_PLUGIN_NAME_SIZE - 1, 'F'));  // an unterminated name is cut
    EXPECT_STREQ(host.Name(4), "");

    EXPECT_EQ(host.LoadAll(folder_), 4);  // a second scan replaces the first
}

TEST_F(PluginHostTest, ListsEachPlugin) {
    Install(XR_TEST_WIDEN_PATH, "a.so");
    Install(XR_SEPIA_PATH, "b.so");
    PluginHost host;
    host.LoadAll(folder_);
    EXPECT_EQ(host.ListText(), "Plugin no [  0]\r\n  name = Widen x2\r\nPlugin no [  1]\r\n  name = セピア調\r\n");
}

TEST_F(PluginHostTest, LoadsAtMost256) {
    for (int i = 0; i < lumapix::kMaxPlugins; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "p%03d.so", i);
        Link(XR_TEST_WIDEN_PATH, name);
    }
    Link(XR_SEPIA_PATH, "p256.so");
    PluginHost host;
    ASSERT_EQ(host.LoadAll(folder_), 256);
    EXPECT_STREQ(host.Name(255), "Widen x2");
    const std::string list = host.ListText();
    EXPECT_NE(list.find("Plugin no [255]\r\n  name = Widen x2\r\n"), std::string::npos);
    EXPECT_EQ(list.find("[256]"), std::string::npos);
}

TEST_F(PluginHostTest, EnabledNeedsAnImageTheQueryAccepts) {
    Install(XR_TEST_WIDEN_PATH, "a.so");
    Install(XR_TEST_REFUSE_PATH, "b.so");
    Install(XR_TEST_FAIL_PATH, "c.so");
    PluginHost host;
    ASSERT_EQ(host.LoadAll(folder_), 3);
    Record gray(XR_MODE_GRAY, 4, 4);
    Record rgb(XR_MODE_RGB, 4, 4);

    for (int i = 0; i < 3; ++i) EXPECT_FALSE(host.Enabled(i, nullptr)) << i;  // even c, which accepts anything
    EXPECT_TRUE(host.Enabled(0, &gray.image));
    EXPECT_FALSE(host.Enabled(0, &rgb.image));
    EXPECT_FALSE(host.Enabled(1, &gray.image));  // query -1
    EXPECT_FALSE(host.Enabled(1, &rgb.image));   // query 5
    EXPECT_TRUE(host.Enabled(2, &rgb.image));
    EXPECT_FALSE(host.Enabled(3, &gray.image));
    EXPECT_FALSE(host.Enabled(-1, &gray.image));
}

TEST_F(PluginHostTest, SuccessKeepsThePreviousImageForUndo) {
    Install(XR_TEST_WIDEN_PATH, "widen.so");
    PluginHost host;
    ASSERT_EQ(host.LoadAll(folder_), 1);
    Record image(XR_MODE_GRAY, 3, 2);
    for (uint32_t i = 0; i < 6; ++i) static_cast<uint8_t*>(image.image.PIXELS)[i] = static_cast<uint8_t>(10 * i + 1);
    const Record original(image);
    Record undo(XR_MODE_RGB, 5, 5);  // replaced, and must be freed

    int refreshes = 0;
    int owner = 0;
    ASSERT_EQ(host.Execute(0, image.image, undo.image, &owner, [&] { ++refreshes; }), XR_OK);
    EXPECT_EQ(refreshes, 1);
    ExpectSameImage(undo.image, original.image);
    ASSERT_EQ(image.image.WIDTH, 6);
    EXPECT_EQ(Samples(image, 1), (std::vector<int>{31, 31, 41, 41, 51, 51}));

    // Again, with no redisplay to call: Undo now holds the widened image.
    const Record widened(image);
    ASSERT_EQ(host.Execute(0, image.image, undo.image, nullptr, {}), XR_OK);
    ExpectSameImage(undo.image, widened.image);
    EXPECT_EQ(image.image.WIDTH, 12);
}

TEST_F(PluginHostTest, FailureRestoresTheImageAndLeavesUndo) {
    Install(XR_TEST_FAIL_PATH, "fail.so");
    PluginHost host;
    ASSERT_EQ(host.LoadAll(folder_), 1);
    Record image(XR_MODE_GRAY, 5, 3, 8);
    for (uint32_t i = 0; i < image.image.SIZE; ++i) static_cast<uint8_t*>(image.image.PIXELS)[i] = static_cast<uint8_t>(i);
    const Record before(image);
    Record undo(XR_MODE_INDEX, 2, 2);
    undo.image.PALBUT[5] = 77;
    const Record undoBefore(undo);
    void* undoPixels = undo.image.PIXELS;

    EXPECT_EQ(host.Execute(0, image.image, undo.image, nullptr, {}), 7);
    ExpectSameImage(image.image, before.image);
    ExpectSameImage(undo.image, undoBefore.image);
    EXPECT_EQ(undo.image.PIXELS, undoPixels);

    // No copy of an empty record can be made: the plug-in is not run at all.
    Record empty;
    EXPECT_EQ(host.Execute(0, empty.image, undo.image, nullptr, {}), XR_ERR_INTERNAL);
    EXPECT_EQ(empty.image.MODE, XR_MODE_UNK);
    EXPECT_EQ(empty.image.PIXELS, nullptr);
    EXPECT_EQ(undo.image.PIXELS, undoPixels);
}

TEST_F(PluginHostTest, SepiaFadesInThroughRefresh) {
    Install(XR_SEPIA_PATH, "sepia.so");
    PluginHost host;
    ASSERT_EQ(host.LoadAll(folder_), 1);
    Record image(XR_MODE_RGB, 2, 1, 8);
    std::memcpy(image.image.PIXELS, "\x64\x64\x64\xff\xff\xff\x5a\x5a", 8);  // grey 100, white, 2 padding bytes
    Record undo;

    std::vector<int> redShown;  // red of the grey pixel at each redisplay
    ASSERT_EQ(host.Execute(0, image.image, undo.image, nullptr, [&] { redShown.push_back(image.Line(0)[2]); }), XR_OK);
    ASSERT_GE(redShown.size(), 2u);
    for (size_t i = 0; i < redShown.size(); ++i) {
        EXPECT_GT(redShown[i], i ? redShown[i - 1] : 100);
        EXPECT_LT(redShown[i], 135);
    }
    EXPECT_EQ(std::memcmp(image.image.PIXELS, "\x5e\x78\x87\xef\xff\xff\x5a\x5a", 8), 0);  // 94 120 135, 239 255 255

    // INDEX: the palette is toned, the indices stay.
    Record index(XR_MODE_INDEX, 2, 1);
    std::memcpy(index.image.PIXELS, "\x01\x00", 2);
    std::memcpy(index.image.PALBUT + 4, "\x64\x64\x64\x00", 4);
    ASSERT_EQ(host.Execute(0, index.image, undo.image, nullptr, {}), XR_OK);
    EXPECT_EQ(std::memcmp(index.image.PALBUT, "\x00\x00\x00\x00\x5e\x78\x87\x00", 8), 0);
    EXPECT_EQ(std::memcmp(index.image.PIXELS, "\x01\x00", 2), 0);

    Record gray(XR_MODE_GRAY, 2, 2);
    EXPECT_FALSE(host.Enabled(0, &gray.image));
}

TEST_F(PluginHostTest, ConvolveSharpensWithClampedEdges) {
    Install(XR_CONVOLVE_PATH, "convolve.so");
    PluginHost host;
    ASSERT_EQ(host.LoadAll(folder_), 1);
    EXPECT_STREQ(host.Name(0), "シャープ (3x3)");
    Record undo;

    // A bright centre: 2 x 100 - blur; the edges see themselves beyond the border.
    Record gray(XR_MODE_GRAY, 3, 3, 4);
    for (uint32_t y = 0; y < 3; ++y) std::memcpy(gray.Line(y), "\x64\x64\x64\x33", 4);
    gray.Line(1)[1] = 200;
    ASSERT_EQ(host.Execute(0, gray.image, undo.image, nullptr, {}), XR_OK);
    EXPECT_EQ(Samples(gray, 0), (std::vector<int>{94, 88, 94}));  // 1500/16 and 1400/16, rounded
    EXPECT_EQ(Samples(gray, 1), (std::vector<int>{88, 255, 88}));
    EXPECT_EQ(Samples(gray, 2), (std::vector<int>{94, 88, 94}));
    EXPECT_EQ(gray.Line(1)[3], 0x33);  // padding untouched

    // 12-bit RGBW: blue a bright centre clamped at 4095, green a dark one
    // clamped at 0, red flat.
    Record wide(XR_MODE_RGBW, 3, 3, 0, 12);
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 3; ++x) {
            SetWord(wide, x, y, 0, 1000);
            SetWord(wide, x, y, 1, 2000);
            SetWord(wide, x, y, 2, 4095);
        }
    SetWord(wide, 1, 1, 0, 4000);
    SetWord(wide, 1, 1, 1, 0);
    ASSERT_EQ(host.Execute(0, wide.image, undo.image, nullptr, {}), XR_OK);
    EXPECT_EQ(Samples(wide, 0, true), (std::vector<int>{813, 2125, 4095, 625, 2250, 4095, 813, 2125, 4095}));
    EXPECT_EQ(Samples(wide, 1, true), (std::vector<int>{625, 2250, 4095, 4095, 0, 4095, 625, 2250, 4095}));

    Record index(XR_MODE_INDEX, 3, 3);
    Record signedGray(XR_MODE_GRAYW, 3, 3, 0, -12);
    EXPECT_FALSE(host.Enabled(0, &index.image));
    EXPECT_FALSE(host.Enabled(0, &signedGray.image));
    EXPECT_TRUE(host.Enabled(0, &wide.image));
}

}  // namespace
