// Scratch folders, whole-file reads and writes and external tools, shared by the
// test suites. Test cases run as separate processes, so every scratch name is
// made unique.
#ifndef LUMAPIX_TEST_FILES_HPP
#define LUMAPIX_TEST_FILES_HPP

#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace testfiles {

using Bytes = std::vector<uint8_t>;

// The real ImageMagick; /usr/local/bin/convert on the build machines is another program.
inline constexpr const char* kMagick = "/usr/bin/convert";

// The suite's own scratch folder from the build (LUMAPIX_TEST_TMP), else /tmp.
inline std::string TempRoot() {
    const char* dir = std::getenv("LUMAPIX_TEST_TMP");
    return dir && *dir ? dir : "/tmp";
}

// A new folder under TempRoot(), removed with its contents.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& tag = "lumapix") {
        std::string pattern = TempRoot() + "/" + tag + "-XXXXXX";
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    bool ok() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string ReadText(const std::string& path) {
    Bytes bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

inline bool WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

inline bool WriteText(const std::string& path, const std::string& text) { return WriteBytes(path, Bytes(text.begin(), text.end())); }

inline std::string Quote(const std::string& path) { return "'" + path + "'"; }

// Runs a shell command with its error output discarded; true when it exits with 0.
inline bool Shell(const std::string& command) { return std::system(("(" + command + ") 2>/dev/null").c_str()) == 0; }

// A program by absolute path or on PATH.
inline bool HaveTool(const std::string& name) {
    return name.starts_with("/") ? access(name.c_str(), X_OK) == 0 : Shell("command -v " + name + " >/dev/null");
}

// What a shell command writes to its standard output; *ok is false when it fails.
inline Bytes Output(const std::string& command, bool* ok = nullptr) {
    Bytes out;
    FILE* pipe = popen(("(" + command + ") 2>/dev/null").c_str(), "r");
    if (pipe)
        for (int c; (c = std::fgetc(pipe)) != EOF;) out.push_back(static_cast<uint8_t>(c));
    bool success = pipe && pclose(pipe) == 0;
    if (ok) *ok = success;
    return out;
}

// A binary PBM, PGM or PPM as netpbm and ImageMagick write them (comments in the header
// allowed, samples of one byte): one sample a pixel, three for P6; P4 bits are 1 for black.
struct Pnm {
    int kind = 0;  // 4, 5 or 6
    uint32_t width = 0, height = 0, channels = 0, maxval = 0;
    Bytes samples;
};

inline Pnm ParsePnm(const Bytes& b) {
    Pnm p;
    size_t at = 2;
    auto number = [&] {
        for (bool comment = false; at < b.size() && (comment || !std::isdigit(b[at])); ++at)
            comment = b[at] == '#' || (comment && b[at] != '\n');
        uint32_t v = 0;
        while (at < b.size() && std::isdigit(b[at])) v = v * 10 + static_cast<uint32_t>(b[at++] - '0');
        return v;
    };
    if (b.size() < 3 || b[0] != 'P' || b[1] < '4' || b[1] > '6') return p;
    p.kind = b[1] - '0';
    p.width = number();
    p.height = number();
    p.maxval = b[1] == '4' ? 1 : number();
    p.channels = b[1] == '6' ? 3 : 1;
    ++at;  // the single whitespace byte before the samples
    size_t samples = size_t{p.width} * p.channels, rowBytes = b[1] == '4' ? (p.width + 7) / 8 : samples;
    if (p.maxval == 0 || p.maxval > 255 || b.size() < at + rowBytes * p.height) return Pnm{};
    for (uint32_t y = 0; y < p.height; ++y, at += rowBytes)
        for (size_t i = 0; i < samples; ++i)
            p.samples.push_back(b[1] == '4' ? static_cast<uint8_t>(b[at + i / 8] >> (7 - i % 8) & 1) : b[at + i]);
    return p;
}

}  // namespace testfiles

#endif
