#include "output/SaveFormats.h"

#include <cstdint>
#include <vector>

#include "output/BmpWriter.h"
#include "output/JpegWriter.h"
#include "output/PngOptimiser.h"

namespace tsy {

namespace {

bool WriteJpeg(const PictureBuffer& picture, const SaveSettings& settings, FileReplacer& file,
               std::string& error) {
    // Written as it is coded: the file is never held whole in memory.
    bool written = true;
    const int code = EncodeJpeg(
        picture, settings.quality, JpegChroma::k444,
        [&](const std::uint8_t* data, std::size_t size) {
            return written = file.Write(data, size, error);
        },
        settings.threads);
    if (code != 0 && written)
        error = "the JPEG encoder failed (libjpeg message " + std::to_string(code) + ")";
    return code == 0;
}

// The three-byte rows the PNG coder takes: what the window's optimiser reads
// back from the temporary BMP it is given.
RgbImage RgbOf(const PictureBuffer& picture) {
    RgbImage image{picture.width(), picture.height(), {}};
    image.rgb.resize(std::size_t(image.width) * std::size_t(image.height) * 3);
    std::uint8_t* out = image.rgb.data();
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* p = picture.row(y);
        for (int x = 0; x < image.width; ++x, p += 4, out += 3) {
            out[0] = p[2];
            out[1] = p[1];
            out[2] = p[0];
        }
    }
    return image;
}

bool WritePng(const PictureBuffer& picture, const SaveSettings& settings, FileReplacer& file,
              std::string& error) {
    // As the window's optimiser is run: /S2 /F5.
    PngOptions png;
    png.effort = 2;
    png.filter = 5;
    png.threads = settings.threads;
    std::vector<std::uint8_t> bytes;
    return EncodePng(RgbOf(picture), png, bytes, error) &&
           file.Write(bytes.data(), bytes.size(), error);
}

bool WriteBmpFile(const PictureBuffer& picture, const SaveSettings&, FileReplacer& file,
                  std::string& error) {
    return WriteBmp(picture, file, error);
}

constexpr SaveFormat kFormats[] = {
    {SaveFormatId::Jpeg, ".jpg", "jpg", "JPEG (*.jpg),  lossy compression|*.jpg", WriteJpeg},
    {SaveFormatId::Png, ".png", "png", "PNG (*.png),  lossless compression|*.png", WritePng},
    {SaveFormatId::Bmp, ".bmp", "bmp", "BMP (*.bmp),  uncompressed|*.bmp", WriteBmpFile},
};

}  // namespace

std::span<const SaveFormat> SaveFormats() {
    return kFormats;
}

const SaveFormat* SaveFormatBySuffix(std::string_view suffix) {
    for (const SaveFormat& f : kFormats)
        if (f.suffix == suffix) return &f;
    return nullptr;
}

const SaveFormat* SaveFormatByName(std::string_view name) {
    for (const SaveFormat& f : kFormats)
        if (f.name == name) return &f;
    return nullptr;
}

std::string SaveDialogFilter() {
    std::string filter;
    for (const SaveFormat& f : kFormats) {
        if (!filter.empty()) filter += '|';
        filter.append(f.filter);
    }
    return filter;
}

bool SavePicture(const SaveFormat& format, const PictureBuffer& picture, const std::string& path,
                 const SaveSettings& settings, bool replace, std::string& error) {
    FileReplacer file(path);
    return file.Open(error) && format.write(picture, settings, file, error) &&
           file.Commit(error, replace);
}

}  // namespace tsy
