// The lumapix subcommands; each returns the process exit status.
#ifndef LUMAPIX_CLI_COMMANDS_HPP
#define LUMAPIX_CLI_COMMANDS_HPP

#include <string>
#include <vector>

namespace lumapix::cli {

constexpr int kExitOk = 0;
constexpr int kExitCodecError = 1;
constexpr int kExitUsage = 2;

int Info(const std::vector<std::string>& args);
int Convert(const std::vector<std::string>& args);
int Bench(const std::vector<std::string>& args);
int Demo(const std::vector<std::string>& args);
int RoundTrip(const std::vector<std::string>& args);
int EncodeAllFormats(const std::vector<std::string>& args);
// Plays an audio file through the sound output (or the null device); Ctrl-C stops.
int Play(const std::vector<std::string>& args);
// Decodes an audio file into a PCM WAV file.
int AudioDecode(const std::vector<std::string>& args);

// Prints a command's usage: on stdout with status 0 when asked for, else on stderr with 2.
int ShowHelp(const std::string& command, bool requested);

}  // namespace lumapix::cli

#endif
