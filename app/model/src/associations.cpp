#include "lumapix/associations.h"

#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

extern char** environ;

namespace lumapix {

namespace {

namespace fs = std::filesystem;

constexpr AssociationType kBmp[] = {{".bmp", "image/bmp", "BITMAP IMAGE", false}};
constexpr AssociationType kJpg[] = {{".jpg", "image/jpeg", "JPEG IMAGE", false}};
constexpr AssociationType kPng[] = {{".png", "image/png", "PNG IMAGE", false}};
constexpr AssociationType kGif[] = {{".gif", "image/gif", "GIF IMAGE", false}};
constexpr AssociationType kLjp[] = {{".ljp", "image/x-lumapix-ljp", "LJP IMAGE", true}};
// shared-mime-info files bare codestreams apart from the JP2 container.
constexpr AssociationType kJp2[] = {{".jp2", "image/jp2", "JPEG2000 IMAGE", false},
                                    {".jpc", "image/x-jp2-codestream", "JPEG2000 IMAGE", false},
                                    {".j2k", "image/x-jp2-codestream", "JPEG2000 IMAGE", false}};
constexpr AssociationType kPnm[] = {{".pnm", "image/x-portable-anymap", "PNM IMAGE", false},
                                    {".pgm", "image/x-portable-graymap", "PGM IMAGE", false},
                                    {".pbm", "image/x-portable-bitmap", "PBM IMAGE", false},
                                    {".ppm", "image/x-portable-pixmap", "PPM IMAGE", false}};
constexpr AssociationType kJbg[] = {{".jbg", "image/x-lumapix-jbig", "JBIG IMAGE", true}};
constexpr AssociationType kMhr[] = {{".mh", "image/x-lumapix-mh", "MH IMAGE", true},
                                    {".mr", "image/x-lumapix-mr", "MR IMAGE", true},
                                    {".mmr", "image/x-lumapix-mmr", "MMR IMAGE", true}};

constexpr const char* kDefaultSection = "[Default Applications]";

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool IsSectionHeader(const std::string& trimmed) {
    return trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']';
}

bool IsComment(const std::string& trimmed) { return !trimmed.empty() && trimmed.front() == '#'; }

std::vector<std::string> SplitList(const std::string& value) {
    std::vector<std::string> entries;
    std::stringstream in(value);
    for (std::string entry; std::getline(in, entry, ';');)
        if (std::string trimmed = Trim(entry); !trimmed.empty()) entries.push_back(trimmed);
    return entries;
}

std::string JoinList(const std::vector<std::string>& entries) {
    std::string value;
    for (const std::string& entry : entries) value += entry + ";";
    return value;
}

// Through a temporary beside the target, so that a failed write never leaves half a file;
// a symbolic link (a dotfile kept elsewhere) stays a link to the updated file.
bool WriteFileAtomically(const fs::path& link, const std::string& text) {
    std::error_code error;
    fs::path path = fs::is_symlink(link, error) ? fs::canonical(link, error) : link;
    if (error) path = link;
    fs::create_directories(path.parent_path(), error);
    fs::path temporary = path;
    temporary += ".lumapix-new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) return false;
    }
    fs::rename(temporary, path, error);
    if (error) fs::remove(temporary, error);
    return !error;
}

// mimeapps.list as its lines, so that everything we do not edit is written back unchanged.
class MimeAppsList {
public:
    explicit MimeAppsList(fs::path path) : path_(std::move(path)) {
        std::ifstream in(path_, std::ios::binary);
        for (std::string line; std::getline(in, line);) lines_.push_back(line);
    }

    // Entries of the first line holding the key in [Default Applications].
    std::vector<std::string> Defaults(const std::string& mimeType) const {
        std::vector<size_t> lines = DefaultKeyLines(mimeType);
        return lines.empty() ? std::vector<std::string>{} : SplitList(Value(lines_[lines.front()]));
    }

    void SetOnlyDefault(const std::string& mimeType, const std::string& desktopFile) {
        std::string line = mimeType + "=" + desktopFile + ";";
        std::vector<size_t> lines = DefaultKeyLines(mimeType);
        if (lines.empty()) InsertDefault(line);
        for (size_t index : lines) lines_[index] = line;
        changed_ = true;
    }

    void RemoveDefault(const std::string& mimeType, const std::string& desktopFile) {
        std::vector<size_t> lines = DefaultKeyLines(mimeType);
        for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
            std::vector<std::string> entries = SplitList(Value(lines_[*it]));
            if (std::erase(entries, desktopFile) == 0) continue;
            if (entries.empty())
                lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*it));
            else
                lines_[*it] = mimeType + "=" + JoinList(entries);
            changed_ = true;
        }
    }

    bool Save() const {
        if (!changed_) return true;
        std::string text;
        for (const std::string& line : lines_) text += line + "\n";
        return WriteFileAtomically(path_, text);
    }

private:
    static std::string Value(const std::string& line) { return line.substr(line.find('=') + 1); }

    std::vector<size_t> DefaultKeyLines(const std::string& mimeType) const {
        std::vector<size_t> found;
        bool inDefaults = false;
        for (size_t i = 0; i < lines_.size(); ++i) {
            std::string trimmed = Trim(lines_[i]);
            if (IsSectionHeader(trimmed)) {
                inDefaults = trimmed == kDefaultSection;
                continue;
            }
            if (!inDefaults || IsComment(trimmed)) continue;
            size_t equals = trimmed.find('=');
            if (equals != std::string::npos && Trim(trimmed.substr(0, equals)) == mimeType) found.push_back(i);
        }
        return found;
    }

    // After the last key of the first [Default Applications], so blank lines and
    // comments that lead into the next section stay with it.
    void InsertDefault(const std::string& line) {
        size_t insertAt = 0;
        bool inDefaults = false;
        bool seen = false;
        for (size_t i = 0; i < lines_.size(); ++i) {
            std::string trimmed = Trim(lines_[i]);
            if (IsSectionHeader(trimmed)) {
                if (inDefaults) break;
                inDefaults = !seen && trimmed == kDefaultSection;
                if (inDefaults) {
                    seen = true;
                    insertAt = i + 1;
                }
            } else if (inDefaults && !trimmed.empty() && !IsComment(trimmed)) {
                insertAt = i + 1;
            }
        }
        if (!seen) {
            if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.push_back("");
            lines_.push_back(kDefaultSection);
            insertAt = lines_.size();
        }
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), line);
    }

    fs::path path_;
    std::vector<std::string> lines_;
    bool changed_ = false;
};

fs::path MimeAppsPath(const AssociationEnvironment& env) { return env.configHome / "mimeapps.list"; }

bool InstalledSystemWide(const AssociationEnvironment& env) {
    std::error_code error;
    for (const fs::path& dir : env.dataDirs)
        if (fs::exists(dir / "applications" / kDesktopFileName, error)) return true;
    return false;
}

// Quotes a program path for the Exec key: the key's own quoting first, then the
// escapes every desktop-entry string takes, and %% for a literal percent sign.
std::string ExecArgument(const std::string& program) {
    std::string quoted = program;
    if (program.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string::npos) {
        quoted = "\"";
        for (char c : program) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
            quoted += c;
        }
        quoted += '"';
    }
    std::string escaped;
    for (char c : quoted) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\n')
            escaped += "\\n";
        else if (c == '%')
            escaped += "%%";
        else
            escaped += c;
    }
    return escaped;
}

void RunQuietly(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    if (posix_spawnp(&child, args[0], &actions, nullptr, args.data(), environ) == 0) {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

fs::path FromVariable(const char* name, const fs::path& fallback) {
    const char* value = std::getenv(name);
    // Relative values are invalid and must be ignored.
    if (value && value[0] == '/') return value;
    return fallback;
}

fs::path HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/";
}

}  // namespace

const std::array<AssociationRow, kAssociationRowCount> kAssociationRows = {{
    {"BMP", kBmp},
    {"JPG", kJpg},
    {"PNG", kPng},
    {"GIF", kGif},
    {"LJP", kLjp},
    {"JP2", kJp2},
    {"PNM", kPnm},
    {"JBG", kJbg},
    {"MHR", kMhr},
}};

AssociationEnvironment AssociationEnvironment::FromProcess(const std::string& viewerPath) {
    AssociationEnvironment env;
    fs::path home = HomeFolder();
    env.configHome = FromVariable("XDG_CONFIG_HOME", home / ".config");
    env.dataHome = FromVariable("XDG_DATA_HOME", home / ".local/share");
    std::string dirs = std::getenv("XDG_DATA_DIRS") ? std::getenv("XDG_DATA_DIRS") : "";
    std::stringstream in(dirs);
    for (std::string dir; std::getline(in, dir, ':');)
        if (!dir.empty() && dir[0] == '/') env.dataDirs.emplace_back(dir);
    if (env.dataDirs.empty()) env.dataDirs = {"/usr/local/share", "/usr/share"};
    env.viewerPath = viewerPath;
    if (std::error_code error; env.viewerPath.empty())
        env.viewerPath = fs::read_symlink("/proc/self/exe", error).string();
    return env;
}

bool IsRegistered(const AssociationRow& row, const AssociationEnvironment& env) {
    if (row.types.empty()) return false;
    std::vector<std::string> defaults = MimeAppsList(MimeAppsPath(env)).Defaults(row.types.front().mimeType);
    return !defaults.empty() && defaults.front() == kDesktopFileName;
}

AssociationTicks RegisteredRows(const AssociationEnvironment& env) {
    AssociationTicks ticks{};
    for (size_t i = 0; i < kAssociationRows.size(); ++i) ticks[i] = IsRegistered(kAssociationRows[i], env);
    return ticks;
}

bool Register(const AssociationRow& row, const AssociationEnvironment& env) {
    bool ok = true;
    // The default must name a desktop entry that exists, and our own types must be
    // known before anything can be opened as them.
    if (!InstalledSystemWide(env)) {
        std::string exec = env.viewerPath.empty() ? "lumapix-viewer" : env.viewerPath;
        ok &= WriteFileAtomically(env.dataHome / "applications" / kDesktopFileName, DesktopEntry(exec));
    }
    ok &= WriteFileAtomically(env.dataHome / "mime" / "packages" / kMimePackageFileName, MimePackageXml());

    MimeAppsList list(MimeAppsPath(env));
    for (const AssociationType& type : row.types) list.SetOnlyDefault(type.mimeType, kDesktopFileName);
    return list.Save() && ok;
}

bool Unregister(const AssociationRow& row, const AssociationEnvironment& env) {
    std::error_code error;
    if (!fs::exists(MimeAppsPath(env), error)) return true;
    MimeAppsList list(MimeAppsPath(env));
    for (const AssociationType& type : row.types) list.RemoveDefault(type.mimeType, kDesktopFileName);
    return list.Save();
}

void Apply(const AssociationTicks& ticked, const AssociationEnvironment& env) {
    for (size_t i = 0; i < kAssociationRows.size(); ++i) {
        if (ticked[i])
            Register(kAssociationRows[i], env);
        else
            Unregister(kAssociationRows[i], env);
    }
    const std::function<void(const std::vector<std::string>&)> run =
        env.runTool ? env.runTool : RunQuietly;
    std::error_code error;
    if (fs::path applications = env.dataHome / "applications"; fs::is_directory(applications, error))
        run({"update-desktop-database", "-q", applications.string()});
    if (fs::path mime = env.dataHome / "mime"; fs::is_directory(mime / "packages", error))
        run({"update-mime-database", mime.string()});
}

std::string DesktopEntry(const std::string& exec) {
    std::string mimeTypes;
    for (const AssociationRow& row : kAssociationRows)
        for (const AssociationType& type : row.types)
            if (mimeTypes.find(std::string(type.mimeType) + ";") == std::string::npos)
                mimeTypes += std::string(type.mimeType) + ";";
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Lumapix Viewer\n"
           "GenericName=Image Viewer\n"
           "Comment=View and convert images\n"
           "Exec=" + ExecArgument(exec) + " %F\n"
           "Icon=lumapix\n"
           "Terminal=false\n"
           "Categories=Graphics;Viewer;\n"
           "MimeType=" + mimeTypes + "\n";
}

std::string MimePackageXml() {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!-- Image types Lumapix opens that shared-mime-info does not define. -->\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (const AssociationRow& row : kAssociationRows) {
        for (const AssociationType& type : row.types) {
            if (!type.ownMimeType) continue;
            xml += std::string("  <mime-type type=\"") + type.mimeType + "\">\n" +
                   "    <comment>" + type.typeName + "</comment>\n" +
                   "    <generic-icon name=\"image-x-generic\"/>\n" +
                   "    <glob pattern=\"*" + type.extension + "\"/>\n" +
                   "  </mime-type>\n";
        }
    }
    return xml + "</mime-info>\n";
}

}  // namespace lumapix
