#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tsy {

// Writes a file that gets its name only when every byte is out, so a failed or
// interrupted save never leaves a partial file under the chosen name nor
// destroys the file that was there before. On Linux the file is made without
// a name in the target's folder and linked into place, so not even a killed
// process leaves anything behind; where the file system refuses that, it is
// written under a reserved hidden name beside the target and renamed.
class FileReplacer {
public:
    // mode is the new file's permission before the umask: 0666 for a
    // user's file, 0600 for a private temporary.
    explicit FileReplacer(std::string target, unsigned mode = 0666);
    FileReplacer(const FileReplacer&) = delete;
    FileReplacer& operator=(const FileReplacer&) = delete;
    ~FileReplacer();  // drops the unfinished file unless Commit() succeeded

    bool Open(std::string& error);
    // Messages name the target, never the hidden file.
    bool Write(const void* data, std::size_t size, std::string& error);
    // Bytes written so far.
    std::uint64_t size() const { return size_; }
    // Writes again over bytes written already, from offset on: for headers
    // whose numbers are known only once the rest is out.
    bool Rewrite(std::uint64_t offset, const void* data, std::size_t size, std::string& error);
    // Puts the file in place. With replace false an existing target is kept
    // and the commit fails (checked atomically).
    bool Commit(std::string& error, bool replace = true);

private:
    bool WriteAt(std::uint64_t offset, const void* data, std::size_t size, std::string& error);
    bool OpenNamed(std::string& error);
    bool LinkInPlace(std::string& error, bool replace);
    // The reserved name renamed over the target; it is then no longer pending.
    bool RenameOverTarget(std::string& error);
    bool ReserveName(std::string& name, std::string& error);
    bool CreateReserved(const std::function<bool(const std::string&)>& create, const char* failure,
                        std::string& error);
    void Discard() noexcept;

    std::string target_;
    unsigned mode_;
    std::string temp_;  // the reserved name while the file has one
    int fd_ = -1;
    bool unnamed_ = false;
    std::uint64_t size_ = 0;
};

// The whole content in one go, through a FileReplacer.
bool ReplaceFileWith(const std::string& path, const void* data, std::size_t size,
                     std::string& error);

// Unlinks every reserved name a FileReplacer of this process holds now. For a
// program that stops on a signal: call it from an ordinary thread, never from
// a signal handler.
void RemovePendingTemporaries() noexcept;

}  // namespace tsy
