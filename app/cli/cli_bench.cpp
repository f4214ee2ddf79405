// In-process timing of a format's decoder and encoder, and the round trip of a
// generated picture through every format that can be written.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

#include "cli_commands.hpp"
#include "cli_options.hpp"
#include "lumapix/document.h"
#include "lumapix/mode_conversion.h"
#include "lumapix/test_images.h"

namespace lumapix::cli {

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Owns a record for the length of a command.
struct Record {
    XrImage image{};
    ~Record() { ImageFree(&image); }
};

// Decodes bytes held in memory, so the disk does not take part in the timing.
CodecStatus DecodeBytes(std::vector<uint8_t>& bytes, DecodeAdapter adapter, DecodeOptions& options, XrImage* out) {
    FILE* file = fmemopen(bytes.data(), bytes.size(), "rb");
    if (!file) return XR_ERR_INTERNAL;
    CodecStatus status = adapter(file, out, &options);
    std::fclose(file);
    return status;
}

CodecStatus EncodeBytes(XrImage* image, EncodeAdapter adapter, EncodeOptions& options, std::vector<uint8_t>* out) {
    char* buffer = nullptr;
    size_t size = 0;
    FILE* file = open_memstream(&buffer, &size);
    if (!file) return XR_ERR_INTERNAL;
    CodecStatus status = adapter(file, image, &options);
    if (std::fclose(file) != 0 && status == XR_OK) status = XR_ERR_STREAM_CALLBACK;
    out->assign(buffer, buffer + size);
    std::free(buffer);
    return status;
}

int32_t FormatOfName(const std::string& path, const std::string& forced) {
    std::string name = forced.empty() ? path : "." + forced;
    return DetectFormat(name.c_str(), nullptr, nullptr);
}

int Fail(const std::string& what, CodecStatus status) {
    std::fprintf(stderr, "ErrCode = 0X%x\nlumapix: %s: %s\n", static_cast<unsigned>(status), what.c_str(),
                 CodecStatusMessage(status));
    return kExitCodecError;
}

void PrintTiming(const char* what, const std::vector<double>& ms, const XrImage& image, size_t bytes) {
    double median = Median(ms);
    double mpixels = double(image.WIDTH) * image.HEIGHT / 1e6;
    std::printf("%-8s %10.2f ms median of %zu, %8.1f MPixel/s, %zu bytes of file\n", what, median, ms.size(),
                median > 0 ? mpixels / (median / 1000) : 0.0, bytes);
}

}  // namespace

int Bench(const std::vector<std::string>& args) {
    CommandLine line;
    if (!ParseCommandLine(args, Command::kBench, &line)) return kExitUsage;
    if (line.help || line.paths.size() != 1) return ShowHelp("bench", line.help);
    const std::string& path = line.paths[0];
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "lumapix: %s: cannot read the file\n", path.c_str());
        return kExitCodecError;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int32_t format = FormatOfName(path, line.format);
    const FormatRow* row = format < XR_FORMAT_ROWS ? &FormatRegistry[format] : nullptr;
    DecodeAdapter decode = row ? (line.decode.stretch ? row->decodeScaled : row->decode) : nullptr;
    if (!decode) {
        std::fprintf(stderr, "lumapix: %s: no decoder for this name; name one with --format EXT\n", path.c_str());
        return kExitUsage;
    }
    Record image;
    std::vector<double> decodeMs;
    for (int32_t i = 0; i < line.repeat; ++i) {
        ImageFree(&image.image);
        auto start = Clock::now();
        CodecStatus status = DecodeBytes(bytes, decode, line.decode, &image.image);
        decodeMs.push_back(MillisecondsSince(start));
        if (status != XR_OK) return Fail("decoding " + path, status);
    }
    std::printf("%s: %ux%u %s\n", path.c_str(), image.image.WIDTH, image.image.HEIGHT, ImageModeName(image.image.MODE));
    PrintTiming("decode", decodeMs, image.image, bytes.size());
    if (line.benchEncode.empty()) return kExitOk;

    int32_t target = FormatOfName("", line.benchEncode);
    if (target >= XR_FORMAT_SAVE_ROWS || !FormatRegistry[target].encode) {
        std::fprintf(stderr, "lumapix: no encoder for %s\n", line.benchEncode.c_str());
        return kExitUsage;
    }
    int32_t mode = SaveTargetMode(target, image.image.MODE);
    if (mode < 0) return Fail("encoding as " + line.benchEncode, XR_ERR_UNSUPPORTED);
    if (mode > 0) {  // converted once, outside the timing
        CodecStatus status = ConvertImageMode(&image.image, mode, 0, 0, 128, 0, nullptr, 0);
        if (status != XR_OK) return Fail("converting", status);
    }
    std::vector<double> encodeMs;
    std::vector<uint8_t> encoded;
    for (int32_t i = 0; i < line.repeat; ++i) {
        XrImage copy = image.image;
        auto start = Clock::now();
        CodecStatus status = EncodeBytes(&copy, FormatRegistry[target].encode, line.encode, &encoded);
        encodeMs.push_back(MillisecondsSince(start));
        if (status != XR_OK) return Fail("encoding as " + line.benchEncode, status);
    }
    PrintTiming("encode", encodeMs, image.image, encoded.size());
    return kExitOk;
}

namespace {

bool SameRgbPixels(XrImage& a, XrImage& b) {
    if (a.MODE != XR_MODE_RGB && ConvertImageMode(&a, XR_MODE_RGB, 0, 0, 128, 1, nullptr, 0) != XR_OK) return false;
    if (b.MODE != XR_MODE_RGB && ConvertImageMode(&b, XR_MODE_RGB, 0, 0, 128, 1, nullptr, 0) != XR_OK) return false;
    if (a.WIDTH != b.WIDTH || a.HEIGHT != b.HEIGHT) return false;
    for (uint32_t y = 0; y < a.HEIGHT; ++y)
        if (std::memcmp(ImageLine(&a, y), ImageLine(&b, y), 3u * a.WIDTH) != 0) return false;
    return true;
}

}  // namespace

int RoundTrip(const std::vector<std::string>& args) {
    if (args.size() > 1) return ShowHelp("roundtrip", false);
    std::string dir = args.empty() ? "." : args[0];
    mkdir(dir.c_str(), 0777);
    COrvineDoc source;
    if (MakeTestImage(&source.image, XR_MODE_RGB, 320, 240) != XR_OK) return kExitCodecError;

    struct Variant {
        const char* label;
        int32_t format;
        bool pnmBinary;
    };
    const Variant variants[] = {{"bmp", XR_FORMAT_BMP, false},
                                {"pnm ascii", XR_FORMAT_PNM, false},
                                {"pnm binary", XR_FORMAT_PNM, true},
                                {"raw", XR_FORMAT_RAW, false},
                                {"png", XR_FORMAT_PNG, false},
                                {"gif", XR_FORMAT_GIF, false}};
    std::printf("%-11s %-6s %9s %9s %9s  %s\n", "format", "mode", "bytes", "encode", "decode", "round trip");
    bool allMatch = true;
    for (const Variant& v : variants) {
        if (!FormatRegistry[v.format].encode) continue;
        std::string path = dir + "/sample" + (v.pnmBinary ? "-binary." : ".") + FormatRegistry[v.format].extension;
        EncodeOptions encoding;
        EncodeOptionsDefaults(&encoding);
        encoding.pnmBinary = v.pnmBinary;
        DocumentQuestions quiet;
        if (!SaveDocumentConverted(source, path, v.format, encoding, quiet)) {
            std::printf("%-11s failed to write %s\n", v.label, path.c_str());
            allMatch = false;
            continue;
        }
        DecodeOptions decoding;
        DecodeOptionsDefaults(&decoding);
        decoding.rawMode = source.image.MODE;  // a raw file carries no geometry of its own
        decoding.rawWidth = source.image.WIDTH;
        decoding.rawHeight = source.image.HEIGHT;
        decoding.rawLineBytes = static_cast<uint16_t>(ImageLineBytes(source.image.MODE, source.image.WIDTH));
        COrvineDoc decoded;
        OpenOutcome outcome = OpenDocument(decoded, path, decoding, quiet);
        // A format that cannot hold RGB gets the converted copy the save wrote;
        // both sides are compared as RGB.
        COrvineDoc expected;
        const int32_t savedMode = SaveTargetMode(v.format, source.image.MODE);
        bool match = outcome == OpenOutcome::kOpened && decoded.status == COrvineDoc::kNormal &&
                     ImageCopy(&expected.image, &source.image) == XR_OK &&
                     (savedMode <= 0 || ConvertImageMode(&expected.image, savedMode, 0, 0, 128, 1, nullptr, 0) == XR_OK) &&
                     SameRgbPixels(expected.image, decoded.image);
        allMatch = allMatch && match;
        struct stat st {};
        stat(path.c_str(), &st);
        std::printf("%-11s %-6s %9lld %6d ms %6d ms  %s\n", v.label, ImageModeName(decoded.image.MODE),
                    static_cast<long long>(st.st_size), source.encodeMs, decoded.decodeMs,
                    match ? "identical pixels" : "PIXELS DIFFER");
    }
    return allMatch ? kExitOk : kExitCodecError;
}

}  // namespace lumapix::cli
