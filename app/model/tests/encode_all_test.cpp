// Encode All: every row converted from one image, written where an encoder exists.
#include "lumapix/encode_all.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "lumapix/format_registry.h"
#include "lumapix/test_images.h"
#include "test_files.hpp"

namespace {

struct CountingQuestions : lumapix::DocumentQuestions {
    int warnings = 0;
    void Warn(const std::string&, const std::string&) override { ++warnings; }
};

}  // namespace

TEST(EncodeAll, WritesEachModeInTheFormatsThatHoldIt) {
    testfiles::ScratchDir dir{"encode-all"};
    const std::string& pattern = dir.path();
    lumapix::COrvineDoc doc;
    ASSERT_EQ(MakeTestImage(&doc.image, XR_MODE_RGB, 33, 17), XR_OK);
    XrImage before{};
    ASSERT_EQ(ImageCopy(&before, &doc.image), XR_OK);
    EncodeOptions options;
    EncodeOptionsDefaults(&options);
    CountingQuestions questions;

    auto results = lumapix::EncodeAll(doc, pattern, options, questions);
    ASSERT_EQ(results.size(), 17u);
    EXPECT_EQ(questions.warnings, 0);
    EXPECT_EQ(0, std::memcmp(doc.image.PIXELS, before.PIXELS, before.SIZE));  // the document is untouched
    EXPECT_EQ(results[0].path, pattern + "/rgb.bmp");
    EXPECT_EQ(results[16].path, pattern + "/mono.mmr");
    int written = 0;
    for (const auto& r : results) {
        const int32_t format = DetectFormat(r.path.c_str(), nullptr, nullptr);
        ASSERT_GE(format, 0) << r.path;
        const bool encodable = FormatRegistry[format].encode != nullptr;
        EXPECT_EQ(r.written, encodable) << r.path;  // formats without an encoder yet are skipped
        EXPECT_EQ(r.skipped, !encodable) << r.path;
        if (!r.written || !FormatRegistry[format].decode) continue;
        lumapix::COrvineDoc back;
        DecodeOptions decoding;
        DecodeOptionsDefaults(&decoding);
        ASSERT_EQ(lumapix::OpenDocument(back, r.path, decoding, questions), lumapix::OpenOutcome::kOpened);
        EXPECT_EQ(back.status, lumapix::COrvineDoc::kNormal) << r.path;
        EXPECT_EQ(back.image.WIDTH, 33) << r.path;
        EXPECT_EQ(back.image.HEIGHT, 17) << r.path;
        ++written;
    }
    EXPECT_GE(written, 4);  // every row has at least its BMP
    ImageFree(&before);
}
