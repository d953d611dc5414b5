#include "output/AnaglyphWriters.h"

#include <cstdint>
#include <vector>

#include "output/BmpWriter.h"
#include "output/JpegWriter.h"
#include "output/PngOptimiser.h"

namespace tsy {

bool WriteJpegAnaglyph(const FileFormat&, const SaveInput& input, const SaveSettings& settings, FileReplacer& file,
                       std::string& error) {
    const PictureBuffer& picture = *input.anaglyph;
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
static RgbImage RgbOf(const PictureBuffer& picture) {
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

bool WritePngAnaglyph(const FileFormat&, const SaveInput& input, const SaveSettings& settings, FileReplacer& file,
                      std::string& error) {
    const PictureBuffer& picture = *input.anaglyph;
    // As the window's optimiser is run: /S2 /F5.
    PngOptions png;
    png.effort = 2;
    png.filter = 5;
    png.threads = settings.threads;
    std::vector<std::uint8_t> bytes;
    return EncodePng(RgbOf(picture), png, bytes, error) &&
           file.Write(bytes.data(), bytes.size(), error);
}

bool WriteBmpAnaglyph(const FileFormat&, const SaveInput& input, const SaveSettings&, FileReplacer& file,
                      std::string& error) {
    return WriteBmp(*input.anaglyph, file, error);
}

}  // namespace tsy
