#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "base/PictureBuffer.h"
#include "base/ReplaceFile.h"
#include "output/JpegWriter.h"

namespace tsy {

// What the stereo writers take besides the two views. The views themselves
// are prepared by the caller: the same size, upright, aligned and cropped.
struct StereoSaveSettings {
    int quality = 95;  // JPEG and lossy WebP, 1 to 100
    // Cameras write 4:2:0 or 4:2:2, and the decoders of TVs and viewers
    // expect it; the views are photographs, unlike an anaglyph.
    JpegChroma chroma = JpegChroma::k420;
    int threads = 0;    // 0: every core
    int pngEffort = 2;  // as PngOptions::effort
    // The source's APP1 Exif segment (see AdaptExif); empty when it had none.
    std::span<const std::uint8_t> sourceExif;
    std::optional<double> convergenceDegrees;  // between the camera axes
    std::optional<double> baselineMetres;      // between the lenses
    int frameMs = 120;                         // wiggle: how long each view shows
    int webWidth = 1200;  // wiggle: views wider than this are scaled down to it
};

// One stereo writer: puts the whole file into an open FileReplacer (the
// caller commits it); false with a reason, the file then left uncommitted.
using StereoWriter = bool (*)(const PictureBuffer& left, const PictureBuffer& right,
                              const StereoSaveSettings& settings, FileReplacer& file,
                              std::string& error);

// Whether the two views can go into a stereo file: both hold a picture and
// have the same size. False with a reason otherwise.
bool CheckStereoViews(const PictureBuffer& left, const PictureBuffer& right, std::string& error);

// Why EncodeJpeg failed, for a person.
std::string JpegEncodeFailure(int code);

// Encodes the picture with the header segments and writes it to file as it is
// coded; false with a reason.
bool WriteJpegTo(const JpegRows& picture, const StereoSaveSettings& settings,
                 const JpegHeader& header, FileReplacer& file, std::string& error);

}  // namespace tsy
