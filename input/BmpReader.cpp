#include "input/BmpReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace tsy {

namespace {

std::uint32_t Get16(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
}

std::uint32_t Get32(const std::uint8_t* p) {
    return Get16(p) | Get16(p + 2) << 16;
}

constexpr std::size_t kFileHeader = 14;
constexpr std::uint32_t kCoreHeader = 12;
constexpr std::uint32_t kInfoHeader = 40;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
// The same ceiling the picture buffers have.
constexpr std::uint64_t kMaxPixels = std::uint64_t(1) << 30;

bool Fail(std::string& error, const char* text) {
    error = text;
    return false;
}

}  // namespace

std::uint64_t BmpHeader::NeededBytes() const {
    if (compression != kBiRgb && compression != kBiBitfields) return 0;
    return pixelOffset + RowBytes() * std::uint64_t(height - 1) +
           (std::uint64_t(width) * bits + 7) / 8;
}

bool ReadBmpHeader(const std::uint8_t* data, std::size_t size, BmpHeader& header,
                   std::string& error) {
    header = BmpHeader{};
    if (!data || size < kFileHeader + 4) return Fail(error, "not a BMP file: too short");
    if (data[0] != 'B' || data[1] != 'M') return Fail(error, "not a BMP file: no BM signature");
    header.pixelOffset = Get32(data + 10);
    header.headerSize = Get32(data + 14);
    if (header.headerSize != kCoreHeader &&
        (header.headerSize < kInfoHeader || header.headerSize > 1024))
        return Fail(error, "BMP header has an unknown size");
    if (kFileHeader + header.headerSize > size) return Fail(error, "BMP header is truncated");

    const std::uint8_t* h = data + kFileHeader;
    std::uint32_t planes;
    if (header.headerSize == kCoreHeader) {
        header.width = Get16(h + 4);
        header.height = Get16(h + 6);
        planes = Get16(h + 8);
        header.bits = Get16(h + 10);
    } else {
        header.width = std::int32_t(Get32(h + 4));
        header.height = std::int32_t(Get32(h + 8));
        planes = Get16(h + 12);
        header.bits = Get16(h + 14);
        header.compression = Get32(h + 16);
        header.sizeImage = Get32(h + 20);
    }
    if (planes != 1) return Fail(error, "BMP has a plane count other than 1");
    header.topDown = header.height < 0;
    if (header.topDown) header.height = -header.height;
    if (header.width <= 0 || header.height <= 0 || header.bits == 0)
        return Fail(error, "BMP has no pixels");
    return true;
}

bool DecodeBmp(const std::uint8_t* data, std::size_t size, RgbImage& image, std::string& error) {
    image = RgbImage{};
    BmpHeader header;
    if (!ReadBmpHeader(data, size, header, error)) return false;
    // Some writers leave the size 0; a larger one than we have means a cut file.
    const std::uint32_t declaredSize = Get32(data + 2);
    if (declaredSize != 0 && declaredSize > size) return Fail(error, "BMP file is truncated");
    const std::uint32_t bits = header.bits;
    const std::int64_t width = header.width, height = header.height;
    const bool topDown = header.topDown;
    const std::uint32_t pixelOffset = header.pixelOffset;
    if (bits != 24 && bits != 32) return Fail(error, "only 24- and 32-bit BMPs are supported");
    if (header.compression == kBiBitfields && bits == 32) {
        // Only the usual layout (blue in the low byte) is the same as BI_RGB. The
        // masks follow the 40-byte part, inside the larger headers or after this one.
        const std::size_t masks = kFileHeader + kInfoHeader;
        if (masks + 12 > size) return Fail(error, "BMP colour masks are truncated");
        if (Get32(data + masks) != 0x00FF0000u || Get32(data + masks + 4) != 0x0000FF00u ||
            Get32(data + masks + 8) != 0x000000FFu)
            return Fail(error, "BMP colour masks are not supported");
    } else if (header.compression != kBiRgb) {
        return Fail(error, "compressed BMPs are not supported");
    }
    if (std::uint64_t(width) * std::uint64_t(height) > kMaxPixels)
        return Fail(error, "BMP is too large");

    const std::uint64_t bpp = bits / 8;
    const std::uint64_t rowBytes = header.RowBytes();
    if (pixelOffset < kFileHeader + header.headerSize)
        return Fail(error, "BMP pixel data overlaps its header");
    if (pixelOffset > size) return Fail(error, "BMP pixel data starts past the end of the file");
    if (header.sizeImage != 0 && header.sizeImage > size - pixelOffset)
        return Fail(error, "BMP image size is larger than the file");
    if (header.NeededBytes() > size) return Fail(error, "BMP pixel data is truncated");

    try {
        image.rgb.resize(std::size_t(width) * std::size_t(height) * 3);
    } catch (const std::bad_alloc&) {
        image = RgbImage{};
        return Fail(error, "not enough memory for the BMP");
    }
    image.width = int(width);
    image.height = int(height);
    for (std::int64_t y = 0; y < height; ++y) {
        const std::int64_t fileRow = topDown ? y : height - 1 - y;
        const std::uint8_t* in = data + pixelOffset + std::uint64_t(fileRow) * rowBytes;
        std::uint8_t* out = image.rgb.data() + std::size_t(y) * std::size_t(width) * 3;
        for (std::int64_t x = 0; x < width; ++x, in += bpp, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
    return true;
}

bool ReadBmp(const std::string& path, RgbImage& image, std::string& error) {
    image = RgbImage{};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    std::vector<std::uint8_t> bytes;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (!ok) error = path + " is not a readable file";
    if (ok && std::uint64_t(st.st_size) > (std::uint64_t(1) << 33)) {
        ok = false;
        error = path + " is too large for a BMP";
    }
    if (ok) {
        try {
            bytes.resize(std::size_t(st.st_size));
        } catch (const std::bad_alloc&) {
            ok = false;
            error = "not enough memory to read " + path;
        }
    }
    std::size_t got = 0;
    while (ok && got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            error = "cannot read " + path + (n < 0 ? std::string(": ") + std::strerror(errno) : "");
        } else {
            got += std::size_t(n);
        }
    }
    ::close(fd);
    return ok && DecodeBmp(bytes.data(), bytes.size(), image, error);
}

}  // namespace tsy
