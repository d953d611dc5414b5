#include "batch/LoadViews.h"

#include "input/BmpReader.h"
#include "input/JpegDecoder.h"
#include "input/MappedFile.h"

namespace tsy {

std::int64_t PicturePixels(const std::string& path) {
    MappedFile file;
    std::string error;
    if (!file.open(path, error)) return 0;
    int width = 0, height = 0;
    if (ReadJpegSize(file.bytes(), width, height)) return std::int64_t(width) * height;
    BmpHeader bmp;
    if (ReadBmpHeader(file.bytes().data(), file.size(), bmp, error)) return bmp.width * bmp.height;
    return 0;
}

}  // namespace tsy
