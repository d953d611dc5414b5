#pragma once

#include <cstddef>
#include <string>

namespace tsy {

// Writes a file under a fresh name beside its target and renames it over the
// target only when every byte is out, so a failed save never leaves a partial
// file under the chosen name nor destroys the file that was there before.
class FileReplacer {
public:
    // mode is the new file's permission before the umask: 0666 for a
    // user's file, 0600 for a private temporary.
    explicit FileReplacer(std::string target, unsigned mode = 0666);
    FileReplacer(const FileReplacer&) = delete;
    FileReplacer& operator=(const FileReplacer&) = delete;
    ~FileReplacer();  // removes the temporary unless Commit() succeeded

    // Creates the temporary (O_EXCL; permissions from the umask like any new file).
    bool Open(std::string& error);
    bool Write(const void* data, std::size_t size, std::string& error);
    // Closes the temporary and renames it over the target. With replace false
    // an existing target is kept and the commit fails (checked atomically).
    bool Commit(std::string& error, bool replace = true);

    const std::string& TempPath() const noexcept { return temp_; }

private:
    void Discard() noexcept;

    std::string target_;
    unsigned mode_;
    std::string temp_;
    int fd_ = -1;
};

// The whole content in one go, through a FileReplacer.
bool ReplaceFileWith(const std::string& path, const void* data, std::size_t size,
                     std::string& error);

}  // namespace tsy
