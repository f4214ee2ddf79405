#include "cli_commands.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

#include "cli_options.hpp"
#include "lumapix/document.h"
#include "lumapix/encode_all.h"
#include "lumapix/header_report.h"
#include "lumapix/mode_conversion.h"
#include "lumapix/resize_image.h"
#include "lumapix/rotate_image.h"
#include "lumapix/test_images.h"

namespace lumapix::cli {

namespace {

int32_t ElapsedMs(std::chrono::steady_clock::time_point start) {
    auto elapsed = std::chrono::steady_clock::now() - start;
    return static_cast<int32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

int ReportStatus(const char* what, const std::string& path, CodecStatus status) {
    std::fprintf(stderr, "ErrCode = 0X%x\n", static_cast<unsigned>(status));
    std::fprintf(stderr, "lumapix: %s %s: %s\n", what, path.c_str(), CodecStatusMessage(status));
    return kExitCodecError;
}

// The command line answers the document's questions from its options: the
// format comes from --format, parameters are already set, conversions needed
// by the output format are made without asking.
class CommandLineAnswers : public DocumentQuestions {
public:
    explicit CommandLineAnswers(const CommandLine& line) : line_(line) {}
    bool ChooseFormat(const std::string&, std::string* extension) override {
        if (line_.format.empty()) return false;
        *extension = line_.format;
        return true;
    }
    bool ConfirmConversion(int32_t mode) override {
        converted = mode;
        return true;
    }
    void Warn(const std::string& caption, const std::string& message) override {
        if (message.rfind("ErrCode", 0) == 0) std::fprintf(stderr, "%s\n", message.c_str());
        std::fprintf(stderr, "lumapix: %s: %s\n", caption.c_str(), message.c_str());
    }
    int32_t converted = 0;

private:
    const CommandLine& line_;
};

// Opens path as the viewer does; reports and returns the exit status on failure.
int Open(const std::string& path, CommandLine& line, DocumentQuestions& answers, COrvineDoc& doc) {
    OpenOutcome outcome = OpenDocument(doc, path, line.decode, answers);
    if (outcome == OpenOutcome::kRefused) return ReportStatus("decoding", path, XR_ERR_INTERNAL);
    if (doc.status == COrvineDoc::kAudio) {
        std::fprintf(stderr, "lumapix: %s is audio; play it with lumapix play\n", path.c_str());
        return kExitCodecError;
    }
    if (doc.status == COrvineDoc::kFailed) {
        if (doc.formatIndex >= XR_FORMAT_UNK)
            std::fprintf(stderr, "lumapix: %s: unknown format; name it with --format EXT\n", path.c_str());
        return ReportStatus("decoding", path, doc.lastDecodeStatus);
    }
    return kExitOk;
}

int Process(COrvineDoc& doc, const CommandLine& line, const std::string& path) {
    auto start = std::chrono::steady_clock::now();
    for (const ProcessingStep& step : line.steps) {
        CodecStatus status = XR_OK;
        const char* what = "converting";
        switch (step.kind) {
            case ProcessingStep::kMode: {
                const ModeOptions& m = step.mode;
                status = ConvertImageMode(&doc.image, m.mode, m.dither, m.coefficient, m.threshold, 1, nullptr,
                                          m.monoPaletteFormat);
                break;
            }
            case ProcessingStep::kResize: {
                const ResizeOptions& r = step.resize;
                what = "resizing";
                status = ResizeImage(&doc.image, r.method, r.width, r.height, r.sharpness, line.decode.line);
                break;
            }
            case ProcessingStep::kRotate:
                what = "rotating";
                status = RotateImage(&doc.image, step.angle, line.decode.line);
                break;
        }
        if (status != XR_OK) return ReportStatus(what, path, status);
    }
    doc.processMs = ElapsedMs(start);
    return kExitOk;
}

int32_t OutputFormat(const CommandLine& line, const std::string& out) {
    std::string name = line.to.empty() ? out : "." + line.to;
    return DetectFormat(name.c_str(), nullptr, nullptr);
}

}  // namespace

int Info(const std::vector<std::string>& args) {
    CommandLine line;
    if (!ParseCommandLine(args, Command::kInfo, &line)) return kExitUsage;
    if (line.help || line.paths.size() != 1) return ShowHelp("info", line.help);
    CommandLineAnswers answers(line);
    COrvineDoc doc;
    if (int rc = Open(line.paths[0], line, answers, doc); rc != kExitOk) return rc;
    ReportTimes times{doc.decodeMs, doc.encodeMs, doc.processMs};
    std::fputs(HeaderReport(doc.image, times, doc.fileBytes, "\n").c_str(), stdout);
    return kExitOk;
}

int Convert(const std::vector<std::string>& args) {
    CommandLine line;
    if (!ParseCommandLine(args, Command::kConvert, &line)) return kExitUsage;
    if (line.help || line.paths.size() != 2) return ShowHelp("convert", line.help);
    const std::string &in = line.paths[0], &out = line.paths[1];
    int32_t format = OutputFormat(line, out);
    if (format < 0 || format >= XR_FORMAT_SAVE_ROWS || !FormatRegistry[format].encode) {
        std::fprintf(stderr, "lumapix: %s: no encoder for this name; choose one with --to EXT\n", out.c_str());
        return kExitUsage;
    }
    CommandLineAnswers answers(line);
    COrvineDoc doc;
    if (int rc = Open(in, line, answers, doc); rc != kExitOk) return rc;
    if (int rc = Process(doc, line, in); rc != kExitOk) return rc;
    if (!SaveDocumentConverted(doc, out, format, line.encode, answers)) return kExitCodecError;
    std::printf("%s -> %s: %ux%u %s", in.c_str(), out.c_str(), doc.image.WIDTH, doc.image.HEIGHT,
                ImageModeName(doc.image.MODE));
    if (answers.converted) std::printf(" (written as %s)", ImageModeName(answers.converted));
    std::printf(", decode %d ms, convert %d ms, encode %d ms\n", doc.decodeMs, doc.processMs, doc.encodeMs);
    return kExitOk;
}

int EncodeAllFormats(const std::vector<std::string>& args) {
    CommandLine line;
    if (!ParseCommandLine(args, Command::kConvert, &line)) return kExitUsage;
    if (line.help || line.paths.size() != 2) return ShowHelp("encode-all", line.help);
    const std::string &in = line.paths[0], &folder = line.paths[1];
    CommandLineAnswers answers(line);
    COrvineDoc doc;
    if (int rc = Open(in, line, answers, doc); rc != kExitOk) return rc;
    if (int rc = Process(doc, line, in); rc != kExitOk) return rc;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "lumapix: %s: %s\n", folder.c_str(), error.message().c_str());
        return kExitCodecError;
    }
    int failures = 0;
    for (const EncodeAllResult& r : EncodeAll(doc, folder, line.encode, answers)) {
        if (r.skipped)
            std::printf("%-40s skipped: no encoder yet\n", r.path.c_str());
        else if (r.written)
            std::printf("%-40s written\n", r.path.c_str());
        else
            ++failures;
    }
    std::puts("ENCODE Finish");
    return failures ? kExitCodecError : kExitOk;
}

int Demo(const std::vector<std::string>& args) {
    if (args.size() > 1) return kExitUsage;
    std::string path = args.empty() ? "lumapix-demo.bmp" : args[0];
    COrvineDoc source;
    if (MakeTestImage(&source.image, XR_MODE_RGB, 320, 240) != XR_OK) return kExitCodecError;
    DocumentQuestions quiet;
    EncodeOptions encoding;
    EncodeOptionsDefaults(&encoding);
    if (!SaveImageFile(source, source.image, path, encoding, XR_FORMAT_BMP, quiet))
        return ReportStatus("encoding", path, XR_ERR_STREAM_CALLBACK);
    CommandLine line;
    ParseCommandLine({}, Command::kInfo, &line);
    COrvineDoc decoded;
    if (int rc = Open(path, line, quiet, decoded); rc != kExitOk) return rc;
    std::printf("Wrote a 320x240 gradient with a red \"F\" to %s and read it back.\n\n", path.c_str());
    ReportTimes times{decoded.decodeMs, source.encodeMs, 0};
    std::fputs(HeaderReport(decoded.image, times, decoded.fileBytes, "\n").c_str(), stdout);
    bool same = source.image.SIZE == decoded.image.SIZE &&
                std::memcmp(source.image.PIXELS, decoded.image.PIXELS, source.image.SIZE) == 0;
    std::printf("\nRound trip: %s\n", same ? "identical pixels" : "PIXELS DIFFER");
    return same ? kExitOk : kExitCodecError;
}

}  // namespace lumapix::cli
