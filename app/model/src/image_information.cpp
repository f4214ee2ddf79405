#include "lumapix/image_information.h"

#include <algorithm>
#include <cstdio>

#include "lumapix/header_report.h"

namespace lumapix {
namespace {

std::string FormatName(int32_t index) {
    static constexpr const char* kAudio[] = {"wma", "mp3", "aac", "mp4", "wav"};
    if (index >= 0 && index < XR_FORMAT_UNK) return FormatRegistry[index].extension;
    if (index >= XR_FORMAT_WMA && index <= XR_FORMAT_WAV) return kAudio[index - XR_FORMAT_WMA];
    return "-";
}

}  // namespace

std::string ImageInformation(const COrvineDoc& doc) {
    std::string text;
    char line[160];
    auto add = [&](int n) {
        if (n > 0) text.append(line, std::min(static_cast<size_t>(n), sizeof line - 1));
    };
    add(std::snprintf(line, sizeof line, "ファイル : %s\r\n", doc.fileName.c_str()));
    add(std::snprintf(line, sizeof line, "フォーマット : %s\r\n", FormatName(doc.formatIndex).c_str()));
    add(std::snprintf(line, sizeof line, "ファイルサイズ : %llu\r\n", static_cast<unsigned long long>(doc.fileBytes)));
    if (doc.status == COrvineDoc::kFailed) {
        int32_t code = doc.lastDecodeStatus;
        add(std::snprintf(line, sizeof line, "エラーコード : %5d (0x%04x)\r\n", code, static_cast<unsigned>(code)));
        return text;
    }
    text += "\r\n";
    ReportTimes times{doc.decodeMs, doc.encodeMs, doc.processMs};
    return text + HeaderReport(doc.image, times, doc.fileBytes, "\r\n");
}

}  // namespace lumapix
