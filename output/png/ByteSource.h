#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tsy::png {

// A byte stream the coders read in slices and may read again from the start,
// so a filtered picture never has to exist whole.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::size_t size() const = 0;
    virtual void rewind() = 0;
    // Up to n bytes; fewer only at the end.
    virtual std::size_t read(std::uint8_t* out, std::size_t n) = 0;
};

class MemorySource final : public ByteSource {
public:
    MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t size() const override { return size_; }
    void rewind() override { at_ = 0; }
    std::size_t read(std::uint8_t* out, std::size_t n) override {
        n = std::min(n, size_ - at_);
        if (n) std::memcpy(out, data_ + at_, n);
        at_ += n;
        return n;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace tsy::png
