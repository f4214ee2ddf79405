// Options of the info and convert commands, accepted before, between or after the paths.
#ifndef LUMAPIX_CLI_OPTIONS_HPP
#define LUMAPIX_CLI_OPTIONS_HPP

#include <cstdint>
#include <string>
#include <vector>

#include "lumapix/options.h"
#include "lumapix/xr_image.h"

namespace lumapix::cli {

// The arguments of ConvertImageMode; mode 0 leaves the decoded image as it is.
struct ModeOptions {
    int32_t mode = 0;
    int32_t dither = 0;
    int32_t coefficient = 0;
    int32_t threshold = 128;
    uint8_t monoPaletteFormat = XR_PALFMT_BLACKISZERO;
};

struct CommandLine {
    std::vector<std::string> paths;
    DecodeOptions decode{};
    ModeOptions conversion;
};

// Fills *line from args; withConversion also accepts --mode and its companions.
// On a bad option prints why on stderr and returns false.
bool ParseCommandLine(const std::vector<std::string>& args, bool withConversion, CommandLine* line);

}  // namespace lumapix::cli

#endif
