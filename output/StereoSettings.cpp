#include "output/StereoSettings.h"

#include <cstdio>

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace tsy {

bool CheckStereoViews(const PictureBuffer& left, const PictureBuffer& right, std::string& error) {
    if (!left.hasImage() || !right.hasImage() || left.width() < 1 || left.height() < 1) {
        error = "a stereo file needs two views; there is only one picture";
        return false;
    }
    if (left.width() != right.width() || left.height() != right.height()) {
        error = "the two views differ in size (" + std::to_string(left.width()) + "x" +
                std::to_string(left.height()) + " and " + std::to_string(right.width()) + "x" +
                std::to_string(right.height()) + ")";
        return false;
    }
    return true;
}

std::string JpegEncodeFailure(int code) {
    switch (code) {
        case JERR_IMAGE_TOO_BIG:
            return "the picture is too large for JPEG (at most " +
                   std::to_string(JPEG_MAX_DIMENSION) + " pixels a side)";
        case JERR_OUT_OF_MEMORY:
            return "not enough memory to encode the picture";
        case JERR_BAD_LENGTH:
            return "a header segment is too long for JPEG";
        default:
            return "the JPEG encoder failed (libjpeg message " + std::to_string(code) + ")";
    }
}

bool WriteJpegTo(const JpegRows& picture, const StereoSaveSettings& settings,
                 const JpegHeader& header, FileReplacer& file, std::string& error) {
    bool written = true;
    const int code = EncodeJpeg(
        picture, settings.quality, settings.chroma,
        [&](const std::uint8_t* data, std::size_t size) {
            return written = file.Write(data, size, error);
        },
        settings.threads, header);
    if (code != 0 && written) error = JpegEncodeFailure(code);
    return code == 0;
}

}  // namespace tsy
