#include "safe_file.hpp"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumapix {

namespace {

// A symbolic link is saved through: the file it names is replaced, the link kept.
std::string ResolveTarget(const std::string& target) {
    char resolved[PATH_MAX];
    struct stat st {};
    if (lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && realpath(target.c_str(), resolved))
        return resolved;
    return target;
}

// Permissions the saved file gets: the old file's, or what a new file would get.
mode_t PermissionsFor(const std::string& target) {
    struct stat st {};
    if (stat(target.c_str(), &st) == 0) return st.st_mode & 07777;
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

SafeFile::SafeFile(const std::string& target) : target_(ResolveTarget(target)) {
    std::string pattern = target_ + ".lumapix-XXXXXX";
    int fd = mkstemp(pattern.data());
    if (fd < 0) return;
    temporary_ = pattern;
    fchmod(fd, PermissionsFor(target_));
    file_ = fdopen(fd, "wb");
    if (!file_) {
        close(fd);
        unlink(temporary_.c_str());
        temporary_.clear();
    }
}

SafeFile::~SafeFile() {
    if (file_) std::fclose(file_);
    if (!temporary_.empty()) unlink(temporary_.c_str());
}

CodecStatus SafeFile::Commit() {
    if (!file_) return XR_ERR_STREAM_CALLBACK;
    bool written = std::fflush(file_) == 0 && !std::ferror(file_) && fsync(fileno(file_)) == 0;
    written = std::fclose(file_) == 0 && written;
    file_ = nullptr;
    if (!written || std::rename(temporary_.c_str(), target_.c_str()) != 0) return XR_ERR_STREAM_CALLBACK;
    temporary_.clear();
    return XR_OK;
}

uint64_t FileSize(FILE* file) {
    struct stat st {};
    if (!file || fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    return static_cast<uint64_t>(st.st_size);
}

}  // namespace lumapix
