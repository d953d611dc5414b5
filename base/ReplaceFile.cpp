#include "base/ReplaceFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <set>
#include <utility>

namespace tsy {

namespace {

std::string SysError(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

// Why a link to a name that must not exist yet failed.
std::string LinkError(const std::string& path) {
    return errno == EEXIST ? path + " exists already" : SysError("cannot write", path);
}

// Distinct per attempt even for two saves in the same clock tick.
std::string TempSuffix() {
    static std::atomic<unsigned> counter{0};
    const auto ticks = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    char buf[64];
    std::snprintf(buf, sizeof buf, ".%ld.%llx.%u.tmp", static_cast<long>(::getpid()),
                  ticks & 0xFFFFFFFFFFull, counter.fetch_add(1));
    return buf;
}

std::mutex pendingMutex;
std::set<std::string>& Pending() {
    static std::set<std::string> names;
    return names;
}

void Remember(const std::string& name) {
    std::lock_guard lock(pendingMutex);
    Pending().insert(name);
}

void Forget(const std::string& name) {
    std::lock_guard lock(pendingMutex);
    Pending().erase(name);
}

// Linking an unnamed file needs its /proc entry (AT_EMPTY_PATH needs a
// privilege); without /proc the named scheme is used from the start.
bool CanLinkUnnamed() {
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can;
}

}  // namespace

FileReplacer::FileReplacer(std::string target, unsigned mode)
    : target_(std::move(target)), mode_(mode) {}

FileReplacer::~FileReplacer() {
    Discard();
}

void FileReplacer::Discard() noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    unnamed_ = false;
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        Forget(temp_);
    }
    temp_.clear();
}

bool FileReplacer::Open(std::string& error) {
    Discard();
    size_ = 0;
    if (target_.empty()) {
        error = "empty file name";
        return false;
    }
#ifdef O_TMPFILE
    if (CanLinkUnnamed()) {
        const std::size_t slash = target_.rfind('/');
        const std::string dir = slash == std::string::npos ? "."
                                : slash == 0               ? "/"
                                                           : target_.substr(0, slash);
        const int fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode_);
        if (fd >= 0) {
            fd_ = fd;
            unnamed_ = true;
            return true;
        }
        // Refused by the file system (or the folder is missing): the named
        // scheme below tries and says why.
    }
#endif
    return OpenNamed(error);
}

// A fresh hidden name beside the target, in the same folder so that the
// rename stays within one file system.
bool FileReplacer::ReserveName(std::string& name, std::string& error) {
    const std::size_t slash = target_.rfind('/');
    const std::string dir =
        slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = dir + "." + base + TempSuffix();
        if (::access(name.c_str(), F_OK) != 0 && errno == ENOENT) return true;
    }
    error = "no free temporary name beside " + target_;
    return false;
}

// Tries fresh reserved names until `create` makes one exist; it becomes the
// temporary. Only a name taken meanwhile (EEXIST) is worth another try.
bool FileReplacer::CreateReserved(const std::function<bool(const std::string&)>& create,
                                  const char* failure, std::string& error) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name;
        if (!ReserveName(name, error)) return false;
        Remember(name);
        if (create(name)) {
            temp_ = std::move(name);
            return true;
        }
        const int why = errno;
        Forget(name);
        if (why != EEXIST) {
            errno = why;
            error = SysError(failure, target_);
            return false;
        }
    }
    error = "no free temporary name beside " + target_;
    return false;
}

bool FileReplacer::OpenNamed(std::string& error) {
    return CreateReserved(
        [&](const std::string& name) {
            fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode_);
            return fd_ >= 0;
        },
        "cannot write", error);
}

bool FileReplacer::Write(const void* data, std::size_t size, std::string& error) {
    if (fd_ < 0) {
        error = "file not open";
        return false;
    }
    if (!WriteAt(size_, data, size, error)) return false;
    size_ += size;
    return true;
}

bool FileReplacer::Rewrite(std::uint64_t offset, const void* data, std::size_t size,
                           std::string& error) {
    if (fd_ < 0 || offset > size_ || size_ - offset < size) {
        error = fd_ < 0 ? "file not open" : "cannot rewrite " + target_ + " past its end";
        return false;
    }
    return WriteAt(offset, data, size, error);
}

// Appending and rewriting both write at a place: the file's position is
// never used, so the two cannot disturb each other.
bool FileReplacer::WriteAt(std::uint64_t offset, const void* data, std::size_t size,
                           std::string& error) {
    const auto* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t n = ::pwrite(fd_, p, size, off_t(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            error = SysError("cannot write", target_);
            Discard();
            return false;
        }
        p += n;
        offset += std::uint64_t(n);
        size -= std::size_t(n);
    }
    return true;
}

// The unnamed file gets the target's name: directly when nothing may be
// replaced (link refuses an existing name), else through a reserved name
// renamed over the target.
bool FileReplacer::LinkInPlace(std::string& error, bool replace) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    auto link = [&](const std::string& name) {
        return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
    };
    if (!replace) {
        if (link(target_)) return true;
        error = LinkError(target_);
        return false;
    }
    return CreateReserved(link, "cannot write", error) && RenameOverTarget(error);
}

bool FileReplacer::RenameOverTarget(std::string& error) {
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        error = SysError("cannot replace", target_);
        return false;
    }
    Forget(temp_);
    temp_.clear();
    return true;
}

bool FileReplacer::Commit(std::string& error, bool replace) {
    if (fd_ < 0) {
        error = "file not open";
        return false;
    }
    if (unnamed_) {
        const bool linked = LinkInPlace(error, replace);
        const int fd = std::exchange(fd_, -1);
        unnamed_ = false;
        // close() is where some file systems report a failed write.
        if (::close(fd) != 0 && linked) {
            error = SysError("cannot write", target_);
            ::unlink(target_.c_str());
            return false;
        }
        if (!linked) Discard();
        return linked;
    }
    const int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0) {
        error = SysError("cannot write", target_);
        Discard();
        return false;
    }
    if (!replace) {
        // link() refuses an existing name, where rename() would replace it.
        if (::link(temp_.c_str(), target_.c_str()) != 0) {
            error = LinkError(target_);
            Discard();
            return false;
        }
        Discard();
        return true;
    }
    if (RenameOverTarget(error)) return true;
    Discard();
    return false;
}

bool ReplaceFileWith(const std::string& path, const void* data, std::size_t size,
                     std::string& error) {
    FileReplacer file(path);
    return file.Open(error) && file.Write(data, size, error) && file.Commit(error);
}

void RemovePendingTemporaries() noexcept {
    std::lock_guard lock(pendingMutex);
    for (const std::string& name : Pending())
        ::unlink(name.c_str());
    Pending().clear();
}

}  // namespace tsy
