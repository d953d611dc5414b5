#include "output/BmpWriter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/ReplaceFile.h"

namespace tsy {

namespace {

void Put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

constexpr std::size_t kHeaderSize = 14 + 40;
// Rows are written in batches so a large picture needs neither a second
// full-size copy nor one system call per row.
constexpr std::size_t kBatchBytes = std::size_t(1) << 20;

}  // namespace

bool SaveBmp(const PictureBuffer& picture, const std::string& path, std::string& error) {
    FileReplacer file(path);
    return file.Open(error) && WriteBmp(picture, file, error) && file.Commit(error);
}

bool WriteBmp(const PictureBuffer& picture, FileReplacer& file, std::string& error) {
    const int width = picture.width();
    const int height = picture.height();
    if (width <= 0 || height <= 0) {
        error = "the picture is empty";
        return false;
    }
    const std::uint64_t rowBytes = (std::uint64_t(width) * 3 + 3) & ~std::uint64_t(3);
    const std::uint64_t fileSize = kHeaderSize + rowBytes * std::uint64_t(height);
    if (fileSize > 0xFFFFFFFFull) {
        error = "the picture is too large for a BMP file";
        return false;
    }

    std::uint8_t header[kHeaderSize] = {};
    header[0] = 'B';
    header[1] = 'M';
    Put32(header + 2, std::uint32_t(fileSize));
    Put32(header + 10, kHeaderSize);
    Put32(header + 14, 40);
    Put32(header + 18, std::uint32_t(width));
    Put32(header + 22, std::uint32_t(height));  // positive: bottom-up
    Put16(header + 26, 1);
    Put16(header + 28, 24);
    Put32(header + 34, std::uint32_t(fileSize - kHeaderSize));
    Put32(header + 38, 2835);  // 72 dpi
    Put32(header + 42, 2835);

    if (!file.Write(header, sizeof header, error)) return false;

    const std::size_t rowsPerBatch = std::max<std::size_t>(1, kBatchBytes / std::size_t(rowBytes));
    std::vector<std::uint8_t> batch(rowsPerBatch * std::size_t(rowBytes), 0);
    const std::uint8_t* bits = picture.bits();
    int y = height - 1;
    while (y >= 0) {
        std::uint8_t* out = batch.data();
        std::size_t rows = 0;
        for (; rows < rowsPerBatch && y >= 0; ++rows, --y) {
            if (bits) {
                const std::uint8_t* in = picture.row(y);
                for (int x = 0; x < width; ++x, in += 4) {
                    out[3 * x] = in[0];
                    out[3 * x + 1] = in[1];
                    out[3 * x + 2] = in[2];
                }
            } else {
                std::memset(out, 0, std::size_t(width) * 3);
            }
            out += rowBytes;  // the padding bytes stay zero
        }
        if (!file.Write(batch.data(), rows * std::size_t(rowBytes), error)) return false;
    }
    return true;
}

}  // namespace tsy
