#pragma once

#include <QString>
#include <cstdint>
#include <span>

namespace tsy {

class PictureBuffer;

// Pictures above this many pixels are refused with a message instead of
// running the machine out of memory; camera pictures of 100 MP and more load.
inline constexpr std::int64_t kMaxPicturePixels = 200'000'000;

// Reads a picture file into buffer, which takes the picture's size: JPEG (and
// so an MPO's first view) with libjpeg-turbo straight into the buffer, BMP,
// PNG, GIF (first frame), TIFF and WebP (first page or frame) through the
// toolkit's reader. The
// kind is told by the content, not the name. On failure the buffer holds no
// picture and error says why, in words for the user. A damaged picture that
// could still be read whole (a JPEG cut short: the decoder fills the missing
// part) loads, and warning, when given, says what was wrong. A JPEG with a
// camera orientation is turned upright; orientation, when given, receives
// that Exif value (0 without one). With refuseDamaged a damaged JPEG fails
// instead, as soon as the damage is met. Safe to call from a worker thread.
bool LoadPicture(const QString& path, PictureBuffer& buffer, QString& error,
                 QString* warning = nullptr, int* orientation = nullptr,
                 bool refuseDamaged = false);

// The same for a picture already in memory (such as an MPO's second view
// inside the mapped file).
bool LoadPictureBytes(std::span<const std::uint8_t> bytes, PictureBuffer& buffer, QString& error,
                      QString* warning = nullptr, int* orientation = nullptr,
                      bool refuseDamaged = false);

// Loads the toolkit's format plugins on the calling thread. A program that
// decodes on worker threads without an application object calls it first on
// its main thread: plugins first loaded on a worker that has ended since
// crashed the process as it exited.
void PreparePictureLoading();

}  // namespace tsy
