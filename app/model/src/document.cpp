#include "lumapix/document.h"

#include <chrono>
#include <cstdio>

#include "lumapix/mode_conversion.h"
#include "safe_file.hpp"

namespace lumapix {

namespace {

int32_t ElapsedMs(std::chrono::steady_clock::time_point start) {
    auto elapsed = std::chrono::steady_clock::now() - start;
    return static_cast<int32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

std::string BaseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int32_t AskFormat(void* context, const char* path, char choice[4]) {
    std::string extension;
    if (!static_cast<DocumentQuestions*>(context)->ChooseFormat(path, &extension) || extension.empty()) return 0;
    extension.copy(choice, 3);
    return 1;
}

// The parameter dialogs some formats need before they can be decoded.
bool AskParameters(int32_t format, const std::string& fileName, DecodeOptions& options,
                   DocumentQuestions& questions) {
    switch (format) {
        case XR_FORMAT_MH: case XR_FORMAT_MR: case XR_FORMAT_MMR:
            options.faxCoding = static_cast<uint8_t>(format - XR_FORMAT_MH);
            return questions.EditFaxParameters(fileName, &options) && questions.EditMonoPaletteFormat(&options);
        case XR_FORMAT_JBG:
            return questions.EditMonoPaletteFormat(&options);
        case XR_FORMAT_RAW: case XR_FORMAT_RLE:  // run-length files have no header either
            return questions.EditRawParameters(fileName, &options);
        default:
            return true;
    }
}

CodecStatus Decode(COrvineDoc& doc, FILE* file, int32_t format, DecodeOptions& options) {
    const FormatRow& row = FormatRegistry[format];
    DecodeAdapter adapter = options.stretch ? row.decodeScaled : row.decode;
    if (!adapter) return XR_ERR_INTERNAL;
    options.dicomList = &doc.dicomList;
    bool timed = !(format == XR_FORMAT_JP2 && options.jp2Resize);
    auto start = std::chrono::steady_clock::now();
    CodecStatus status = adapter(file, &doc.image, &options);
    if (timed) doc.decodeMs = ElapsedMs(start);
    return status;
}

void ShowFailure(COrvineDoc& doc, CodecStatus status) {
    doc.status = COrvineDoc::kFailed;
    doc.lastDecodeStatus = status;
    ImagePlaceholder(&doc.image);
}

}  // namespace

bool DocumentQuestions::ChooseFormat(const std::string&, std::string*) { return false; }
bool DocumentQuestions::EditFaxParameters(const std::string&, DecodeOptions*) { return true; }
bool DocumentQuestions::EditMonoPaletteFormat(DecodeOptions*) { return true; }
bool DocumentQuestions::EditRawParameters(const std::string&, DecodeOptions*) { return true; }
bool DocumentQuestions::ConfirmConversion(int32_t) { return true; }
void DocumentQuestions::Warn(const std::string&, const std::string&) {}
void DocumentQuestions::PlayAudio(const std::string&, int32_t) {}

COrvineDoc::~COrvineDoc() { Clear(); }

void COrvineDoc::Clear() {
    ImageFree(&image);
    ImageFree(&undo);
    status = kNormal;
    lastDecodeStatus = XR_OK;
    decodeMs = encodeMs = processMs = 0;
    fileBytes = 0;
    formatIndex = XR_FORMAT_NONE;
    fileName.clear();
    path.clear();
    bitWindow = BitWindow{};
    bitCounts.fill(0);
    dicomList = nullptr;
    dicomCount = 0;
}

OpenOutcome OpenImageFile(COrvineDoc& doc, const std::string& path, DecodeOptions& options,
                          DocumentQuestions& questions) {
    doc.path = path;
    doc.fileName = BaseName(path);
    int32_t format = DetectFormat(path.c_str(), AskFormat, &questions);
    doc.formatIndex = format;
    if (format >= XR_FORMAT_WMA && format <= XR_FORMAT_WAV) {
        doc.status = COrvineDoc::kAudio;
        ImagePlaceholder(&doc.image);
        questions.PlayAudio(path, format - XR_FORMAT_WMA);
        return OpenOutcome::kOpened;
    }
    if (!AskParameters(format, doc.fileName, options, questions)) return OpenOutcome::kCancelled;

    FILE* file = format < XR_FORMAT_UNK ? std::fopen(path.c_str(), "rb") : nullptr;
    if (!file) {
        ShowFailure(doc, XR_ERR_INTERNAL);
        return OpenOutcome::kOpened;
    }
    doc.fileBytes = FileSize(file);
    CodecStatus status = Decode(doc, file, format, options);
    std::fclose(file);
    if (status != XR_OK) ShowFailure(doc, status);
    return OpenOutcome::kOpened;
}

OpenOutcome OpenDocument(COrvineDoc& doc, const std::string& path, DecodeOptions& options,
                         DocumentQuestions& questions) {
    doc.Clear();
    OpenOutcome outcome = OpenImageFile(doc, path, options, questions);
    if (outcome != OpenOutcome::kOpened) return outcome;
    const XrImage& r = doc.image;
    if (!r.WIDTH || !r.HEIGHT || !r.LINEINT || !r.SIZE || !r.PIXELS) return OpenOutcome::kRefused;
    if (doc.status != COrvineDoc::kNormal) return outcome;
    doc.bitWindow = DefaultBitWindow(r.FMT);
    return outcome;
}

bool SaveImageFile(COrvineDoc& doc, const XrImage& record, const std::string& path, EncodeOptions& options,
                   int32_t format, DocumentQuestions& questions) {
    if (format >= XR_FORMAT_MH && format <= XR_FORMAT_MMR)
        options.faxCoding = static_cast<uint8_t>(format - XR_FORMAT_MH);
    SafeFile out(path);
    if (!out.file()) {
        questions.Warn("WARNING", "ファイルを開けません");
        return false;
    }
    EncodeAdapter encode = format >= 0 && format < XR_FORMAT_ROWS ? FormatRegistry[format].encode : nullptr;
    XrImage copy = record;  // adapters may normalise header fields; the caller's record stays as it was
    auto start = std::chrono::steady_clock::now();
    CodecStatus status = encode ? encode(out.file(), &copy, &options) : XR_ERR_INTERNAL;
    if (status == XR_OK) status = out.Commit();
    doc.encodeMs = ElapsedMs(start);
    if (status == XR_OK) return true;
    char message[32];
    std::snprintf(message, sizeof message, "ErrCode = 0X%x", static_cast<unsigned>(status));
    questions.Warn(BaseName(path), message);
    return false;
}

bool SaveDocumentConverted(COrvineDoc& doc, const std::string& path, int32_t format, EncodeOptions& options,
                           DocumentQuestions& questions) {
    int32_t conversion = SaveTargetMode(format, doc.image.MODE);
    if (conversion < 0) {
        questions.Warn("LUMAPIX VIEWER", "現バージョンでは未対応です");
        return false;
    }
    if (conversion == 0) return SaveImageFile(doc, doc.image, path, options, format, questions);
    if (!questions.ConfirmConversion(conversion)) return false;
    XrImage copy{};
    CodecStatus status = ImageCopy(&copy, &doc.image);
    if (status == XR_OK) status = ConvertImageMode(&copy, conversion, 0, 0, 128, 0, nullptr, 0);
    bool saved = false;
    if (status == XR_OK) {
        saved = SaveImageFile(doc, copy, path, options, format, questions);
    } else {
        char message[32];
        std::snprintf(message, sizeof message, "ErrCode = 0X%x", static_cast<unsigned>(status));
        questions.Warn(BaseName(path), message);
    }
    ImageFree(&copy);
    return saved;
}

SaveResult SaveDocumentAs(COrvineDoc& doc, const std::string& path, int32_t format, EncodeOptions& options,
                          DocumentQuestions& questions) {
    SaveResult result{false, path};
    if (format < 0 || format >= XR_FORMAT_SAVE_ROWS) return result;
    if (DetectFormat(path.c_str(), nullptr, nullptr) != format)
        result.path += std::string(".") + FormatRegistry[format].extension;
    result.saved = SaveDocumentConverted(doc, result.path, format, options, questions);
    return result;
}

}  // namespace lumapix
