#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tsy {

// A whole file's bytes, read-only, mapped into memory where the system allows
// it and read into a private copy otherwise. Mapping a 10-20 MB camera file is
// about twice as fast as reading it and costs nothing for the parts never
// touched (the MPO index lives in the first few kilobytes).
//
// The bytes stay valid until close() or destruction. Another process that
// shortens the file while it is mapped makes later reads of the lost pages
// fault; the loaders hold a mapping only for the duration of one load.
class MappedFile {
public:
    MappedFile() = default;
    explicit MappedFile(const std::string& path) {
        std::string ignored;
        open(path, ignored);
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    ~MappedFile() { close(); }

    // Opens a regular file (an empty one gives no bytes but succeeds). On
    // failure the object is closed and error names the cause.
    bool open(const std::string& path, std::string& error);
    void close() noexcept;

    bool isOpen() const noexcept { return open_; }
    std::span<const std::uint8_t> bytes() const noexcept { return {data_, size_}; }
    std::size_t size() const noexcept { return size_; }

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;
    bool open_ = false;
    std::vector<std::uint8_t> copy_;  // used when the file cannot be mapped
};

}  // namespace tsy
