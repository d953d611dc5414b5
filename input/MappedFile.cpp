#include "input/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace tsy {

namespace {

std::string Cause(const std::string& path, const char* what) {
    return path + ": " + what + " (" + std::strerror(errno) + ")";
}

// Plain read() for files the system will not map (some network and FUSE
// file systems refuse mmap).
bool ReadAll(int fd, std::vector<std::uint8_t>& into, std::size_t size) {
    into.resize(size);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, into.data() + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += std::size_t(n);
    }
    return true;
}

}  // namespace

MappedFile::MappedFile(MappedFile&& other) noexcept {
    *this = std::move(other);
}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
    if (this == &other) return *this;
    close();
    copy_ = std::move(other.copy_);
    data_ = other.mapped_ ? other.data_ : copy_.data();
    size_ = other.size_;
    mapped_ = other.mapped_;
    open_ = other.open_;
    other.data_ = nullptr;
    other.size_ = 0;
    other.mapped_ = false;
    other.open_ = false;
    return *this;
}

bool MappedFile::open(const std::string& path, std::string& error) {
    close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = Cause(path, "cannot open");
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = path + ": not a regular file";
        ::close(fd);
        return false;
    }
    const auto size = std::size_t(st.st_size);
    bool ok = true;
    if (size > 0) {
        void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (p != MAP_FAILED) {
            data_ = static_cast<const std::uint8_t*>(p);
            mapped_ = true;
        } else if (ReadAll(fd, copy_, size)) {
            data_ = copy_.data();
        } else {
            error = Cause(path, "cannot read");
            copy_.clear();
            ok = false;
        }
    }
    ::close(fd);  // a mapping outlives its descriptor
    if (!ok) return false;
    size_ = size;
    open_ = true;
    return true;
}

void MappedFile::close() noexcept {
    if (mapped_) ::munmap(const_cast<std::uint8_t*>(data_), size_);
    copy_.clear();
    copy_.shrink_to_fit();
    data_ = nullptr;
    size_ = 0;
    mapped_ = false;
    open_ = false;
}

}  // namespace tsy
