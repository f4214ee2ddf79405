// Options of the lumapix commands, accepted before, between or after the paths.
#ifndef LUMAPIX_CLI_OPTIONS_HPP
#define LUMAPIX_CLI_OPTIONS_HPP

#include <cstdint>
#include <string>
#include <vector>

#include "lumapix/options.h"
#include "lumapix/xr_image.h"

namespace lumapix::cli {

enum class Command { kInfo, kConvert, kBench };

// The arguments of ConvertImageMode.
struct ModeOptions {
    int32_t mode = 0;
    int32_t dither = 0;
    int32_t coefficient = 0;
    int32_t threshold = 128;
    uint8_t monoPaletteFormat = XR_PALFMT_BLACKISZERO;
};

// The arguments of ResizeImage.
struct ResizeOptions {
    int32_t width = 0;
    int32_t height = 0;
    int32_t method = 0;  // 0 nearest, 1 bilinear, 2 bicubic
    int32_t sharpness = 0;
};

// One processing step between decode and encode, applied in the order given.
struct ProcessingStep {
    enum Kind { kMode, kResize, kRotate } kind = kMode;
    ModeOptions mode;
    ResizeOptions resize;
    int32_t angle = 0;  // 90, 180, 270 clockwise; -1 left-right, -2 top-bottom mirror
};

struct CommandLine {
    std::vector<std::string> paths;
    DecodeOptions decode{};
    EncodeOptions encode{};
    std::string format;  // --format: extension for names without a usable one
    std::string to;      // --to: write as this format whatever the output is named
    std::vector<ProcessingStep> steps;
    int32_t repeat = 5;       // bench
    std::string benchEncode;  // bench: also encode to this format
    bool help = false;
};

// Fills *line from args for command. On a bad option prints one line saying why
// on stderr and returns false.
bool ParseCommandLine(const std::vector<std::string>& args, Command command, CommandLine* line);

// The options part of --help for a command.
const char* OptionsHelp(Command command);

}  // namespace lumapix::cli

#endif
