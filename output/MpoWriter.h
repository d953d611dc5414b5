#pragma once

#include "output/StereoSettings.h"

namespace tsy {

// Writes the views as an MPO: two baseline JPEG pictures, left then right.
// The first holds the MP index (version "0100", two entries typed disparity,
// the first the representative picture, sizes and offsets counted from its
// MP header's byte-order mark); each holds an MP attribute IFD (its number,
// base viewpoint 1, convergence angle and baseline length, or the values
// that mean unknown). The MP data is big-endian, as 3D cameras write it. The
// source's Exif, when there is one that can be read, goes into both pictures
// made true of them (AdaptExif).
bool WriteMpo(const PictureBuffer& left, const PictureBuffer& right,
              const StereoSaveSettings& settings, FileReplacer& file, std::string& error);

}  // namespace tsy
