// lumapix: convert and inspect images from the command line.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli_commands.hpp"

namespace {

constexpr const char* kUsage =
    "usage: lumapix COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  info [DECODE OPTIONS] FILE\n"
    "                     decode FILE and print its header report\n"
    "  convert [DECODE OPTIONS] [MODE OPTIONS] IN OUT\n"
    "                     decode IN and write OUT; formats follow the file extensions\n"
    "  demo [OUT.bmp]     write a generated test image, read it back, report it\n"
    "  --version          print the version\n"
    "\n"
    "decode options (any of them selects the scaled decode):\n"
    "  --stretch              decode through the format's scaled decode\n"
    "  --target-mode M        mode to decode to: 1..5 or RGB, YUV, GRAY, INDEX, MONO (default RGB)\n"
    "  --target-size WxH      size to stretch to (default the file's)\n"
    "  --clip X,Y,W,H         part of the file to decode; 0 width or height = to the edge\n"
    "\n"
    "mode options (convert only; applied between decode and encode):\n"
    "  --mode M               convert to 1..10 or RGB, YUV, GRAY, INDEX, MONO, RGBW, YUVW,\n"
    "                         GRAYW, LAB, HIGH (any case)\n"
    "  --dither 0..7          INDEX and MONO: 0 none, 1 along the line, 2 Floyd-Steinberg,\n"
    "                         3 Jarvis-Judice-Ninke, 4..7 2x2..16x16 pattern (default 0)\n"
    "  --coef -128..127       error diffusion weight: 0 keeps errors whole, -128 drops them\n"
    "                         (default 0)\n"
    "  --threshold 0..255     MONO, dither 0..3: luma at or above it is white (default 128)\n"
    "  --mono-palfmt blackiszero|whiteiszero\n"
    "                         MONO polarity, also of --target-mode MONO (default blackiszero)\n"
    "Options may come before, between or after the paths, as --name VALUE or --name=VALUE.\n"
    "\n"
    "formats: bmp (read and write)\n"
    "A failed decode, conversion or encode prints \"ErrCode = 0X<status>\" and exits with 1;\n"
    "wrong usage exits with 2.\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace lumapix::cli;
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    int rc = kExitUsage;
    if (command == "info") rc = Info(args);
    else if (command == "convert") rc = Convert(args);
    else if (command == "demo") rc = Demo(args);
    else if (command == "--version") {
        std::printf("Lumapix Ver. %s\n", LUMAPIX_VERSION);
        return kExitOk;
    } else if (command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (rc == kExitUsage) std::fputs(kUsage, stderr);
    return rc;
}
