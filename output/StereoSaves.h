#pragma once

#include "output/FileFormats.h"

namespace tsy {

// The writers of the stereo rows: each writes SaveInput::left and ::right,
// prepared by the caller (same size, upright, aligned, cut).
bool WriteMpoViews(const FileFormat& row, const SaveInput& input, const SaveSettings& settings,
                   FileReplacer& file, std::string& error);
bool WriteJpsViews(const FileFormat& row, const SaveInput& input, const SaveSettings& settings,
                   FileReplacer& file, std::string& error);
// A picture of both views as the row's layout places them.
bool WriteJpegViews(const FileFormat& row, const SaveInput& input, const SaveSettings& settings,
                    FileReplacer& file, std::string& error);
bool WritePngViews(const FileFormat& row, const SaveInput& input, const SaveSettings& settings,
                   FileReplacer& file, std::string& error);
bool WriteGifWiggle(const FileFormat& row, const SaveInput& input, const SaveSettings& settings,
                    FileReplacer& file, std::string& error);
bool WriteWebpWiggle(const FileFormat& row, const SaveInput& input, const SaveSettings& settings,
                     FileReplacer& file, std::string& error);

}  // namespace tsy
