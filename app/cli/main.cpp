// lumapix: convert, inspect and time images from the command line.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli_commands.hpp"
#include "cli_options.hpp"

namespace lumapix::cli {

namespace {

constexpr const char* kUsage =
    "usage: lumapix COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  info [OPTIONS] FILE        decode FILE and print its header and timing report\n"
    "  convert [OPTIONS] IN OUT   decode IN, process it, write OUT in the format its name gives\n"
    "  bench [OPTIONS] FILE       time decoding (and encoding) FILE in memory: median ms, MPixel/s\n"
    "  demo [OUT.bmp]             write a generated test image, read it back, report it\n"
    "  roundtrip [DIR]            write the test image in every writable format, read each back\n"
    "  encode-all [OPTIONS] IN DIR  write IN as RGB, INDEX, YUV, GRAY and MONO in every format\n"
    "                             that holds each (DIR/rgb.bmp, DIR/index.gif, ...)\n"
    "  play [--null] FILE         play an audio file (wma, mp3, aac, mp4, wav); Ctrl-C stops\n"
    "  audio-decode IN OUT.wav    decode an audio file (aac, m4a, mp4, wav) to a PCM WAV file\n"
    "  --version                  print the version\n"
    "Run 'lumapix COMMAND --help' for a command's options.\n"
    "\n"
    "Formats read: bmp, jpg, png, gif, pnm (ppm, pgm, pbm), raw, rle; written: bmp, png, gif, pnm, raw.\n"
    "A failed decode, conversion or encode prints \"ErrCode = 0X<status>\" and exits with 1;\n"
    "wrong usage exits with 2.\n";

struct CommandHelp {
    const char* name;
    const char* synopsis;
    Command options;
};

constexpr CommandHelp kHelp[] = {
    {"info", "usage: lumapix info [OPTIONS] FILE\n", Command::kInfo},
    {"convert", "usage: lumapix convert [OPTIONS] IN OUT\n", Command::kConvert},
    {"bench", "usage: lumapix bench [OPTIONS] FILE [--repeat N] [--encode EXT]\n", Command::kBench},
    {"encode-all", "usage: lumapix encode-all [OPTIONS] IN DIR\n", Command::kConvert},
};

}  // namespace

int ShowHelp(const std::string& command, bool requested) {
    FILE* out = requested ? stdout : stderr;
    for (const CommandHelp& h : kHelp) {
        if (command == h.name) {
            std::fprintf(out, "%s\n%s", h.synopsis, OptionsHelp(h.options));
            return requested ? kExitOk : kExitUsage;
        }
    }
    std::fputs(kUsage, out);
    return requested ? kExitOk : kExitUsage;
}

}  // namespace lumapix::cli

int main(int argc, char** argv) {
    using namespace lumapix::cli;
    if (argc < 2) return ShowHelp("", false);
    std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "info") return Info(args);
    if (command == "convert") return Convert(args);
    if (command == "bench") return Bench(args);
    if (command == "demo") return Demo(args);
    if (command == "roundtrip") return RoundTrip(args);
    if (command == "encode-all") return EncodeAllFormats(args);
    if (command == "play") return Play(args);
    if (command == "audio-decode") return AudioDecode(args);
    if (command == "--version") {
        std::printf("Lumapix Ver. %s\n", LUMAPIX_VERSION);
        return kExitOk;
    }
    if (command == "--help" || command == "-h" || command == "help") {
        return ShowHelp(args.empty() ? "" : args[0], true);
    }
    std::fprintf(stderr, "lumapix: unknown command '%s'\n", command.c_str());
    return ShowHelp("", false);
}
