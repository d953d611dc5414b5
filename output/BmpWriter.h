#pragma once

#include <string>

#include "base/PictureBuffer.h"

namespace tsy {

// Writes the picture as a 24-bit uncompressed BMP (BITMAPINFOHEADER, rows
// bottom-up, each padded to 4 bytes), replacing a file of that name only once
// the new one is complete. A buffer without picture is written black at its
// size. False with a message in error on failure; the target is then untouched.
bool SaveBmp(const PictureBuffer& picture, const std::string& path, std::string& error);

}  // namespace tsy
