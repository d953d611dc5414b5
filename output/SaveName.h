#pragma once

#include <string>
#include <string_view>

#include "base/FileType.h"

namespace tsy {

// Proposed name of a save: image 1's path without its extension, "_3D", the
// glasses' suffix ("-RC"), then the format (".png", ".jpg", ".bmp"). Only a dot inside the
// file name and after its first character counts as the start of an
// extension; without one the proposal is empty.
std::string ProposedSaveName(std::string_view image1Path, std::string_view glassesSuffix,
                             std::string_view format);

struct FileFormat;

// The same for a row of the format table: a stereo row puts its own tag
// ("_3D", "_SBS", "_wiggle") in place of "_3D" and the glasses' suffix:
// NAME_3D.mpo, NAME_SBS.jpg.
std::string ProposedSaveName(std::string_view image1Path, std::string_view glassesSuffix,
                             const FileFormat& row);

}  // namespace tsy
