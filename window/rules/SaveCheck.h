#pragma once

#include <cstdint>
#include <string>

namespace tsy {

// What identifies one version of a file: a new file put in place (written
// beside and renamed over, as every writer here does) differs in inode or
// change time from the one that was there before.
struct FileStamp {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path);

// Whether a save wrote path: it is a non-empty regular file now and not the
// version stamped before the save. A stale file of the same name left by an
// earlier save does not count.
bool WrittenSince(const FileStamp& before, const std::string& path);

}  // namespace tsy
