#include "base/SysTempDir.h"

#include "base/Exists.h"
#include "base/ReplaceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace tsy {

namespace {

std::mutex gMutex;
std::string gKept;

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

bool OpenToOthers(const std::string& dir) {
    struct stat st {};
    return ::stat(dir.c_str(), &st) == 0 && (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

// A directory we may use privately: a real directory (no link), ours, and
// closed to everybody else. A too open one of ours is closed through a
// descriptor so that nothing can be swapped in between check and chmod.
bool MakePrivate(const std::string& dir) {
    ::mkdir(dir.c_str(), 0700);
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    if ((st.st_mode & 077) == 0) return true;
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
              ::fchmod(fd, 0700) == 0;
    ::close(fd);
    return ok;
}

std::string PrivateFolder(const std::string& shared) {
    const std::string stem = shared + "tessaly-" + std::to_string(::geteuid());
    // Another user may squat on our name; a few numbered names, then a random one.
    for (int i = 0; i < 10; ++i) {
        const std::string dir = i == 0 ? stem : stem + "-" + std::to_string(i);
        if (MakePrivate(dir)) return dir + "/";
    }
    std::string pattern = stem + "-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (::mkdtemp(buf.data())) return std::string(buf.data()) + "/";
    return shared;
}

}  // namespace

std::string SysTempDir() {
    std::lock_guard<std::mutex> lock(gMutex);
    if (!gKept.empty()) return gKept;
    std::string dir = Env("TEMP");
    if (dir.empty()) dir = Env("TMP");
    if (dir.empty()) dir = "/tmp";
    if (dir.back() != '/') dir += '/';
    ::mkdir(dir.c_str(), 0700);  // normally there already
    gKept = OpenToOthers(dir) ? PrivateFolder(dir) : dir;
    return gKept;
}

namespace detail {

void ResetSysTempDir() {
    std::lock_guard<std::mutex> lock(gMutex);
    gKept.clear();
}

}  // namespace detail

bool WriteFileNoFollow(const std::string& path, std::span<const std::uint8_t> bytes,
                       std::string& error) {
    const PathKind kind = KindOfPath(path);
    if (kind != PathKind::None && kind != PathKind::File) {
        error = path + (kind == PathKind::Link ? ": is a symbolic link" : ": not a regular file");
        return false;
    }
    // The sibling is created exclusively and renamed over path: rename()
    // replaces a link planted after the check above instead of following it,
    // so the check is about reporting, not safety.
    FileReplacer file(path, 0600);
    return file.Open(error) && file.Write(bytes.data(), bytes.size(), error) && file.Commit(error);
}

}  // namespace tsy
