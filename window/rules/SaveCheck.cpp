#include "window/rules/SaveCheck.h"

#include <sys/stat.h>

namespace tsy {

FileStamp StampOf(const std::string& path) {
    struct stat st {};
    FileStamp s;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return s;
    s.exists = true;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = st.st_size;
    s.modifiedNs = std::int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    s.changedNs = std::int64_t(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
    return s;
}

bool WrittenSince(const FileStamp& before, const std::string& path) {
    const FileStamp now = StampOf(path);
    return now.exists && now.size > 0 && !(now == before);
}

}  // namespace tsy
