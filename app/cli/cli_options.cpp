#include "cli_options.hpp"

#include <charconv>
#include <cstdio>
#include <strings.h>

namespace lumapix::cli {

namespace {

// Stores a value inside an option's parse expression.
template <class T, class V>
bool Set(T& field, V value) {
    field = static_cast<T>(value);
    return true;
}

// Whole-string decimal in min..max; no sign other than '-', no trailing text.
bool ParseNumber(const std::string& text, int64_t min, int64_t max, int64_t* value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, *value);
    return ec == std::errc{} && ptr == end && !text.empty() && *value >= min && *value <= max;
}

template <class T>
bool ParseInto(const std::string& text, int64_t min, int64_t max, T* out) {
    int64_t value = 0;
    if (!ParseNumber(text, min, max, &value)) return false;
    *out = static_cast<T>(value);
    return true;
}

// Exactly count values in min..65535 split by any of separators.
bool ParseList(const std::string& text, const char* separators, size_t count, int64_t min, uint16_t* out[]) {
    size_t start = 0;
    for (size_t i = 0; i < count; ++i) {
        size_t stop = i + 1 < count ? text.find_first_of(separators, start) : text.size();
        if (stop == std::string::npos) return false;
        if (!ParseInto(text.substr(start, stop - start), min, UINT16_MAX, out[i])) return false;
        start = stop + 1;
    }
    return true;
}

// A number first..last or the name the header report shows, in any case.
bool ParseMode(const std::string& text, int32_t first, int32_t last, int32_t* mode) {
    for (int32_t m = first; m <= last; ++m) {
        if (strcasecmp(text.c_str(), ImageModeName(m)) == 0) {
            *mode = m;
            return true;
        }
    }
    return ParseInto(text, first, last, mode);
}

// One of two words, in any case: false for the first, true for the second.
bool ParseChoice(const std::string& text, const char* no, const char* yes, bool* out) {
    if (strcasecmp(text.c_str(), no) == 0) return Set(*out, false);
    if (strcasecmp(text.c_str(), yes) == 0) return Set(*out, true);
    return false;
}

// One of the words, in any case, stored as its value.
template <size_t N>
bool ParseWord(const std::string& text, const char* const (&words)[N], const uint8_t (&values)[N], uint8_t* out) {
    for (size_t i = 0; i < N; ++i)
        if (strcasecmp(text.c_str(), words[i]) == 0) return Set(*out, values[i]);
    return false;
}

bool ParsePalfmt(const std::string& text, uint8_t* out) {
    bool white = false;
    if (!ParseChoice(text, "blackiszero", "whiteiszero", &white)) return false;
    *out = white ? XR_PALFMT_WHITEISZERO : XR_PALFMT_BLACKISZERO;
    return true;
}

bool ParseExtension(const std::string& text, std::string* out) {
    if (text.empty() || text.size() > 7 || text.find_first_of("./ ") != std::string::npos) return false;
    *out = text;
    return true;
}

// WxH[:method[:sharpness]] for --resize.
bool ParseResize(const std::string& v, CommandLine* line) {
    ProcessingStep step;
    step.kind = ProcessingStep::kResize;
    ResizeOptions& r = step.resize;
    const size_t colon = v.find(':');
    uint16_t size[2] = {};
    uint16_t* out[] = {&size[0], &size[1]};
    if (!ParseList(v.substr(0, colon), "xX", 2, 1, out) || size[0] > 32767 || size[1] > 32767) return false;
    r.width = size[0];
    r.height = size[1];
    if (colon != std::string::npos) {
        const std::string rest = v.substr(colon + 1);
        const size_t second = rest.find(':');
        const std::string method = rest.substr(0, second);
        const char* names[] = {"nearest", "bilinear", "bicubic"};
        r.method = -1;
        for (int32_t i = 0; i < 3; ++i)
            if (strcasecmp(method.c_str(), names[i]) == 0) r.method = i;
        if (r.method < 0) return false;
        if (second != std::string::npos &&
            (r.method != 2 || !ParseInto(rest.substr(second + 1), -128, 127, &r.sharpness)))
            return false;
    }
    line->steps.push_back(step);
    return true;
}

// Which commands take an option.
enum : unsigned { kInfo = 1, kConvert = 2, kBench = 4, kReaders = kInfo | kConvert | kBench };

// Where a mode conversion's companions go: the last --mode given, or the next one.
struct ParseState {
    CommandLine* line;
    ModeOptions pending;
    bool detailGiven = false;
    bool detailOnlyPalfmt = true;
    ModeOptions& Details() {
        for (auto step = line->steps.rbegin(); step != line->steps.rend(); ++step)
            if (step->kind == ProcessingStep::kMode) return step->mode;
        return pending;
    }
};

struct Option {
    const char* name;
    unsigned commands;
    const char* expected;  // null: a flag without a value
    bool (*parse)(const std::string& value, ParseState& s);
};

const Option kOptions[] = {
    {"--format", kReaders, "an extension such as bmp or pgm",
     [](const std::string& v, ParseState& s) { return ParseExtension(v, &s.line->format); }},
    {"--line", kReaders, nullptr,
     [](const std::string&, ParseState& s) { return Set(s.line->decode.line, 1) && Set(s.line->encode.line, 1); }},
    {"--whole", kReaders, nullptr,
     [](const std::string&, ParseState& s) { return Set(s.line->decode.line, 0) && Set(s.line->encode.line, 0); }},
    {"--stretch", kReaders, nullptr, [](const std::string&, ParseState& s) { return Set(s.line->decode.stretch, 1); }},
    // The scaled decode converts to the 8-bit modes only.
    {"--target-mode", kReaders, "1..5 or RGB, YUV, GRAY, INDEX, MONO",
     [](const std::string& v, ParseState& s) {
         return ParseMode(v, XR_MODE_RGB, XR_MODE_MONO, &s.line->decode.targetMode) && Set(s.line->decode.stretch, 1);
     }},
    {"--target-size", kReaders, "WIDTHxHEIGHT, each 1..65535",
     [](const std::string& v, ParseState& s) {
         uint16_t* out[] = {&s.line->decode.targetWidth, &s.line->decode.targetHeight};
         return ParseList(v, "xX", 2, 1, out) && Set(s.line->decode.stretch, 1);
     }},
    {"--clip", kReaders, "X,Y,WIDTH,HEIGHT, each 0..65535 (0 size = to the edge)",
     [](const std::string& v, ParseState& s) {
         DecodeOptions& d = s.line->decode;
         uint16_t* out[] = {&d.clipX, &d.clipY, &d.clipWidth, &d.clipHeight};
         return ParseList(v, ",", 4, 0, out) && Set(d.stretch, 1);
     }},
    {"--mono-palfmt", kReaders, "blackiszero or whiteiszero",
     [](const std::string& v, ParseState& s) {
         // Polarity of bi-level files and scaled decodes, and of a MONO conversion.
         if (!ParsePalfmt(v, &s.line->decode.monoPaletteFormat)) return false;
         s.Details().monoPaletteFormat = s.line->decode.monoPaletteFormat;
         return true;
     }},
    {"--thumbnail", kReaders, nullptr,
     [](const std::string&, ParseState& s) { return Set(s.line->decode.jpegThumbnail, uint8_t{1}); }},
    {"--raw-mode", kReaders, "0..8 or RGB, YUV, GRAY, INDEX, MONO, RGBW, YUVW, GRAYW",
     [](const std::string& v, ParseState& s) { return ParseMode(v, XR_MODE_UNK, XR_MODE_GRAYW, &s.line->decode.rawMode); }},
    {"--raw-format", kReaders, "bits per sample -16..16 (negative: signed; 0 = 8)",
     [](const std::string& v, ParseState& s) { return ParseInto(v, -16, 16, &s.line->decode.rawFormat); }},
    {"--raw-width", kReaders, "1..65535",
     [](const std::string& v, ParseState& s) { return ParseInto(v, 1, UINT16_MAX, &s.line->decode.rawWidth); }},
    {"--raw-height", kReaders, "0..65535 (0: until the data ends)",
     [](const std::string& v, ParseState& s) { return ParseInto(v, 0, UINT16_MAX, &s.line->decode.rawHeight); }},
    {"--raw-line-bytes", kReaders, "0..65535 (0: from mode and width)",
     [](const std::string& v, ParseState& s) { return ParseInto(v, 0, UINT16_MAX, &s.line->decode.rawLineBytes); }},
    {"--raw-palfmt", kReaders, "blackiszero or whiteiszero",
     [](const std::string& v, ParseState& s) { return ParsePalfmt(v, &s.line->decode.rawPaletteFormat); }},
    {"--fax-width", kReaders, "1..32767",
     [](const std::string& v, ParseState& s) { return ParseInto(v, 1, 32767, &s.line->decode.faxWidth); }},
    {"--fax-line-bytes", kReaders, "1..4294967295",
     [](const std::string& v, ParseState& s) { return ParseInto(v, 1, UINT32_MAX, &s.line->decode.faxLineBytes); }},
    {"--fax-bit-order", kReaders, "msb or lsb",
     [](const std::string& v, ParseState& s) {
         bool lsb = false;
         return ParseChoice(v, "msb", "lsb", &lsb) && Set(s.line->decode.faxBitOrder, uint8_t{lsb});
     }},
    {"--fax-error", kReaders, "prev, white or skip",
     [](const std::string& v, ParseState& s) {
         const char* names[] = {"prev", "white", "skip"};
         for (uint8_t i = 0; i < 3; ++i)
             if (strcasecmp(v.c_str(), names[i]) == 0) return Set(s.line->decode.faxErrorFill, i);
         return false;
     }},
    {"--mode", kConvert, "1..10 or RGB, YUV, GRAY, INDEX, MONO, RGBW, YUVW, GRAYW, LAB, HIGH",
     [](const std::string& v, ParseState& s) {
         ProcessingStep step;
         step.mode = s.pending;
         if (!ParseMode(v, XR_MODE_RGB, XR_MODE_HIGH, &step.mode.mode)) return false;
         s.pending = ModeOptions{};
         s.line->steps.push_back(step);
         return true;
     }},
    {"--dither", kConvert, "0..7",
     [](const std::string& v, ParseState& s) { return ParseInto(v, 0, 7, &s.Details().dither); }},
    {"--coef", kConvert, "-128..127",
     [](const std::string& v, ParseState& s) { return ParseInto(v, -128, 127, &s.Details().coefficient); }},
    {"--threshold", kConvert, "0..255",
     [](const std::string& v, ParseState& s) { return ParseInto(v, 0, 255, &s.Details().threshold); }},
    {"--resize", kConvert, "WIDTHxHEIGHT[:nearest|bilinear|bicubic[:SHARPNESS]], sizes 1..32767, sharpness -128..127",
     [](const std::string& v, ParseState& s) { return ParseResize(v, s.line); }},
    {"--rotate", kConvert, "90, 180 or 270 (clockwise)",
     [](const std::string& v, ParseState& s) {
         ProcessingStep step;
         step.kind = ProcessingStep::kRotate;
         if (v != "90" && v != "180" && v != "270") return false;
         step.angle = std::stoi(v);
         s.line->steps.push_back(step);
         return true;
     }},
    {"--flip", kConvert, "lr (left-right) or tb (top-bottom)",
     [](const std::string& v, ParseState& s) {
         bool topBottom = false;
         if (!ParseChoice(v, "lr", "tb", &topBottom)) return false;
         ProcessingStep step;
         step.kind = ProcessingStep::kRotate;
         step.angle = topBottom ? -2 : -1;
         s.line->steps.push_back(step);
         return true;
     }},
    {"--to", kConvert, "an extension such as bmp or pnm",
     [](const std::string& v, ParseState& s) { return ParseExtension(v, &s.line->to); }},
    {"--pnm", kConvert | kBench, "ascii or binary",
     [](const std::string& v, ParseState& s) {
         bool binary = false;
         return ParseChoice(v, "ascii", "binary", &binary) && Set(s.line->encode.pnmBinary, int32_t{binary});
     }},
    {"--jpeg-quality", kConvert | kBench, "1..100",
     [](const std::string& v, ParseState& s) { return ParseInto(v, 1, 100, &s.line->encode.jpegQuality); }},
    {"--jpeg-subsampling", kConvert | kBench, "411, 422 or 444",
     [](const std::string& v, ParseState& s) {
         return ParseWord(v, {"411", "422", "444"}, {0, 1, 2}, &s.line->encode.jpegSubsampling);
     }},
    {"--jpeg-colorspace", kConvert | kBench, "ycbcr, gray, lab, cmyk or ycck",
     [](const std::string& v, ParseState& s) {
         return ParseWord(v, {"ycbcr", "gray", "lab", "cmyk", "ycck"}, {0, 1, 2, 3, 4}, &s.line->encode.jpegColorSpace);
     }},
    {"--jpeg-app", kConvert | kBench, "none, jfif, exif, dcf or g3fax",
     [](const std::string& v, ParseState& s) {
         return ParseWord(v, {"none", "jfif", "exif", "dcf", "g3fax"}, {0, 1, 3, 4, 5}, &s.line->encode.jpegAppMode);
     }},
    {"--jpeg-thumbnail", kConvert | kBench, nullptr,
     [](const std::string&, ParseState& s) { return Set(s.line->encode.jpegThumbnail, 1); }},
    {"--repeat", kBench, "1..1000",
     [](const std::string& v, ParseState& s) { return ParseInto(v, 1, 1000, &s.line->repeat); }},
    {"--encode", kBench, "an extension such as bmp or pnm",
     [](const std::string& v, ParseState& s) { return ParseExtension(v, &s.line->benchEncode); }},
};

bool Fail(const std::string& message) {
    std::fprintf(stderr, "lumapix: %s\n", message.c_str());
    return false;
}

unsigned Bit(Command command) {
    switch (command) {
        case Command::kInfo: return kInfo;
        case Command::kConvert: return kConvert;
        case Command::kBench: return kBench;
    }
    return 0;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, Command command, CommandLine* line) {
    *line = CommandLine{};
    DecodeOptionsDefaults(&line->decode);
    EncodeOptionsDefaults(&line->encode);
    ParseState state{line, {}};
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            line->paths.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            line->help = true;
            continue;
        }
        size_t equals = arg.find('=');
        std::string name = arg.substr(0, equals);
        const Option* option = nullptr;
        for (const Option& o : kOptions)
            if (name == o.name) option = &o;
        if (!option) return Fail("unknown option " + arg);
        if (!(option->commands & Bit(command))) return Fail(name + " does not apply to this command");
        std::string value;
        if (!option->expected) {
            if (equals != std::string::npos) return Fail(name + " takes no value");
        } else if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return Fail(name + " needs a value: " + option->expected);
        }
        bool isDetail = name == "--dither" || name == "--coef" || name == "--threshold";
        if (!option->parse(value, state))
            return Fail(name + ": bad value '" + value + "', expected " + option->expected);
        state.detailGiven |= isDetail;
    }
    bool anyMode = false;
    for (const ProcessingStep& step : line->steps) anyMode |= step.kind == ProcessingStep::kMode;
    if (state.detailGiven && !anyMode) return Fail("--dither, --coef and --threshold only act with --mode");
    return true;
}

const char* OptionsHelp(Command command) {
    static const char* const kDecode =
        "decode options:\n"
        "  --format EXT           read as this format (for names without a usable extension)\n"
        "  --line | --whole       decode and encode line by line (default) or in one call\n"
        "  --stretch              decode through the format's scaled decode\n"
        "  --target-mode M        scaled decode to 1..5 or RGB, YUV, GRAY, INDEX, MONO (default RGB)\n"
        "  --target-size WxH      scaled decode to this size (default the file's)\n"
        "  --clip X,Y,W,H         scaled decode of this part of the file; 0 width or height = to the edge\n"
        "  --mono-palfmt blackiszero|whiteiszero\n"
        "                         polarity of bi-level files, MONO scaled decodes and --mode MONO\n"
        "  --raw-mode M --raw-format BITS --raw-width W --raw-height H --raw-line-bytes N\n"
        "  --raw-palfmt blackiszero|whiteiszero\n"
        "                         geometry of .raw and .rle files (height 0: until the data ends)\n"
        "  --thumbnail            JPEG: decode the embedded thumbnail\n"
        "  --fax-width W --fax-line-bytes N --fax-bit-order msb|lsb --fax-error prev|white|skip\n"
        "                         MH, MR and MMR files\n";
    static const std::string kConvertHelp = std::string(kDecode) +
        "\nprocessing, applied in the order given:\n"
        "  --mode M               convert to 1..10 or RGB, YUV, GRAY, INDEX, MONO, RGBW, YUVW,\n"
        "                         GRAYW, LAB, HIGH; followed by:\n"
        "  --dither 0..7          INDEX and MONO: 0 none, 1 along the line, 2 Floyd-Steinberg,\n"
        "                         3 Jarvis-Judice-Ninke, 4..7 2x2..16x16 pattern (default 0)\n"
        "  --coef -128..127       error diffusion weight: 0 keeps errors whole, -128 drops them\n"
        "  --threshold 0..255     MONO, dither 0..3: luma at or above it is white (default 128)\n"
        "  --resize WxH[:METHOD[:SHARPNESS]]\n"
        "                         resample to W x H (1..32767) by nearest (default), bilinear or\n"
        "                         bicubic; bicubic sharpness -128 (smooth) .. 127 (sharp), default 0\n"
        "  --rotate 90|180|270    rotate clockwise (RGB, GRAY, INDEX, MONO)\n"
        "  --flip lr|tb           mirror left-right or top-bottom\n"
        "\nencode options:\n"
        "  --to EXT               write as this format whatever OUT is called\n"
        "  --pnm ascii|binary     PNM flavour (default ascii)\n"
        "  --jpeg-quality 1..100  JPEG quality (default 80)\n"
        "  --jpeg-subsampling 411|422|444\n"
        "                         JPEG chroma sampling: 2x2, 2x1 or none (default 411)\n"
        "  --jpeg-colorspace ycbcr|gray|lab|cmyk|ycck\n"
        "                         JPEG colour space (default ycbcr)\n"
        "  --jpeg-app none|jfif|exif|dcf|g3fax\n"
        "                         JPEG application segment (default none)\n"
        "  --jpeg-thumbnail       add a 160x120 thumbnail (jfif, exif, dcf; RGB images)\n"
        "A mode the output format cannot hold is converted to one it can.\n";
    static const std::string kBenchHelp = std::string(kDecode) +
        "\nbench options:\n"
        "  --repeat N             runs to take the median of (default 5)\n"
        "  --encode EXT           also time encoding to this format\n"
        "  --pnm ascii|binary     PNM flavour when encoding\n"
        "  --jpeg-quality, --jpeg-subsampling, --jpeg-colorspace, --jpeg-app, --jpeg-thumbnail\n"
        "                         JPEG options when encoding, as for convert\n";
    switch (command) {
        case Command::kInfo: return kDecode;
        case Command::kConvert: return kConvertHelp.c_str();
        case Command::kBench: return kBenchHelp.c_str();
    }
    return kDecode;
}

}  // namespace lumapix::cli
