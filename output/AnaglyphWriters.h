#pragma once

#include <string>

#include "output/FileFormats.h"

namespace tsy {

// The writers of the anaglyph formats: each encodes SaveInput::anaglyph.
bool WriteJpegAnaglyph(const FileFormat& row, const SaveInput& input, const SaveSettings& settings, FileReplacer& file,
                       std::string& error);
bool WritePngAnaglyph(const FileFormat& row, const SaveInput& input, const SaveSettings& settings, FileReplacer& file,
                      std::string& error);
bool WriteBmpAnaglyph(const FileFormat& row, const SaveInput& input, const SaveSettings& settings, FileReplacer& file,
                      std::string& error);

}  // namespace tsy
