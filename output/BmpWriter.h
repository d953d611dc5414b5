#pragma once

#include <string>

#include "base/PictureBuffer.h"
#include "base/ReplaceFile.h"

namespace tsy {

// Writes the picture as a 24-bit uncompressed BMP (BITMAPINFOHEADER, rows
// bottom-up, each padded to 4 bytes), replacing a file of that name only once
// the new one is complete. A buffer without picture is written black at its
// size. False with a message in error on failure; the target is then untouched.
bool SaveBmp(const PictureBuffer& picture, const std::string& path, std::string& error);

// The same file's bytes into an open file; the caller commits it.
bool WriteBmp(const PictureBuffer& picture, FileReplacer& file, std::string& error);

}  // namespace tsy
