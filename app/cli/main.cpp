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
    "  info FILE          decode FILE and print its header report\n"
    "  convert IN OUT     decode IN and write OUT; formats follow the file extensions\n"
    "  demo [OUT.bmp]     write a generated test image, read it back, report it\n"
    "  --version          print the version\n"
    "\n"
    "formats: bmp (read and write)\n"
    "A failed decode or encode prints \"ErrCode = 0X<status>\" and exits with 1.\n";

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
