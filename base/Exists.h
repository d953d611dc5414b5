#pragma once

#include <cstdint>
#include <string>

namespace tsy {

// The length in bytes of a normal file that can be opened for reading; -1 for
// a missing file, a directory or other non-regular file, a hidden file (a
// name starting with "."), or one that cannot be read. Callers take a result
// above 0 as "usable", so an empty file is not.
std::int64_t Exists(const std::string& path);

// What a path names, without following a last-component link.
enum class PathKind { None, File, Directory, Link, Other };
PathKind KindOfPath(const std::string& path);

}  // namespace tsy
