#include "base/PictureBuffer.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace tsy {

namespace {

constexpr std::size_t kAlign = 64;
// Pictures from this size on get memory of their own that the kernel may back
// with 2 MiB pages: a 24 MP picture then takes a few dozen page faults on
// first touch, not twenty thousand.
constexpr std::size_t kHugePage = std::size_t(2) << 20;
constexpr std::size_t kHugeFrom = 2 * kHugePage;

std::size_t BytesFor(int w, int h) {
    if (w <= 0 || h <= 0) return 0;
    if (std::int64_t(w) * h > PictureBuffer::kMaxPixels) throw std::bad_alloc();
    return std::size_t(w) * std::size_t(h) * PictureBuffer::kBytesPerPixel;
}

}  // namespace

void PictureBuffer::Free::operator()(std::uint8_t* p) const noexcept {
    if (mapped)
        ::munmap(p, mapped);
    else
        std::free(p);
}

PictureBuffer::Block PictureBuffer::allocate(std::size_t& bytes) {
    if (bytes < kHugeFrom) {
        bytes = (bytes + kAlign - 1) / kAlign * kAlign;
        auto* p = static_cast<std::uint8_t*>(std::aligned_alloc(kAlign, bytes));
        if (!p) throw std::bad_alloc();
        return Block(p, Free{0});
    }
    // Map a huge page more than needed and trim both ends to an aligned block.
    bytes = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    const std::size_t span = bytes + kHugePage;
    void* m = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED) throw std::bad_alloc();
    auto* start = static_cast<std::uint8_t*>(m);
    const std::size_t lead =
        (kHugePage - reinterpret_cast<std::uintptr_t>(start) % kHugePage) % kHugePage;
    if (lead) ::munmap(start, lead);
    if (kHugePage - lead) ::munmap(start + lead + bytes, kHugePage - lead);
    ::madvise(start + lead, bytes, MADV_HUGEPAGE);  // a hint: fine if refused
    return Block(start + lead, Free{bytes});
}

std::uint64_t PictureBuffer::nextGeneration() noexcept {
    static std::atomic<std::uint64_t> counter{1};
    return counter.fetch_add(1, std::memory_order_relaxed);
}

void FillBlack(std::uint8_t* p, std::size_t count) noexcept {
    const std::uint32_t black = PictureBuffer::kBlack;
    for (std::size_t i = 0; i < count; ++i)
        std::memcpy(p + i * 4, &black, 4);
}

PictureBuffer::PictureBuffer(int width, int height)
    : width_(std::max(width, 0)), height_(std::max(height, 0)) {}

PictureBuffer::PictureBuffer(PictureBuffer&& o) noexcept {
    swap(o);
}

PictureBuffer& PictureBuffer::operator=(PictureBuffer&& o) noexcept {
    if (this != &o) {
        PictureBuffer tmp(std::move(o));
        swap(tmp);
    }
    return *this;
}

PictureBuffer::~PictureBuffer() = default;

void PictureBuffer::reserve(std::size_t bytes) {
    if (bytes <= capacity_) return;
    data_.reset();
    capacity_ = 0;
    data_ = allocate(bytes);
    capacity_ = bytes;
}

std::uint8_t* PictureBuffer::assign(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    const std::size_t bytes = BytesFor(width, height);
    try {
        reserve(std::max<std::size_t>(bytes, 1));
    } catch (...) {
        hasImage_ = false;
        touch();
        throw;
    }
    width_ = width;
    height_ = height;
    hasImage_ = true;
    touch();
    return data_.get();
}

std::uint8_t* PictureBuffer::assignBlack(int width, int height) {
    std::uint8_t* p = assign(width, height);
    FillBlack(p, std::size_t(width_) * std::size_t(height_));
    return p;
}

void PictureBuffer::clear() noexcept {
    hasImage_ = false;
    touch();
}

void PictureBuffer::resize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == width_ && height == height_) return;
    if (!hasImage_) {
        BytesFor(width, height);  // same limit as a buffer with a picture
        width_ = width;
        height_ = height;
        touch();
        return;
    }
    const std::size_t newStride = std::size_t(width) * kBytesPerPixel;
    const std::size_t oldStride = stride();
    const std::size_t bytes = BytesFor(width, height);
    const int keepRows = std::min(height, height_);
    const std::size_t keepBytes = std::min(newStride, oldStride);

    if (bytes > capacity_) {
        // Grow into a new block; the old one goes only once the copy is made.
        std::size_t rounded = bytes;
        Block block = allocate(rounded);
        std::uint8_t* p = block.get();
        for (int y = 0; y < keepRows; ++y) {
            std::memcpy(p + y * newStride, data_.get() + y * oldStride, keepBytes);
            if (newStride > keepBytes)
                FillBlack(p + y * newStride + keepBytes, (newStride - keepBytes) / kBytesPerPixel);
        }
        data_ = std::move(block);
        capacity_ = rounded;
    } else if (newStride <= oldStride) {
        // Narrower rows move towards the start: go top to bottom.
        for (int y = 1; y < keepRows; ++y)
            std::memmove(data_.get() + y * newStride, data_.get() + y * oldStride, keepBytes);
    } else {
        // Wider rows move towards the end: go bottom to top.
        for (int y = keepRows - 1; y >= 0; --y) {
            std::uint8_t* dst = data_.get() + y * newStride;
            std::memmove(dst, data_.get() + y * oldStride, keepBytes);
            FillBlack(dst + keepBytes, (newStride - keepBytes) / kBytesPerPixel);
        }
    }
    if (height > keepRows)
        FillBlack(data_.get() + keepRows * newStride, std::size_t(height - keepRows) * width);
    width_ = width;
    height_ = height;
    touch();
}

std::uint32_t PictureBuffer::pixel(int x, int y) const noexcept {
    if (!hasImage_ || x < 0 || y < 0 || x >= width_ || y >= height_) return kBlack;
    std::uint32_t v;
    std::memcpy(&v, row(y) + std::size_t(x) * kBytesPerPixel, 4);
    return v;
}

void PictureBuffer::copyFrom(const PictureBuffer& other) {
    if (this == &other) return;
    if (!other.hasImage_) {
        clear();
        width_ = other.width_;
        height_ = other.height_;
        return;
    }
    std::uint8_t* p = assign(other.width_, other.height_);
    std::memcpy(p, other.data_.get(), other.byteCount());
}

bool PictureBuffer::crop(int x, int y, int width, int height) noexcept {
    if (!hasImage_ || width <= 0 || height <= 0 || x < 0 || y < 0 || x > width_ - width ||
        y > height_ - height)
        return false;
    // Every row moves towards the start, never over one still to be read.
    const std::size_t oldStride = stride(), newStride = std::size_t(width) * kBytesPerPixel;
    std::uint8_t* d = data_.get();
    for (int r = 0; r < height; ++r)
        std::memmove(d + r * newStride, d + (r + std::size_t(y)) * oldStride + std::size_t(x) * 4,
                     newStride);
    width_ = width;
    height_ = height;
    touch();
    return true;
}

void PictureBuffer::swap(PictureBuffer& o) noexcept {
    using std::swap;
    swap(data_, o.data_);
    swap(capacity_, o.capacity_);
    swap(width_, o.width_);
    swap(height_, o.height_);
    swap(hasImage_, o.hasImage_);
    // Both pictures changed from the point of view of their holders.
    touch();
    o.touch();
}

}  // namespace tsy
