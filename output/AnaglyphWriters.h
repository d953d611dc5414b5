#pragma once

#include <string>

#include "output/FileFormats.h"

namespace tsy {

// The writers of the anaglyph formats: each encodes SaveInput::anaglyph.
bool WriteJpegAnaglyph(const SaveInput& input, const SaveSettings& settings, FileReplacer& file,
                       std::string& error);
bool WritePngAnaglyph(const SaveInput& input, const SaveSettings& settings, FileReplacer& file,
                      std::string& error);
bool WriteBmpAnaglyph(const SaveInput& input, const SaveSettings& settings, FileReplacer& file,
                      std::string& error);

}  // namespace tsy
