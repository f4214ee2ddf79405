#include "lumapix/options.h"

extern "C" void DecodeOptionsDefaults(DecodeOptions* options) {
    *options = DecodeOptions{};
    options->line = 1;
    options->targetMode = 1;
}

extern "C" void EncodeOptionsDefaults(EncodeOptions* options) {
    *options = EncodeOptions{};
    options->line = 1;
    options->jpegQuality = 80;
}
