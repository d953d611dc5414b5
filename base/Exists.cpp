#include "base/Exists.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tsy {

std::int64_t Exists(const std::string& path) {
    if (path.empty() || path.back() == '/') return -1;
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (path[nameStart] == '.') return -1;

    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat st {};
    const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    return ok ? std::int64_t(st.st_size) : -1;
}

PathKind KindOfPath(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0) return PathKind::None;
    if (S_ISREG(st.st_mode)) return PathKind::File;
    if (S_ISDIR(st.st_mode)) return PathKind::Directory;
    if (S_ISLNK(st.st_mode)) return PathKind::Link;
    return PathKind::Other;
}

}  // namespace tsy
