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


bool WritePngAnaglyph(const FileFormat&, const SaveInput& input, const SaveSettings& settings, FileReplacer& file,
                      std::string& error) {
    const PictureBuffer& picture = *input.anaglyph;
    // As the window's optimiser is run: /S2 /F5.
    PngOptions png;
    png.effort = 2;
    png.filter = 5;
    png.threads = settings.threads;
    std::vector<std::uint8_t> bytes;
    // The rows the window's optimiser reads back from its temporary BMP.
    const RgbImage rgb = RgbOfRows(picture.width(), picture.height(), settings.threads,
                                   [&picture](int y, std::uint8_t*) { return picture.row(y); });
    return EncodePng(rgb, png, bytes, error) &&
           file.Write(bytes.data(), bytes.size(), error);
}

bool WriteBmpAnaglyph(const FileFormat&, const SaveInput& input, const SaveSettings&, FileReplacer& file,
                      std::string& error) {
    return WriteBmp(*input.anaglyph, file, error);
}

}  // namespace tsy
