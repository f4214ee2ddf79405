#include "lumapix/encode_all.h"

#include <initializer_list>

#include "lumapix/mode_conversion.h"
#include "record_swap.hpp"

namespace lumapix {
namespace {

struct Row {
    const char* prefix;
    int32_t mode;
    std::initializer_list<int32_t> formats;
};

const Row kRows[] = {
    {"rgb.", XR_MODE_RGB, {XR_FORMAT_BMP, XR_FORMAT_JPG, XR_FORMAT_LJP, XR_FORMAT_PNG}},
    {"index.", XR_MODE_INDEX, {XR_FORMAT_BMP, XR_FORMAT_GIF, XR_FORMAT_PNG}},
    {"yuv.", XR_MODE_YUV, {XR_FORMAT_JPG}},
    {"gray.", XR_MODE_GRAY, {XR_FORMAT_BMP, XR_FORMAT_JPG, XR_FORMAT_LJP, XR_FORMAT_PNG}},
    {"mono.", XR_MODE_MONO, {XR_FORMAT_BMP, XR_FORMAT_JBG, XR_FORMAT_MH, XR_FORMAT_MR, XR_FORMAT_MMR}},
};

}  // namespace

std::vector<EncodeAllResult> EncodeAll(COrvineDoc& doc, const std::string& folder, EncodeOptions& options,
                                       DocumentQuestions& questions) {
    std::vector<EncodeAllResult> results;
    for (const Row& row : kRows) {
        OwnedImage copy;
        bool converted = ImageCopy(&copy.image, &doc.image) == XR_OK &&
                         (copy.image.MODE == row.mode ||
                          ConvertImageMode(&copy.image, row.mode, 0, 0, 128, 1, nullptr, 0) == XR_OK);
        for (int32_t format : row.formats) {
            EncodeAllResult result;
            const std::string name = std::string(row.prefix) + FormatRegistry[format].extension;
            result.path = folder + "/" + name;
            if (!FormatRegistry[format].encode) {
                result.skipped = true;
            } else if (!converted) {
                questions.Warn(name, "ErrCode = 0Xffffffff");
            } else {
                result.written = SaveImageFile(doc, copy.image, result.path, options, format, questions);
            }
            results.push_back(result);
        }
    }
    return results;
}

}  // namespace lumapix
