#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tsy {

// The directory for temporary files, ending in "/": $TEMP, else $TMP, else
// /tmp. Where that directory is writable by other users (as /tmp is), the
// answer is a private folder inside it, made for this user with mode 0700,
// because the program later runs a helper it wrote there. The first answer is
// kept for the life of the program. Never fails: if no private folder can be
// had, the shared directory is returned and writes go through
// WriteFileNoFollow all the same.
std::string SysTempDir();

// Writes bytes to path completely or not at all: they go to a fresh sibling
// file (created exclusively, mode 0600, never through a symbolic link) which
// then replaces path. Fails, leaving path alone, when path is a symbolic link
// or anything but a regular file.
bool WriteFileNoFollow(const std::string& path, std::span<const std::uint8_t> bytes,
                       std::string& error);

namespace detail {

// Forgets the kept directory so the next SysTempDir() looks again (tests).
void ResetSysTempDir();

}  // namespace detail

}  // namespace tsy
