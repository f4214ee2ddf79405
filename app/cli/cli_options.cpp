#include "cli_options.hpp"

#include <charconv>
#include <cstdio>
#include <strings.h>

namespace lumapix::cli {

namespace {

// Whole-string decimal in min..max; no sign other than '-', no trailing text.
bool ParseNumber(const std::string& text, int64_t min, int64_t max, int64_t* value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, *value);
    return ec == std::errc{} && ptr == end && !text.empty() && *value >= min && *value <= max;
}

bool ParseInt32(const std::string& text, int64_t min, int64_t max, int32_t* out) {
    int64_t value = 0;
    if (!ParseNumber(text, min, max, &value)) return false;
    *out = static_cast<int32_t>(value);
    return true;
}

// Exactly count values in min..65535 split by any of separators.
bool ParseList(const std::string& text, const char* separators, size_t count, int64_t min, uint16_t* out[]) {
    size_t start = 0;
    for (size_t i = 0; i < count; ++i) {
        size_t stop = i + 1 < count ? text.find_first_of(separators, start) : text.size();
        if (stop == std::string::npos) return false;
        int64_t value = 0;
        if (!ParseNumber(text.substr(start, stop - start), min, UINT16_MAX, &value)) return false;
        *out[i] = static_cast<uint16_t>(value);
        start = stop + 1;
    }
    return true;
}

// A number up to last or the name the header report shows, in any case.
bool ParseMode(const std::string& text, int32_t last, int32_t* mode) {
    for (int32_t m = XR_MODE_RGB; m <= last; ++m) {
        if (strcasecmp(text.c_str(), ImageModeName(m)) == 0) {
            *mode = m;
            return true;
        }
    }
    return ParseInt32(text, XR_MODE_RGB, last, mode);
}

enum class Kind { Scaled, Mode, ModeDetail };

struct Option {
    const char* name;
    Kind kind;
    const char* expected;
    bool (*parse)(const std::string& value, CommandLine* line);
};

const Option kOptions[] = {
    // The scaled decode converts to the 8-bit modes only.
    {"--target-mode", Kind::Scaled, "1..5 or RGB, YUV, GRAY, INDEX, MONO",
     [](const std::string& v, CommandLine* l) { return ParseMode(v, XR_MODE_MONO, &l->decode.targetMode); }},
    {"--target-size", Kind::Scaled, "WIDTHxHEIGHT, each 1..65535",
     [](const std::string& v, CommandLine* l) {
         uint16_t* out[] = {&l->decode.targetWidth, &l->decode.targetHeight};
         return ParseList(v, "xX", 2, 1, out);
     }},
    {"--clip", Kind::Scaled, "X,Y,WIDTH,HEIGHT, each 0..65535 (0 size = to the edge)",
     [](const std::string& v, CommandLine* l) {
         uint16_t* out[] = {&l->decode.clipX, &l->decode.clipY, &l->decode.clipWidth, &l->decode.clipHeight};
         return ParseList(v, ",", 4, 0, out);
     }},
    {"--mode", Kind::Mode, "1..10 or RGB, YUV, GRAY, INDEX, MONO, RGBW, YUVW, GRAYW, LAB, HIGH",
     [](const std::string& v, CommandLine* l) { return ParseMode(v, XR_MODE_HIGH, &l->conversion.mode); }},
    {"--dither", Kind::ModeDetail, "0..7",
     [](const std::string& v, CommandLine* l) { return ParseInt32(v, 0, 7, &l->conversion.dither); }},
    {"--coef", Kind::ModeDetail, "-128..127",
     [](const std::string& v, CommandLine* l) { return ParseInt32(v, -128, 127, &l->conversion.coefficient); }},
    {"--threshold", Kind::ModeDetail, "0..255",
     [](const std::string& v, CommandLine* l) { return ParseInt32(v, 0, 255, &l->conversion.threshold); }},
    {"--mono-palfmt", Kind::ModeDetail, "blackiszero or whiteiszero",
     [](const std::string& v, CommandLine* l) {
         bool white = strcasecmp(v.c_str(), "whiteiszero") == 0;
         if (!white && strcasecmp(v.c_str(), "blackiszero") != 0) return false;
         l->conversion.monoPaletteFormat = white ? XR_PALFMT_WHITEISZERO : XR_PALFMT_BLACKISZERO;
         l->decode.monoPaletteFormat = l->conversion.monoPaletteFormat;  // also a MONO scaled decode's
         return true;
     }},
};

bool Fail(const std::string& message) {
    std::fprintf(stderr, "lumapix: %s\n", message.c_str());
    return false;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, bool withConversion, CommandLine* line) {
    *line = CommandLine{};
    DecodeOptionsDefaults(&line->decode);
    bool optionsEnded = false, detailGiven = false, detailOnlyPalfmt = true;
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
        size_t equals = arg.find('=');
        std::string name = arg.substr(0, equals);
        if (name == "--stretch" && equals == std::string::npos) {
            line->decode.stretch = 1;
            continue;
        }
        const Option* option = nullptr;
        for (const Option& o : kOptions)
            if (name == o.name) option = &o;
        if (!option) return Fail("unknown option " + arg);
        if (!withConversion && option->kind != Kind::Scaled) return Fail(name + " applies to convert only");
        std::string value;
        if (equals != std::string::npos) value = arg.substr(equals + 1);
        else if (i + 1 < args.size()) value = args[++i];
        else return Fail(name + " needs a value: " + option->expected);
        if (!option->parse(value, line))
            return Fail(name + ": bad value '" + value + "', expected " + option->expected);
        // Any scaled-decode setting only makes sense through the scaled decode.
        if (option->kind == Kind::Scaled) line->decode.stretch = 1;
        detailGiven |= option->kind == Kind::ModeDetail;
        if (option->kind == Kind::ModeDetail && name != "--mono-palfmt") detailOnlyPalfmt = false;
    }
    bool monoTarget = line->decode.targetMode == XR_MODE_MONO;
    if (detailGiven && line->conversion.mode == 0 && !(monoTarget && detailOnlyPalfmt))
        return Fail("--dither, --coef and --threshold only act with --mode; --mono-palfmt with --mode or --target-mode MONO");
    return true;
}

}  // namespace lumapix::cli
