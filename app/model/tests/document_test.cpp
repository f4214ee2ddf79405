// Opening and saving through the document as the viewer and the command line do.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "lumapix/document.h"
#include "lumapix/image_information.h"
#include "lumapix/test_images.h"
#include "test_files.hpp"

namespace {

using lumapix::COrvineDoc;
using lumapix::OpenOutcome;
using testfiles::ReadText;
using testfiles::WriteText;

// Records every question; answers from its settings.
struct Recorder : lumapix::DocumentQuestions {
    bool acceptConversion = true;
    bool cancelRaw = false;
    std::vector<std::string> warnings;
    std::vector<int32_t> conversionsAsked;
    int32_t audioType = -1;
    bool EditRawParameters(const std::string&, DecodeOptions*) override { return !cancelRaw; }
    bool ConfirmConversion(int32_t mode) override {
        conversionsAsked.push_back(mode);
        return acceptConversion;
    }
    void Warn(const std::string& caption, const std::string& message) override {
        warnings.push_back(caption + ": " + message);
    }
    void PlayAudio(const std::string&, int32_t type) override { audioType = type; }
};

struct Fixture : testing::Test {
    testfiles::ScratchDir dir{"lumapix-doc"};
    Recorder questions;
    DecodeOptions decoding{};
    EncodeOptions encoding{};
    Fixture() {
        DecodeOptionsDefaults(&decoding);
        EncodeOptionsDefaults(&encoding);
    }
    // Saves the test picture of a mode as a BMP file through a document.
    std::string SaveSample(const std::string& name, int32_t mode = XR_MODE_RGB) {
        COrvineDoc doc;
        MakeTestImage(&doc.image, mode, 21, 13);
        auto result = lumapix::SaveDocumentAs(doc, dir / name, XR_FORMAT_BMP, encoding, questions);
        EXPECT_TRUE(result.saved);
        return result.path;
    }
};

TEST_F(Fixture, OpensABitmapAndRecordsWhatItRead) {
    std::string path = SaveSample("a.bmp");
    COrvineDoc doc;
    ASSERT_EQ(lumapix::OpenDocument(doc, path, decoding, questions), OpenOutcome::kOpened);
    EXPECT_EQ(doc.status, COrvineDoc::kNormal);
    EXPECT_EQ(doc.formatIndex, XR_FORMAT_BMP);
    EXPECT_EQ(doc.fileName, "a.bmp");
    EXPECT_EQ(doc.fileBytes, ReadText(path).size());
    EXPECT_EQ(doc.image.WIDTH, 21);
    EXPECT_EQ(doc.bitWindow.lo, 1);
    EXPECT_EQ(doc.bitWindow.hi, 8);
    EXPECT_TRUE(questions.warnings.empty());
}

TEST_F(Fixture, FailuresOpenWithThePlaceholder) {
    WriteText(dir / "fake.bmp", "\xFF\xD8\xFF\xE0 a JPEG stream under a bitmap name");
    WriteText(dir / "notes.xyz", "text");
    const std::pair<std::string, CodecStatus> cases[] = {
        {dir / "fake.bmp", XR_ERR_FORMAT}, {dir / "missing.bmp", XR_ERR_INTERNAL},
        {dir / "notes.xyz", XR_ERR_INTERNAL}, {dir / "photo.jpg", XR_ERR_INTERNAL}};
    for (const auto& [path, status] : cases) {
        COrvineDoc doc;
        ASSERT_EQ(lumapix::OpenDocument(doc, path, decoding, questions), OpenOutcome::kOpened) << path;
        EXPECT_EQ(doc.status, COrvineDoc::kFailed) << path;
        EXPECT_EQ(doc.lastDecodeStatus, status) << path;
        EXPECT_EQ(doc.image.WIDTH, 128);
        EXPECT_EQ(doc.image.HEIGHT, 32);
    }
    // The information window names the decoder's status.
    COrvineDoc fake;
    lumapix::OpenDocument(fake, dir / "fake.bmp", decoding, questions);
    EXPECT_NE(lumapix::ImageInformation(fake).find("エラーコード :     3 (0x0003)\r\n"), std::string::npos);
    COrvineDoc audio;
    ASSERT_EQ(lumapix::OpenDocument(audio, dir / "song.mp3", decoding, questions), OpenOutcome::kOpened);
    EXPECT_EQ(audio.status, COrvineDoc::kAudio);
    EXPECT_EQ(questions.audioType, 1);

    questions.cancelRaw = true;
    COrvineDoc raw;
    EXPECT_EQ(lumapix::OpenDocument(raw, dir / "x.raw", decoding, questions), OpenOutcome::kCancelled);
}

TEST_F(Fixture, SaveAsAddsTheFormatsExtension) {
    EXPECT_EQ(SaveSample("out"), dir / "out.bmp");
    EXPECT_EQ(SaveSample("out.png"), dir / "out.png.bmp");
    EXPECT_EQ(SaveSample("OUT.BMP"), dir / "OUT.BMP");
}

TEST_F(Fixture, AFailedSaveLeavesTheOldFileAlone) {
    std::string path = dir / "precious.bmp";
    WriteText(path, "the user's only copy");
    chmod(path.c_str(), 0640);
    COrvineDoc doc;
    MakeTestImage(&doc.image, XR_MODE_RGB, 8, 8);
    doc.image.MODE = XR_MODE_YUV;  // a mode the bitmap encoder refuses
    EXPECT_FALSE(lumapix::SaveImageFile(doc, doc.image, path, encoding, XR_FORMAT_BMP, questions));
    EXPECT_EQ(ReadText(path), "the user's only copy");
    std::vector<std::string> entries;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) entries.push_back(entry.path().filename());
    EXPECT_EQ(entries, std::vector<std::string>{"precious.bmp"}) << "no temporary file left behind";
    ASSERT_EQ(questions.warnings.size(), 1u);
    EXPECT_EQ(questions.warnings[0], "precious.bmp: ErrCode = 0X9");

    // A successful save replaces the content but keeps permissions and links.
    doc.image.MODE = XR_MODE_RGB;
    symlink(path.c_str(), (dir / "link.bmp").c_str());
    ASSERT_TRUE(lumapix::SaveImageFile(doc, doc.image, dir / "link.bmp", encoding, XR_FORMAT_BMP, questions));
    EXPECT_EQ(ReadText(path).substr(0, 2), "BM");
    struct stat st {};
    ASSERT_EQ(lstat((dir / "link.bmp").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    EXPECT_FALSE(lumapix::SaveImageFile(doc, doc.image, dir / "no/such/dir.bmp", encoding, XR_FORMAT_BMP, questions));
    EXPECT_EQ(questions.warnings.back(), "WARNING: ファイルを開けません");
}

TEST_F(Fixture, ModesTheFormatCannotHoldAreConvertedOnAConfirmedCopy) {
    COrvineDoc doc;
    MakeTestImage(&doc.image, XR_MODE_RGB, 10, 6);
    ASSERT_EQ(lumapix::SaveDocumentAs(doc, dir / "lab", XR_FORMAT_BMP, encoding, questions).saved, true);
    doc.image.MODE = XR_MODE_LAB;  // same bytes, read as L, a, b
    questions.acceptConversion = false;
    EXPECT_FALSE(lumapix::SaveDocumentAs(doc, dir / "declined.bmp", XR_FORMAT_BMP, encoding, questions).saved);
    EXPECT_EQ(ReadText(dir / "declined.bmp"), "");
    questions.acceptConversion = true;
    ASSERT_TRUE(lumapix::SaveDocumentAs(doc, dir / "accepted.bmp", XR_FORMAT_BMP, encoding, questions).saved);
    EXPECT_EQ(questions.conversionsAsked, (std::vector<int32_t>{XR_MODE_RGB, XR_MODE_RGB}));
    EXPECT_EQ(doc.image.MODE, XR_MODE_LAB) << "the document keeps its own image";
    COrvineDoc reopened;
    ASSERT_EQ(lumapix::OpenDocument(reopened, dir / "accepted.bmp", decoding, questions), OpenOutcome::kOpened);
    EXPECT_EQ(reopened.image.MODE, XR_MODE_RGB);

    doc.image.MODE = XR_MODE_UNK;
    EXPECT_FALSE(lumapix::SaveDocumentAs(doc, dir / "unknown.bmp", XR_FORMAT_BMP, encoding, questions).saved);
    EXPECT_EQ(questions.warnings.back(), "LUMAPIX VIEWER: 現バージョンでは未対応です");
}

}  // namespace
