#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tsy {

// A hidden picture holder (PicBuf0, PicBuf1, PicBuf2, PicBufSBS).
//
// Pixels are 4 bytes in the order blue, green, red, X, rows top to bottom with
// no padding (stride = width * 4). On little-endian machines this is the byte
// layout of QImage::Format_RGB32, so the engine, the scaler and the writers work
// on the buffer itself and a view can wrap it without a copy.
//
// A buffer always has a size; it may or may not hold a picture. One without a
// picture (new or cleared) reads as black everywhere. The allocation is kept
// across clear() and resize(), so the rebuild that runs on every slider move
// allocates nothing while the picture size stays the same.
class PictureBuffer {
public:
    static constexpr int kBytesPerPixel = 4;
    // Black with the X byte set, as Qt's RGB32 format wants it.
    static constexpr std::uint32_t kBlack = 0xFF000000u;

    PictureBuffer() = default;
    PictureBuffer(int width, int height);  // sized, without picture
    PictureBuffer(const PictureBuffer&) = delete;
    PictureBuffer& operator=(const PictureBuffer&) = delete;
    PictureBuffer(PictureBuffer&&) noexcept;
    PictureBuffer& operator=(PictureBuffer&&) noexcept;
    ~PictureBuffer();

    int width() const noexcept { return width_; }
    int height() const noexcept { return height_; }
    bool hasImage() const noexcept { return hasImage_; }
    std::size_t stride() const noexcept { return std::size_t(width_) * kBytesPerPixel; }
    std::size_t byteCount() const noexcept { return stride() * std::size_t(height_); }

    // Makes the buffer hold a picture of this size whose pixels the caller fills
    // completely (the content is unspecified). Throws std::bad_alloc when the
    // memory cannot be had; the buffer is then left without picture.
    std::uint8_t* assign(int width, int height);

    // As assign(), but every pixel starts black.
    std::uint8_t* assignBlack(int width, int height);

    // Removes the picture; the size stays and the buffer reads as black.
    void clear() noexcept;

    // Sets the size. The picture stays anchored at the top-left corner: what
    // lies outside the new size is cut, new area is black. Negative sizes count
    // as 0. Throws std::bad_alloc (picture unchanged) when memory is short.
    void resize(int width, int height);

    // The picture's pixels; null without picture.
    std::uint8_t* bits() noexcept { return hasImage_ ? data_.get() : nullptr; }
    const std::uint8_t* bits() const noexcept { return hasImage_ ? data_.get() : nullptr; }
    std::uint8_t* row(int y) noexcept { return bits() + std::size_t(y) * stride(); }
    const std::uint8_t* row(int y) const noexcept { return bits() + std::size_t(y) * stride(); }

    // The pixel as 0xXXRRGGBB; kBlack outside the picture or without one.
    std::uint32_t pixel(int x, int y) const noexcept;

    // Makes this buffer hold a copy of other's picture and take its size
    // (drops the picture when other has none).
    void copyFrom(const PictureBuffer& other);

    void swap(PictureBuffer& other) noexcept;

    // Keeps only the given rectangle of the picture, moved to the top-left,
    // in place and without allocating. False, nothing changed, when the
    // rectangle is empty or reaches past the picture.
    bool crop(int x, int y, int width, int height) noexcept;

    // Counts every change of size or content made through this class; callers
    // that cache something derived from the picture compare it. Writers through
    // bits() that change content call touch().
    std::uint64_t generation() const noexcept { return generation_; }
    void touch() noexcept { generation_ = nextGeneration(); }

    // The largest picture a buffer accepts, in pixels.
    static constexpr std::int64_t kMaxPixels = std::int64_t(1) << 30;

private:
    struct Free {
        std::size_t mapped;  // bytes of a block from mmap, 0 for malloc's (value-initialised)
        void operator()(std::uint8_t* p) const noexcept;
    };
    using Block = std::unique_ptr<std::uint8_t[], Free>;
    static Block allocate(std::size_t& bytes);  // rounds bytes up to the capacity
    static std::uint64_t nextGeneration() noexcept;
    void reserve(std::size_t bytes);  // keeps nothing of the old content

    Block data_;
    std::size_t capacity_ = 0;
    int width_ = 0;
    int height_ = 0;
    bool hasImage_ = false;
    std::uint64_t generation_ = nextGeneration();
};

// Fills count pixels at p with black.
void FillBlack(std::uint8_t* p, std::size_t count) noexcept;

}  // namespace tsy
