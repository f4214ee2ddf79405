#include "cli_commands.hpp"

#include <chrono>
#include <cstdio>
#include <strings.h>
#include <sys/stat.h>

#include "cli_options.hpp"

#include "lumapix/format_adapters.h"
#include "lumapix/header_report.h"
#include "lumapix/mode_conversion.h"
#include "lumapix/test_images.h"

namespace lumapix::cli {

namespace {

struct Format {
    const char* extension;
    DecodeAdapter decode;
    DecodeAdapter decodeScaled;
    EncodeAdapter encode;
};

// Interim dispatch by extension until the shared format registry takes over.
constexpr Format kFormats[] = {
    {"bmp", bmp_decode, bmp_decode_scaled, bmp_encode},
};

const Format* FormatOf(const std::string& path) {
    auto dot = path.rfind('.');
    if (dot == std::string::npos) return nullptr;
    std::string ext = path.substr(dot + 1);
    for (const Format& f : kFormats)
        if (strcasecmp(ext.c_str(), f.extension) == 0) return &f;
    return nullptr;
}

// Owns a record for the length of a command.
struct Record {
    XrImage image{};
    ~Record() { ImageFree(&image); }
};

class File {
public:
    File(const std::string& path, const char* mode) : f_(std::fopen(path.c_str(), mode)) {}
    ~File() { if (f_) std::fclose(f_); }
    FILE* get() const { return f_; }
    int Close() { int r = f_ ? std::fclose(f_) : 0; f_ = nullptr; return r; }

private:
    FILE* f_;
};

int ReportCodecError(const char* what, const std::string& path, CodecStatus status) {
    std::fprintf(stderr, "ErrCode = 0X%x\n", static_cast<unsigned>(status));
    std::fprintf(stderr, "lumapix: %s %s: %s\n", what, path.c_str(), CodecStatusMessage(status));
    return kExitCodecError;
}

int32_t ElapsedMs(std::chrono::steady_clock::time_point start) {
    auto elapsed = std::chrono::steady_clock::now() - start;
    return static_cast<int32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

uint64_t FileBytes(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

DecodeOptions DefaultDecoding() {
    DecodeOptions options;
    DecodeOptionsDefaults(&options);
    return options;
}

int DecodeFile(const std::string& path, XrImage* image, int32_t* ms,
               const DecodeOptions& options = DefaultDecoding()) {
    const Format* format = FormatOf(path);
    DecodeAdapter decode = format ? (options.stretch ? format->decodeScaled : format->decode) : nullptr;
    if (!decode) {
        std::fprintf(stderr, "lumapix: %s: no %sdecoder for this file name\n", path.c_str(),
                     options.stretch ? "scaled " : "");
        return kExitUsage;
    }
    File file(path, "rb");
    if (!file.get()) {
        std::perror(path.c_str());
        return kExitCodecError;
    }
    auto start = std::chrono::steady_clock::now();
    CodecStatus status = decode(file.get(), image, &options);
    *ms = ElapsedMs(start);
    return status == XR_OK ? kExitOk : ReportCodecError("decoding", path, status);
}

int EncodeFile(const std::string& path, XrImage* image, int32_t* ms) {
    const Format* format = FormatOf(path);
    if (!format || !format->encode) {
        std::fprintf(stderr, "lumapix: %s: no encoder for this file name\n", path.c_str());
        return kExitUsage;
    }
    File file(path, "wb");
    if (!file.get()) {
        std::perror(path.c_str());
        return kExitCodecError;
    }
    EncodeOptions options;
    EncodeOptionsDefaults(&options);
    auto start = std::chrono::steady_clock::now();
    CodecStatus status = format->encode(file.get(), image, &options);
    if (file.Close() != 0 && status == XR_OK) status = XR_ERR_STREAM_CALLBACK;
    *ms = ElapsedMs(start);
    if (status == XR_OK) return kExitOk;
    std::remove(path.c_str());  // a half-written file would only mislead
    return ReportCodecError("encoding", path, status);
}

}  // namespace

int Info(const std::vector<std::string>& args) {
    CommandLine line;
    if (!ParseCommandLine(args, false, &line) || line.paths.size() != 1) return kExitUsage;
    const std::string& in = line.paths[0];
    Record record;
    ReportTimes times;
    if (int rc = DecodeFile(in, &record.image, &times.decodeMs, line.decode); rc != kExitOk) return rc;
    std::fputs(HeaderReport(record.image, times, FileBytes(in), "\n").c_str(), stdout);
    return kExitOk;
}

int Convert(const std::vector<std::string>& args) {
    CommandLine line;
    if (!ParseCommandLine(args, true, &line) || line.paths.size() != 2) return kExitUsage;
    const std::string &in = line.paths[0], &out = line.paths[1];
    Record record;
    ReportTimes times;
    if (int rc = DecodeFile(in, &record.image, &times.decodeMs, line.decode); rc != kExitOk) return rc;
    if (const ModeOptions& m = line.conversion; m.mode != 0) {
        auto start = std::chrono::steady_clock::now();
        CodecStatus status = ConvertImageMode(&record.image, m.mode, m.dither, m.coefficient, m.threshold,
                                              line.decode.line, nullptr, m.monoPaletteFormat);
        times.processMs = ElapsedMs(start);
        if (status != XR_OK) return ReportCodecError("converting", in, status);
    }
    if (int rc = EncodeFile(out, &record.image, &times.encodeMs); rc != kExitOk) return rc;
    std::printf("%s -> %s: %ux%u %s, decode %d ms, convert %d ms, encode %d ms\n", in.c_str(), out.c_str(),
                record.image.WIDTH, record.image.HEIGHT, ImageModeName(record.image.MODE), times.decodeMs,
                times.processMs, times.encodeMs);
    return kExitOk;
}

int Demo(const std::vector<std::string>& args) {
    if (args.size() > 1) return kExitUsage;
    std::string path = args.empty() ? "lumapix-demo.bmp" : args[0];
    Record source;
    if (MakeTestImage(&source.image, XR_MODE_RGB, 320, 240) != XR_OK) return kExitCodecError;
    ReportTimes times;
    if (int rc = EncodeFile(path, &source.image, &times.encodeMs); rc != kExitOk) return rc;
    Record decoded;
    if (int rc = DecodeFile(path, &decoded.image, &times.decodeMs); rc != kExitOk) return rc;
    std::printf("Wrote a 320x240 gradient with a red \"F\" to %s and read it back.\n\n", path.c_str());
    std::fputs(HeaderReport(decoded.image, times, FileBytes(path), "\n").c_str(), stdout);
    bool same = source.image.SIZE == decoded.image.SIZE;
    for (uint32_t i = 0; same && i < source.image.SIZE; ++i)
        same = static_cast<uint8_t*>(source.image.PIXELS)[i] == static_cast<uint8_t*>(decoded.image.PIXELS)[i];
    std::printf("\nRound trip: %s\n", same ? "identical pixels" : "PIXELS DIFFER");
    return same ? kExitOk : kExitCodecError;
}

}  // namespace lumapix::cli
