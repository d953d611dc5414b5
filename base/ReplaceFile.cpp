#include "base/ReplaceFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <utility>

namespace tsy {

namespace {

std::string SysError(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno);
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

}  // namespace

FileReplacer::FileReplacer(std::string target, unsigned mode)
    : target_(std::move(target)), mode_(mode) {}

FileReplacer::~FileReplacer() {
    Discard();
}

void FileReplacer::Discard() noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

bool FileReplacer::Open(std::string& error) {
    Discard();
    if (target_.empty()) {
        error = "empty file name";
        return false;
    }
    // Same directory as the target, so the rename stays within one file system.
    const std::size_t slash = target_.rfind('/');
    const std::string dir =
        slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = dir + "." + base + TempSuffix();
        const int fd =
            ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode_);
        if (fd >= 0) {
            fd_ = fd;
            temp_ = std::move(candidate);
            return true;
        }
        if (errno != EEXIST) {
            error = SysError("cannot create a file beside", target_);
            return false;
        }
    }
    error = "no free temporary name beside " + target_;
    return false;
}

bool FileReplacer::Write(const void* data, std::size_t size, std::string& error) {
    if (fd_ < 0) {
        error = "file not open";
        return false;
    }
    const auto* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = SysError("cannot write", temp_);
            Discard();
            return false;
        }
        p += n;
        size -= std::size_t(n);
    }
    return true;
}

bool FileReplacer::Commit(std::string& error, bool replace) {
    if (fd_ < 0) {
        error = "file not open";
        return false;
    }
    const int fd = std::exchange(fd_, -1);
    // close() is where some file systems report a failed write.
    if (::close(fd) != 0) {
        error = SysError("cannot write", temp_);
        Discard();
        return false;
    }
    if (!replace) {
        // link() refuses an existing name, where rename() would replace it.
        if (::link(temp_.c_str(), target_.c_str()) != 0) {
            error =
                errno == EEXIST ? target_ + " exists already" : SysError("cannot create", target_);
            Discard();
            return false;
        }
        Discard();
        return true;
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        error = SysError("cannot replace", target_);
        Discard();
        return false;
    }
    temp_.clear();
    return true;
}

bool ReplaceFileWith(const std::string& path, const void* data, std::size_t size,
                     std::string& error) {
    FileReplacer file(path);
    return file.Open(error) && file.Write(data, size, error) && file.Commit(error);
}

}  // namespace tsy
